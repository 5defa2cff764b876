// kelvo-host: the sample host. It builds the two dictionaries from its options, implements the
// host delegate, joins, and reports what happens as events; see the README's host section.

#include "HostControl.h"
#include "HostDemo.h"
#include "HostEventSink.h"
#include "HostMeetingListener.h"
#include "HostOptions.h"
#include "HostProjector.h"
#include "HostPanelPictures.h"
#include "HostSharePictures.h"
#include "HostScreenshots.h"
#include "HostSimulator.h"
#include "MeetingSim.h"
#include "SimRatePage.h"

#include <KelvoUISDK/KLUISDKMeetingConfigKeys.h>
#include <KelvoUISDK/KLUISDKMeetingMainWindow.h>
#include <KelvoUISDK/KLUISDKUserStore.h>

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLocale>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <memory>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int g_signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_signalPipe[1], &byte, 1);
}

// Ctrl-C and SIGTERM close the meeting window the way the user would, so the meeting is left.
void closeOnSignals(KLUISDKMeetingMainWindow &meeting, QObject *parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) != 0)
        return;
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    auto *notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, parent);
    QObject::connect(notifier, &QSocketNotifier::activated, parent, [&meeting] {
        char byte;
        [[maybe_unused]] const ssize_t count = ::read(g_signalPipe[0], &byte, 1);
        if (!meeting.performUserAction(KLUISDKUserAction::Close))
            QCoreApplication::exit(1);
    });
}

void setInterfaceLanguage(const QString &language)
{
    if (language == QLatin1String("en"))
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    else if (language == QLatin1String("zh"))
        QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
}

int failWith(const QString &message, int status)
{
    std::fprintf(stderr, "kelvo-host: %s\n", qPrintable(message));
    return status;
}

// The meeting's connections finish closing on their own threads a few milliseconds after the
// window closed, their last steps handed back to this loop; the loop keeps turning until they
// are done (two seconds at most) so that exit does not cut them off.
void exitOnceTheMeetingThreadsEnded(int exitCode)
{
    constexpr int kPollMs = 5;
    constexpr int kLongestWaitMs = 2000;
    auto waited = std::make_shared<QElapsedTimer>();
    waited->start();
    auto *poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, waited, exitCode] {
        if (KLUISDKMeetingMainWindow::hasMeetingThreads() && waited->elapsed() < kLongestWaitMs)
            return;
        poll->deleteLater();
        QCoreApplication::exit(exitCode);
    });
    poll->start(kPollMs);
}

// The meeting window needs a widget application and a display; a headless run (or a look at the
// help) needs neither, and without a display the meeting runs headless, saying so.
bool runsHeadless(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        const QLatin1String argument(argv[i]);
        if (argument == QLatin1String("--headless") || argument == QLatin1String("--help") ||
            argument == QLatin1String("-h"))
            return true;
    }
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        std::fputs("kelvo-host: no display; running headless\n", stderr);
        return true;
    }
    return false;
}

} // namespace

