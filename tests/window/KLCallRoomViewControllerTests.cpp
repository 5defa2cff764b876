// The call-rooms dialog: which rooms are checked, what select-all does and shows, and that the
// call button dials exactly the checked rooms once and closes.

#include "window/KLCallRoomViewController.h"

#include "runtime/KLNotificationCenter.h"
#include "runtime/KLNotificationNames.h"

#include "KLHubFakeMeeting.h"
#include "KLTestSupport.h"

#include <gtest/gtest.h>

namespace {

using kltest::FakeHubMeeting;
using kltest::makeFeed;

class CallRooms : public ::testing::Test {
protected:
    void SetUp() override
    {
        rooms = {makeFeed("r1"), makeFeed("r2"), makeFeed("r3")};
        dialog = KLCallRoomViewController::create(meeting, [this] { return rooms; });
        dialog->setView(view);
    }

    struct View final : KLCallRoomView {
        void reloadRooms() override { ++reloads; }
        void closeDialog() override { ++closes; }
        int reloads = 0, closes = 0;
    };
    std::shared_ptr<FakeHubMeeting> meeting = std::make_shared<FakeHubMeeting>();
    QList<KLHubFeedPtr> rooms;
    std::shared_ptr<View> view = std::make_shared<View>();
    std::shared_ptr<KLCallRoomViewController> dialog;
};

TEST_F(CallRooms, SelectAllAddsTheMissingRoomsAndClearsWhenAllAreSelected)
{
    EXPECT_FALSE(dialog->isAllSelected());
    dialog->toggleRoom("r2");
    EXPECT_EQ(dialog->selectedUuids(), QStringList{"r2"});
    EXPECT_FALSE(dialog->isAllSelected());

    dialog->selectAllClicked(); // some selected: the others are added
    EXPECT_EQ(dialog->selectedUuids(), (QStringList{"r1", "r2", "r3"}));
    EXPECT_TRUE(dialog->isAllSelected());

    dialog->selectAllClicked(); // all selected: cleared
    EXPECT_TRUE(dialog->selectedUuids().isEmpty());
    EXPECT_FALSE(dialog->isAllSelected());

    dialog->toggleRoom("r1");
    dialog->toggleRoom("r1");
    EXPECT_TRUE(dialog->selectedUuids().isEmpty()) << "a second toggle unchecks";
    dialog->toggleRoom("nobody");
    EXPECT_TRUE(dialog->selectedUuids().isEmpty()) << "only listed rooms can be checked";
    EXPECT_GE(view->reloads, 6);
}

TEST_F(CallRooms, AnEmptyListNeverShowsSelectAllOn)
{
    rooms.clear();
    dialog->reload();
    EXPECT_FALSE(dialog->isAllSelected());
    dialog->selectAllClicked();
    EXPECT_FALSE(dialog->isAllSelected());
    EXPECT_FALSE(dialog->isCallEnabled());
}

TEST_F(CallRooms, CallButtonIsActiveOnlyWithASelectionAndCallsEachCheckedRoomOnce)
{
    EXPECT_EQ(dialog->callButtonColor(), "#B2D6FB");
    dialog->callClicked();
    EXPECT_TRUE(meeting->calls().isEmpty());
    EXPECT_FALSE(dialog->isClosed()) << "nothing selected: nothing happens";

    dialog->toggleRoom("r1");
    dialog->toggleRoom("r3");
    EXPECT_EQ(dialog->callButtonColor(), "#4990E6");
    int closedHeard = 0;
    dialog->setClosedHandler([&] { ++closedHeard; });
    dialog->callClicked();
    EXPECT_EQ(meeting->calls(), (QStringList{"call r1", "call r3"}));
    EXPECT_TRUE(dialog->isClosed());
    EXPECT_EQ(view->closes, 1);
    EXPECT_EQ(closedHeard, 1);
    dialog->callClicked();
    EXPECT_EQ(meeting->calls().size(), 2) << "a closed dialog calls nobody";
}

TEST_F(CallRooms, RoomsThatJoinedMeanwhileAreNotCalledAndTheListFollowsMemberChanges)
{
    dialog->selectAllClicked();
    rooms.removeAt(1); // r2 came online
    KLNotificationCenter::defaultCenter().postNotification(KLNotificationNames::OnlineOfflineChangeNotification);
    ASSERT_TRUE(kltest::waitUntil([&] { return dialog->rooms().size() == 2; }));
    EXPECT_TRUE(dialog->isAllSelected());
    dialog->callClicked();
    EXPECT_EQ(meeting->calls(), (QStringList{"call r1", "call r3"}));
}

TEST_F(CallRooms, AHostsChoiceCallsTheListedRoomsAmongItsUuids)
{
    EXPECT_FALSE(dialog->callRooms({"nobody"}));
    EXPECT_FALSE(dialog->isClosed());
    EXPECT_TRUE(dialog->callRooms({"r3", "nobody", "r2"}));
    EXPECT_EQ(meeting->calls(), (QStringList{"call r2", "call r3"}));
    EXPECT_TRUE(dialog->isClosed());
}

} // namespace
