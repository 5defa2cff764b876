// The invitation page's decisions: who counts as the same invitee, the meeting's size limit,
// members already in the meeting, the one add request and the busy-room check after it.

#include "window/KLInvitationViewController.h"

#include "model/KLParticipant.h"
#include "presentation/KLDialogQueue.h"
#include "presentation/KLToastManager.h"
#include "runtime/KLLocalization.h"
#include "runtime/KLTimeScale.h"

#include "KLPanelFakeMeeting.h"
#include "KLTestSupport.h"

#include <gtest/gtest.h>

namespace {

using kltest::FakePanelMeeting;
using kltest::makeFeed;
using kltest::makeRoom;

KLParticipantPtr person(const QJsonObject &fields)
{
    return KLParticipant::createWithDictionary(fields);
}

class RecordingInvitationView final : public KLInvitationView {
public:
    QString header;
    QList<KLParticipantPtr> results;
    bool resultsVisible = false, clearVisible = false, closed = false;
    QString count;
    void showResults(const QString &h, const QList<KLParticipantPtr> &r) override { header = h; results = r; }
    void setResultsVisible(bool visible) override { resultsVisible = visible; }
    void setClearButtonVisible(bool visible) override { clearVisible = visible; }
    void setInvitees(const QList<KLParticipantPtr> &, const QString &text) override { count = text; }
    void closePage() override { closed = true; }
};

class Invitation : public kltest::DialogTest {
protected:
    void SetUp() override
    {
        DialogTest::SetUp();
        KLInvitationViewController::Setup setup;
        setup.actionLog = [this](const QString &control) { controls << control; };
        setup.roomCheckDelaySeconds = 0.05;
        setup.callStatusSeconds = 0.05;
        page = KLInvitationViewController::create(meeting, setup);
        page->setView(view);
    }
    void TearDown() override
    {
        DialogTest::TearDown();
        page.reset();
    }

