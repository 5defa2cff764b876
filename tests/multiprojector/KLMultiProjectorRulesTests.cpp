// The pure rules of a cast: who the member filters pick, the window title and the message
// of a server-side end.

#include "KLMultiProjectorTestFakes.h"

#include "conference/service/KLConferenceService.h"
#include "conference/multiprojector/KLMultiProjectorMembers.h"
#include "multiprojector/KLMultiProjectorTitle.h"
#include "runtime/KLLocalization.h"

#include <gtest/gtest.h>

namespace {

using namespace kltest;
namespace M = KLMultiProjectorMembers;

QString uuids(const M::FeedList &feeds) { return M::joinedUuids(feeds); }

// One meeting with one of each kind of member the filters tell apart.
class MultiProjectorMembers : public ::testing::Test {
protected:
    void SetUp() override
    {
        bare->setIsMultiScreenReceive(true); // a receiver known only by its flag
        share->setMtype(QStringLiteral("screen"));
    }
    FeedPtr self = makeFeed("self", 1, {{"online", 1}});
    FeedPtr pAudio = makeFeed("p-audio", 1, personAudio());
    FeedPtr rAudio = makeFeed("r-audio", 2, roomAudio());
    FeedPtr rQuiet = makeFeed("r-quiet", 2, {{"online", 1}});
    FeedPtr pRecv = makeFeed("p-recv", 1, receiving());
    FeedPtr rRecv = makeFeed("r-recv", 2, receiving());
    FeedPtr pSend = makeFeed("p-send", 1, sending());
    FeedPtr share = makeFeed("screen-p-send", 1, receiving());
    FeedPtr bare = makeFeed("bare", 0);
    M::FeedList all{self, pAudio, rAudio, rQuiet, pRecv, rRecv, pSend, makeFeed("freeswitch", 1, personAudio()),
                    share, bare};
};

TEST_F(MultiProjectorMembers, EachFilterPicksItsMembersInRegistrationOrder)
{
    const struct { const char *filter; QString actual, expected; } cases[] = {
        {"participants", uuids(M::participantsWithMultiProjector(all)), "p-audio,r-audio,p-recv,r-recv,p-send,bare"},
        {"viewers, sender owns the share", uuids(M::participantsWithMultiProjectorViewerList(all, pSend)),
         "p-send,p-recv,r-recv,bare"},
        {"viewers, a receiver owns it", uuids(M::participantsWithMultiProjectorViewerList(all, pRecv)),
         "p-recv,r-recv,bare"},
        {"viewers, no share", uuids(M::participantsWithMultiProjectorViewerList(all, nullptr)), "p-recv,r-recv,bare"},
        {"viewers, unregistered owner",
         uuids(M::participantsWithMultiProjectorViewerList(all, makeFeed("gone", 1))), "p-recv,r-recv,bare"},
        {"other receivers", uuids(M::screenReceiveOtheMembersForMultiProjector(all, self)), "p-recv,r-recv"},
        {"other receivers, own is one", uuids(M::screenReceiveOtheMembersForMultiProjector(all, pRecv)), "r-recv"},
        {"not receiving", uuids(M::noRecvShareMemberForMultiProjector(all, self)), "p-audio,r-audio,r-quiet,p-send"},
        {"rooms not receiving", uuids(M::noRecvShareMemberOfRoomForMultiProjector(all, self)), "r-audio,r-quiet"},
        {"audio online", uuids(M::audioOnlineMembersForMultiProjectorWithSelf(all, self, true)), "p-audio,r-audio"},
        {"audio online without own", uuids(M::audioOnlineMembersForMultiProjectorWithSelf(all, pAudio, false)),
         "r-audio"},
        {"audio online with own", uuids(M::audioOnlineMembersForMultiProjectorWithSelf(all, pAudio, true)),
         "p-audio,r-audio"},
        {"offline with own", M::audioOfflineUuidsForMultiProjectorWithSelf(all, self, true),
         "self,r-quiet,p-recv,r-recv,p-send"},
        {"offline without own", M::audioOfflineUuidsForMultiProjectorWithSelf(all, self, false),
         "r-quiet,p-recv,r-recv,p-send"},
        {"offline of nobody", M::audioOfflineUuidsForMultiProjectorWithSelf({}, self, true), ""},
        // The share's owner is the registered feed behind it, or nobody.
        {"share owner", uuids({M::shareOwner(all, share)}), "p-send"},
        {"owner of an unregistered share", uuids({M::shareOwner(all, makeFeed("screen-nobody", 0))}), ""},
        {"owner of no share", uuids({M::shareOwner(all, nullptr)}), ""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.actual, c.expected) << c.filter;
}

TEST_F(MultiProjectorMembers, OnlyPeopleAreLeftToCallUntilARoomWithoutAudioExists)
{
    const struct { const char *name; M::FeedList feeds; bool onlyPeople; } cases[] = {
        {"nobody", {}, true},
        {"people without audio", {self, pRecv, pSend}, true},
        {"room with audio", {self, rAudio}, true},
        {"quiet room", {self, rAudio, rQuiet}, false},
        {"receiving room without audio", {rRecv}, false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(M::isOnlyPersonCallNotOnlineForMultiProjector(c.feeds), c.onlyPeople) << c.name;
}

TEST(MultiProjectorTitle, TheTitleFollowsAudioMeetingShareAndAudioMembers)
{
    KLLocalization::setLanguage(KLLocalization::Language::English);
    const QString wait = KLLocalizedString("MULTIPROJECTOR_WAIT_FOR_SHARE");
    const QString open = "(" + KLLocalizedString("MULTIPROJECTOR_AUDIO_MEETING_IS_OPEN") + ")";
    const QString name = QStringLiteral("Q3 review");
    const struct { bool audioOpen, hasShare, noAudioMembers; QString title; } cases[] = {
        {true, true, false, name + open}, {true, false, false, wait + open}, {true, true, true, name},
        {true, false, true, wait},        {false, true, false, name},        {false, true, true, name},
        {false, false, false, wait},      {false, false, true, wait},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(KLMultiProjectorTitle::windowTitle(c.audioOpen, c.hasShare, c.noAudioMembers, name), c.title)
            << c.audioOpen << c.hasShare << c.noAudioMembers;
    }
}

TEST(MultiProjectorTitle, EachServerSideEndHasItsMessage)
{
    const struct { int reason; bool sharer; const char *key; } cases[] = {
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
