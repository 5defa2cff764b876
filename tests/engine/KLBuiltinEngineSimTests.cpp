// The built-in engine against the simulator's media server, over TLS verified with the
// simulator's CA: connection and media-up, remote streams, shares, the data channel, the
// server's events, release and loss of the connection, statistics.

#include "KLEngineTestSupport.h"

#include "MeetingSim.h"
#include "SimScenario.h"
#include "media/builtin/KLBuiltinMediaSDK.h"
#include "media/builtin/KLBuiltinMessageManager.h"

#include "KLTestSupport.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using kelvosim::MeetingSim;

namespace {

const QString kSelf = QStringLiteral("3B7E1C52-9A4D-4F0B-8E21-6C5D2F9A1B01");
const QString kHost = QStringLiteral("8C1D4E2F-6B3A-4D59-9F70-2A1B3C4D5E02");
const QString kExternal = QStringLiteral("E7F8A9B0-2C3D-4E5F-9A01-4C5D6E7F8A04");

class MessageRecorder : public KLRTCCommonWebRtcMsgManagerDelegate {
public:
    void IncomingCommonWebRtcMsg(qint32 type) override { std::lock_guard l(m); types.push_back(type); }
    void didGetRTCLog(const QString &log) override { std::lock_guard l(m); logs.append(log); }
    void didGetMediaError(qint32 code, qint32 reason) override { std::lock_guard l(m); errors.push_back({code, reason}); }
    mutable std::mutex m;
    std::vector<qint32> types;
    QStringList logs;
    std::vector<std::pair<qint32, qint32>> errors;
};

/// The connection parameters for `member` in the simulator's first meeting.
QJsonObject mediaParam(const MeetingSim &sim, const QString &member, bool trusted = true)
{
    const QJsonObject info = sim.scenario()["meetings"][0]["meetingInfo"].toObject();
    QJsonObject regInfo{{"appointmentId", info["roomid"]}, {"zone", info["rtcZone"]},
                        {"memberUuid", member}, {"token", info["token"]}};
    QJsonObject result{{"iceServices", sim.scenario()["iceServers"]},
                       {"rtcWsRegInfo", QJsonObject{{"signalingServer", info["rtcserverWsUrl"]},
                                                    {"shouldRegisterBack", true}, {"regInfo", regInfo}}},
                       {"bizInfo", QJsonObject{{"subBizType", "video"}}}, {"displayName", "林晓"}};
    if (trusted)
        result.insert("caFile", sim.caFile());
    return result;
}

class BuiltinEngineSim : public ::testing::Test {
protected:
    void SetUp() override
    {
        QString error;
        ASSERT_TRUE(sim.start(&error)) << error.toStdString();
        engine = std::make_shared<KLBuiltinMediaSDK>();
    }
    QJsonObject param(const QString &member, bool trusted = true) const { return mediaParam(sim, member, trusted); }

    std::shared_ptr<KLRTCMediaConnection> connect(const std::shared_ptr<EventRecorder> &events)
    {
        auto connection = engine->createConnection(param(kSelf), 1, 0, true, false, events);
        connection->connect();
        return connection;
    }
    static bool connected(const std::shared_ptr<EventRecorder> &events)
    {
        return kltest::waitUntil([&] { return events->count(KLRTCMediaEventConnected) == 1; });
    }

    /// A camera stream that reached state 0, published on `connection`.
    std::shared_ptr<KLRTCMediaStream> publishCamera(const std::shared_ptr<KLRTCMediaConnection> &connection)
    {
        auto stream = engine->createStream({{"audio", true}, {"video", true}, {"vWidth", 1280}, {"vHeight", 720}},
                                           streamStates);
        stream->initStream();
        EXPECT_TRUE(kltest::waitUntil([&] { return !streamStates->states().empty(); }));
        connection->publishStream(stream);
        return stream;
    }

    QList<QJsonObject> sent(const QString &type) const
    {
        QList<QJsonObject> found;
        for (const kelvosim::SimMediaFrame &frame : sim.mediaFrames())
            if (frame.message["type"].toString() == type)
                found.append(frame.message);
        return found;
    }
    QJsonObject statusFor(const std::shared_ptr<KLRTCMediaConnection> &connection, const QString &kind = {})
    {
        auto status = std::make_shared<QJsonObject>();
        connection->getStatusForMedia(kind, [status](const QJsonObject &s) { *status = s; });
        EXPECT_TRUE(kltest::waitUntil([&] { return !status->isEmpty(); }));
        return *status;
    }

