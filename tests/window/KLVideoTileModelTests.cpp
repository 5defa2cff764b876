// The tile rules without widgets: how names are shortened and suffixed, which network icon and
// tooltip a net score gives, what fills a tile, the room label and the meeting timer's text.

#include "conference/registry/KLFeedClient.h"
#include "media/fake/KLFakeMediaSDK.h"
#include "model/KLCallState.h"
#include "model/KLParticipant.h"
#include "runtime/KLLocalization.h"
#include "window/KLVideoTileModel.h"

#include <gtest/gtest.h>

#include <QJsonObject>

namespace {

using namespace KLVideoTileModel;

class VideoTileModel : public ::testing::Test {
protected:
    void SetUp() override { KLLocalization::setLanguage(KLLocalization::Language::English); }
};

TEST_F(VideoTileModel, NamesAreShortenedInSmallTilesAndSuffixedWhenMutedInTheBigView)
{
    struct Case { QString name; bool self; QString small; };
    const std::vector<Case> cases{
        {"Alexandra M", false, "Alexandra M"},            // 11 characters: whole
        {"Alexandra Mo", false, "Alexandra Mo..."},        // 12: all twelve and three dots
        {"Alexandra Morgan", false, "Alexandra Mo..."},    // longer: the first twelve
        {QString::fromUtf8("上海 3F 明月会议室北京分部"), false, QString::fromUtf8("上海 3F 明月会议室北...")},
        {"", false, ""},
        {"Lin Xiao", true, KLLocalizedString("SELF_TIPS")},
    };
    for (const Case &c : cases)
        EXPECT_EQ(smallTileName(c.name, c.self), c.small) << c.name.toStdString();
    EXPECT_NE(KLLocalizedString("SELF_TIPS"), QStringLiteral("SELF_TIPS"));

    const QString suffix = KLLocalizedString("Mute_In_Big_View");
    EXPECT_EQ(bigViewName("Zhou Ming", true), QStringLiteral("Zhou Ming ") + suffix);
    EXPECT_EQ(bigViewName("Zhou Ming", false), QStringLiteral("Zhou Ming"));
    EXPECT_EQ(bigViewName("", true), QString()); // an empty name hides the label, muted or not
    // Chinese texts come from the other table.
    KLLocalization::setLanguage(KLLocalization::Language::Chinese);
    EXPECT_NE(bigViewName("Zhou Ming", true), QStringLiteral("Zhou Ming ") + suffix);
}

TEST_F(VideoTileModel, NetworkIndicatorFollowsTheNetScoreOnlyForOthersOnlineInPallasMeetings)
{
    struct Case { bool pallas, self, online; qint64 score; bool visible; QString icon, tooltip; };
    const std::vector<Case> cases{
        {true, false, true, 5, true, "conf_network_signal_good", "NETWORK_GOOD_TOOLTIP"},
        {true, false, true, 4, true, "conf_network_signal_good", "NETWORK_GOOD_TOOLTIP"},
        {true, false, true, 3, true, "conf_network_signal_normal", "NETWORK_GOOD_TOOLTIP"},
        {true, false, true, 2, true, "conf_network_signal_bad", "NETWORK_BAD_TOOLTIP"},
        {true, false, true, 1, true, "conf_network_signal_terrible", "NETWORK_BAD_TOOLTIP"},
        {true, false, true, -3, true, "conf_network_signal_terrible", "NETWORK_BAD_TOOLTIP"},
        {true, true, true, 1, false, "", ""},
        {true, false, false, 1, false, "", ""},
        {false, false, true, 1, false, "", ""},
    };
    for (const Case &c : cases) {
        const KLVideoTileNetwork net = network(c.pallas, c.self, c.online, c.score);
        EXPECT_EQ(net.visible, c.visible) << c.score;
        EXPECT_EQ(net.icon, c.icon) << c.score;
        EXPECT_EQ(net.tooltipKey, c.tooltip) << c.score;
    }
}

TEST_F(VideoTileModel, ContentRoomLabelAndAnimationFrames)
{
    EXPECT_EQ(content(true, false, false), KLVideoTileContent::Video);
    EXPECT_EQ(content(true, true, false), KLVideoTileContent::Video);        // a remote share plays
    EXPECT_EQ(content(true, true, true), KLVideoTileContent::ScreenShare);   // one's own does not
    EXPECT_EQ(content(false, true, false), KLVideoTileContent::ScreenShare);
    EXPECT_EQ(content(false, false, false), KLVideoTileContent::Avatar);

    EXPECT_EQ(roomLabelKey(true, true), QStringLiteral("IN_MEETING_TIPS"));
    EXPECT_EQ(roomLabelKey(true, false), QStringLiteral("ROOM_COUNT_TIPS"));
    EXPECT_EQ(roomLabelKey(false, true), QString());

    EXPECT_EQ(callingFrameName(0), QStringLiteral("calling_ani_0"));
    EXPECT_EQ(callingFrameName(29), QStringLiteral("calling_ani_29"));
    EXPECT_EQ(callingFrameName(30), QStringLiteral("calling_ani_0"));
    EXPECT_EQ(speakingFrameName(true, 17), QStringLiteral("speak_ani_l_17"));
    EXPECT_EQ(speakingFrameName(false, 18), QStringLiteral("speak_ani_0"));
}

TEST_F(VideoTileModel, MeetingTimerCountsWholeHoursWithoutWrapping)
{
    EXPECT_EQ(meetingTimerText(0), QStringLiteral("00:00:00"));
    EXPECT_EQ(meetingTimerText(59), QStringLiteral("00:00:59"));
    EXPECT_EQ(meetingTimerText(61), QStringLiteral("00:01:01"));
    EXPECT_EQ(meetingTimerText(3600 + 23 * 60 + 7), QStringLiteral("01:23:07"));
    EXPECT_EQ(meetingTimerText(25 * 3600), QStringLiteral("25:00:00"));
    EXPECT_EQ(meetingTimerText(100 * 3600 + 1), QStringLiteral("100:00:01"));
    EXPECT_EQ(meetingTimerText(-5), QStringLiteral("00:00:00"));
}

std::shared_ptr<KLFeedClient> person(const QString &uuid, const QString &name, const QJsonObject &callState,
                                     int memberType = 1)
{
    auto participant = KLParticipant::createWithDictionary(
        {{"memberUUID", uuid}, {"displayName", name}, {"memberType", memberType}, {"empId", "E1"}});
    participant->setCallState(KLCallState::createWithDictionary(callState));
    return KLFeedClient::create(QJsonValue(7), uuid, {}, participant);
}

TEST_F(VideoTileModel, DescribeReadsTheFeed)
{
    EXPECT_EQ(describe(nullptr, true, true).uuid, QString());

    // A muted member without a stream: the placeholder, the suffixed name, a weak-network icon.
    auto muted = person("m1", "Zhao Xue", {{"online", 1}, {"mute", 1}});
    muted->setNetScore(2);
    KLVideoTileState big = describe(muted, true, true);
    EXPECT_EQ(big.content, KLVideoTileContent::Avatar);
    EXPECT_TRUE(big.muted);
    EXPECT_EQ(big.name, bigViewName("Zhao Xue", true));
    EXPECT_EQ(big.network.icon, QStringLiteral("conf_network_signal_bad"));
    EXPECT_FALSE(big.calling);
    EXPECT_EQ(describe(muted, false, true).name, QStringLiteral("Zhao Xue"));
    EXPECT_FALSE(describe(muted, false, false).network.visible);

    // Speaking is the call state's mute value 2; ringing is calling.
    EXPECT_TRUE(describe(person("s", "S", {{"online", 1}, {"mute", 2}}), false, true).speaking);
    auto ringing = person("r", "R", {{"online", 0}, {"ringing", 1}});
    EXPECT_TRUE(describe(ringing, false, true).calling);
    EXPECT_FALSE(describe(ringing, false, true).network.visible);

    // A room: its label says whether it has joined.
    const auto online = describe(person("room", "Room", {{"online", 1}}, 2), false, true);
    EXPECT_TRUE(online.isRoom);
    EXPECT_EQ(online.roomLabel, KLLocalizedString("IN_MEETING_TIPS"));
    EXPECT_EQ(describe(person("room", "Room", {{"online", 0}}, 2), false, true).roomLabel,
              KLLocalizedString("ROOM_COUNT_TIPS"));

    // Oneself: "me" in the strip, never a network icon; a share feed is never "me".
    auto own = person("own", "Lin Xiao", {{"online", 1}});
    own->setIsPublisher(true);
    own->setNetScore(1);
    EXPECT_EQ(describe(own, false, true).name, KLLocalizedString("SELF_TIPS"));
    EXPECT_FALSE(describe(own, false, true).network.visible);
    auto share = KLFeedClient::create(QJsonValue(7), "screen-own", {});
    share->setIsPublisher(true);
    share->setDisplay("Lin Xiao");
    EXPECT_EQ(describe(share, false, true).content, KLVideoTileContent::ScreenShare);
    EXPECT_EQ(describe(share, false, true).name, QStringLiteral("Lin Xiao"));

    // A stream announced before any member list names it: the stream's own name, but never a
    // share's (its name is encoded).
    auto engine = KLFakeMediaSDK::installNew();
    auto guest = KLFeedClient::create(QJsonValue(7), "guest-1", {});
    guest->setMediaStream(engine->makeRemoteStream("guest-1", "Guest 1"));
    EXPECT_EQ(describe(guest, false, true).name, QStringLiteral("Guest 1"));
    EXPECT_EQ(describe(guest, false, true).content, KLVideoTileContent::Video);
    auto encoded = KLFeedClient::create(QJsonValue(7), "screen-guest", {});
    encoded->setMediaStream(engine->makeRemoteStream("screen-guest", "R3Vlc3QgMQ=="));
    EXPECT_EQ(describe(encoded, true, true).name, QString());
    KLRTCMediaSDK::install(nullptr);
}

} // namespace
