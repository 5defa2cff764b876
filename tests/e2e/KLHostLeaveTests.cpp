// Leaving through the toolbar's leave dialog, ending the meeting for everyone, and control lines
// the host cannot carry out. (The rating page that follows a leave: the drawn web page runs.)

#include "KLHostE2EFixture.h"

#include "KLTestSupport.h"

#include <QJsonArray>

namespace e2e {
namespace {

const QString kLeaveButton = QStringLiteral("LEAVE_ROOM_TOAST_EXIT_MEETING");

/// The dialog's button keys, "<none>" for a button without one.
QStringList keysOf(const QJsonObject &dialog)
{
    QStringList keys;
    for (const QJsonValue &key : dialog.value(QLatin1String("buttons")).toArray())
        keys.append(key.isNull() ? QStringLiteral("<none>") : key.toString());
    return keys;
}

std::string joined(const QStringList &keys)
{
    return keys.join(QLatin1Char(' ')).toStdString();
}

int hangUpAllRequests(const kelvosim::MeetingSim &sim)
{
    int count = 0;
    for (const auto &frame : sim.signallingFrames()) {
        if (frame.json.value(QLatin1String("messageType")).toString() == QLatin1String("hangupall"))
            ++count;
    }
    return count;
}

struct LeaveCase {
    const char *name;
    bool chairs;             ///< the local user chairs the meeting
    const char *titleKey;
    QStringList buttonKeys;
    int cancelButton;
    int choice;
    int finish;
    int hangUpAllRequests;   ///< how often the meeting service is asked to end the meeting
};

void PrintTo(const LeaveCase &leave, std::ostream *out)
{
    *out << leave.name;
}

class HostLeave : public HostE2ETest, public ::testing::WithParamInterface<LeaveCase> {};

// A cancelled dialog leaves the meeting running and can be opened again; the choice in the
// second one ends the run with its finish.
TEST_P(HostLeave, TheLeaveDialogsChoiceEndsTheMeetingWithItsFinish)
{
    const LeaveCase &leave = GetParam();
    ASSERT_NO_FATAL_FAILURE(startSimulator(leave.chairs ? selfChairsTheMeeting() : ScenarioEdit()));
    ASSERT_NO_FATAL_FAILURE(launchHost());
    ASSERT_NO_FATAL_FAILURE(awaitJoined());
    ASSERT_NO_FATAL_FAILURE(awaitMemberListRead());

    host->send({{"cmd", "leave"}});
    const auto first = awaitDialog(QLatin1String(leave.titleKey));
    ASSERT_TRUE(first) << host->transcript();
    EXPECT_EQ(joined(keysOf(*first)), joined(leave.buttonKeys));
    press(*first, leave.cancelButton);
    const qsizetype firstAt = host->indexOf(dialogTitled(QLatin1String(leave.titleKey)));
    ASSERT_TRUE(await(typeIs(QStringLiteral("dialogClosed")), firstAt)) << host->transcript();

    host->send({{"cmd", "leave"}});
    const auto second = awaitDialog(QLatin1String(leave.titleKey), firstAt + 1);
    ASSERT_TRUE(second) << host->transcript();
    EXPECT_NE(second->value(QLatin1String("id")).toInteger(), first->value(QLatin1String("id")).toInteger());
    press(*second, leave.choice);

    const auto finish = await(typeIs(QStringLiteral("finish")));
    ASSERT_TRUE(finish) << host->transcript();
    EXPECT_EQ(finish->value(QLatin1String("reason")).toInt(), leave.finish) << host->transcript();
    EXPECT_TRUE(finish->value(QLatin1String("text")).isNull());
    ASSERT_NO_FATAL_FAILURE(expectClosedAndCleanExit());
    EXPECT_EQ(host->count(typeIs(QStringLiteral("finish"))), 1) << host->transcript();
    EXPECT_EQ(hangUpAllRequests(*sim), leave.hangUpAllRequests);
}

const QStringList kGuestButtons{kLeaveButton, QStringLiteral("CANCEL")};
const QStringList kChairButtons{kLeaveButton, QStringLiteral("LEAVE_ROOM_TOAST_FINISH_MEETING"), QStringLiteral("CANCEL")};

INSTANTIATE_TEST_SUITE_P(
    Choices, HostLeave,
    ::testing::Values(LeaveCase{"GuestLeaves", false, "LEAVE_ROOM_OTHER_TOAST_DIALOG", kGuestButtons, 2, 1, 0, 0},
                      LeaveCase{"ChairLeaves", true, "LEAVE_ROOM_TOAST_DIALOG", kChairButtons, 3, 1, 0, 0},
                      LeaveCase{"ChairEndsForAll", true, "LEAVE_ROOM_TOAST_DIALOG", kChairButtons, 3, 2, 2, 1}),
    [](const ::testing::TestParamInfo<LeaveCase> &info) { return std::string(info.param.name); });

TEST_F(HostE2ETest, AStaffLeaveClosesTheApplicationWithoutAFinishReport)
{
    ASSERT_NO_FATAL_FAILURE(startSimulator(noRatingPageForInternalUsers()));
    ASSERT_NO_FATAL_FAILURE(launchHost({true, {}, {}}));
    ASSERT_NO_FATAL_FAILURE(awaitJoined());
    host->send({{"cmd", "leave"}});
    // Button 1 leaves in each of the leave dialogs; which one shows depends on who is online.
    const auto dialog = await(typeIs(QStringLiteral("dialog")));
    ASSERT_TRUE(dialog) << host->transcript();
    const QStringList leaveButtons{kLeaveButton, QStringLiteral("LEAVE_ROOM_TOAST_FINISH_MEETING_SELF")};
    EXPECT_TRUE(leaveButtons.contains(keysOf(*dialog).value(0))) << host->transcript();
    press(*dialog, 1);
    ASSERT_NO_FATAL_FAILURE(expectClosedAndCleanExit());
    EXPECT_EQ(host->count(typeIs(QStringLiteral("finish"))), 0) << host->transcript();
}

TEST_F(HostE2ETest, MalformedControlLinesAreRefusedAndTheMeetingGoesOn)
{
    ASSERT_NO_FATAL_FAILURE(launchHost());
    ASSERT_NO_FATAL_FAILURE(awaitJoined());
    ASSERT_NO_FATAL_FAILURE(awaitMemberListRead());
    const QList<QByteArray> lines{
        "leave, please",
        R"(["leave"])",
        R"({"cmd":7})",
        R"({"cmd":"dance"})",
        R"({"cmd":"dialog","id":"first","button":1})",
        R"({"cmd":"dialog","id":4242,"button":1})",
        R"({"cmd":"chat","text":""})",
        R"({"cmd":"rate"})",
    };
    for (const QByteArray &line : lines)
        host->sendLine(line);
    const EventMatch refused = typeIs(QStringLiteral("commandError"));
    ASSERT_TRUE(kltest::waitUntil([&] { return host->count(refused) == lines.size(); }, HostProcess::kDeadlineMs))
        << host->transcript();
    qsizetype at = -1;
    for (const QByteArray &line : lines) {
        at = host->indexOf(refused, at + 1);
        const QJsonObject error = host->events().at(at);
        EXPECT_EQ(error.value(QLatin1String("line")).toString(), QString::fromUtf8(line));
        EXPECT_FALSE(error.value(QLatin1String("reason")).toString().isEmpty()) << line.toStdString();
    }
    EXPECT_EQ(host->count(typeIs(QStringLiteral("dialog"))), 0) << host->transcript();

    host->send({{"cmd", "leave"}});
    const auto dialog = awaitDialog(QStringLiteral("LEAVE_ROOM_OTHER_TOAST_DIALOG"));
    ASSERT_TRUE(dialog) << host->transcript();
    press(*dialog, 1);
    ASSERT_TRUE(await(finishWith(0))) << host->transcript();
    ASSERT_NO_FATAL_FAILURE(expectClosedAndCleanExit());
    EXPECT_EQ(host->count(refused), lines.size()) << host->transcript();
}

} // namespace
} // namespace e2e
