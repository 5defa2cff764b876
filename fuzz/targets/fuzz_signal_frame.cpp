// A text frame from the signalling server: the transport's parse, the channel's envelope
// read and reply matching (one request waits for "fuzz-request"), and the push the channel
// hands to its delegate.

#include "KLFuzzSupport.h"

#include "model/KLSDKMeetingConfigInternal.h"
#include "signalling/KLConferenceChannelWebSocket.h"
#include "signalling/KLConferenceSignalChannel.h"
#include "signalling/KLSDKApiChannelRequest.h"
#include "signalling/KLSignalingMessage.h"

namespace {

class Delegate final : public KLConferenceSignalChannelDelegate {
public:
    void didGetConferenceSignalChannelOpenState(bool) override {}
    void didGetError(qint64) override {}
    void handleKelvoSignalingMessage(const KLSignalingMessage &message) override
    {
        KLSignalingMessage::valueAtPath(message.messBody.toObject(), QStringLiteral("callState.online"));
        pushes += message.messageType != 0;
    }
    int pushes = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    klfuzz::initialise();
    const std::optional<QJsonObject> frame =
        KLConferenceChannelWebSocket::parseFrame(QString::fromUtf8(klfuzz::bytes(data, size)));
    static const auto config = KLSDKMeetingConfigInternal::create({{"appointmentId", 4711}});
    static const auto delegate = std::make_shared<Delegate>();
    // Never started: nothing is sent, and the channel outlives the run like a meeting's does.
    static const auto channel =
        KLConferenceSignalChannel::create(QStringLiteral("wss://127.0.0.1:9/"), config, 30, delegate);
    auto request = KLSDKApiChannelRequest::make(QStringLiteral("status"), QStringLiteral("query"), {});
    request->requestId = QStringLiteral("fuzz-request");
    request->callback = [](const KLSDKApiChannelResponse &reply) {
        KLSDKApiChannelResponse::responseWithCode(reply.responseCode, reply.responseMsg);
    };
    channel->sendRequest(request);
    channel->didReceiveAppMessage(frame);
    return 0;
}