int main(int argc, char **argv)
{
    const bool headless = runsHeadless(argc, argv);
    std::unique_ptr<QCoreApplication> application =
        headless ? std::make_unique<QCoreApplication>(argc, argv) : std::make_unique<QApplication>(argc, argv);
    QCoreApplication &app = *application;
    QCoreApplication::setOrganizationName(QStringLiteral("Kelvo"));
    QCoreApplication::setApplicationName(QStringLiteral("kelvo-host"));

    QString error;
    auto options = kelvohost::parseHostOptions(app.arguments().mid(1), &error);
    if (!options)
        return failWith(error + QStringLiteral(" (see --help)"), 2);
    if (options->help) {
        std::fputs(qPrintable(kelvohost::hostUsage()), stdout);
        return 0;
    }
    setInterfaceLanguage(options->language);

    kelvohost::HostEventSink sink;
    if (!sink.open(options->eventsPath, &error))
        return failWith(error, 2);
    kelvohost::HostSimulator simulator;
    // "demo" is the built-in scenario with the demo's timeline played against it.
    const bool isDemo = options->useSimulator && options->simScenario == QLatin1String("demo");
    if (options->useSimulator) {
        // The demo's members send real media into a Janus room where Janus is installed.
        if (!simulator.start(isDemo ? QString() : options->simScenario, &error, isDemo))
            return failWith(QStringLiteral("simulator: ") + error, 1);
        simulator.completeOptions(*options);
        // The demo ends on the simulator's own rating page when the user leaves.
        if (isDemo && !options->gui.contains(QLatin1String(KLUISDKGuiConfigMeetingRateUrl)))
            options->gui.insert(QLatin1String(KLUISDKGuiConfigMeetingRateUrl), simulator.sim().baseUrl() + QLatin1String(kelvosim::SimRatePage::kPath));
    }
    for (const auto &[key, value] : options->store) {
        if (!KLUISDKWriteUserValue(key, value))
            return failWith(QStringLiteral("cannot write %1 to the user store").arg(key), 1);
    }

    if (!options->projector.isEmpty())
        return kelvohost::runProjector(*options, headless, sink, options->useSimulator ? &simulator.sim() : nullptr,
                                       exitOnceTheMeetingThreadsEnded);

    auto listener = std::make_shared<kelvohost::HostMeetingListener>(sink, exitOnceTheMeetingThreadsEnded);
    KLUISDKMeetingMainWindow meeting(options->gui, options->meeting, listener);
    // Headless, the host draws nothing and hears everything as a presenter; with a window the
    // SDK draws it and the host hears the same as an observer, so every event and control line
    // works either way.
    if (headless)
        meeting.setPresenter(listener);
    else
        meeting.setObserver(listener);
    kelvohost::HostControl control(meeting, sink);
    if (!options->controlPath.isEmpty() && !control.start(options->controlPath, &error))
        return failWith(error, 2);
    closeOnSignals(meeting, &app);
    std::unique_ptr<kelvohost::HostDemo> demo;
    if (isDemo) {
        demo = std::make_unique<kelvohost::HostDemo>(simulator.sim(), sink, [&meeting] {
            meeting.performUserAction(KLUISDKUserAction::Close);
        });
        demo->setUserAction([&meeting](const QString &action) {
            if (action == QLatin1String("meetingNote"))
                meeting.performUserAction(KLUISDKUserAction::MeetingNote);
        });
        if (!demo->start(&error))
            return failWith(error, 1);
    }
    std::unique_ptr<kelvohost::HostScreenshots> screenshots;
    if (demo && !headless && !qEnvironmentVariableIsEmpty("KELVO_HOST_SCREENSHOTS")) {
        screenshots = std::make_unique<kelvohost::HostScreenshots>(
            meeting, qEnvironmentVariable("KELVO_HOST_SCREENSHOTS"), options->language.isEmpty() ? QStringLiteral("en") : options->language);
        demo->setStepObserver([&screenshots](const QJsonObject &step) { screenshots->demoStep(step); });
        screenshots->start();
    }

    // Pictures of the toolbar's panels, in a meeting of the simulator's.
    std::unique_ptr<kelvohost::HostPanelPictures> panelPictures;
    if (!demo && !headless && options->useSimulator && !qEnvironmentVariableIsEmpty("KELVO_HOST_PANEL_PICTURES")) {
        panelPictures = std::make_unique<kelvohost::HostPanelPictures>(
            meeting, qEnvironmentVariable("KELVO_HOST_PANEL_PICTURES"), options->language.isEmpty() ? QStringLiteral("en") : options->language);
        panelPictures->start();
    }
    // Pictures of what a share asks first, in a meeting of the simulator's.
    std::unique_ptr<kelvohost::HostSharePictures> sharePictures;
    if (!demo && !headless && options->useSimulator && !qEnvironmentVariableIsEmpty("KELVO_HOST_SHARE_PICTURES")) {
        sharePictures = std::make_unique<kelvohost::HostSharePictures>(
            meeting, qEnvironmentVariable("KELVO_HOST_SHARE_PICTURES"), options->language.isEmpty() ? QStringLiteral("en") : options->language);
        sharePictures->start();
    }

    meeting.joinMeeting();
    if (!meeting.hasMeetingWindow())
        return 1;  // the credentials were refused; the error event says which
    return app.exec();
}
