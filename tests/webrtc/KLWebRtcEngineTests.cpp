// The WebRTC engine against a real Janus started for the test: two members in one room see
// and hear each other, each through the microphone and speaker chosen (switched during the
// meeting too), one sees the screen the other shares, and bad media-server input ends in
// events, not in a crash or a hang.

#include "../engine/KLEngineTestSupport.h"
#include "KLTestSupport.h"
#include "KLWebRtcTestSupport.h"

#include "SimJanus.h"
#include "SimTurn.h"
#include "media/KLRTCMediaLogging.h"
#include "media/capture/KLScreenCapture.h"
#include "media/webrtc/KLWebRtcMediaConnection.h"
#include "media/webrtc/KLWebRtcMediaSDK.h"
#include "media/webrtc/KLWebRtcPeer.h"
#include "runtime/KLSDKLoggingHandler.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QSize>
#include <QThread>

#include <algorithm>

using kelvosim::SimJanus;
using namespace kltest::webrtc;

namespace {

struct Member {
    std::shared_ptr<EventRecorder> events = std::make_shared<EventRecorder>(QThread::currentThread());
    std::shared_ptr<StreamRecorder> states = std::make_shared<StreamRecorder>();
    std::shared_ptr<KLRTCMediaConnection> connection;
    std::shared_ptr<KLRTCMediaStream> local;
    std::shared_ptr<FrameView> view = std::make_shared<FrameView>();
};

/// A capture showing one solid colour (0xffRRGGBB) at a size the test changes; `padding`
/// black pixels end each row.
class SolidScreen : public KLScreenCaptureSource {
public:
    void show(int width, int height, quint32 colour, int padding = 0)
    {
        KLRTCMediaVideoFrame frame{width, height, KLRTCMediaVideoFrame::FormatRGB32, (width + padding) * 4, {}, 0};
        frame.pixels = QByteArray(qsizetype(frame.bytesPerLine) * height, '\0');
        for (int y = 0; y < height; ++y)
            std::fill_n(reinterpret_cast<quint32 *>(frame.pixels.data() + qsizetype(y) * frame.bytesPerLine), width, colour);
        std::lock_guard lock(m_mutex);
        m_frame = frame;
    }
    QString describe() const override { return QStringLiteral("solid test screen"); }
    bool latestFrame(KLRTCMediaVideoFrame &frame) const override
    {
        std::lock_guard lock(m_mutex);
        frame = m_frame;
        return frame.isValid();
    }
    qint64 framesTaken() const override { return 1; }
    void stop() override { stopped = true; }
    std::atomic<bool> stopped{false};

private:
    mutable std::mutex m_mutex;
    KLRTCMediaVideoFrame m_frame;
};

QJsonObject param(const SimJanus &janus, const QString &room, const QString &uuid, const QString &token)
{
    return roomParam(janus.url(), janus.caFile(), room, uuid, token);
}

class WebRtcEngine : public ::testing::Test {
protected:
    void SetUp() override
    {
        QString why;
        if (!SimJanus::installed(&why) || !KLWebRtcMediaSDK::available(&why))
            GTEST_SKIP() << why.toStdString();
        useTestDevices({}); // no microphone or speaker of the machine's
        QString error;
        ASSERT_TRUE(janus.start({QStringLiteral("meeting-1")}, &error)) << error.toStdString();
    }
    void join(Member &m, const QString &uuid, bool tone, const QString &room = QStringLiteral("meeting-1"),
              const QString &token = {}, const QJsonObject &turn = {}, const QJsonObject &media = {})
    {
        QJsonObject p = param(janus, room, uuid, token.isNull() ? janus.token() : token);
        if (!turn.isEmpty()) {
            p.insert(QStringLiteral("iceServices"), QJsonArray{turn});
            p.insert(QStringLiteral("iceTransportPolicy"), QStringLiteral("relay"));
        }
        m.connection = engine.createConnection(p, 1, 0, true, false, m.events);
        QJsonObject dictionary{{QStringLiteral("audio"), true}, {QStringLiteral("video"), true},
                               {QStringLiteral("micId"), tone ? QStringLiteral("test-tone") : QString()}};
        for (auto it = media.begin(); it != media.end(); ++it)
            dictionary.insert(it.key(), it.value());
        m.local = engine.createStream(dictionary, m.states);
        m.local->initStream();
        m.connection->connect();
        m.connection->publishStream(m.local);
    }
    std::shared_ptr<KLRTCMediaStream> waitForRemote(Member &m, const QString &id)
    {
        std::shared_ptr<KLRTCMediaStream> found;
        kltest::waitUntil([&] {
            if (auto e = m.events->last(KLRTCMediaEventStreamAdded, id))
                found = e->info.stream;
            return found != nullptr;
        }, 15000);
        return found;
    }
    void TearDown() override
    {
        for (Member *m : {&a, &b}) {
            if (m->connection)
                m->connection->disconnect();
            if (m->local)
                m->local->close();
        }
        kltest::pumpEvents(300);
        KLScreenCapture::setBackend({});
        KLLoggingSetLoggingHandler(&LoggingHandler);
    }

