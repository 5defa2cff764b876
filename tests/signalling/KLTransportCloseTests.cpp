// How the signalling transport ends against the local meeting service: the close handshake is
// completed even when the owner lets go of the transport right after disconnecting, and the
// transport's queue stays counted as the meeting's until then.

#include "MeetingSim.h"

#include "runtime/KLDispatchQueue.h"
#include "signalling/KLConferenceChannelWebSocket.h"

#include "KLTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>

namespace {

class StateListener : public KLConferenceChannelDelegate {
public:
    void didChangeState(qint64 state) override { last = state; }
    void didReceiveAppMessage(const std::optional<QJsonObject> &) override {}
    std::atomic<qint64> last{-1};
};

TEST(KLTransportClose, FramesBeforeTheDisconnectAndA1000CloseReachTheServerWhenTheOwnerLetsGoAtOnce)
{
    kelvosim::MeetingSim sim;
    QString error;
    ASSERT_TRUE(sim.start(&error)) << error.toStdString();
    ASSERT_TRUE(kltest::waitUntil([] { return KLDispatchQueue::meetingQueuesAlive() == 0; }));
    const QString server = QStringLiteral("wss://127.0.0.1:%1/nimbrameeting/websocket/channelwithauth").arg(sim.port());

    // The owner's release races the queued close; a few rounds give the race its chances.
    constexpr int kRounds = 3;
    for (int round = 1; round <= kRounds; ++round) {
        SCOPED_TRACE(::testing::Message() << "round " << round);
        auto listener = std::make_shared<StateListener>();
        auto transport = KLConferenceChannelWebSocket::create({{"signalingServer", server}, {"caFile", sim.caFile()}},
                                                              listener, "Test");
        transport->connect();
        ASSERT_TRUE(kltest::waitUntil([&] { return listener->last.load() == KLConferenceChannelStateOpen; }));
        ASSERT_EQ(sim.signallingConnections(), round);

        transport->sendMessage({{"last", round}});
        transport->disconnect();
        transport.reset();
        EXPECT_GE(KLDispatchQueue::meetingQueuesAlive(), 1) << "the close is still under way";

        ASSERT_TRUE(kltest::waitUntil([&] { return sim.signallingCloseCodes().contains(round); }));
        EXPECT_EQ(sim.signallingCloseCodes().value(round), 1000);
        const auto frames = sim.signallingFrames(round);
        ASSERT_FALSE(frames.isEmpty());
        EXPECT_EQ(frames.last().json.value("last").toInt(), round);
        EXPECT_TRUE(kltest::waitUntil([] { return KLDispatchQueue::meetingQueuesAlive() == 0; }));
    }
}

} // namespace
