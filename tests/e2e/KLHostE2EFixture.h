#pragma once

// What every end-to-end test shares: a meeting simulator of its own (started in this process,
// real TLS on loopback), the sample host pointed at it as a separate process, and the steps a
// test repeats (answering a dialog, waiting for the run's clean end).

#include "KLHostProcess.h"

#include "MeetingSim.h"

#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace e2e {

/// Changes to the default scenario before the simulator loads it; `meeting` is the first
/// meeting, the one the host joins.
using ScenarioEdit = std::function<void(QJsonObject &scenario, QJsonObject &meeting)>;

/// The local user chairs the meeting (may end it for everyone).
ScenarioEdit selfChairsTheMeeting();
/// The meeting's media server accepts the connection and never answers the registration.
ScenarioEdit silentMediaServer();
/// The client configuration does not offer internal users the rating page.
ScenarioEdit noRatingPageForInternalUsers();

/// How the host is started beyond the credentials.
struct HostRun {
    bool internal = false;
    QStringList extraArguments;
    QMap<QString, QString> environment;
};

/// Media devices without a microphone, as the built-in engine reads them.
QString devicesWithoutMicrophone();

class HostE2ETest : public ::testing::Test {
protected:
    void TearDown() override;

    /// Starts this test's simulator with the default scenario changed by `edit`.
    void startSimulator(const ScenarioEdit &edit = {});
    /// Starts the host against the simulator (starting a default one when the test has none).
    /// `drawn`: with the meeting window drawn (no --headless); its web pages need the web
    /// engine's environment, which the test gives in `run.environment`.
    void launchHost(const HostRun &run = {}, bool drawn = false);

    std::optional<QJsonObject> await(const EventMatch &match, qsizetype from = 0)
    {
        return host->waitFor(match, from);
    }
    /// Waits for the dialog titled `titleKey` among the events from `from` on.
    std::optional<QJsonObject> awaitDialog(const QString &titleKey, qsizetype from = 0)
    {
        return host->waitFor(dialogTitled(titleKey), from);
    }
    /// Presses button `button` (1 to 3) of the shown `dialog`, as the user would.
    void press(const QJsonObject &dialog, int button);
    /// Waits for the "joined" event.
    void awaitJoined();
    /// Waits until the host's own stream reached the media server: the meeting is fully set up.
    void awaitOwnStreamPublished();
    /// Waits until a guest's host announced the chair (E10002, online in every scenario here):
    /// the member list has been read, so the leave dialog knows who is in the meeting.
    void awaitMemberListRead();
    /// Waits until the host's signalling connection is registered, so pushes reach it.
    void awaitSignallingRegistered(bool internal);
    /// The end of every run: one "closed", as the last event, and exit code 0.
    void expectClosedAndCleanExit() { expectClosedAndExit(0); }
    /// The same end with exit code `code` (1: the meeting could not start).
    void expectClosedAndExit(int code);

    /// What every run is started with against this test's simulator: the meeting and its
    /// service, the user store of staff member `workId`, the event and control lines.
    QStringList baseArguments(const QString &workId) const;

    /// The cloud-log settings ("qlsInfo") that send a guest's records to this test's simulator.
    QString cloudLogSettings() const;

    QString selfUuid() const;
    /// The uuid of the member or room with employee number `empId`.
    QString uuidOf(const QString &empId) const;

    std::unique_ptr<kelvosim::MeetingSim> sim;
    QJsonObject meeting;  ///< the joined meeting as the simulator serves it (placeholders filled)
    std::unique_ptr<HostProcess> host;

private:
    QStringList hostArguments(const HostRun &run, bool drawn) const;

    QTemporaryDir m_scenarioDir;
};

} // namespace e2e
