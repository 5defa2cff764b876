// Mute, video, speaking, floor and kick events, and which host event each one sends.

#include "KLSignalEventFixture.h"

namespace {

using namespace kltest;
namespace Event = KLSignalingEvent;

TEST_F(SignalEventTest, EachMemberEventTellsTheHostItsOwnCode)
{
    const std::pair<qint64, int> cases[] = {
        {Event::Online, 0}, {Event::Offline, 1}, {Event::AudioMuted, 2}, {Event::AudioUnmuted, 3},
        {Event::VideoMuted, 4}, {Event::VideoUnmuted, 5}, {Event::Speaking, 6},
        {Event::StoppedTalking, 7}, {Event::FloorChange, 8},
    };
    feed("a", {{"online", 1}});
    for (const auto &[event, code] : cases) {
        SCOPED_TRACE(event);
        push(event, "a", {{"callState", QJsonObject{{"online", 1}}}});
        QStringList hostEvents = ctx->takeActions().filter("host ");
        EXPECT_EQ(hostEvents, QStringList{QStringLiteral("host %1 a").arg(code)});
    }
    // Ring tells the host nothing; unknown numbers and unregistered members do nothing at all.
    push(Event::Ring, "a");
    EXPECT_EQ(ctx->takeActions(), (QStringList{"display", "post RingChangeNotification a"}));
    EXPECT_EQ(state(ctx->clientWithUUID("a"))->ringing.load(), 1);
    for (qint64 ignored : {12, 19, 23, 24, 36})
        push(ignored, "a");
    push(Event::Online, "ghost", {{"callState", QJsonObject{{"online", 1}}}});
    handler->handleKelvoSignalingMessage({1, Event::Offline, QJsonValue("not an object"), "a"});
    EXPECT_TRUE(ctx->takeActions().isEmpty());
}

TEST_F(SignalEventTest, AudioMuteChangesOnlyTheMuteFlagInAnMcuMeeting)
{
    struct Case { bool pallas; int newOnline; int muteAfter; int vmuteAfter; };
    for (const Case c : {Case{false, 1, 1, 0}, Case{false, 0, 0, 0}, Case{true, 1, 1, 1}}) {
        SCOPED_TRACE(testing::Message() << "pallas " << c.pallas << " online " << c.newOnline);
        ctx->pallas = c.pallas;
        auto a = feed("a", {{"online", 1}, {"mute", 0}, {"vmute", 0}});
        push(Event::AudioMuted, "a", {{"callState", QJsonObject{{"online", c.newOnline}, {"mute", 1}, {"vmute", 1}}}});
        EXPECT_EQ(state(a)->mute.load(), c.muteAfter);
        EXPECT_EQ(state(a)->vmute.load(), c.vmuteAfter);
        EXPECT_TRUE(a->audioMuted()); // the tile follows the event either way
        EXPECT_TRUE(ctx->takeActions().contains("post AudioVideoChangeNotification a"));
        ctx->feeds.removeAll(a);
    }
}

TEST_F(SignalEventTest, UnmutingTheLocalUserEndsTheEntryMuteWishes)
{
    ctx->muteInit = true;
    ctx->audioShouldMute = true;
    push(Event::AudioUnmuted, "me", {{"callState", QJsonObject{{"online", 1}}}});
    EXPECT_FALSE(ctx->muteInit);
    EXPECT_FALSE(ctx->audioShouldMute);
    EXPECT_TRUE(toastTexts().contains("UNMUTED_BY_PERSON me"));

    ctx->videoShouldMute = true;
    ctx->own->setMediaStream(stream("own"));
    ctx->own->muteVideo(true, false);
    push(Event::VideoUnmuted, "me");
    EXPECT_FALSE(ctx->videoShouldMute);
    EXPECT_TRUE(ctx->own->videoMuted()); // the own camera follows the local switch only
}

TEST_F(SignalEventTest, VideoUnmuteOfTheMainFeedTurnsItsReceptionOn)
{
    auto a = feed("a", {{"online", 1}});
    a->setMediaStream(stream("a"));
    a->setVideoMuted(true);
    ctx->displaying = a;
    push(Event::VideoUnmuted, "a");
    EXPECT_FALSE(a->videoMuted());
    EXPECT_TRUE(a->isReceiveVideoByClient());
    EXPECT_TRUE(ctx->takeActions().contains("streamVideo a 1"));
    push(Event::VideoUnmuted, "a"); // already receiving
    EXPECT_FALSE(ctx->takeActions().contains("streamVideo a 1"));
    push(Event::VideoMuted, "a");
    EXPECT_TRUE(a->videoMuted());
}

TEST_F(SignalEventTest, KicksAndFloorChangesConcernOnlyTheirTarget)
{
    struct Case { QString who; bool leaving; QStringList actions; };
    feed("a", {{"online", 1}});
    const Case cases[] = {
        {"me", false, {"hangup 0", "post OnlineOfflineChangeNotification me"}},
        {"me", true, {}},
        {"a", false, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.who.toStdString());
        ctx->leaving = c.leaving;
        push(Event::Kick, c.who);
        EXPECT_EQ(ctx->takeActions(), c.actions);
    }
    push(Event::FloorChange, "me");
    EXPECT_TRUE(ctx->takeActions().isEmpty());
    push(Event::FloorChange, "a");
    EXPECT_EQ(ctx->takeActions(), (QStringList{"floor a", "display", "host 8 a"}));
}

} // namespace
