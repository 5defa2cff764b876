// Meetings that end without the user asking: removal by the meeting, another client taking the
// seat, system sleep (each a dialog, then the finish once the user has read it), and failures
// reported as errors (a full room, a join that never comes up, no microphone).

#include "KLHostE2EFixture.h"

#include <QJsonArray>

namespace e2e {
namespace {

using Provoke = std::function<void(kelvosim::MeetingSim &, HostProcess &, const QString &selfUuid)>;

const char *const kAcknowledge = "LEAVE_ROOM_BY_KICK_TOAST_KNOW";

struct ForcedLeave {
    const char *name;
    Provoke provoke;
    const char *titleKey;
    int finish;
    QJsonValue text;
};

void PrintTo(const ForcedLeave &leave, std::ostream *out)
{
    *out << leave.name;
}

class HostForcedLeave : public HostE2ETest, public ::testing::WithParamInterface<ForcedLeave> {};

TEST_P(HostForcedLeave, ShowsItsDialogAndReportsTheFinishOnceRead)
{
    const ForcedLeave &leave = GetParam();
    ASSERT_NO_FATAL_FAILURE(launchHost());
    ASSERT_NO_FATAL_FAILURE(awaitJoined());
    ASSERT_NO_FATAL_FAILURE(awaitMemberListRead());
    ASSERT_NO_FATAL_FAILURE(awaitOwnStreamPublished());

    const qsizetype before = host->events().size();
    leave.provoke(*sim, *host, selfUuid());
    const auto dialog = awaitDialog(QLatin1String(leave.titleKey), before);
    ASSERT_TRUE(dialog) << host->transcript();
    EXPECT_EQ(dialog->value(QLatin1String("buttons")).toArray(), QJsonArray{kAcknowledge}) << host->transcript();
    EXPECT_EQ(host->count(typeIs(QStringLiteral("finish"))), 0) << "the finish waits for the user";
    press(*dialog, 1);

    const auto finish = await(typeIs(QStringLiteral("finish")));
    ASSERT_TRUE(finish) << host->transcript();
    EXPECT_EQ(finish->value(QLatin1String("reason")).toInt(), leave.finish) << host->transcript();
    EXPECT_EQ(finish->value(QLatin1String("text")), leave.text);
    ASSERT_NO_FATAL_FAILURE(expectClosedAndCleanExit());
    EXPECT_EQ(host->count(typeIs(QStringLiteral("finish"))), 1) << host->transcript();
    EXPECT_EQ(host->count(typeIs(QStringLiteral("error"))), 0) << host->transcript();
}

INSTANTIATE_TEST_SUITE_P(
    Reasons, HostForcedLeave,
    ::testing::Values(
        ForcedLeave{"KickedOut", [](auto &sim, auto &, const QString &self) { sim.pushEvent(10, self); },
                    "LEAVE_ROOM_BY_KICK_TOAST_DIALOG", 1, QJsonValue()},
        ForcedLeave{"DeletedFromTheMembers", [](auto &sim, auto &, const QString &self) { sim.pushEvent(21, self); },
                    "LEAVE_ROOM_BY_KICK_TOAST_DIALOG", 1, QJsonValue()},
        ForcedLeave{"MeetingDeleted", [](auto &sim, auto &, const QString &) { sim.pushEvent(25, QString()); },
                    "LEAVE_ROOM_BY_KICK_TOAST_DIALOG", 1, QJsonValue()},
        // The media server hangs up with cause 606 when the same user joins from elsewhere.
        ForcedLeave{"JoinedElsewhere", [](auto &sim, auto &, const QString &) { sim.hangUpMedia(606); },
                    "LEAVE_ROOM_BY_OTHER_CLIENT", 3, QStringLiteral("Other client join the meeting with same userId")},
        ForcedLeave{"SystemSleep", [](auto &, auto &host, const QString &) { host.send({{"cmd", "sleep"}}); },
                    "SYSTEM_WILL_SLEEP_TIPS", 5, QStringLiteral("nil")}),
    [](const ::testing::TestParamInfo<ForcedLeave> &info) { return std::string(info.param.name); });

/// Whether a failing meeting still comes up.
enum class Joined { No, Yes, Either };

struct Failure {
    const char *name;
    ScenarioEdit scenario;
    HostRun run;
    std::function<void(kelvosim::MeetingSim &)> provokeAfterJoin;  ///< null: the join itself fails
    const char *titleKey;
    const char *buttonKey;
    int error;
    const char *reason;
    bool reportedWithTheDialog;  ///< false: the press reports it
    bool windowStaysOpen;        ///< "allowNoMic" keeps the window after an error
    Joined joined;
};

void PrintTo(const Failure &failure, std::ostream *out)
{
    *out << failure.name;
}

class HostFailure : public HostE2ETest, public ::testing::WithParamInterface<Failure> {};

TEST_P(HostFailure, ShowsItsDialogAndReportsItsError)
{
    const Failure &failure = GetParam();
    ASSERT_NO_FATAL_FAILURE(startSimulator(failure.scenario));
    ASSERT_NO_FATAL_FAILURE(launchHost(failure.run));
    if (failure.provokeAfterJoin) {
        ASSERT_NO_FATAL_FAILURE(awaitJoined());
        ASSERT_NO_FATAL_FAILURE(awaitOwnStreamPublished());
        failure.provokeAfterJoin(*sim);
    }
    const auto dialog = awaitDialog(QLatin1String(failure.titleKey));
    ASSERT_TRUE(dialog) << host->transcript();
    EXPECT_EQ(dialog->value(QLatin1String("buttons")).toArray(), QJsonArray{failure.buttonKey}) << host->transcript();
    if (!failure.reportedWithTheDialog) {
        EXPECT_EQ(host->count(errorWith(failure.error)), 0) << "the error waits for the user";
    }
    press(*dialog, 1);

    const auto error = await(errorWith(failure.error));
    ASSERT_TRUE(error) << host->transcript();
    EXPECT_EQ(error->value(QLatin1String("reason")).toString(), QLatin1String(failure.reason));
    if (failure.joined == Joined::Yes) {
        ASSERT_NO_FATAL_FAILURE(awaitJoined());
    }
    if (failure.windowStaysOpen) {
        EXPECT_EQ(host->count(typeIs(QStringLiteral("closed"))), 0) << host->transcript();
        host->send({{"cmd", "close"}});
    }
    // An error before the meeting was ever joined is a meeting that could not start.
    ASSERT_TRUE(await(typeIs(QStringLiteral("closed")))) << host->transcript();
    ASSERT_NO_FATAL_FAILURE(expectClosedAndExit(host->count(typeIs(QStringLiteral("joined"))) == 0 ? 1 : 0));
    EXPECT_EQ(host->count(typeIs(QStringLiteral("error"))), 1) << host->transcript();
    EXPECT_EQ(host->count(typeIs(QStringLiteral("finish"))), 0) << host->transcript();
    if (failure.joined != Joined::Either) {
        EXPECT_EQ(host->count(typeIs(QStringLiteral("joined"))), failure.joined == Joined::Yes ? 1 : 0)
            << host->transcript();
    }
}

const QMap<QString, QString> kNoMicrophone{{QStringLiteral("KELVO_MEDIA_DEVICES"), devicesWithoutMicrophone()}};

INSTANTIATE_TEST_SUITE_P(
    Errors, HostFailure,
    ::testing::Values(
        // The media server turns away a member the room has no place for.
        Failure{"RoomFull", {}, {},
                [](kelvosim::MeetingSim &sim) {
                    sim.pushMediaEvent({{"type", "error"}, {"responseCode", 432}, {"reason", "room full"}});
                },
                "ROOM_FULL_EXTERNAL", kAcknowledge, 5, "The meeting room is full", true, true, Joined::Yes},
        // 30 s without the media path become 3 s.
        Failure{"EnterTimeOut", silentMediaServer(), {false, {}, {{QStringLiteral("KELVO_TIME_SCALE"), QStringLiteral("0.1")}}},
                nullptr, "ENTER_ROOM_FAILED", kAcknowledge, 6, "join meeting timeout, please check local network",
                false, true, Joined::No},
        // Allowed to go on without one, the meeting is joined and stays open after the error.
        Failure{"NoMicrophone", {}, {false, {}, kNoMicrophone}, nullptr, "NO_MICROPHONE_TIPS", "CONFIRM_OK", 3,
                "No Microphone Device", false, true, Joined::Yes},
        Failure{"NoMicrophoneNotAllowed", {}, {false, {QStringLiteral("--allow-no-mic=false")}, kNoMicrophone},
                nullptr, "NO_MICROPHONE_TIPS", kAcknowledge, 3, "No Microphone Device", false, false, Joined::Either}),
    [](const ::testing::TestParamInfo<Failure> &info) { return std::string(info.param.name); });

} // namespace
} // namespace e2e
