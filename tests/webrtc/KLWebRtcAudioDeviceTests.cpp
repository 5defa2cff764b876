// Microphones and speakers in a meeting on Janus: what a member sends comes from the microphone
// it chose and a subscription plays on the speaker chosen, and switching either during the
// meeting takes effect on the running streams without publishing again. The devices are the
// test provider's: its microphones make a tone or silence, its speakers count their buffers.

#include "../engine/KLEngineTestSupport.h"
#include "KLTestSupport.h"
#include "KLWebRtcTestSupport.h"

#include "SimJanus.h"
#include "media/webrtc/KLWebRtcMediaSDK.h"

#include <gtest/gtest.h>

#include <QThread>

using kelvosim::SimJanus;
using namespace kltest::webrtc;

namespace {

struct Member {
    std::shared_ptr<EventRecorder> events = std::make_shared<EventRecorder>(QThread::currentThread());
    std::shared_ptr<StreamRecorder> states = std::make_shared<StreamRecorder>();
    std::shared_ptr<KLRTCMediaConnection> connection;
    std::shared_ptr<KLRTCMediaStream> local;
};

class WebRtcAudioDevices : public ::testing::Test {
protected:
    void SetUp() override
    {
        QString why;
        if (!SimJanus::installed(&why) || !KLWebRtcMediaSDK::available(&why))
            GTEST_SKIP() << why.toStdString();
        useTestDevices({{"Audio/Source", "Quiet Microphone", "node.name", "quiet-mic", nullptr,
                         "audiotestsrc is-live=true wave=silence"},
                        {"Audio/Source", "Tone Microphone", "node.name", "tone-mic", nullptr,
                         "audiotestsrc is-live=true wave=sine freq=440 volume=0.4", true},
                        {"Audio/Sink", "Speakers A", "node.name", "speakers-a", nullptr, "fakesink sync=true"},
                        {"Audio/Sink", "Speakers B", "node.name", "speakers-b", nullptr, "fakesink sync=true"}});
        engine = std::make_unique<KLWebRtcMediaSDK>();
        QString error;
        ASSERT_TRUE(janus.start({QStringLiteral("meeting-1")}, &error)) << error.toStdString();
    }
    void TearDown() override
    {
        for (Member *m : {&alice, &bob}) {
            if (m->connection)
                m->connection->disconnect();
            if (m->local)
                m->local->close();
        }
        kltest::pumpEvents(300);
        useTestDevices({});
    }
    // An audio-only member whose stream names its microphone and speaker.
    void join(Member &m, const QString &uuid, const QString &micId, const QString &speakerId)
    {
        const QJsonObject param = roomParam(janus.url(), janus.caFile(), QStringLiteral("meeting-1"), uuid, janus.token());
        m.connection = engine->createConnection(param, 1, 0, false, false, m.events);
        m.local = engine->createStream({{QStringLiteral("audio"), true}, {QStringLiteral("video"), false},
                                        {QStringLiteral("micId"), micId}, {QStringLiteral("speakerId"), speakerId}},
                                       m.states);
        m.local->initStream();
        m.connection->connect();
        m.connection->publishStream(m.local);
    }

    SimJanus janus;
    std::unique_ptr<KLWebRtcMediaSDK> engine;
    Member alice, bob;
};

TEST_F(WebRtcAudioDevices, TheChosenMicrophoneIsSentAndTheChosenSpeakerPlaysBothSwitchedLive)
{
    join(alice, QStringLiteral("alice"), QStringLiteral("quiet-mic"), QString());
    join(bob, QStringLiteral("bob"), QString(), QStringLiteral("speakers-a"));
    std::shared_ptr<KLRTCMediaStream> aliceAtBob;
    ASSERT_TRUE(kltest::waitUntil([&] {
        if (auto e = bob.events->last(KLRTCMediaEventStreamAdded, QStringLiteral("alice")))
            aliceAtBob = e->info.stream;
        return aliceAtBob != nullptr;
    }, 15000)) << janus.output().right(3000).toStdString();
    bob.connection->subscribe(aliceAtBob);

    // Alice's audio plays on Bob's chosen speaker only; her chosen quiet microphone, not the
    // default tone, is what he hears.
    ASSERT_TRUE(kltest::waitUntil([] { return buffersPlayed("speakers-a") >= 10; }, 10000));
    EXPECT_EQ(buffersPlayed("speakers-b"), 0);
    EXPECT_LT(receivedLevel(bob.connection), 300);
    const QJsonObject sent = sentAudio(alice.connection);
    EXPECT_LT(sent.value(QLatin1String("iLevel")).toInt(), 300);

    // Alice chooses a microphone that is not listed (unplugged meanwhile): the default one, the
    // tone, is sent from then on, on the same stream; nothing is published again.
    alice.connection->changeAudioInputDevice(QStringLiteral("unplugged-mic"));
    EXPECT_TRUE(kltest::waitUntil([&] { return receivedLevel(bob.connection) > 2000; }, 5000)) << receivedLevel(bob.connection);
    EXPECT_TRUE(kltest::waitUntil([&] { return sentAudio(alice.connection).value(QLatin1String("iLevel")).toInt() > 2000; }, 5000));
    EXPECT_EQ(sentAudio(alice.connection).value(QLatin1String("ssrc")), sent.value(QLatin1String("ssrc")));
    EXPECT_EQ(bob.events->count(KLRTCMediaEventStreamAdded), 1);

    // Bob switches speakers: the new one gets the audio, the old one nothing more.
    bob.connection->changeAudioOutputDevice(QStringLiteral("speakers-b"));
    ASSERT_TRUE(kltest::waitUntil([] { return buffersPlayed("speakers-b") > 0; }, 5000));
    const int playedOnA = buffersPlayed("speakers-a");
    const int playedOnB = buffersPlayed("speakers-b");
    ASSERT_TRUE(kltest::waitUntil([&] { return buffersPlayed("speakers-b") >= playedOnB + 10; }, 5000));
    EXPECT_EQ(buffersPlayed("speakers-a"), playedOnA);
    EXPECT_GT(receivedLevel(bob.connection), 2000);

    // Alice goes back to her quiet microphone.
    alice.connection->changeAudioInputDevice(QStringLiteral("quiet-mic"));
    EXPECT_TRUE(kltest::waitUntil([&] { return receivedLevel(bob.connection) < 300; }, 5000)) << receivedLevel(bob.connection);
    EXPECT_EQ(sentAudio(alice.connection).value(QLatin1String("ssrc")), sent.value(QLatin1String("ssrc")));
}

} // namespace
