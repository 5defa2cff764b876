// The tiles drawn: a tile plays its feed's stream into its own render view and lets it go when
// it shows another feed; names, mute suffix, network icon, placeholder and share background
// follow the feed; the animations run while a member rings or speaks and stop with it; the lock
// control posts its notification; the meeting timer starts once.

#include "../window/KLHubFakeMeeting.h"

#include "conference/registry/KLFeedClient.h"
#include "window/KLMemberListViewController.h"
#include "media/fake/KLFakeMediaSDK.h"
#include "model/KLCallState.h"
#include "model/KLParticipant.h"
#include "runtime/KLLocalization.h"
#include "runtime/KLNotificationCenter.h"
#include "runtime/KLNotificationNames.h"
#include "ui/tiles/KLMeetingBigView.h"
#include "ui/tiles/KLMeetingSmallView.h"
#include "ui/tiles/KLTileAnimation.h"
#include "ui/video/KLVideoRenderWidget.h"

#include "KLTestSupport.h"

#include <gtest/gtest.h>

#include <QPushButton>
#include <QToolButton>
#include <QJsonObject>

namespace {

std::shared_ptr<KLFeedClient> member(const QString &uuid, const QString &name, const QJsonObject &callState,
                                     int memberType = 1)
{
    auto participant = KLParticipant::createWithDictionary(
        {{"memberUUID", uuid}, {"displayName", name}, {"memberType", memberType}});
    participant->setCallState(KLCallState::createWithDictionary(callState));
    return KLFeedClient::create(QJsonValue(7), uuid, {}, participant);
}

KLRTCMediaVideoFrame frame(QRgb colour)
{
    KLRTCMediaVideoFrame f;
    f.width = 64;
    f.height = 36;
    f.format = KLRTCMediaVideoFrame::FormatRGB32;
    f.bytesPerLine = 64 * 4;
    f.pixels = QByteArray(f.bytesPerLine * f.height, Qt::Uninitialized);
    auto *words = reinterpret_cast<quint32 *>(f.pixels.data());
    std::fill(words, words + 64 * 36, colour);
    return f;
}

void postFor(QLatin1String name, const std::shared_ptr<KLFeedClient> &feed)
{
    KLNotificationCenter::defaultCenter().postNotification(
        name, nullptr, {{KLNotificationKeys::client, QVariant::fromValue(feed)}});
}

class Tiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        KLLocalization::setLanguage(KLLocalization::Language::English);
        engine = KLFakeMediaSDK::installNew();
        small.resize(240, 135);
        small.show();
        big.resize(640, 360);
        big.show();
    }
    void TearDown() override
    {
        small.setFeed(nullptr);
        big.setFeed(nullptr);
        KLRTCMediaSDK::install(nullptr);
    }

    std::shared_ptr<KLFeedClient> withStream(const QString &uuid, const QString &name)
    {
        auto feed = member(uuid, name, {{"online", 1}, {"hasVideo", 1}});
        feed->setMediaStream(engine->makeRemoteStream(uuid, name));
        return feed;
    }
    std::shared_ptr<KLFakeMediaStream> streamOf(const std::shared_ptr<KLFeedClient> &feed)
    {
        return std::static_pointer_cast<KLFakeMediaStream>(feed->mediaStream());
    }

    std::shared_ptr<KLFakeMediaSDK> engine;
    KLMeetingSmallView small;
    KLMeetingBigView big;
};

