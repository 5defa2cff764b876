// kelvo-meeting-sim [--scenario FILE] [--port N] [--cert-dir DIR]
// Serves a local meeting service on https://127.0.0.1:<port> until SIGINT or SIGTERM.

#include "MeetingSim.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int g_signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_signalPipe[1], &byte, 1);
}

bool installSignalHandlers()
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) != 0)
        return false;
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return ::sigaction(SIGINT, &action, nullptr) == 0 && ::sigaction(SIGTERM, &action, nullptr) == 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kelvo-meeting-sim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Local meeting service for tests and the demo (TLS on 127.0.0.1)."));
    parser.addHelpOption();
    const QCommandLineOption scenarioOption(QStringLiteral("scenario"),
                                            QStringLiteral("Scenario JSON file (default: the built-in scenario)."),
                                            QStringLiteral("FILE"));
    const QCommandLineOption portOption(QStringLiteral("port"), QStringLiteral("Port to listen on (default: any free port)."),
                                        QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption certOption(QStringLiteral("cert-dir"),
                                        QStringLiteral("Folder for ca.pem, server.pem, server.key (reused when valid; "
                                                       "default: a temporary folder)."),
                                        QStringLiteral("DIR"));
    parser.addOptions({scenarioOption, portOption, certOption});
    parser.process(app);

    bool portOk = false;
    const uint port = parser.value(portOption).toUInt(&portOk);
    if (!portOk || port > 65535) {
        std::fprintf(stderr, "kelvo-meeting-sim: --port takes a number from 0 to 65535\n");
        return 2;
    }
    if (!installSignalHandlers()) {
        std::fprintf(stderr, "kelvo-meeting-sim: cannot install signal handlers\n");
        return 1;
    }

    kelvosim::MeetingSim::Options options;
    options.scenarioPath = parser.value(scenarioOption);
    options.certDir = parser.value(certOption);
    options.port = static_cast<quint16>(port);
    kelvosim::MeetingSim sim(options);
    QString error;
    if (!sim.start(&error)) {
        std::fprintf(stderr, "kelvo-meeting-sim: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("kelvo-meeting-sim listening on %s\n", qPrintable(sim.baseUrl()));
    std::printf("CA file: %s\n", qPrintable(sim.caFile()));
    std::fflush(stdout);

    QSocketNotifier notifier(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, &app, [&] {
        char byte = 0;
        [[maybe_unused]] const ssize_t got = ::read(g_signalPipe[0], &byte, 1);
        QCoreApplication::quit();
    });
    const int code = app.exec();
    sim.stop();
    std::printf("kelvo-meeting-sim stopped\n");
    std::fflush(stdout);
    return code;
}