    void TearDown() override { sim.stop(); }

    MeetingSim sim;
    std::shared_ptr<KLBuiltinMediaSDK> engine;
    std::shared_ptr<EventRecorder> events = std::make_shared<EventRecorder>(QThread::currentThread());
    std::shared_ptr<StreamRecorder> streamStates = std::make_shared<StreamRecorder>();
};

TEST_F(BuiltinEngineSim, ConnectsRegistersAndComesUpOncePublishedWithTheScenarioStreamsAndSendingStatistics)
{
    auto connection = connect(events);
    ASSERT_TRUE(connected(events));
    auto stream = publishCamera(connection);
    EXPECT_EQ(streamStates->states(), std::vector<int>{KLRTCMediaStreamStateReady});
    ASSERT_TRUE(kltest::waitUntil([&] { return events->count(KLRTCMediaEventWebrtcUp) == 1; }));

    std::vector<int> ordered;
    for (const RecordedEvent &event : events->events()) {
        EXPECT_TRUE(event.onEngineThread) << event.code;
        if (event.code == KLRTCMediaEventConnected || event.code == KLRTCMediaEventWebrtcUp)
            ordered.push_back(event.code);
    }
    EXPECT_EQ(ordered, (std::vector<int>{KLRTCMediaEventConnected, KLRTCMediaEventWebrtcUp}));
    EXPECT_EQ(events->last(KLRTCMediaEventMediaSessionId)->info.dictionary()["mediaSessionId"].toString(),
              "sim-media-session-1");

    // What reached the server: the registration info as given, the stream under our uuid.
    const QList<QJsonObject> registers = sent("register");
    ASSERT_EQ(registers.size(), 1);
    EXPECT_EQ(registers[0]["regInfo"]["memberUuid"].toString(), kSelf);
    EXPECT_EQ(registers[0]["regInfo"]["appointmentId"].toString(), "880012345");
    const QList<QJsonObject> publishes = sent("publish");
    ASSERT_EQ(publishes.size(), 1);
    EXPECT_EQ(publishes[0]["streamId"].toString(), kSelf);
    EXPECT_EQ(publishes[0]["audioTrackId"].toString(), stream->audioTrackId());
    EXPECT_EQ(stream->getID(), kSelf);
    EXPECT_EQ(stream->display(), "林晓");

    // The online members and the online room of the scenario, never the own uuid or offline ones.
    ASSERT_TRUE(kltest::waitUntil([&] { return events->count(KLRTCMediaEventStreamAdded) == 3; }));
    const auto host = events->last(KLRTCMediaEventStreamAdded, kHost);
    ASSERT_TRUE(host);
    EXPECT_EQ(host->info.stream->display(), "周明");
    EXPECT_FALSE(host->info.stream->hasScreen());
    EXPECT_FALSE(events->last(KLRTCMediaEventStreamAdded, kExternal));
    EXPECT_FALSE(events->last(KLRTCMediaEventStreamAdded, kSelf));

    // Statistics describe the sending streams; asking for audio leaves video out.
    const QJsonObject status = statusFor(connection);
    const QJsonObject sendAudio = status["audio"][0].toObject();
    EXPECT_TRUE(sendAudio["sendAudio"].toBool());
    EXPECT_EQ(sendAudio["trackId"].toString(), stream->audioTrackId());
    EXPECT_FALSE(sendAudio["ssrc"].toString().isEmpty());
    EXPECT_GT(sendAudio["iLevel"].toInt(), 0);
    EXPECT_TRUE(sendAudio.contains("pktsSent"));
    EXPECT_TRUE(status["video"][0]["sendVideo"].toBool());
    EXPECT_FALSE(status["video"][0]["sendScreen"].toBool());
    stream->muteAudio(true);
    const QJsonObject audioOnly = statusFor(connection, "audio");
    EXPECT_FALSE(audioOnly.contains("video"));
    EXPECT_EQ(audioOnly["audio"][0]["iLevel"].toInt(), 0);
}

TEST_F(BuiltinEngineSim, RemoteStreamIsSubscribedPlaysAndLeaves)
{
    auto connection = connect(events);
    ASSERT_TRUE(connected(events));
    sim.addRemoteStream("REMOTE-1", "Remote One", false);
    ASSERT_TRUE(kltest::waitUntil([&] { return events->last(KLRTCMediaEventStreamAdded, "REMOTE-1").has_value(); }));
    const auto remote = events->last(KLRTCMediaEventStreamAdded, "REMOTE-1")->info.stream;
    auto view = std::make_shared<FrameCounter>();
    remote->playWithView(view);

    connection->subscribe(remote);
    ASSERT_TRUE(kltest::waitUntil([&] { return events->last(KLRTCMediaEventStreamSubscribed, "REMOTE-1").has_value(); }));
    EXPECT_EQ(events->last(KLRTCMediaEventStreamSubscribed, "REMOTE-1")->info.stream, remote);
    ASSERT_TRUE(kltest::waitUntil([&] { return view->frames() >= 3; }));
    EXPECT_TRUE(view->lastValid());

    // Statistics list the received tracks under the stream's track ids.
    const QJsonObject status = statusFor(connection);
    EXPECT_TRUE(status["videoBwe"].isObject());
    bool receivedVideo = false;
    for (const QJsonValue &entry : status["video"].toArray())
        receivedVideo |= entry["trackId"].toString() == remote->videoTrackId() && !entry["sendVideo"].toBool();
    EXPECT_TRUE(receivedVideo);

    // Server video off stops the pictures without ending the subscription.
    connection->streamVideo(remote, false);
    ASSERT_TRUE(kltest::waitUntil([&] { return events->last(KLRTCMediaEventServerVideoOff, "REMOTE-1").has_value(); }));

    sim.removeRemoteStream("REMOTE-1");
    ASSERT_TRUE(kltest::waitUntil([&] { return events->last(KLRTCMediaEventStreamRemoved, "REMOTE-1").has_value(); }));
    EXPECT_EQ(events->last(KLRTCMediaEventStreamRemoved, "REMOTE-1")->info.stream, remote);
    remote->stopPlay();
}

TEST_F(BuiltinEngineSim, SharesCarryTheirPublishersNameInBase64BothWays)
{
    auto connection = connect(events);
    ASSERT_TRUE(connected(events));
    const QString alex = QString::fromLatin1(QByteArray("Alex Morgan").toBase64());
    sim.addRemoteStream("screen-" + kExternal, alex, true);
    ASSERT_TRUE(kltest::waitUntil([&] { return events->last(KLRTCMediaEventStreamAdded, "screen-" + kExternal).has_value(); }));
    const auto share = events->last(KLRTCMediaEventStreamAdded, "screen-" + kExternal)->info.stream;
    EXPECT_TRUE(share->hasScreen());
    EXPECT_EQ(QByteArray::fromBase64(share->display().toLatin1()), "Alex Morgan");

    auto own = engine->createStream({{"screen", true}, {"screenFps", 5}}, streamStates);
    own->initStream();
    ASSERT_TRUE(kltest::waitUntil([&] { return !streamStates->states().empty(); }));
    connection->publishStream(own);
    ASSERT_TRUE(kltest::waitUntil([&] { return !sent("publish").isEmpty(); }));
    const QJsonObject published = sent("publish").first();
    EXPECT_EQ(published["streamId"].toString(), "screen-" + kSelf);
    EXPECT_TRUE(published["screen"].toBool());
    EXPECT_EQ(QString::fromUtf8(QByteArray::fromBase64(published["display"].toString().toLatin1())), "林晓");
    EXPECT_EQ(events->count(KLRTCMediaEventWebrtcUp), 0); // a share alone does not bring the main path up
}

TEST_F(BuiltinEngineSim, DataChannelMessagesAndStreamsCrossBetweenTwoEngines)
{
    auto otherEngine = std::make_shared<KLBuiltinMediaSDK>();
    auto otherEvents = std::make_shared<EventRecorder>(QThread::currentThread());
    auto a = connect(events);
    auto b = otherEngine->createConnection(param(kHost), 1, 0, true, false, otherEvents);
    b->connect();
    ASSERT_TRUE(connected(events) && connected(otherEvents));

    const QJsonObject chat{{"type", "chatMsg"}, {"content", QJsonObject{{"text", "你好"}}}};
    a->sendData(chat);
    ASSERT_TRUE(kltest::waitUntil([&] { return otherEvents->count(KLRTCMediaEventDataChannelMessage) == 1; }));
    EXPECT_EQ(otherEvents->last(KLRTCMediaEventDataChannelMessage)->info.dictionary(), chat);

    // A's publication reaches B as a stream; B's own scenario stream is not announced to B.
    publishCamera(a);
    ASSERT_TRUE(kltest::waitUntil([&] { return otherEvents->last(KLRTCMediaEventStreamAdded, kSelf).has_value(); }));
    EXPECT_FALSE(otherEvents->last(KLRTCMediaEventStreamAdded, kHost));
    b->disconnect();
    ASSERT_TRUE(kltest::waitUntil([&] { return otherEvents->count(KLRTCMediaEventConnectionReleased) == 1; }));
    EXPECT_EQ(events->count(KLRTCMediaEventDataChannelMessage), 0); // never echoed to the sender
}

TEST_F(BuiltinEngineSim, ServerEventsBecomeConnectionEventsAndEngineMessages)
{
    auto messages = std::make_shared<MessageRecorder>();
    engine->messageManager()->initWithDelegate(messages);
    auto connection = connect(events);
    ASSERT_TRUE(connected(events));

    sim.hangUpMedia(606);
    sim.pushMediaEvent({{"type", "grade"}, {"stream", kHost}, {"grade", 3}});
    sim.pushMediaEvent({{"type", "weakNetwork"}, {"stream", kHost}, {"weak", true}, {"status", "DISCONNECTED"}});
    sim.pushMediaEvent({{"type", "error"}, {"responseCode", 432}});
    sim.pushMediaEvent({{"type", "iceGatheringStage"}, {"stage", 2}});
    sim.pushMediaEvent({{"type", "rtcLog"}, {"line", "dropped: log not started"}});
    sim.pushMediaEvent({{"type", "engineMessage"}, {"msgType", 2}});
    ASSERT_TRUE(kltest::waitUntil([&] { std::lock_guard l(messages->m); return !messages->types.empty(); }));
    engine->messageManager()->startRTCLogWithMaxBytes(1024);
    sim.pushMediaEvent({{"type", "rtcLog"}, {"line", "kept"}});
    sim.pushMediaEvent({{"type", "mediaError"}, {"code", 5}, {"reason", 7}});
    sim.pushMediaEvent({{"type", "no such message"}});
    sim.pushMediaEvent({{"type", "data"}, {"data", 5}});       // not a dictionary: dropped
    sim.pushMediaEvent({{"type", "streamAdded"}, {"display", "no id"}}); // dropped
    ASSERT_TRUE(kltest::waitUntil([&] { std::lock_guard l(messages->m); return !messages->errors.empty(); }));

    EXPECT_EQ(events->last(KLRTCMediaEventHangupCause)->info.dictionary()["causeCode"].toInt(), 606);
    EXPECT_EQ(events->last(KLRTCMediaEventNetworkGrade)->info.dictionary()["grade"].toInt(), 3);
    EXPECT_EQ(events->last(KLRTCMediaEventWeakNetwork)->info.dictionary()["status"].toString(), "DISCONNECTED");
    EXPECT_EQ(events->last(KLRTCMediaEventMediaSignalingError)->info.dictionary()["responseCode"].toInt(), 432);
    EXPECT_EQ(events->last(KLRTCMediaEventIceGatheringStage)->info.value.toInt(), 2);
    EXPECT_EQ(events->count(KLRTCMediaEventDataChannelMessage), 0);
    EXPECT_EQ(events->count(KLRTCMediaEventStreamAdded), 3); // the scenario's only
    std::lock_guard l(messages->m);
    EXPECT_EQ(messages->types, std::vector<qint32>{KLRTCMediaMessageHowling});
    EXPECT_EQ(messages->logs, QStringList{"kept"});
    EXPECT_EQ(messages->errors, (std::vector<std::pair<qint32, qint32>>{{5, 7}}));
}

TEST_F(BuiltinEngineSim, DisconnectReleasesAndALostServerIsAnIceFailure)
{
    auto connection = connect(events);
    ASSERT_TRUE(connected(events));
    sim.closeMedia(1006);
    ASSERT_TRUE(kltest::waitUntil([&] { return events->count(KLRTCMediaEventIceFailed) == 1; }));
    const auto closed = events->last(KLRTCMediaEventMediaSignalingState);
    ASSERT_TRUE(closed);
    EXPECT_FALSE(closed->info.dictionary()["isOpen"].toBool());

    // An ICE restart reconnects, registers again and does not announce "connected" twice.
    connection->connectIceRestart();
    ASSERT_TRUE(kltest::waitUntil([&] { return events->count(KLRTCMediaEventMediaSignalingState) == 3; }));
    EXPECT_TRUE(events->last(KLRTCMediaEventMediaSignalingState)->info.dictionary()["isOpen"].toBool());
    EXPECT_EQ(sent("register").size(), 2);

    connection->disconnect();
    ASSERT_TRUE(kltest::waitUntil([&] { return events->count(KLRTCMediaEventConnectionReleased) == 1; }));
    ASSERT_TRUE(kltest::waitUntil([&] { return sim.mediaClients() == 0; }));
    EXPECT_EQ(sent("bye").size(), 1);
    sim.hangUpMedia(200); // nobody is left to hear it
    EXPECT_EQ(events->count(KLRTCMediaEventConnected), 1);
    EXPECT_EQ(events->count(KLRTCMediaEventHangupCause), 0);
}

// The conference service drops its reference when the connection is released, inside the
// event: the connection then goes on its own queue's thread.
class DropOnRelease : public KLRTCMediaConnectionDelegate {
public:
    void rtcConnection(const std::shared_ptr<KLRTCMediaConnection> &, int event, const KLRTCMediaEventInfo &) override
    {
        if (event == KLRTCMediaEventConnected)
            connected = true;
        if (event == KLRTCMediaEventConnectionReleased) {
            std::lock_guard lock(mutex);
            held.reset();
        }
    }
    std::mutex mutex;
    std::shared_ptr<KLRTCMediaConnection> held;
    std::atomic<bool> connected{false};
};

TEST_F(BuiltinEngineSim, AConnectionDroppedInsideItsReleaseEventGoesCleanly)
{
    auto delegate = std::make_shared<DropOnRelease>();
    std::weak_ptr<KLRTCMediaConnection> watch;
    {
        auto connection = engine->createConnection(param(kSelf), 1, 0, true, false, delegate);
        watch = connection;
        std::lock_guard lock(delegate->mutex);
        delegate->held = connection;
    }
    watch.lock()->connect();
    ASSERT_TRUE(kltest::waitUntil([&] { return delegate->connected.load(); }));
    watch.lock()->disconnect();
    ASSERT_TRUE(kltest::waitUntil([&] { return watch.expired(); }));
    ASSERT_TRUE(kltest::waitUntil([&] { return sim.mediaClients() == 0; }));
}

TEST_F(BuiltinEngineSim, AServerOutsideTheTrustedAuthoritiesIsNeverRegisteredWith)
{
    auto connection = engine->createConnection(param(kSelf, false), 1, 0, true, false, events);
    connection->connect();
    ASSERT_TRUE(kltest::waitUntil([&] { return events->count(KLRTCMediaEventIceFailed) == 1; }));
    EXPECT_EQ(events->count(KLRTCMediaEventConnected), 0);
    EXPECT_TRUE(sent("register").isEmpty());
}

TEST(BuiltinEngineScenario, TheScenarioCanNameAMemberWhoseShareIsAnnounced)
{
    // The default scenario with the host sharing.
    QFile resource(kelvosim::SimScenario::defaultResource());
    ASSERT_TRUE(resource.open(QIODevice::ReadOnly));
    QJsonObject scenario = QJsonDocument::fromJson(resource.readAll()).object();
    QJsonArray meetings = scenario["meetings"].toArray();
    QJsonObject meeting = meetings[0].toObject();
    meeting.insert("mediaShareMemberUUID", kHost);
    meetings[0] = meeting;
    scenario.insert("meetings", meetings);
    QTemporaryDir dir;
    QFile file(dir.filePath("share.json"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(QJsonDocument(scenario).toJson()) > 0);
    file.close();

    kelvosim::MeetingSimOptions options;
    options.scenarioPath = file.fileName();
    MeetingSim sim(options);
    ASSERT_TRUE(sim.start());
    auto engine = std::make_shared<KLBuiltinMediaSDK>();
    auto events = std::make_shared<EventRecorder>(QThread::currentThread());
    auto connection = engine->createConnection(mediaParam(sim, kSelf), 1, 0, true, false, events);
    connection->connect();
    ASSERT_TRUE(kltest::waitUntil([&] { return events->last(KLRTCMediaEventStreamAdded, "screen-" + kHost).has_value(); }));
    const auto share = events->last(KLRTCMediaEventStreamAdded, "screen-" + kHost)->info.stream;
    EXPECT_TRUE(share->hasScreen());
    EXPECT_EQ(QString::fromUtf8(QByteArray::fromBase64(share->display().toLatin1())), "周明");
    connection->disconnect();
    ASSERT_TRUE(kltest::waitUntil([&] { return events->count(KLRTCMediaEventConnectionReleased) == 1; }));
    sim.stop();
}

} // namespace
