// The records built from the meeting service's answers, each reader given the same payload:
// meeting information, the appointment detail, the client configuration (meeting and
// projector runs, internal and external users), the switch configuration, an ICE server list
// and the directory's contacts.

#include "KLFuzzSupport.h"

#include "conference/join/KLClientConfiguration.h"
#include "conference/join/KLIceDetection.h"
#include "conference/join/KLMeetingInformation.h"
#include "media/builtin/KLBuiltinLocalTurnDetect.h"
#include "media/fake/KLFakeMediaSDK.h"
#include "model/KLConferenceItemModel.h"
#include "window/KLInvitationViewController.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    klfuzz::initialise();
    const QJsonValue payload = klfuzz::valueOf(klfuzz::bytes(data, size));
    const QJsonObject object = payload.toObject();

    KLMeetingInformation::fromReply(payload);
    QString error;
    KLConferenceItemModel::createWithDictionary(object, &error);

    // A fresh engine each time: the fake keeps a record of every call made on it.
    const auto engine = KLFakeMediaSDK::installNew();
    for (const auto &[mode, internal] : {std::pair{0, true}, {0, false}, {1, true}}) {
        KLClientConfiguration configuration;
        configuration.applySwitchConfig(payload);
        configuration.applyClientConfig(payload, mode, internal);
        configuration.applyMediaDefaults(engine);
    }
    KLClientConfiguration::fromSwitchConfig(payload);

    // An ICE list arrives as the array itself or under "iceServers"; the probe's results have
    // the shape of the "iceDetection" lists.
    const QJsonArray ice = payload.isArray() ? payload.toArray() : object.value(QLatin1String("iceServers")).toArray();
    for (const KLBuiltinIceAddress &address : KLBuiltinLocalTurnDetect::addresses(ice))
        KLBuiltinLocalTurnDetect::parseUrl(address.url);
    KL_iceDetectionDictionary(ice, object.value(QLatin1String("iceRtt")).toArray());
    KL_serverReflexiveIp(ice);

    KLInvitationViewController::participantsFrom(payload);
    KLRTCMediaSDK::install(nullptr);
    return 0;
}