TEST_F(Tiles, ATilePlaysItsFeedsStreamAndLetsItGoForAnother)
{
    auto zhou = withStream("zhou", "Zhou Ming");
    auto alex = withStream("alex", "Alexandra Morgan");
    small.setFeed(zhou);
    ASSERT_EQ(streamOf(zhou)->views().size(), 1u);
    EXPECT_EQ(streamOf(zhou)->views().front(), small.renderView());
    EXPECT_EQ(small.renderView()->renderStreamId(), QStringLiteral("zhou"));
    EXPECT_TRUE(small.videoWidget()->isVisible());
    EXPECT_EQ(small.nameLabel()->text(), QStringLiteral("Zhou Ming"));

    // The engine's frame reaches the tile and is drawn there.
    EXPECT_EQ(streamOf(zhou)->deliverFrame(frame(0xff0000ffu)), 1);
    ASSERT_TRUE(kltest::waitUntil([&] { return small.videoWidget()->counters().drawn == 1; }));
    EXPECT_EQ(small.videoWidget()->framePixel({5, 5}), QColor(Qt::blue));

    // Another member: the old stream stops playing here, the new one plays, the old picture is gone.
    small.setFeed(alex);
    EXPECT_TRUE(streamOf(zhou)->views().empty());
    ASSERT_EQ(streamOf(alex)->views().size(), 1u);
    EXPECT_FALSE(small.videoWidget()->hasFrame());
    EXPECT_EQ(small.nameLabel()->text(), QStringLiteral("Alexandra Mo..."));
    EXPECT_EQ(streamOf(zhou)->deliverFrame(frame(0xffff0000u)), 0);

    // The member turns the camera off: the placeholder replaces the video and the stream stops.
    alex->setVideoMuted(true);
    postFor(KLNotificationNames::AudioVideoChangeNotification, alex);
    ASSERT_TRUE(kltest::waitUntil([&] { return !small.videoWidget()->isVisible(); }));
    EXPECT_EQ(small.state().content, KLVideoTileContent::Avatar);
    EXPECT_TRUE(streamOf(alex)->views().empty());
    // A notification about someone else does not touch this tile.
    alex->setVideoMuted(false);
    postFor(KLNotificationNames::AudioVideoChangeNotification, zhou);
    kltest::pumpEvents(30);
    EXPECT_FALSE(small.videoWidget()->isVisible());

    small.setFeed(nullptr);
    EXPECT_TRUE(streamOf(alex)->views().empty());
    EXPECT_FALSE(small.nameLabel()->isVisible());
}

TEST_F(Tiles, OverlaysFollowTheFeed)
{
    // Oneself in the strip: "me", no network icon, the local preview.
    auto own = member("own", "Lin Xiao", {{"online", 1}});
    own->setIsPublisher(true);
    small.setFeed(own);
    EXPECT_EQ(small.nameLabel()->text(), KLLocalizedString("SELF_TIPS"));
    EXPECT_FALSE(small.networkLabel()->isVisible());

    // A muted member with a weak network: the suffix in the big view, the bad icon and tooltip.
    auto zhao = member("zhao", "Zhao Xue", {{"online", 1}, {"mute", 1}});
    zhao->setNetScore(2);
    big.setFeed(zhao);
    EXPECT_EQ(big.nameLabel()->text(), QStringLiteral("Zhao Xue ") + KLLocalizedString("Mute_In_Big_View"));
    ASSERT_TRUE(big.networkLabel()->isVisible());
    EXPECT_EQ(big.networkLabel()->toolTip(), KLLocalizedString("NETWORK_BAD_TOOLTIP"));
    EXPECT_FALSE(big.networkLabel()->pixmap().isNull());
    EXPECT_EQ(big.state().content, KLVideoTileContent::Avatar);
    // Net scores change for many members at once; the tile reads its own again.
    zhao->setNetScore(3);
    KLNotificationCenter::defaultCenter().postNotification(KLNotificationNames::MeetingMemberNetStatusUpdate);
    ASSERT_TRUE(kltest::waitUntil([&] { return big.state().network.icon == QStringLiteral("conf_network_signal_normal"); }));
    EXPECT_EQ(big.networkLabel()->toolTip(), KLLocalizedString("NETWORK_GOOD_TOOLTIP"));

    // The placeholder draws the member's initial on colour, not the empty background.
    const QImage placeholder = big.grab().toImage();
    const QPoint centre(placeholder.width() / 2, placeholder.height() / 2);
    EXPECT_NE(QColor(placeholder.pixel(centre)), QColor(placeholder.pixel(2, 2)));

    // A remote share plays in the big view; one's own share shows the share background.
    auto share = KLFeedClient::create(QJsonValue(7), "screen-own", {});
    share->setIsPublisher(true);
    share->setMediaStream(engine->makeRemoteStream("screen-own", "Lin Xiao"));
    big.setFeed(share);
    EXPECT_EQ(big.state().content, KLVideoTileContent::ScreenShare);
    EXPECT_FALSE(big.videoWidget()->isVisible());
    auto remoteShare = KLFeedClient::create(QJsonValue(7), "screen-zhou", {});
    remoteShare->setMediaStream(engine->makeRemoteStream("screen-zhou", "Zhou Ming"));
    big.setFeed(remoteShare);
    EXPECT_EQ(big.state().content, KLVideoTileContent::Video);
    EXPECT_TRUE(big.videoWidget()->isVisible());

    // A meeting room without video: its label says whether it has joined.
    auto room = member("room", "Shanghai 3F", {{"online", 0}}, 2);
    small.setFeed(room);
    EXPECT_EQ(small.state().roomLabel, KLLocalizedString("ROOM_COUNT_TIPS"));
}