    SimJanus janus;
    KLWebRtcMediaSDK engine;
    Member a, b;
};

TEST_F(WebRtcEngine, TwoMembersSeeHearAndMessageEachOther)
{
    join(a, QStringLiteral("alice"), true);
    join(b, QStringLiteral("bob"), false);
    const auto bobAtAlice = waitForRemote(a, QStringLiteral("bob"));
    const auto aliceAtBob = waitForRemote(b, QStringLiteral("alice"));
    ASSERT_TRUE(bobAtAlice && aliceAtBob) << janus.output().right(3000).toStdString();
    EXPECT_EQ(a.events->count(KLRTCMediaEventConnected), 1);
    a.connection->subscribe(bobAtAlice);
    b.connection->subscribe(aliceAtBob);
    bobAtAlice->playWithView(a.view);
    aliceAtBob->playWithView(b.view);

    // Each decodes the other's video at the size it was sent.
    ASSERT_TRUE(kltest::waitUntil([&] { return a.view->frames() >= 30 && b.view->frames() >= 30; }, 20000))
        << "frames " << a.view->frames() << "/" << b.view->frames();
    EXPECT_EQ(a.view->size(), QSize(320, 180));
    EXPECT_EQ(b.view->size(), QSize(320, 180));
    EXPECT_GE(a.events->count(KLRTCMediaEventStreamSubscribed), 1);
    EXPECT_GE(a.events->count(KLRTCMediaEventWebrtcUp), 1);
    // The sender's figures are each kind's own: its video packets count as video, and its audio
    // entry holds Opus-sized packets, not the video's.
    EXPECT_TRUE(kltest::waitUntil([&] {
        for (const QJsonValue &entry : status(a.connection).value(QLatin1String("video")).toArray())
            if (entry[QLatin1String("sendVideo")].toBool())
                return entry[QLatin1String("pktsSent")].toInteger() > 0;
        return false;
    }, 5000)) << QJsonDocument(status(a.connection)).toJson().toStdString();
    const QJsonObject sentOpus = sentAudio(a.connection);
    EXPECT_GT(sentOpus[QLatin1String("pktsSent")].toInteger(), 0);
    EXPECT_LT(sentOpus[QLatin1String("bytesSent")].toDouble() / std::max<qint64>(1, sentOpus[QLatin1String("pktsSent")].toInteger()), 400.0);

    // Alice's tone is heard by Bob; Bob's silence is not heard by Alice.
    EXPECT_TRUE(kltest::waitUntil([&] { return receivedLevel(b.connection) > 2000; }, 5000)) << receivedLevel(b.connection);
    EXPECT_LT(receivedLevel(a.connection), 300);
    // Muting Alice stops the level at Bob's side.
    a.local->muteAudio(true);
    EXPECT_TRUE(kltest::waitUntil([&] { return receivedLevel(b.connection) < 300; }, 5000)) << receivedLevel(b.connection);

    // Bob's camera off stops the frames at Alice's side.
    b.local->muteVideo(true);
    EXPECT_TRUE(framesStop(*a.view)) << a.view->frames();

    // A data-channel message arrives.
    EXPECT_TRUE(kltest::waitUntil([&] {
        a.connection->sendData({{QStringLiteral("hello"), QStringLiteral("bob")}});
        kltest::pumpEvents(200);
        const auto e = b.events->last(KLRTCMediaEventDataChannelMessage);
        return e && e->info.dictionary().value(QLatin1String("hello")).toString() == QLatin1String("bob");
    }, 10000));

    // Bob leaving removes his stream at Alice's side.
    b.connection->disconnect();
    b.connection.reset();
    EXPECT_TRUE(kltest::waitUntil([&] { return a.events->last(KLRTCMediaEventStreamRemoved, QStringLiteral("bob")).has_value(); }, 10000));
}

TEST_F(WebRtcEngine, AShareSendsTheCapturedScreenScaledToTheSizeItStartedAt)
{
    QJsonObject shareMedia{{QStringLiteral("screen"), true}, {QStringLiteral("screenFps"), 10},
                           {QStringLiteral("vWidth"), 160}, {QStringLiteral("vHeight"), 90}};
    auto preview = [&](const std::shared_ptr<FrameView> &view) {
        auto stream = engine.createStream(shareMedia, a.states);
        stream->preVideoWithView(view);
        stream->initStream();
        EXPECT_TRUE(kltest::waitUntil([&] { return view->frames() >= 2; }, 8000));
        stream->close();
    };
    // Without a capture the share still starts, on a moving pattern, and the log says why.
    std::mutex linesMutex;
    QStringList lines;
    KLLoggingSetLoggingHandler([&](int, const QString &line) { std::lock_guard lock(linesMutex); lines << line; });
    preview(std::make_shared<FrameView>());
    KLLoggingSetLoggingHandler(&LoggingHandler);
    EXPECT_TRUE(lines.join('\n').contains(QLatin1String("moving pattern: no capture backend is installed")))
        << lines.join('\n').toStdString();
    // A capture that never gives a picture: after a wait the share runs on black at the
    // stream's size rather than never being offered; releasing the share stops the capture.
    auto screen = std::make_shared<SolidScreen>();
    KLScreenCapture::setBackend([&screen](const QString &) { return KLScreenCaptureResult{screen, {}}; });
    const auto black = std::make_shared<FrameView>();
    preview(black);
    EXPECT_EQ(black->size(), QSize(160, 90));
    EXPECT_TRUE(black->near(80, 45, 0xff000000)) << std::hex << black->pixel(80, 45);
    EXPECT_TRUE(screen->stopped);

    const quint32 red = 0xffc82828, blue = 0xff2838c8;
    screen = std::make_shared<SolidScreen>();
    screen->show(480, 270, red);
    const QJsonObject audioOnly{{QStringLiteral("video"), false}};
    join(a, QStringLiteral("alice"), false, QStringLiteral("meeting-1"), {}, {}, audioOnly);
    join(b, QStringLiteral("bob"), false, QStringLiteral("meeting-1"), {}, {}, audioOnly);
    auto share = engine.createStream(shareMedia, a.states);
    share->initStream();
    a.connection->publishStream(share);
    const auto shareAtBob = waitForRemote(b, QStringLiteral("screen-alice"));
    ASSERT_TRUE(shareAtBob) << janus.output().right(3000).toStdString();
    b.connection->subscribe(shareAtBob);
    shareAtBob->playWithView(b.view);
    // Bob decodes Alice's screen: its size (not the stream's 160x90), its colour.
    ASSERT_TRUE(kltest::waitUntil([&] { return b.view->frames() >= 5 && b.view->near(240, 135, red); }, 15000))
        << b.view->frames() << " frames, " << std::hex << b.view->pixel(240, 135);
    EXPECT_EQ(b.view->size(), QSize(480, 270));

    // Alice picks a 4:3 screen (whose rows are padded): the stream keeps its size, the new
    // screen fills its height, unsheared, with black borders at the sides.
    screen->show(640, 480, blue, 10);
    EXPECT_TRUE(kltest::waitUntil([&] {
        for (int x = 70; x <= 410; ++x)
            if (!b.view->near(x, 135, blue))
                return false;
        return true;
    }, 5000)) << std::hex << b.view->pixel(240, 135);
    EXPECT_EQ(b.view->size(), QSize(480, 270));
    EXPECT_TRUE(b.view->near(10, 135, 0xff000000)) << std::hex << b.view->pixel(10, 135);
    a.connection->unPublishStream(share);
    share->close();
    EXPECT_TRUE(screen->stopped);
}

TEST_F(WebRtcEngine, ARestartBringsTheMediaBack)
{
    join(a, QStringLiteral("alice"), false);
    join(b, QStringLiteral("bob"), false);
    auto aliceAtBob = waitForRemote(b, QStringLiteral("alice"));
    ASSERT_TRUE(aliceAtBob);
    b.connection->subscribe(aliceAtBob);
    aliceAtBob->playWithView(b.view);
    ASSERT_TRUE(kltest::waitUntil([&] { return b.view->frames() >= 15; }, 15000));

    // Alice starts over on a new session: Bob sees her stream go and come back, and once
    // subscribed again her frames flow again.
    a.connection->connectIceRestart();
    ASSERT_TRUE(kltest::waitUntil([&] { return b.events->last(KLRTCMediaEventStreamRemoved, QStringLiteral("alice")).has_value(); }, 10000));
    ASSERT_TRUE(kltest::waitUntil([&] { return b.events->count(KLRTCMediaEventStreamAdded) >= 2; }, 15000));
    const auto again = b.events->last(KLRTCMediaEventStreamAdded, QStringLiteral("alice"))->info.stream;
    ASSERT_TRUE(again);
    const auto fresh = std::make_shared<FrameView>();
    b.connection->subscribe(again);
    again->playWithView(fresh);
    EXPECT_TRUE(kltest::waitUntil([&] { return fresh->frames() >= 15; }, 15000)) << fresh->frames();
    EXPECT_EQ(a.events->count(KLRTCMediaEventConnected), 1);
}

TEST_F(WebRtcEngine, OnlyRelayedMediaStillFlows)
{
    if (!kelvosim::SimTurn::installed())
        GTEST_SKIP() << "coturn is not installed";
    kelvosim::SimTurn turn;
    QString error;
    ASSERT_TRUE(turn.start(&error)) << error.toStdString();
    join(a, QStringLiteral("alice"), false, QStringLiteral("meeting-1"), {}, turn.iceServer());
    join(b, QStringLiteral("bob"), false, QStringLiteral("meeting-1"), {}, turn.iceServer());
    const auto aliceAtBob = waitForRemote(b, QStringLiteral("alice"));
    ASSERT_TRUE(aliceAtBob);
    b.connection->subscribe(aliceAtBob);
    aliceAtBob->playWithView(b.view);
    EXPECT_TRUE(kltest::waitUntil([&] { return b.view->frames() >= 30; }, 20000)) << b.view->frames();
}

TEST_F(WebRtcEngine, AnAudioOnlyStreamSendsNoVideo)
{
    join(a, QStringLiteral("alice"), true, QStringLiteral("meeting-1"), {}, {}, {{QStringLiteral("video"), false}});
    join(b, QStringLiteral("bob"), false);
    const auto aliceAtBob = waitForRemote(b, QStringLiteral("alice"));
    ASSERT_TRUE(aliceAtBob);
    EXPECT_TRUE(aliceAtBob->isEnable(QStringLiteral("audio")));
    EXPECT_FALSE(aliceAtBob->isEnable(QStringLiteral("video")));
    b.connection->subscribe(aliceAtBob);
    aliceAtBob->playWithView(b.view);
    EXPECT_TRUE(kltest::waitUntil([&] { return receivedLevel(b.connection) > 2000; }, 10000));
    EXPECT_EQ(b.view->frames(), 0);
}

TEST_F(WebRtcEngine, RefusedJoinsEndInEvents)
{
    // A token signed with another secret: Janus refuses the session.
    join(a, QStringLiteral("alice"), false, QStringLiteral("meeting-1"), SimJanus::tokenWithSecret(QStringLiteral("wrong"), 600));
    // A room that does not exist.
    join(b, QStringLiteral("bob"), false, QStringLiteral("no-such-room"));
    for (Member *m : {&a, &b}) {
        ASSERT_TRUE(kltest::waitUntil([&] { return m->events->count(KLRTCMediaEventHangupCause) > 0; }, 10000));
        EXPECT_EQ(m->events->last(KLRTCMediaEventHangupCause)->info.dictionary().value(QLatin1String("causeCode")).toInt(), 10001);
        EXPECT_EQ(m->events->count(KLRTCMediaEventConnected), 0);
    }
    EXPECT_EQ(a.events->last(KLRTCMediaEventMediaSignalingError)->info.dictionary().value(QLatin1String("responseCode")).toInt(), 403);
    EXPECT_EQ(b.events->last(KLRTCMediaEventMediaSignalingError)->info.dictionary().value(QLatin1String("responseCode")).toInt(), 426);
}

TEST_F(WebRtcEngine, ADroppedMediaServerIsReported)
{
    join(a, QStringLiteral("alice"), false);
    ASSERT_TRUE(kltest::waitUntil([&] { return a.events->count(KLRTCMediaEventConnected) == 1; }, 10000));
    janus.stop();
    EXPECT_TRUE(kltest::waitUntil([&] { return a.events->count(KLRTCMediaEventIceFailed) > 0; }, 10000));
    const auto state = a.events->last(KLRTCMediaEventMediaSignalingState);
    ASSERT_TRUE(state.has_value());
    EXPECT_FALSE(state->info.dictionary().value(QLatin1String("isOpen")).toBool());
}

TEST_F(WebRtcEngine, TheChosenMicrophoneIsSentAndTheChosenSpeakerPlaysBothSwitchedLive)
{
    // The test provider's microphones make a tone (the default one) or silence; its speakers
    // count the buffers they are given (the first listed, taken without a choice, is B).
    useTestDevices({{"Audio/Source", "Quiet Microphone", "node.name", "quiet-mic", nullptr, "audiotestsrc is-live=true wave=silence"},
                    {"Audio/Source", "Tone Microphone", "node.name", "tone-mic", nullptr,
                     "audiotestsrc is-live=true wave=sine freq=440 volume=0.4", true},
                    {"Audio/Sink", "Speakers B", "node.name", "speakers-b", nullptr, "fakesink sync=true"},
                    {"Audio/Sink", "Speakers A", "node.name", "speakers-a", nullptr, "fakesink sync=true"}});
    join(a, QStringLiteral("alice"), false, QStringLiteral("meeting-1"), {}, {},
         {{QStringLiteral("video"), false}, {QStringLiteral("micId"), QStringLiteral("quiet-mic")}});
    join(b, QStringLiteral("bob"), false, QStringLiteral("meeting-1"), {}, {},
         {{QStringLiteral("video"), false}, {QStringLiteral("speakerId"), QStringLiteral("speakers-a")}});
    const auto aliceAtBob = waitForRemote(b, QStringLiteral("alice"));
    ASSERT_TRUE(aliceAtBob) << janus.output().right(3000).toStdString();
    b.connection->subscribe(aliceAtBob);

    // Alice's audio plays on Bob's chosen speaker only; her chosen quiet microphone, not the
    // default tone, is what he hears.
    ASSERT_TRUE(kltest::waitUntil([] { return buffersPlayed("speakers-a") >= 10; }, 10000));
    EXPECT_EQ(buffersPlayed("speakers-b"), 0);
    EXPECT_LT(receivedLevel(b.connection), 300);
    const QJsonObject sent = sentAudio(a.connection);
    EXPECT_LT(sent.value(QLatin1String("iLevel")).toInt(), 300);

    // Alice chooses a microphone that is not listed (unplugged meanwhile): the default one, the
    // tone, is sent from then on, on the same stream; nothing is published again.
    a.connection->changeAudioInputDevice(QStringLiteral("unplugged-mic"));
    EXPECT_TRUE(kltest::waitUntil([&] { return receivedLevel(b.connection) > 2000; }, 5000)) << receivedLevel(b.connection);
    EXPECT_TRUE(kltest::waitUntil([&] { return sentAudio(a.connection).value(QLatin1String("iLevel")).toInt() > 2000; }, 5000));
    EXPECT_EQ(sentAudio(a.connection).value(QLatin1String("ssrc")), sent.value(QLatin1String("ssrc")));
    EXPECT_EQ(b.events->count(KLRTCMediaEventStreamAdded), 1);

    // Bob switches speakers: the new one gets the audio, the old one nothing more.
    b.connection->changeAudioOutputDevice(QStringLiteral("speakers-b"));
    ASSERT_TRUE(kltest::waitUntil([] { return buffersPlayed("speakers-b") > 0; }, 5000));
    const int playedOnA = buffersPlayed("speakers-a");
    const int playedOnB = buffersPlayed("speakers-b");
    ASSERT_TRUE(kltest::waitUntil([&] { return buffersPlayed("speakers-b") >= playedOnB + 10; }, 5000));
    EXPECT_EQ(buffersPlayed("speakers-a"), playedOnA);
    EXPECT_GT(receivedLevel(b.connection), 2000);
    // Choices in quick succession: the last one wins.
    for (int i = 0; i < 9; ++i)
        b.connection->changeAudioOutputDevice(QString::fromLatin1(i % 2 ? "speakers-b" : "speakers-a"));
    ASSERT_TRUE(kltest::waitUntil([&] { return buffersPlayed("speakers-a") >= playedOnA + 10; }, 5000));
    const int lastOnB = buffersPlayed("speakers-b");
    ASSERT_TRUE(kltest::waitUntil([&] { return buffersPlayed("speakers-a") >= playedOnA + 20; }, 5000));
    EXPECT_EQ(buffersPlayed("speakers-b"), lastOnB);
    // Speakers A, in use, are unplugged: the audio goes on on the speakers left.
    unplug("speakers-a");
    EXPECT_TRUE(kltest::waitUntil([&] { return buffersPlayed("speakers-b") >= lastOnB + 10; }, 5000));

    // The tone microphone in use is unplugged: Alice's engine opens her choice again, which
    // now finds only the quiet one.
    unplug("tone-mic");
    EXPECT_TRUE(kltest::waitUntil([&] { return receivedLevel(b.connection) < 300; }, 5000)) << receivedLevel(b.connection);
    EXPECT_EQ(sentAudio(a.connection).value(QLatin1String("ssrc")), sent.value(QLatin1String("ssrc")));
}

TEST(WebRtcEngineRules, GradesAndLoopbackCandidates)
{
    EXPECT_EQ(KLWebRtcMediaConnection::gradeFor(0.0, 0.01), 4);
    EXPECT_EQ(KLWebRtcMediaConnection::gradeFor(0.03, 0.01), 3);
    EXPECT_EQ(KLWebRtcMediaConnection::gradeFor(0.01, 0.4), 2);
    EXPECT_EQ(KLWebRtcMediaConnection::gradeFor(0.2, 0.01), 1);
    const QString sdp = QStringLiteral("v=0\r\na=candidate:1 1 udp 2013266431 192.168.1.5 5000 typ host\r\n"
                                       "a=candidate:2 1 udp 2013266431 127.0.0.1 5001 typ host\r\na=end");
    const QString kept = KLWebRtcPeer::loopbackCandidatesOnly(sdp);
    EXPECT_FALSE(kept.contains(QLatin1String("192.168.1.5")));
    EXPECT_TRUE(kept.contains(QLatin1String("127.0.0.1 5001")));
}

} // namespace

