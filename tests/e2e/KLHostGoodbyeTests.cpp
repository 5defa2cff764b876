// What the meeting service hears when the sample host ends a meeting: every leave says "bye" to
// the media server, closes both connections with 1000 and delivers the leave's cloud-log record
// before the process exits; a meeting that never started ends the process with exit code 1.

#include "KLHostE2EFixture.h"

#include "KLTestSupport.h"

#include <QJsonDocument>

#include <algorithm>

namespace e2e {
namespace {

// Leaves repeated in one test: the faults this guards against showed in about half the runs.
constexpr int kLeaves = 5;
// Once the host has exited, what it sent is already on its way; the simulator reads it at once.
constexpr int kAfterExitWaitMs = 5000;

bool hasLeaveRecord(const kelvosim::MeetingSim &sim)
{
    const auto entries = sim.logEntries(QStringLiteral("meeting-track"));
    return std::any_of(entries.cbegin(), entries.cend(), [](const QJsonObject &entry) {
        return entry.value(QLatin1String("value")).toString() == QLatin1String("leaveRoom")
               && entry.value(QLatin1String("cause")).toString() == QLatin1String("User Click Leave");
    });
}

/// The media frame types connection `connection` sent, in order.
QStringList mediaFrameTypes(const kelvosim::MeetingSim &sim, int connection)
{
    QStringList types;
    for (const kelvosim::SimMediaFrame &frame : sim.mediaFrames(connection))
        types.append(frame.message.value(QLatin1String("type")).toString());
    return types;
}

std::string describe(const QMap<int, int> &codes)
{
    QStringList parts;
    for (auto it = codes.cbegin(); it != codes.cend(); ++it)
        parts.append(QStringLiteral("%1:%2").arg(it.key()).arg(it.value()));
    return parts.join(QLatin1Char(' ')).toStdString();
}

TEST_F(HostE2ETest, EveryLeaveSaysGoodbyeAndDeliversItsRecordBeforeTheHostExits)
{
    for (int leave = 1; leave <= kLeaves; ++leave) {
        SCOPED_TRACE(::testing::Message() << "leave " << leave << " of " << kLeaves);
        host.reset();
        sim.reset();
        ASSERT_NO_FATAL_FAILURE(startSimulator());
        HostRun run;
        run.extraArguments = {QStringLiteral("--meeting"), QStringLiteral("qlsInfo=") + cloudLogSettings()};
        ASSERT_NO_FATAL_FAILURE(launchHost(run));
        ASSERT_NO_FATAL_FAILURE(awaitJoined());
        ASSERT_NO_FATAL_FAILURE(awaitMemberListRead());
        ASSERT_NO_FATAL_FAILURE(awaitOwnStreamPublished());

        host->send({{"cmd", "leave"}});
        const auto dialog = awaitDialog(QStringLiteral("LEAVE_ROOM_OTHER_TOAST_DIALOG"));
        ASSERT_TRUE(dialog) << host->transcript();
        press(*dialog, 1);
        ASSERT_NO_FATAL_FAILURE(expectClosedAndCleanExit());

        // Everything below reached the service before the process ended, or never will.
        const int mediaConnections = sim->mediaConnections();
        const int signallingConnections = sim->signallingConnections();
        ASSERT_EQ(mediaConnections, 1) << host->transcript();
        ASSERT_EQ(signallingConnections, 1) << host->transcript();
        kltest::waitUntil([&] {
            return sim->mediaCloseCodes().size() == mediaConnections
                   && sim->signallingCloseCodes().size() == signallingConnections && hasLeaveRecord(*sim);
        }, kAfterExitWaitMs);
        const QStringList sent = mediaFrameTypes(*sim, 1);
        EXPECT_EQ(sent.isEmpty() ? std::string() : sent.last().toStdString(), "bye")
            << sent.join(QLatin1Char(' ')).toStdString();
        EXPECT_EQ(sim->mediaCloseCodes(), (QMap<int, int>{{1, 1000}}))
            << describe(sim->mediaCloseCodes()) << host->transcript();
        EXPECT_EQ(sim->signallingCloseCodes(), (QMap<int, int>{{1, 1000}}))
            << describe(sim->signallingCloseCodes()) << host->transcript();
        EXPECT_TRUE(hasLeaveRecord(*sim)) << host->transcript();
        if (HasFailure())
            return;
    }
}

struct StartFailure {
    const char *name;
    std::function<void(kelvosim::MeetingSim &)> provoke;
    HostRun run;
};

void PrintTo(const StartFailure &failure, std::ostream *out)
{
    *out << failure.name;
}

class HostStartFailure : public HostE2ETest, public ::testing::WithParamInterface<StartFailure> {};

// The user acknowledges what went wrong and closes the window; the host was never in the
// meeting, so its process reports the failure.
TEST_P(HostStartFailure, EndsTheProcessWithExitCodeOne)
{
    const StartFailure &failure = GetParam();
    ASSERT_NO_FATAL_FAILURE(startSimulator());
    failure.provoke(*sim);
    ASSERT_NO_FATAL_FAILURE(launchHost(failure.run));
    const auto dialog = await(typeIs(QStringLiteral("dialog")));
    ASSERT_TRUE(dialog) << host->transcript();
    EXPECT_EQ(host->count(typeIs(QStringLiteral("error"))), 0) << "the error waits for the user";
    press(*dialog, 1);
    ASSERT_TRUE(await(typeIs(QStringLiteral("error")))) << host->transcript();
    // The window stays for the user to close.
    host->send({{"cmd", "close"}});
    ASSERT_NO_FATAL_FAILURE(expectClosedAndExit(1));
    EXPECT_EQ(host->count(typeIs(QStringLiteral("joined"))), 0) << host->transcript();
}

INSTANTIATE_TEST_SUITE_P(
    Causes, HostStartFailure,
    ::testing::Values(
        StartFailure{"RefusedToken", [](kelvosim::MeetingSim &sim) { sim.setRegisterMode(kelvosim::MeetingSim::RegisterMode::Refuse); }, {}},
        StartFailure{"MeetingInformationFails",
                     [](kelvosim::MeetingSim &sim) {
                         sim.setSignallingFault(QStringLiteral("meetinginfo"),
                                                kelvosim::Fault::of(kelvosim::Fault::Kind::ErrorCode,
                                                                    QStringLiteral("10000"), QStringLiteral("meeting over")));
                     },
                     {}}),
    [](const ::testing::TestParamInfo<StartFailure> &info) { return std::string(info.param.name); });

} // namespace
} // namespace e2e