TEST_F(Tiles, AnimationsRunOnTheirOwnThreadWhileRingingOrSpeakingAndStopWithIt)
{
    auto ringing = member("ring", "Ring", {{"online", 0}, {"ringing", 1}});
    small.setFeed(ringing);
    const KLTileAnimation &calling = small.callingAnimation();
    ASSERT_TRUE(calling.isRunning());
    // Frames keep coming from the animation's thread and cycle through the calling names.
    ASSERT_TRUE(kltest::waitUntil([&] { return calling.framesShown() >= 5; }, 3000));
    EXPECT_TRUE(calling.currentFrame().startsWith(QStringLiteral("calling_ani_")));
    EXPECT_EQ(calling.tickThreadName(), QStringLiteral("callImageThread"));
    EXPECT_FALSE(small.speakingAnimation().isRunning());

    // The ringing ends: the ring notification stops the animation.
    ringing->participant()->callState()->ringing = 0;
    ringing->participant()->callState()->online = 1;
    postFor(KLNotificationNames::RingChangeNotification, ringing);
    ASSERT_TRUE(kltest::waitUntil([&] { return !calling.isRunning(); }));
    const int shown = calling.framesShown();
    kltest::pumpEvents(100);
    EXPECT_EQ(calling.framesShown(), shown);

    // Speaking (mute value 2): the large frames in the big view, the small ones in the strip.
    auto speaker = member("speak", "Speaker", {{"online", 1}, {"mute", 2}});
    big.setFeed(speaker);
    ASSERT_TRUE(kltest::waitUntil([&] { return big.speakingAnimation().framesShown() >= 3; }, 3000));
    EXPECT_TRUE(big.speakingAnimation().currentFrame().startsWith(QStringLiteral("speak_ani_l_")));
    small.setFeed(speaker);
    ASSERT_TRUE(kltest::waitUntil([&] { return small.speakingAnimation().framesShown() >= 3; }, 3000));
    EXPECT_TRUE(small.speakingAnimation().currentFrame().startsWith(QStringLiteral("speak_ani_")));
    EXPECT_FALSE(small.speakingAnimation().currentFrame().startsWith(QStringLiteral("speak_ani_l_")));
    big.setFeed(nullptr);
    EXPECT_FALSE(big.speakingAnimation().isRunning());

    // Every frame name is drawn by code.
    for (const QString &name : {QStringLiteral("calling_ani_29"), QStringLiteral("speak_ani_l_0"), QStringLiteral("speak_ani_17")})
        EXPECT_FALSE(KLTileAnimationFrames::pixmap(name, QSize(24, 24), 2.0).isNull()) << name.toStdString();
    EXPECT_TRUE(KLTileAnimationFrames::pixmap(QStringLiteral("calling_ani_30"), QSize(24, 24), 1.0).isNull());
}