#include "MeetingSim.h"

namespace {

TEST(WebRtcEngineSim, TheSimulatorPointsItsMeetingsAtItsJanus)
{
    QString why;
    if (!SimJanus::installed(&why) || !KLWebRtcMediaSDK::available(&why))
        GTEST_SKIP() << why.toStdString();
    kelvosim::MeetingSimOptions options;
    options.janus = true;
    kelvosim::MeetingSim sim(options);
    ASSERT_TRUE(sim.start(&why)) << why.toStdString();
    ASSERT_NE(sim.janus(), nullptr);
    const QJsonObject scenario = sim.scenario();
    EXPECT_EQ(scenario.value(QLatin1String("mediaEngine")).toString(), QStringLiteral("webrtc"));
    const QJsonObject meeting = scenario.value(QLatin1String("meetings")).toArray().first().toObject();
    const QJsonObject info = meeting.value(QLatin1String("meetingInfo")).toObject();
    EXPECT_EQ(info.value(QLatin1String("rtcserverWsUrl")).toString(), sim.janus()->url());

    // What the join hands the engine for this meeting enters the room, trusting the
    // simulator's own CA.
    KLWebRtcMediaSDK engine;
    auto events = std::make_shared<EventRecorder>(QThread::currentThread());
    const QJsonObject param = simRoomParam(meeting, sim.caFile());
    auto connection = engine.createConnection(param, 1, 0, true, false, events);
    connection->connect();
    EXPECT_TRUE(kltest::waitUntil([&] { return events->count(KLRTCMediaEventConnected) == 1; }, 10000));
    EXPECT_EQ(events->count(KLRTCMediaEventHangupCause), 0);
    connection->disconnect();
    kltest::pumpEvents(200);
}

} // namespace
