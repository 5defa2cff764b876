// The built-in engine when the media server goes away and comes back or withdraws a stream:
// against the simulator's media server.

#include "KLEngineTestSupport.h"

#include "MeetingSim.h"
#include "media/builtin/KLBuiltinMediaConnection.h"
#include "media/builtin/KLBuiltinMediaSDK.h"
#include "runtime/KLTimeScale.h"

#include "KLTestSupport.h"

#include <QElapsedTimer>
#include <QJsonArray>

#include <gtest/gtest.h>

#include <cstdio>

using kelvosim::MeetingSim;

namespace {

const QString kSelf = QStringLiteral("3B7E1C52-9A4D-4F0B-8E21-6C5D2F9A1B01");

QJsonObject connectionParam(const MeetingSim &sim, const QJsonObject &bizInfo)
{
    const QJsonObject info = sim.scenario()["meetings"][0]["meetingInfo"].toObject();
    const QJsonObject regInfo{{"appointmentId", info["roomid"]}, {"zone", info["rtcZone"]},
                              {"memberUuid", kSelf}, {"token", info["token"]}};
    return {{"rtcWsRegInfo", QJsonObject{{"signalingServer", info["rtcserverWsUrl"]}, {"regInfo", regInfo}}},
            {"bizInfo", bizInfo}, {"caFile", sim.caFile()}};
}

class BuiltinEngineRecovery : public ::testing::Test {
protected:
    void SetUp() override
    {
        QString error;
        ASSERT_TRUE(sim.start(&error)) << error.toStdString();
    }
    void TearDown() override
    {
        if (connection) {
            connection->disconnect();
            EXPECT_TRUE(kltest::waitUntil([&] { return events->count(KLRTCMediaEventConnectionReleased) == 1; }));
        }
        KLTimeScale::setFactor(1.0);
        sim.stop();
    }

    void connectAndPublish(const QJsonObject &bizInfo = {{"display", "林晓"}})
    {
        connection = engine->createConnection(connectionParam(sim, bizInfo), 1, 0, true, false, events);
        connection->connect();
        ASSERT_TRUE(kltest::waitUntil([&] { return events->count(KLRTCMediaEventConnected) == 1; }));
        camera = engine->createStream({{"audio", true}, {"video", true}}, streamStates);
        camera->initStream();
        ASSERT_TRUE(kltest::waitUntil([&] { return !streamStates->states().empty(); }));
        connection->publishStream(camera);
        ASSERT_TRUE(kltest::waitUntil([&] { return events->count(KLRTCMediaEventWebrtcUp) == 1; }));
    }

    QList<QJsonObject> sent(const QString &type, int connectionId = -1) const
    {
        QList<QJsonObject> found;
        for (const kelvosim::SimMediaFrame &frame : sim.mediaFrames(connectionId))
            if (frame.message["type"].toString() == type)
                found.append(frame.message);
        return found;
    }
    int announced(const QString &streamId) const
    {
        int n = 0;
        for (const RecordedEvent &e : events->events())
            n += e.code == KLRTCMediaEventStreamAdded && e.info.stream && e.info.stream->getID() == streamId;
        return n;
    }
    int channelStates(bool open) const
    {
        int n = 0;
        for (const RecordedEvent &e : events->events())
            n += e.code == KLRTCMediaEventMediaSignalingState && e.info.dictionary()["isOpen"].toBool() == open;
        return n;
    }

