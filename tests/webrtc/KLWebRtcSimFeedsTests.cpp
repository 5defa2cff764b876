// The simulator's members publish real media into its Janus room: a member present from the
// start is seen at the sent size and heard only while it speaks, a member coming online
// appears, and one going offline disappears.

#include "../engine/KLEngineTestSupport.h"
#include "KLTestSupport.h"
#include "KLWebRtcTestSupport.h"

#include "MeetingSim.h"
#include "SimJanusPublisher.h"
#include "SimSignallingEvents.h"
#include "media/webrtc/KLWebRtcMediaSDK.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QSize>
#include <QThread>

namespace {

using namespace kltest::webrtc;

TEST(WebRtcSimFeeds, MembersSendRealMediaAndFollowTheirEvents)
{
    QString why;
    if (!kelvosim::SimJanus::installed(&why) || !KLWebRtcMediaSDK::available(&why))
        GTEST_SKIP() << why.toStdString();
    kelvosim::MeetingSimOptions options;
    options.janus = true;
    kelvosim::MeetingSim sim(options);
    ASSERT_TRUE(sim.start(&why)) << why.toStdString();
    const QJsonObject meeting = sim.scenario().value(QLatin1String("meetings")).toArray().first().toObject();
    const QString zhou = QStringLiteral("8C1D4E2F-6B3A-4D59-9F70-2A1B3C4D5E02");
    const QString alex = QStringLiteral("E7F8A9B0-2C3D-4E5F-9A01-4C5D6E7F8A04");
    // The two members online in the scenario send; the user's own member and the others do not.
    ASSERT_TRUE(kltest::waitUntil([&] { return sim.janusFeeds().size() == 2; }, 10000)) << sim.janusFeeds().join(' ').toStdString();
    EXPECT_TRUE(sim.janusFeeds().contains(zhou));

    KLWebRtcMediaSDK engine;
    auto events = std::make_shared<EventRecorder>(QThread::currentThread());
    const QJsonObject param = simRoomParam(meeting, sim.caFile());
    auto connection = engine.createConnection(param, 1, 0, true, false, events);
    connection->connect();
    std::shared_ptr<KLRTCMediaStream> stream;
    ASSERT_TRUE(kltest::waitUntil([&] {
        if (auto e = events->last(KLRTCMediaEventStreamAdded, zhou))
            stream = e->info.stream;
        return stream != nullptr;
    }, 15000));
    EXPECT_EQ(stream->display(), QStringLiteral("周明"));
    auto view = std::make_shared<FrameView>();
    connection->subscribe(stream);
    stream->playWithView(view);
    ASSERT_TRUE(kltest::waitUntil([&] { return view->frames() >= 30; }, 20000)) << view->frames();
    EXPECT_EQ(view->size(), QSize(640, 360));

    // Silent until the member speaks; the tone is heard while it does and stops after.
    EXPECT_LT(receivedLevel(connection), 300);
    sim.pushEvent(kelvosim::signalling::Speaking, zhou);
    EXPECT_TRUE(kltest::waitUntil([&] { return receivedLevel(connection) > 2000; }, 5000)) << receivedLevel(connection);
    sim.pushEvent(kelvosim::signalling::StoppedTalking, zhou);
    EXPECT_TRUE(kltest::waitUntil([&] { return receivedLevel(connection) < 300; }, 5000)) << receivedLevel(connection);

    // A member's data-channel message (a chat line) arrives.
    sim.pushMediaEvent({{"type", "data"}, {"from", zhou}, {"data", QJsonObject{{"type", "chatMsg"}, {"text", "hello"}}}});
    EXPECT_TRUE(kltest::waitUntil([&] {
        const auto e = events->last(KLRTCMediaEventDataChannelMessage);
        return e && e->info.dictionary().value(QLatin1String("text")).toString() == QLatin1String("hello");
    }, 5000)) << sim.janus()->output().right(3000).toStdString();
    // Janus lists who is in the room: the two members and the user.
    EXPECT_TRUE(kltest::waitUntil([&] {
        const QStringList in = sim.janusParticipants();
        return in.size() == 3 && in.contains(meeting.value(QLatin1String("selfMemberUUID")).toString());
    }, 5000)) << sim.janusParticipants().join(' ').toStdString();

    // Camera off stops the pictures.
    sim.pushEvent(kelvosim::signalling::VideoMuted, zhou);
    EXPECT_TRUE(framesStop(*view)) << view->frames();

    // A member coming online appears; one going offline goes.
    sim.pushEvent(kelvosim::signalling::Online, alex);
    EXPECT_TRUE(kltest::waitUntil([&] { return events->last(KLRTCMediaEventStreamAdded, alex).has_value(); }, 10000));
    sim.pushEvent(kelvosim::signalling::Offline, zhou);
    EXPECT_TRUE(kltest::waitUntil([&] { return events->last(KLRTCMediaEventStreamRemoved, zhou).has_value(); }, 10000));
    EXPECT_FALSE(sim.janusFeeds().contains(zhou));
    connection->disconnect();
    kltest::pumpEvents(200);
}

} // namespace

namespace {

// A feed answers Janus's key frame requests: the loss indications and intra requests in an
// RTCP compound are found, anything else is not taken for one.
TEST(WebRtcSimFeeds, KeyFrameRequestsAreFoundInRtcp)
{
    using kelvosim::SimJanusPublisher;
    const QByteArray pli = QByteArray::fromHex("81ce000200000001000003f2");
    const QByteArray fir = QByteArray::fromHex("84ce00040000000100000000000003f201000000");
    const QByteArray report = SimJanusPublisher::receiverReport();
    EXPECT_TRUE(SimJanusPublisher::asksForKeyFrame(pli));
    EXPECT_TRUE(SimJanusPublisher::asksForKeyFrame(fir));
    EXPECT_TRUE(SimJanusPublisher::asksForKeyFrame(report + pli));
    EXPECT_FALSE(SimJanusPublisher::asksForKeyFrame(report));
    // A generic NACK (transport feedback 205) and a REMB (206, format 15) ask for no key frame.
    EXPECT_FALSE(SimJanusPublisher::asksForKeyFrame(QByteArray::fromHex("81cd000300000001000003f200010000")));
    EXPECT_FALSE(SimJanusPublisher::asksForKeyFrame(QByteArray::fromHex("8fce0004000000010000000052454d4201000000")));
    // Not RTCP, truncated or with a length running past the end: no key frame, no overrun.
    EXPECT_FALSE(SimJanusPublisher::asksForKeyFrame(QByteArray("hello world")));
    EXPECT_FALSE(SimJanusPublisher::asksForKeyFrame(pli.left(3)));
    EXPECT_FALSE(SimJanusPublisher::asksForKeyFrame(QByteArray::fromHex("80c9ffff")));
    EXPECT_EQ(report.size(), 8);
    EXPECT_EQ(quint8(report.at(1)), 201);
}

} // namespace
