// The member list's decisions: who is listed, when mute-all is possible, who may mute whom,
// the hang-up question's name, and the call button's lock with the call status it marks.

#include "window/KLMemberListViewController.h"

#include "presentation/KLDialogQueue.h"
#include "presentation/KLToastManager.h"
#include "runtime/KLLocalization.h"
#include "runtime/KLTimeScale.h"

#include "KLHubFakeMeeting.h"
#include "KLTestSupport.h"

#include <gtest/gtest.h>

namespace {

using kltest::FakeHubMeeting;
using kltest::makeFeed;

class MemberList : public kltest::DialogTest {
protected:
    void TearDown() override
    {
        DialogTest::TearDown();
        list.reset();
        KLTimeScale::setFactor(previousScale);
    }
    void make()
    {
        list = KLMemberListViewController::create(meeting, [this](const QString &control) { controls << control; });
        list->refresh();
    }

    std::shared_ptr<FakeHubMeeting> meeting = std::make_shared<FakeHubMeeting>();
    std::shared_ptr<KLMemberListViewController> list;
    QStringList controls;
    const double previousScale = KLTimeScale::factor();
};

TEST_F(MemberList, ListsAndMuteAllFollowTheDeploymentAndWhoCanStillBeMuted)
{
    struct Case {
        const char *name;
        bool internal;
        QList<qint64> othersMute; // call-state mute of each other online member
        bool withOffline;
        bool muteAllEnabled;
        int offlineListed;
        int maxOnline;
    };
    const std::vector<Case> cases{
        {"alone", false, {}, false, false, 0, 0},
        {"others all muted", false, {1, 1}, false, false, 0, 0},
        {"one unmuted", false, {1, 0}, false, true, 0, 0},
        {"speaking counts as unmuted", false, {2}, false, true, 0, 0},
        {"external never lists offline", false, {}, true, false, 0, 0},
        {"internal lists offline", true, {0}, true, true, 1, 5},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        meeting = std::make_shared<FakeHubMeeting>();
        meeting->internal = c.internal;
        meeting->own = makeFeed("own", 0); // the own unmuted row never enables mute-all
        meeting->online = {meeting->own};
        for (int i = 0; i < c.othersMute.size(); ++i)
            meeting->online << makeFeed(QStringLiteral("m%1").arg(i), c.othersMute[i]);
        if (c.withOffline)
            meeting->offline << makeFeed("away");
        make();
        EXPECT_EQ(list->onlineParticipantsArray().size(), meeting->online.size());
        EXPECT_EQ(list->offlineParticipantsArray().size(), c.offlineListed);
        EXPECT_EQ(list->maxOnlineMember(), c.maxOnline);
        const KLMemberMuteAllState state = list->muteAllState();
        EXPECT_EQ(state.enabled, c.muteAllEnabled);
        EXPECT_EQ(state.icon, c.muteAllEnabled ? "conf_member_mute_all_normal" : "conf_member_mute_all_disable_normal");
        // A disabled mute-all asks nothing.
        list->muteAllClicked();
        kltest::pumpEvents(10);
        EXPECT_EQ(dialogs->visible, c.muteAllEnabled);
        dialogs->drain();
    }
}

TEST_F(MemberList, InternalNonStaffMayOnlyMuteThemselves)
{
    struct Case { bool internal; bool staff; const char *row; qint64 rowMute; QString expected; }; // "": nothing happens, nothing is logged
    const std::vector<Case> cases{
        {true, false, "m1", 0, {}},
        {true, false, "own", 0, "muteAudio own 1 1"},
        {true, true, "m1", 0, "muteAudio m1 1 1"},
        {false, false, "m1", 1, "muteAudio m1 0 1"},
        {false, false, "own", 1, "unmuteCellPhone own"}, // both phones in: the server unmutes
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.row) + " " + c.expected.toStdString());
        meeting = std::make_shared<FakeHubMeeting>();
        meeting->internal = c.internal;
        meeting->staff = c.staff;
        const QJsonObject phones{{"extension", 1}, {"cellphone", 1}};
        meeting->own = makeFeed("own", c.rowMute, {}, phones);
        meeting->online = {meeting->own, makeFeed("m1", c.rowMute)};
        controls.clear();
        make();
        list->muteClicked(c.row);
        EXPECT_EQ(meeting->calls(), c.expected.isEmpty() ? QStringList{} : QStringList{c.expected});
        EXPECT_EQ(controls.size(), c.expected.isEmpty() ? 0 : 1);
    }
}

TEST_F(MemberList, HangupAsksWithAShortenedNameAndOwnRowLeaves)
{
    const std::vector<std::pair<QString, QString>> names{
        {"Abcdefgh", "Abcdefgh"}, {"Abcdefghi", "Abcdefgh..."}, {"", ""}, {"李四王五赵六孙七周八", "李四王五赵六孙七..."}};
    for (const auto &[name, shown] : names)
        EXPECT_EQ(KLMemberListViewController::hangupDisplayName(name), shown) << name.toStdString();

    meeting->online << makeFeed("Abcdefghi");
    meeting->pallas = false;
    int ownLeaves = 0;
    make();
    list->setLeaveHandler([&ownLeaves] { ++ownLeaves; });
    list->hangupClicked("Abcdefghi");
    ASSERT_TRUE(kltest::waitUntil([this] { return dialogs->visible; }));
    EXPECT_TRUE(dialogs->current.title.contains("Abcdefgh..."));
    dialogs->press(KLDialogButton::First);
    EXPECT_EQ(meeting->calls(), QStringList{"hangupMcu Abcdefghi"});

    list->hangupClicked("own");
    kltest::pumpEvents(10);
    EXPECT_EQ(ownLeaves, 1);
    EXPECT_FALSE(dialogs->visible);
    EXPECT_EQ(controls.count("memberlist-hangup-button"), 2);
}

TEST_F(MemberList, CallButtonLocksForFiveSecondsAndMarksTheCallStatus)
{
    KLTimeScale::setFactor(0.01);
    meeting->internal = true;
    meeting->offline << makeFeed("away", 0, {{"extensionPhone", "8001"}})
                     << makeFeed("guest", 0, {{"memberType", 3}});
    make();
    list->callClicked("away");
    list->callClicked("away"); // disabled: does nothing
    EXPECT_EQ(meeting->calls(), QStringList{"call away"});
    EXPECT_FALSE(list->isCallButtonEnabled("away"));
    EXPECT_EQ(meeting->callStatuses(), QList<int>{1});
    ASSERT_TRUE(kltest::waitUntil([this] { return meeting->callStatuses().size() == 2; }));
    EXPECT_EQ(meeting->callStatuses(), (QList<int>{1, -1}));

    ASSERT_TRUE(kltest::waitUntil([this] { return list->isCallButtonEnabled("away"); }));
    list->callClicked("away");
    EXPECT_EQ(meeting->calls().count("call away"), 2);

    // An external guest without phones cannot be called: told so, nothing dialled.
    list->callClicked("guest");
    ASSERT_TRUE(kltest::waitUntil([this] { return dialogs->visible; }));
    EXPECT_EQ(dialogs->current.title, "guest " + KLLocalizedString("EXTERNAL_NOT_CALL_TIPS"));
    EXPECT_FALSE(meeting->calls().contains("call guest"));
}

} // namespace