    MeetingSim sim;
    std::shared_ptr<KLBuiltinMediaSDK> engine = std::make_shared<KLBuiltinMediaSDK>();
    std::shared_ptr<EventRecorder> events = std::make_shared<EventRecorder>(QThread::currentThread());
    std::shared_ptr<StreamRecorder> streamStates = std::make_shared<StreamRecorder>();
    std::shared_ptr<KLRTCMediaConnection> connection;
    std::shared_ptr<KLRTCMediaStream> camera;
};

TEST_F(BuiltinEngineRecovery, ALostRegistrationIsWonBackByItselfHoweverTheSocketWent)
{
    struct Loss {
        const char *name;
        std::function<void(MeetingSim &)> cause;
    };
    const Loss losses[] = {
        {"closed by the server", [](MeetingSim &s) { s.closeMedia(1000); }},
        {"dropped without a close frame", [](MeetingSim &s) { s.closeMedia(1006); }},
        // Larger than the engine takes: it closes with 1009 itself.
        {"an oversized frame", [](MeetingSim &s) { s.pushMediaFrame(QByteArray(5 * 1024 * 1024, 'x')); }},
    };
    connectAndPublish();
    sim.addRemoteStream("REMOTE-1", "Remote One", false);
    ASSERT_TRUE(kltest::waitUntil([&] { return events->last(KLRTCMediaEventStreamAdded, "REMOTE-1").has_value(); }));
    const auto remote = events->last(KLRTCMediaEventStreamAdded, "REMOTE-1")->info.stream;
    connection->subscribe(remote);
    ASSERT_TRUE(kltest::waitUntil([&] { return events->count(KLRTCMediaEventStreamSubscribed) == 1; }));

    int round = 0;
    for (const Loss &loss : losses) {
        SCOPED_TRACE(loss.name);
        ++round;
        const int connections = sim.mediaConnections();
        QElapsedTimer clock;
        clock.start();
        loss.cause(sim);
        // The loss is told once: the channel closed, the path failed.
        ASSERT_TRUE(kltest::waitUntil([&] { return events->count(KLRTCMediaEventIceFailed) == round; }));
        EXPECT_EQ(channelStates(false), round);
        // Nobody asked, yet a new connection registers and the camera goes out again.
        ASSERT_TRUE(kltest::waitUntil([&] { return events->count(KLRTCMediaEventWebrtcUp) == round + 1; }, 10000));
        std::printf("[ measured ] media path back %lld ms after %s\n", static_cast<long long>(clock.elapsed()),
                    loss.name);
        EXPECT_EQ(channelStates(true), round + 1);
        EXPECT_EQ(sim.mediaConnections(), connections + 1);
        const int fresh = sim.mediaConnections();
        EXPECT_EQ(sent("register", fresh).size(), 1);
        ASSERT_EQ(sent("publish", fresh).size(), 1);
        EXPECT_EQ(sent("publish", fresh)[0]["streamId"].toString(), kSelf);
        // The remote stream is announced again as the same object, to be subscribed anew.
        ASSERT_TRUE(kltest::waitUntil([&] { return announced("REMOTE-1") == round + 1; }));
        EXPECT_EQ(events->last(KLRTCMediaEventStreamAdded, "REMOTE-1")->info.stream, remote);
        connection->subscribe(remote);
        ASSERT_TRUE(kltest::waitUntil([&] { return events->count(KLRTCMediaEventStreamSubscribed) == round + 1; }));
        EXPECT_EQ(sent("subscribe", fresh).size(), 1);
    }
    EXPECT_EQ(events->count(KLRTCMediaEventConnected), 1);
    EXPECT_EQ(events->count(KLRTCMediaEventHangupCause), 0);
}

TEST_F(BuiltinEngineRecovery, AServerThatStaysDownIsRetriedWithBackOffAndReportedWithCause10002)
{
    KLTimeScale::setFactor(0.02);
    connectAndPublish();

    // Down for a few attempts, then back: the next attempt registers and nothing is given up.
    sim.setMediaRefused(true);
    sim.closeMedia(1006);
    ASSERT_TRUE(kltest::waitUntil([&] { return sim.refusedMediaConnections() >= 3; }));
    sim.setMediaRefused(false);
    ASSERT_TRUE(kltest::waitUntil([&] { return events->count(KLRTCMediaEventWebrtcUp) == 2; }));
    EXPECT_EQ(events->count(KLRTCMediaEventIceFailed), 1); // failed attempts are not new losses
    EXPECT_EQ(events->count(KLRTCMediaEventHangupCause), 0);

    // Down for long: once the attempts are used up the loss is reported, and they go on.
    const int refusedBefore = sim.refusedMediaConnections();
    sim.setMediaRefused(true);
    sim.closeMedia(1000);
    ASSERT_TRUE(kltest::waitUntil([&] { return events->count(KLRTCMediaEventHangupCause) == 1; }, 10000));
    const auto hangup = events->last(KLRTCMediaEventHangupCause)->info.dictionary();
    EXPECT_EQ(hangup["causeCode"].toInt(), 10002);
    EXPECT_GE(sim.refusedMediaConnections() - refusedBefore, KLBuiltinMediaConnection::kReconnectAttempts);
    EXPECT_EQ(events->count(KLRTCMediaEventIceFailed), 2);
    ASSERT_TRUE(kltest::waitUntil([&] {
        return sim.refusedMediaConnections() - refusedBefore >= KLBuiltinMediaConnection::kReconnectAttempts + 3;
    }));
    EXPECT_EQ(events->count(KLRTCMediaEventHangupCause), 1);
    sim.setMediaRefused(false);
    ASSERT_TRUE(kltest::waitUntil([&] { return events->count(KLRTCMediaEventWebrtcUp) == 3; }));
    EXPECT_EQ(events->count(KLRTCMediaEventConnected), 1);
}

TEST_F(BuiltinEngineRecovery, ADisconnectDuringTheBackOffEndsTheRetries)
{
    KLTimeScale::setFactor(0.5);
    connectAndPublish();
    sim.setMediaRefused(true);
    sim.closeMedia(1006);
    ASSERT_TRUE(kltest::waitUntil([&] { return events->count(KLRTCMediaEventIceFailed) == 1; }));
    connection->disconnect();
    ASSERT_TRUE(kltest::waitUntil([&] { return events->count(KLRTCMediaEventConnectionReleased) == 1; }));
    const int refused = sim.refusedMediaConnections();
    kltest::pumpEvents(1500); // three back-offs at this scale
    EXPECT_EQ(sim.refusedMediaConnections(), refused);
    EXPECT_EQ(events->count(KLRTCMediaEventHangupCause), 0);
    connection.reset();
}

TEST_F(BuiltinEngineRecovery, AWithdrawnStreamIsUnsubscribedAndTheServersAnswerEndsTheSubscription)
{
    connectAndPublish();
    sim.addRemoteStream("REMOTE-2", "Remote Two", false);
    ASSERT_TRUE(kltest::waitUntil([&] { return events->last(KLRTCMediaEventStreamAdded, "REMOTE-2").has_value(); }));
    const auto remote = events->last(KLRTCMediaEventStreamAdded, "REMOTE-2")->info.stream;
    connection->subscribe(remote);
    ASSERT_TRUE(kltest::waitUntil([&] { return events->last(KLRTCMediaEventStreamSubscribed, "REMOTE-2").has_value(); }));

    sim.removeRemoteStream("REMOTE-2");
    ASSERT_TRUE(kltest::waitUntil([&] { return events->last(KLRTCMediaEventStreamRemoved, "REMOTE-2").has_value(); }));
    EXPECT_EQ(events->count(KLRTCMediaEventStreamUnsubscribed), 0);
    connection->unsubscribe(remote);
    ASSERT_TRUE(kltest::waitUntil([&] { return events->last(KLRTCMediaEventStreamUnsubscribed, "REMOTE-2").has_value(); }));
    EXPECT_EQ(events->last(KLRTCMediaEventStreamUnsubscribed, "REMOTE-2")->info.stream, remote);
    ASSERT_EQ(sent("unsubscribe").size(), 1);
    EXPECT_EQ(sent("unsubscribe")[0]["streamId"].toString(), "REMOTE-2");

    // Once ended, the stream is unknown: a second unsubscription sends nothing.
    connection->unsubscribe(remote);
    sim.pushMediaEvent({{"type", "unsubscribed"}, {"streamId", "REMOTE-2"}});
    kltest::pumpEvents(100);
    EXPECT_EQ(sent("unsubscribe").size(), 1);
    EXPECT_EQ(events->count(KLRTCMediaEventStreamUnsubscribed), 1);
}

} // namespace
