// The member list drawn beside the video against the simulator's meeting: its members with
// their marks and the buttons the user may press, the offline section in the internal
// deployment, a call from an offline row reaching the meeting service, and the
// call-rooms dialog calling the checked room.

#include "KLUIWindowFixture.h"

#include "SimScenario.h"

#include "runtime/KLNotificationCenter.h"
#include "runtime/KLNotificationNames.h"
#include "ui/callrooms/KLCallRoomDialogWidget.h"
#include "ui/memberlist/KLMeetingSidePanel.h"
#include "ui/memberlist/KLMemberListWidget.h"
#include "ui/memberlist/KLMemberRowWidget.h"

#include <QCheckBox>
#include <QFile>
#include <QJsonDocument>
#include <QScrollArea>
#include <QTemporaryDir>

namespace {

using kltest::UIWindowFixture;
using kltest::waitUntil;

class UIMemberList : public UIWindowFixture {
protected:
    // The simulator's meeting, with a desk phone for the booked room that is elsewhere, so
    // that calling it has a number to dial.
    static void SetUpTestSuite()
    {
        QFile source(kelvosim::SimScenario::defaultResource());
        ASSERT_TRUE(source.open(QIODevice::ReadOnly));
        QJsonObject scenario = QJsonDocument::fromJson(source.readAll()).object();
        QJsonArray meetings = scenario.value("meetings").toArray();
        QJsonObject first = meetings.first().toObject();
        QJsonArray rooms = first.value("rooms").toArray();
        QJsonObject away = rooms.at(1).toObject();
        away.insert("extensionPhone", "8610-2207");
        rooms.replace(1, away);
        first.insert("rooms", rooms);
        meetings.replace(0, first);
        scenario.insert("meetings", meetings);
        scenarioDir = new QTemporaryDir();
        QFile file(scenarioDir->filePath("scenario.json"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QJsonDocument(scenario).toJson());
        file.close();
        UIWindowFixture::SetUpTestSuite();
        // The same suite-wide set-up against the changed scenario.
        delete sim;
        kelvosim::MeetingSim::Options options;
        options.scenarioPath = file.fileName();
        sim = new kelvosim::MeetingSim(options);
        QString error;
        ASSERT_TRUE(sim->start(&error)) << error.toStdString();
        meeting = sim->scenario().value("meetings").toArray().first().toObject();
    }
    static void TearDownTestSuite()
    {
        UIWindowFixture::TearDownTestSuite();
        delete scenarioDir;
        scenarioDir = nullptr;
    }
    static inline QTemporaryDir *scenarioDir = nullptr;

    static KLMemberListWidget *members() { return layout()->sidePanel()->memberList(); }
    /// The row of the scenario's member or room `entry`, found by its uuid.
    static KLMemberRowWidget *rowOf(const QJsonObject &entry)
    {
        const QString uuid = entry.value("memberUUID").toString();
        const auto online = members()->onlineRows(), offline = members()->offlineRows();
        for (const auto *rows : {&online, &offline})
            for (auto *row : *rows)
                if (row->row().uuid == uuid)
                    return row;
        return nullptr;
    }
    static QJsonObject person(int index) { return meeting.value("members").toArray().at(index).toObject(); }
    static QJsonObject room(int index) { return meeting.value("rooms").toArray().at(index).toObject(); }
};

TEST_F(UIMemberList, ShowsTheMeetingsMembersWithTheirMarksAndAllowedButtons)
{
    join();
    ASSERT_NE(layout()->sidePanel(), nullptr);
    EXPECT_TRUE(members()->isVisible());
    // The master and a muted member without camera are in the meeting; so is a room.
    ASSERT_TRUE(waitUntil([&] { return rowOf(person(1)) && rowOf(person(2)) && rowOf(room(0)); }, 10000));
    KLMemberRowWidget *master = rowOf(person(1));
    EXPECT_FALSE(master->row().name.isEmpty());
    EXPECT_EQ(master->nameLabel()->toolTip(), master->row().name);
    EXPECT_FALSE(master->nameLabel()->text().isEmpty());
    EXPECT_FALSE(master->row().muted);
    EXPECT_EQ(rowOf(room(0))->row().memberType, 2);
    KLMemberRowWidget *quiet = rowOf(person(2));
    EXPECT_TRUE(quiet->row().muted);
    ASSERT_NE(quiet->button("mute"), nullptr) << "an external user may mute anyone";
    EXPECT_EQ(quiet->button("mute")->toolTip(), KLLocalizedString("UNMUTE_MEMBER_TIPS"));
    EXPECT_NE(quiet->findChild<QLabel *>("member-camera-off"), nullptr);
    ASSERT_NE(quiet->button("hangup"), nullptr);
    ASSERT_NE(quiet->button("lock"), nullptr);
    EXPECT_EQ(quiet->button("lock")->toolTip(), KLLocalizedString("Lock_Member_ToolTips"));
    EXPECT_EQ(master->button("mute")->toolTip(), KLLocalizedString("MUTE_MEMBER_TIPS"));

    // Outside the internal deployment nobody is listed as not joined.
    EXPECT_TRUE(members()->offlineRows().isEmpty());
    EXPECT_FALSE(members()->offlineHeader()->isVisible());
    EXPECT_EQ(members()->titleLabel()->text(),
              KLLocalizedString("MEMBER_LIST_TITLE").arg(members()->onlineRows().size()));
    EXPECT_TRUE(members()->muteAllButton()->isEnabled()) << "the master is not muted";

    // Hanging up someone asks first, naming them.
    quiet->button("hangup")->click();
    ASSERT_TRUE(waitUntil([] { return dialog()->isDialogShown(); }));
    EXPECT_TRUE(dialog()->titleLabel()->text().contains(KLMemberListViewController::hangupDisplayName(quiet->row().name)));
    dialog()->button(KLDialogButton::Second)->click();
}

TEST_F(UIMemberList, InternalMeetingListsWhoHasNotJoinedAndCallsThemThroughTheMeetingService)
{
    join({{"meetingTopic", "Release planning"}}, true);
    const QJsonObject away = room(1);
    ASSERT_TRUE(waitUntil([&] { return rowOf(away) && rowOf(person(1)); }, 10000));

    // (The offline section's header and the five-row cap: the member panel's widget test.)
    EXPECT_TRUE(members()->callAllButton()->isVisible());
    KLMemberRowWidget *roomRow = rowOf(away);
    EXPECT_FALSE(roomRow->row().online);
    EXPECT_EQ(roomRow->button("callDetail"), nullptr) << "a room has one line";
    EXPECT_EQ(roomRow->button("callCell"), nullptr);
    ASSERT_NE(roomRow->button("call"), nullptr);
    EXPECT_EQ(roomRow->button("call")->toolTip(), KLLocalizedString("CALL_MEMBER_TIPS"));
    // Staff (every internal user here) may mute anyone.
    EXPECT_NE(rowOf(person(1))->button("mute"), nullptr);
    // The user's own row is in the meeting, not under the ones who have not joined.
    ASSERT_TRUE(waitUntil([&] { return rowOf(person(0)); }, 10000));
    EXPECT_TRUE(rowOf(person(0))->row().online);
    EXPECT_FALSE(members()->offlineRows().contains(rowOf(person(0))));

    // The call goes to the meeting service with the room's number; the button rests five seconds.
    sim->clearRequests();
    roomRow->button("call")->click();
    ASSERT_TRUE(waitUntil([] { return !sim->requests("/conference/api/callMeetingMember").isEmpty(); }, 10000));
    const auto call = sim->requests("/conference/api/callMeetingMember").first();
    EXPECT_EQ(call.form.value("member_uuid"), away.value("memberUUID").toString());
    EXPECT_EQ(call.form.value("callnumber"), "8610-2207");
    KLMemberRowWidget *after = rowOf(away);
    ASSERT_NE(after, nullptr);
    EXPECT_FALSE(after->button("call")->isEnabled());
    after->button("call")->click();
    waitUntil([] { return false; }, 200);
    EXPECT_EQ(sim->requests("/conference/api/callMeetingMember").size(), 1) << "a second press within 5 s calls nobody";
}

TEST_F(UIMemberList, CallRoomsDialogCallsTheCheckedRoomAndCloses)
{
    join({{"meetingTopic", "Release planning"}}, true);
    const QJsonObject away = room(1);
    ASSERT_TRUE(waitUntil([&] { return rowOf(away); }, 10000));
    KLNotificationCenter::defaultCenter().postNotification(KLNotificationNames::ShowCallRoomDialog);
    ASSERT_TRUE(waitUntil([] { return layout()->sidePanel()->callRoomDialog() != nullptr; }));
    KLCallRoomDialogWidget *rooms = layout()->sidePanel()->callRoomDialog();
    // Only the room that is neither online nor called is listed.
    ASSERT_EQ(rooms->roomBoxes().size(), 1);
    EXPECT_EQ(rooms->roomBoxes().first()->property("uuid").toString(), away.value("memberUUID").toString());
    EXPECT_EQ(rooms->roomBoxes().first()->text(), rowOf(away)->row().name);
    EXPECT_FALSE(rooms->callButton()->isEnabled());
    EXPECT_EQ(rooms->selectAllBox()->text(), KLLocalizedString("SELECT_ALL_TIPS"));

    rooms->selectAllBox()->click();
    EXPECT_TRUE(rooms->roomBoxes().first()->isChecked());
    EXPECT_TRUE(rooms->selectAllBox()->isChecked());
    EXPECT_TRUE(rooms->callButton()->isEnabled());
    EXPECT_TRUE(rooms->callButton()->styleSheet().contains("#4990E6"));
    rooms->selectAllBox()->click();
    EXPECT_FALSE(rooms->roomBoxes().first()->isChecked());
    EXPECT_FALSE(rooms->callButton()->isEnabled());

    sim->clearRequests();
    rooms->roomBoxes().first()->click();
    rooms->callButton()->click();
    ASSERT_TRUE(waitUntil([] { return !sim->requests("/conference/api/callMeetingMember").isEmpty(); }, 10000));
    ASSERT_TRUE(waitUntil([] { return layout()->sidePanel()->callRoomDialog() == nullptr; }));
    const auto calls = sim->requests("/conference/api/callMeetingMember");
    ASSERT_EQ(calls.size(), 1);
    EXPECT_EQ(calls.first().form.value("member_uuid"), away.value("memberUUID").toString());
}

} // namespace