TEST_F(Tiles, TheLockControlPostsLockOrUnlockAndTheTimerStartsOnce)
{
    QStringList posted;
    for (QLatin1String name : {KLNotificationNames::LockClickMember, KLNotificationNames::UnlockMember})
        KLNotificationCenter::defaultCenter().addObserver(this, name, [&posted](const KLNotification &n) { posted << n.name; });
    auto zhou = member("zhou", "Zhou Ming", {{"online", 1}});
    big.setFeed(zhou);
    ASSERT_TRUE(big.lockButton()->isVisible());
    EXPECT_EQ(big.lockButton()->text(), KLLocalizedString("Lock_To_Big_View"));
    big.lockButton()->click();
    zhou->setIsLocked(true);
    big.refresh();
    EXPECT_EQ(big.lockButton()->text(), KLLocalizedString("Unlock_From_Big_View"));
    big.lockButton()->click();
    KLNotificationCenter::defaultCenter().removeObserver(this);
    EXPECT_EQ(posted, (QStringList{"LockClickMember", "UnlockMember"}));

    EXPECT_FALSE(big.isMeetingTimerRunning());
    EXPECT_FALSE(big.timerLabel()->isVisible());
    QStringList ticks;
    QObject::connect(&big, &KLMeetingBigView::meetingTimerChanged, [&ticks](const QString &t) { ticks << t; });
    big.startMeetingTimer();
    EXPECT_TRUE(big.isMeetingTimerRunning());
    EXPECT_TRUE(big.timerLabel()->isVisible());
    EXPECT_EQ(big.meetingTimerText(), QStringLiteral("00:00:00"));
    big.startMeetingTimer(); // entering again after a refresh does not restart it
    EXPECT_EQ(ticks.size(), 1);
    big.stopMeetingTimer();
    EXPECT_FALSE(big.isMeetingTimerRunning());
}

} // namespace

namespace {

TEST_F(Tiles, TheMuteButtonFollowsTheMemberListsRule)
{
    auto meeting = std::make_shared<kltest::FakeHubMeeting>();
    auto zhou = kltest::makeFeed(QStringLiteral("zhou"));
    meeting->online << zhou;
    QStringList logged;
    auto memberList = KLMemberListViewController::create(meeting, [&logged](const QString &c) { logged << c; });
    memberList->refresh();

    // Without a member list the button only marks a muted member.
    small.setFeed(zhou);
    EXPECT_FALSE(small.muteButton()->isVisible());

    // An external user may mute anyone: shown, enabled, and a press is the row's toggle.
    small.setMemberList(memberList);
    ASSERT_TRUE(small.muteButton()->isVisible());
    EXPECT_TRUE(small.muteButton()->isEnabled());
    EXPECT_EQ(small.muteButton()->toolTip(), KLLocalizedString("Tile_Mute_Tips"));
    small.muteButton()->click();
    EXPECT_EQ(meeting->calls(), QStringList{"muteAudio zhou 1 1"});
    EXPECT_EQ(logged, QStringList{"memberlist-mute-button"});

    // An internal user who is not staff may not mute others: hidden while the member speaks,
    // a disabled mark once the member is muted.
    meeting->internal = true;
    small.refresh();
    EXPECT_FALSE(small.muteButton()->isVisible());
    zhou->participant()->callState()->mute = 1;
    small.refresh();
    ASSERT_TRUE(small.muteButton()->isVisible());
    EXPECT_FALSE(small.muteButton()->isEnabled());
    small.muteButton()->click();
    EXPECT_EQ(meeting->calls().size(), 1);

    small.setFeed(nullptr);
    EXPECT_FALSE(small.muteButton()->isVisible());
}

} // namespace
