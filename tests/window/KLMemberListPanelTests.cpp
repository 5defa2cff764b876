// What the member panel draws: each row's marks and allowed buttons, the focus row that follows
// the big view, the five-row cap with its offline heading, and the observer a host drawing the
// window itself listens to; with the call-rooms dialog the member list opens.

#include "window/KLCallRoomViewController.h"
#include "window/KLMemberListViewController.h"

#include "collab/KLChatManager.h"
#include "collab/KLChatViews.h"
#include "presentation/KLDialogQueue.h"
#include "presentation/KLToastManager.h"
#include "runtime/KLLocalization.h"
#include "runtime/KLNotificationCenter.h"
#include "runtime/KLNotificationNames.h"

#include "KLHubFakeMeeting.h"
#include "KLTestSupport.h"

#include <gtest/gtest.h>

namespace {

using kltest::FakeHubMeeting;
using kltest::makeFeed;

KLHubFeedPtr offlineFeed(const QString &uuid, const QJsonObject &extra = {}, qint64 ringing = 0)
{
    return makeFeed(uuid, 0, extra, {{"online", 0}, {"ringing", ringing}});
}

const KLMemberRow *findRow(const QList<KLMemberRow> &rows, const QString &uuid)
{
    for (const auto &row : rows)
        if (row.uuid == uuid)
            return &row;
    return nullptr;
}

class MemberPanel : public kltest::DialogTest {
protected:
    void TearDown() override
    {
        DialogTest::TearDown();
        list.reset();
    }
    void make()
    {
        list = KLMemberListViewController::create(meeting, [](const QString &) {});
        list->setObserver([this] { ++observed; });
        list->refresh();
        kltest::pumpEvents(20);
    }