    std::shared_ptr<FakePanelMeeting> meeting = std::make_shared<FakePanelMeeting>();
    std::shared_ptr<RecordingInvitationView> view = std::make_shared<RecordingInvitationView>();
    std::shared_ptr<KLInvitationViewController> page;
    QStringList controls;
};

TEST_F(Invitation, TheSameInviteeIsDecidedByMemberType)
{
    struct Case {
        const char *name;
        QJsonObject a, b;
        bool same;
    };
    const std::vector<Case> cases{
        {"employees by number", {{"memberType", 1}, {"empId", "E1"}}, {{"memberType", 1}, {"empId", "E1"}, {"email", "x@y"}}, true},
        {"different employees", {{"memberType", 1}, {"empId", "E1"}}, {{"memberType", 1}, {"empId", "E2"}}, false},
        {"rooms by room id", {{"memberType", 2}, {"roomId", "R1"}, {"empId", "A"}}, {{"memberType", 2}, {"roomId", "R1"}, {"empId", "B"}}, true},
        {"a room is no employee", {{"memberType", 2}, {"empId", "E1"}, {"roomId", "E1"}}, {{"memberType", 1}, {"empId", "E1"}}, false},
        {"external by e-mail", {{"memberType", 3}, {"email", "a@b"}}, {{"memberType", 3}, {"email", "a@b"}}, true},
        {"external, other e-mail, same cell phone",
         {{"memberType", 3}, {"email", "a@b"}, {"cellPhone", "138"}}, {{"memberType", 3}, {"email", "c@d"}, {"cellPhone", "138"}}, true},
        {"external, empty e-mail against a cell phone", {{"memberType", 3}, {"email", ""}}, {{"memberType", 3}, {"cellPhone", "138"}}, false},
        {"external, both e-mails empty", {{"memberType", 3}, {"email", ""}}, {{"memberType", 3}, {"email", ""}}, false},
        {"external by extension", {{"memberType", 3}, {"extensionPhone", "801"}}, {{"memberType", 3}, {"extensionPhone", "801"}}, true},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(KLInvitationViewController::isSameInvitee(*person(c.a), *person(c.b)), c.same) << c.name;
        EXPECT_EQ(KLInvitationViewController::isSameInvitee(*person(c.b), *person(c.a)), c.same) << c.name << " (swapped)";
    }

    // Choosing the same external person twice by the same e-mail keeps one entry.
    page->inviteMember(person({{"memberType", 3}, {"email", "guest@example.test"}, {"displayName", "Guest"}}));
    page->inviteMember(person({{"memberType", 3}, {"email", "guest@example.test"}}));
    EXPECT_EQ(page->invitees().size(), 1);
    EXPECT_EQ(view->count, QStringLiteral("Selected(1)"));
}

TEST_F(Invitation, TheMeetingGrowsToSixtyAtMost)
{
    for (int i = 1; i < 39; ++i)
        meeting->online << makeFeed(QStringLiteral("on%1").arg(i));
    for (int i = 0; i < 20; ++i)
        meeting->offline << makeFeed(QStringLiteral("off%1").arg(i), 0, {}, {{"online", 0}});
    ASSERT_EQ(meeting->online.size() + meeting->offline.size(), 59);

    page->inviteMember(person({{"memberType", 1}, {"empId", "E59"}}));
    EXPECT_EQ(page->invitees().size(), 1);
    EXPECT_EQ(dialogs->shown, 0);

    page->inviteMember(person({{"memberType", 1}, {"empId", "E60"}}));
    EXPECT_EQ(page->invitees().size(), 1);
    ASSERT_TRUE(kltest::waitUntil([&] { return dialogs->visible; }));
    EXPECT_EQ(dialogs->current.title, KLLocalizedString(QStringLiteral("MEMBER_MAX_TIPS")));
    EXPECT_FALSE(view->resultsVisible);
}

TEST_F(Invitation, SomeoneAlreadyInTheMeetingIsNotChosenButAnOfflineOneMayBeCalled)
{
    meeting->online << makeFeed("ada", 0, {{"memberType", 1}, {"empId", "E1"}, {"displayName", "Ada"}});
    meeting->offline << makeFeed("bob", 0, {{"memberType", 1}, {"empId", "E2"}, {"displayName", "Bob"}}, {{"online", 0}});

    page->inviteMember(person({{"memberType", 1}, {"empId", "E1"}, {"displayName", "Ada"}}));
    ASSERT_TRUE(kltest::waitUntil([&] { return dialogs->visible; }));
    EXPECT_EQ(dialogs->current.title, "Ada" + KLLocalizedString(QStringLiteral("PARTICIPANT_IN_ONLONE_TIPS")));
    dialogs->press(KLDialogButton::First);
    ASSERT_TRUE(kltest::waitUntil([&] { return !dialogs->visible; }));

    page->inviteMember(person({{"memberType", 1}, {"empId", "E2"}, {"displayName", "Bob"}}));
    ASSERT_TRUE(kltest::waitUntil([&] { return dialogs->visible; }));
    EXPECT_EQ(dialogs->current.title, "Bob" + KLLocalizedString(QStringLiteral("PARTICIPANT_IN_OFFLINE_TIPS")));
    dialogs->press(KLDialogButton::First);
    EXPECT_TRUE(kltest::waitUntil([&] { return meeting->calls().contains("call bob"); }));
    EXPECT_TRUE(page->invitees().isEmpty());
}

TEST_F(Invitation, TypingSearchesAndAnEmptyFieldShowsRecentContacts)
{
    meeting->api->found = QJsonArray{QJsonObject{{"memberType", 1}, {"empId", "E7"}, {"displayName", "Grace"}},
                                     QJsonObject{{"memberType", "not a number"}}};
    meeting->api->contacts = QJsonArray{QJsonObject{{"memberType", 1}, {"empId", "E8"}, {"displayName", "Linus"}}};

    page->textChanged(QStringLiteral("  gra "));
    ASSERT_TRUE(kltest::waitUntil([&] { return !view->results.isEmpty(); }));
    EXPECT_EQ(meeting->api->requests.last(), QStringLiteral("find gra"));
    EXPECT_EQ(view->header, KLLocalizedString(QStringLiteral("SEARCH_RESULT")));
    ASSERT_EQ(view->results.size(), 1) << "a record that does not parse is skipped";
    EXPECT_EQ(view->results.first()->displayName(), QStringLiteral("Grace"));
    EXPECT_TRUE(view->resultsVisible);
    EXPECT_TRUE(view->clearVisible);

    page->textChanged(QStringLiteral("   "));
    ASSERT_TRUE(kltest::waitUntil([&] { return view->header == KLLocalizedString(QStringLiteral("SEARCH_RECENT_MEETING_CONTACT")); }));
    EXPECT_EQ(meeting->api->requests.last(), QStringLiteral("contacts"));
    EXPECT_FALSE(view->clearVisible);
    ASSERT_EQ(view->results.size(), 1);
    EXPECT_EQ(view->results.first()->empId, QStringLiteral("E8"));

    // With someone chosen, clearing the field leaves the contacts alone.
    page->inviteMember(view->results.first());
    const auto requests = meeting->api->requests.size();
    page->textChanged(QString());
    kltest::pumpEvents(20);
    EXPECT_EQ(meeting->api->requests.size(), requests);
}

TEST_F(Invitation, OneAddRequestThenOnlyRoomsNeitherCalledNorOnlineAreCheckedAndMarked)
{
    KLTimeScale::setFactor(1.0);
    auto idle = makeRoom("idle", false);          // checked, busy in another meeting
    auto sharing = makeRoom("sharing", false);    // checked, sharing
    auto ringing = makeRoom("ringing", false, true);
    auto present = makeRoom("present", true);
    meeting->offline << idle << sharing << ringing;
    meeting->online << present;
    meeting->api->roomStatuses = QJsonArray{QJsonObject{{"roomId", "idle-id"}, {"status", "inothermeeting"}},
                                            QJsonObject{{"roomId", "sharing-id"}, {"status", "share"}},
                                            QJsonObject{{"roomId", "present-id"}, {"status", "inothermeeting"}}};

    page->confirmAddPressed(); // nobody chosen: nothing
    EXPECT_TRUE(meeting->api->requests.isEmpty());

    for (const char *id : {"idle-id", "sharing-id", "ringing-id", "present-id", "new-id"})
        page->inviteMember(person({{"memberType", 2}, {"roomId", id}, {"roomName", id}}));
    page->inviteMember(person({{"memberType", 1}, {"empId", "E9"}, {"displayName", "Ken"}}));
    ASSERT_EQ(page->invitees().size(), 6);
    page->confirmAddPressed();

    ASSERT_EQ(meeting->api->addedLists.size(), 1);
    EXPECT_EQ(meeting->api->addedLists.first().size(), 6);
    EXPECT_EQ(meeting->api->addedAppointment, QJsonValue(4711));
    EXPECT_EQ(controls, QStringList{"invite-add-button"});
    EXPECT_TRUE(view->closed);

    ASSERT_TRUE(kltest::waitUntil([&] { return meeting->calls().contains("busy sharing -25"); }));
    EXPECT_EQ(meeting->api->requests.filter("roomStatus"), QStringList{"roomStatus idle-id,sharing-id"});
    EXPECT_TRUE(meeting->calls().contains("busy idle -20"));
    EXPECT_FALSE(meeting->calls().join(' ').contains("present"));
    EXPECT_TRUE(kltest::waitUntil([&] { return meeting->calls().contains("callStatus -1"); }));
    EXPECT_EQ(meeting->calls().first(), QStringLiteral("callStatus 1"));
}

TEST_F(Invitation, ARoomThatCameOnlineBeforeTheAnswerGetsNoBusyMark)
{
    auto room = makeRoom("late", false);
    meeting->offline << room;
    // The status answer arrives after the room answered the call.
    meeting->api->roomStatuses = QJsonArray{QJsonObject{{"roomId", "late-id"}, {"status", "inothermeeting"}}};
    meeting->api->holdRoomStatus = true;
    page->findRoomStatus({QStringLiteral("late-id"), QStringLiteral("unknown-id")});
    room->participant()->setCallState(KLCallState::createWithDictionary({{"online", 1}}));
    meeting->api->answerRoomStatus();
    kltest::pumpEvents(30);
    EXPECT_EQ(meeting->api->requests, QStringList{"roomStatus late-id"});
    EXPECT_FALSE(meeting->calls().join(' ').contains("busy"));
}

} // namespace
