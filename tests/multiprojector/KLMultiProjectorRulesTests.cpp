// The pure rules of a cast: who the member filters pick, the window title and the message
// of a server-side end.

#include "KLMultiProjectorTestFakes.h"

#include "conference/KLConferenceService.h"
#include "conference/KLMultiProjectorMembers.h"
#include "multiprojector/KLMultiProjectorTitle.h"
#include "runtime/KLLocalization.h"

#include <gtest/gtest.h>

namespace {

using namespace kltest;
namespace M = KLMultiProjectorMembers;
using FeedList = M::FeedList;

QString uuids(const FeedList &feeds) { return M::joinedUuids(feeds); }

// One meeting with one of each kind of member the filters tell apart.
class MultiProjectorMembers : public ::testing::Test {
protected:
    void SetUp() override
    {
        bare->setIsMultiScreenReceive(true); // a receiver known only by its flag
        share->setMtype(QStringLiteral("screen"));
        all = {self, personAudio_, roomAudio_, roomQuiet, personRecv, roomRecv, personSend,
               bridge, share, bare};
    }
    std::shared_ptr<KLFeedClient> self = makeFeed("self", 1, {{"online", 1}});
    std::shared_ptr<KLFeedClient> personAudio_ = makeFeed("p-audio", 1, personAudio());
    std::shared_ptr<KLFeedClient> roomAudio_ = makeFeed("r-audio", 2, roomAudio());
    std::shared_ptr<KLFeedClient> roomQuiet = makeFeed("r-quiet", 2, {{"online", 1}});
    std::shared_ptr<KLFeedClient> personRecv = makeFeed("p-recv", 1, receiving());
    std::shared_ptr<KLFeedClient> roomRecv = makeFeed("r-recv", 2, receiving());
    std::shared_ptr<KLFeedClient> personSend = makeFeed("p-send", 1, sending());
    std::shared_ptr<KLFeedClient> bridge = makeFeed("freeswitch", 1, personAudio());
    std::shared_ptr<KLFeedClient> share = makeFeed("screen-p-send", 1, receiving());
    std::shared_ptr<KLFeedClient> bare = makeFeed("bare", 0);
    FeedList all;
};

TEST_F(MultiProjectorMembers, EachListFilterPicksItsMembersInRegistrationOrder)
{
    const struct {
        const char *filter;
        FeedList result;
        QString expected;
    } cases[] = {
        {"participants", M::participantsWithMultiProjector(all), "p-audio,r-audio,p-recv,r-recv,p-send,bare"},
        {"viewers, sender owns the share", M::participantsWithMultiProjectorViewerList(all, personSend),
         "p-send,p-recv,r-recv,bare"},
        {"viewers, a receiver owns it", M::participantsWithMultiProjectorViewerList(all, personRecv),
         "p-recv,r-recv,bare"},
        {"viewers, no share", M::participantsWithMultiProjectorViewerList(all, nullptr), "p-recv,r-recv,bare"},
        {"viewers, unregistered owner",
         M::participantsWithMultiProjectorViewerList(all, makeFeed("gone", 1)), "p-recv,r-recv,bare"},
        {"other receivers", M::screenReceiveOtheMembersForMultiProjector(all, self), "p-recv,r-recv"},
        {"other receivers, own is one", M::screenReceiveOtheMembersForMultiProjector(all, personRecv), "r-recv"},
        {"not receiving", M::noRecvShareMemberForMultiProjector(all, self), "p-audio,r-audio,r-quiet,p-send"},
        {"rooms not receiving", M::noRecvShareMemberOfRoomForMultiProjector(all, self), "r-audio,r-quiet"},
        {"audio online", M::audioOnlineMembersForMultiProjectorWithSelf(all, self, true), "p-audio,r-audio"},
        {"audio online without own", M::audioOnlineMembersForMultiProjectorWithSelf(all, personAudio_, false),
         "r-audio"},
        {"audio online with own", M::audioOnlineMembersForMultiProjectorWithSelf(all, personAudio_, true),
         "p-audio,r-audio"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(uuids(c.result), c.expected) << c.filter;
}

TEST_F(MultiProjectorMembers, OfflineUuidsCountTheOwnFeedOnlyWhenAsked)
{
    EXPECT_EQ(M::audioOfflineUuidsForMultiProjectorWithSelf(all, self, true),
              "self,r-quiet,p-recv,r-recv,p-send");
    EXPECT_EQ(M::audioOfflineUuidsForMultiProjectorWithSelf(all, self, false),
              "r-quiet,p-recv,r-recv,p-send");
    EXPECT_EQ(M::audioOfflineUuidsForMultiProjectorWithSelf({}, self, true), "");
}

TEST_F(MultiProjectorMembers, OnlyPeopleAreLeftToCallUntilARoomWithoutAudioExists)
{
    const struct {
        const char *name;
        FeedList feeds;
        bool onlyPeople;
    } cases[] = {
        {"nobody", {}, true},
        {"people without audio", {self, personRecv, personSend}, true},
        {"room with audio", {self, roomAudio_}, true},
        {"quiet room", {self, roomAudio_, roomQuiet}, false},
        {"receiving room without audio", {roomRecv}, false},
        {"everyone", all, false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(M::isOnlyPersonCallNotOnlineForMultiProjector(c.feeds), c.onlyPeople) << c.name;
}

TEST_F(MultiProjectorMembers, TheShareOwnerIsTheRegisteredFeedBehindTheShare)
{
    EXPECT_EQ(M::shareOwner(all, share), personSend);
    EXPECT_EQ(M::shareOwner(all, makeFeed("screen-nobody", 0)), nullptr);
    EXPECT_EQ(M::shareOwner(all, nullptr), nullptr);
}

TEST(MultiProjectorTitle, TheTitleFollowsAudioMeetingShareAndAudioMembers)
{
    KLLocalization::setLanguage(KLLocalization::Language::English);
    const QString wait = KLLocalizedString("MULTIPROJECTOR_WAIT_FOR_SHARE");
    const QString open = KLLocalizedString("MULTIPROJECTOR_AUDIO_MEETING_IS_OPEN");
    const QString name = QStringLiteral("Q3 review");
    const struct {
        bool audioOpen, hasShare, noAudioMembers;
        QString title;
    } cases[] = {
        {true, true, false, name + "(" + open + ")"},
        {true, false, false, wait + "(" + open + ")"},
        {true, true, true, name},
        {true, false, true, wait},
        {false, true, false, name},
        {false, true, true, name},
        {false, false, false, wait},
        {false, false, true, wait},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(KLMultiProjectorTitle::windowTitle(c.audioOpen, c.hasShare, c.noAudioMembers, name), c.title)
            << c.audioOpen << c.hasShare << c.noAudioMembers;
    }
}

TEST(MultiProjectorTitle, EachServerSideEndHasItsMessage)
{
    const struct {
        int reason;
        bool sharer;
        const char *key;
    } cases[] = {
        {KLLeaveReasonRemoved, true, "MULTIPROJECTOR_BY_KICK_TOAST_DIALOG_MASTER"},
        {KLLeaveReasonRemoved, false, "MULTIPROJECTOR_BY_KICK_TOAST_DIALOG"},
        {KLLeaveReasonJoinedElsewhere, false, "LEAVE_MULTIPROJECTOR_BY_OTHER_CLIENT"},
        {KLLeaveReasonRegisterFailed, true, "LEAVE_ROOM_BY_SIGNAL_REGISTER_FAILED"},
        {KLLeaveReasonMediaFailed, false, "NO_NETWEAK_TIPS"},
        {KLLeaveReasonSystemSleep, false, "SYSTEM_WILL_SLEEP_TIPS"},
        {KLLeaveReasonEnterTimeout, false, "ENTER_ROOM_FAILED"},
        {KLLeaveReasonNetworkLost, false, ""},
        {KLLeaveReasonRoomFull, true, ""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(KLMultiProjectorTitle::leaveMessageKey(c.reason, c.sharer), QString::fromLatin1(c.key)) << c.reason;
}

} // namespace