    std::shared_ptr<FakeHubMeeting> meeting = std::make_shared<FakeHubMeeting>();
    std::shared_ptr<KLMemberListViewController> list;
    int observed = 0;
};

TEST_F(MemberPanel, RowsCarryTheirMarksAndOnlyTheButtonsTheUserMayPress)
{
    meeting->internal = true; // not staff: only the own row may be muted
    meeting->online << makeFeed("talker", 2) << makeFeed("quiet", 1, {}, {{"ringing", 1}});
    meeting->offline << offlineFeed("person", {{"cellPhone", "13800000000"}})
                     << offlineFeed("room", {{"memberType", 2}}, 1);
    make();
    const KLMemberListSnapshot snap = list->snapshot();
    ASSERT_EQ(snap.online.size(), 3);
    ASSERT_EQ(snap.offline.size(), 2);

    const KLMemberRow *own = findRow(snap.online, "own");
    ASSERT_NE(own, nullptr);
    EXPECT_TRUE(own->isSelf);
    EXPECT_EQ(own->buttons, (QStringList{"mute", "hangup", "lock"}));

    const KLMemberRow *talker = findRow(snap.online, "talker");
    EXPECT_TRUE(talker->speaking);
    EXPECT_FALSE(talker->muted);
    EXPECT_FALSE(talker->isSelf);
    EXPECT_EQ(talker->buttons, (QStringList{"hangup", "lock"})) << "an internal non-staff user mutes only themselves";

    const KLMemberRow *quiet = findRow(snap.online, "quiet");
    EXPECT_TRUE(quiet->muted);
    EXPECT_TRUE(quiet->calling);
    EXPECT_FALSE(quiet->speaking);

    const KLMemberRow *person = findRow(snap.offline, "person");
    EXPECT_FALSE(person->online);
    EXPECT_EQ(person->buttons, (QStringList{"call", "callCell", "callDetail"}));
    const KLMemberRow *room = findRow(snap.offline, "room");
    EXPECT_EQ(room->memberType, 2);
    EXPECT_TRUE(room->calling);
    EXPECT_EQ(room->buttons, QStringList{"call"}) << "a room has one line and no cell phone";

    // The local user is never offered a call to themselves, even while counted out.
    meeting->online.removeFirst();
    meeting->offline << meeting->own;
    meeting->own->participant()->callState()->online = 0;
    list->refresh();
    const KLMemberListSnapshot away = list->snapshot();
    const KLMemberRow *ownAway = findRow(away.offline, "own");
    ASSERT_NE(ownAway, nullptr);
    EXPECT_TRUE(ownAway->buttons.isEmpty());
    meeting->own->participant()->callState()->online = 1;
    meeting->offline.removeLast();
    meeting->online.prepend(meeting->own);

    // Staff may mute anyone.
    meeting->staff = true;
    list->refresh();
    EXPECT_TRUE(findRow(list->snapshot().online, "talker")->buttons.contains("mute"));
}

TEST_F(MemberPanel, FocusFollowsTheBigViewWhileItsParticipantIsOnline)
{
    auto other = makeFeed("other");
    auto away = offlineFeed("away");
    meeting->online << other;
    meeting->offline << away;
    meeting->internal = true;
    make();
    EXPECT_TRUE(list->focusedUuid().isEmpty());
    for (const auto &row : list->snapshot().online)
        EXPECT_FALSE(row.focused) << row.uuid.toStdString();

    meeting->displaying = other;
    list->refresh();
    EXPECT_EQ(list->focusedUuid(), "other");
    EXPECT_TRUE(findRow(list->snapshot().online, "other")->focused);
    EXPECT_FALSE(findRow(list->snapshot().online, "own")->focused);

    // The big view on someone not in the meeting gives no row the focus.
    meeting->displaying = away;
    list->refresh();
    EXPECT_TRUE(list->focusedUuid().isEmpty());
    EXPECT_FALSE(findRow(list->snapshot().offline, "away")->focused);
}

TEST_F(MemberPanel, OfflineSectionAndFiveRowCapOnlyInTheInternalDeploymentWithOfflineMembers)
{
    for (int i = 0; i < 7; ++i)
        meeting->online << makeFeed(QStringLiteral("m%1").arg(i));
    meeting->offline << offlineFeed("away");

    make(); // external: offline members are never listed
    KLMemberListSnapshot snap = list->snapshot();
    EXPECT_FALSE(snap.offlineSectionVisible);
    EXPECT_TRUE(snap.offline.isEmpty());
    EXPECT_EQ(snap.maxOnlineRows, 0);

    meeting->internal = true;
    list->refresh();
    snap = list->snapshot();
    EXPECT_TRUE(snap.offlineSectionVisible);
    EXPECT_EQ(snap.offlineTitle, KLLocalizedString("OFFLINE_TIPS"));
    EXPECT_NE(snap.offlineTitle, "OFFLINE_TIPS");
    EXPECT_EQ(snap.maxOnlineRows, 5);
    EXPECT_EQ(snap.online.size(), 8) << "the cap limits the table's height, not the rows";

    meeting->offline.clear();
    list->refresh();
    snap = list->snapshot();
    EXPECT_FALSE(snap.offlineSectionVisible);
    EXPECT_EQ(snap.maxOnlineRows, 0);
}

TEST_F(MemberPanel, ObserverHearsRefreshesLocksAndCallButtons)
{
    meeting->online << makeFeed("other");
    meeting->offline << offlineFeed("away");
    meeting->internal = true;
    make();
    EXPECT_GE(observed, 1);

    int before = observed;
    list->lockClicked("other");
    EXPECT_GT(observed, before);

    before = observed;
    list->callClicked("away");
    EXPECT_GT(observed, before);
    EXPECT_FALSE(findRow(list->snapshot().offline, "away")->callEnabled);

    before = observed;
    list->refresh();
    kltest::pumpEvents(20);
    EXPECT_GT(observed, before);
}

class ChatInputRecorder final : public KLChatInputView {
public:
    void setInputHidden(bool hidden) override { inputHidden = hidden; }
    void setChatButtonHidden(bool hidden) override { buttonHidden = hidden; }
    std::optional<bool> inputHidden, buttonHidden;
};

TEST_F(MemberPanel, BackgroundClickHidesTheChatInputAndCallDetailOpensOnlyForOfflineRows)
{
    struct View final : KLMemberListView {
        void reloadMembers(bool) override {}
        void showOfflineSection(bool, const QString &) override {}
        void setMuteAllState(const KLMemberMuteAllState &) override {}
        void setCallButtonEnabled(const QString &, bool) override {}
        void setLockState(const QString &, const KLMemberLockState &) override {}
        void showCallDetail(const QString &uuid) override { details << uuid; }
        QStringList details;
    };
    meeting->online << makeFeed("other");
    meeting->offline << offlineFeed("away");
    meeting->internal = true;
    make();
    auto view = std::make_shared<View>();
    list->setView(view);
    list->callDetailClicked("other");
    list->callDetailClicked("away");
    EXPECT_EQ(view->details, QStringList{"away"});

    auto input = std::make_shared<ChatInputRecorder>();
    KLChatManager::sharedInstance().initChatInputView(input);
    KLChatManager::sharedInstance().setChatHidden(false);
    ASSERT_TRUE(kltest::waitUntil([&] { return input->inputHidden.has_value(); }));
    EXPECT_FALSE(*input->inputHidden);
    list->backgroundClicked();
    ASSERT_TRUE(kltest::waitUntil([&] { return input->inputHidden == true; }));
    EXPECT_EQ(input->buttonHidden, false);
    KLChatManager::sharedInstance().initChatInputView(nullptr);
}

TEST_F(MemberPanel, CallRoomDialogOpensOnTheServicesRequestOverOfflineRoomsNotBeingCalled)
{
    meeting->offline << offlineFeed("room-a", {{"memberType", 2}}) << offlineFeed("room-b", {{"memberType", 2}}, 1)
                     << offlineFeed("person");
    make();
    EXPECT_EQ(list->callRoomDialog(), nullptr);
    KLNotificationCenter::defaultCenter().postNotification(KLNotificationNames::ShowCallRoomDialog);
    ASSERT_TRUE(kltest::waitUntil([&] { return list->callRoomDialog() != nullptr; }));
    const auto dialog = list->callRoomDialog();
    ASSERT_EQ(dialog->rooms().size(), 1);
    EXPECT_EQ(dialog->rooms().first()->uuid(), "room-a");
    // A second request finds the dialog open.
    EXPECT_EQ(list->openCallRoomDialog(), dialog);

    dialog->dismiss();
    ASSERT_TRUE(kltest::waitUntil([&] { return list->callRoomDialog() == nullptr; }));
    EXPECT_FALSE(meeting->calls().contains("call room-a"));
}

} // namespace
