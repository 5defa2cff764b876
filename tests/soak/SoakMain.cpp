// kelvo-soak: long runs against the in-process simulator, outside the regular test run.
//   kelvo-soak [MINUTES]       the meeting soak (default 10 minutes)
//   kelvo-soak --cycles N      N join/leave cycles in one process
// Exit code 0 when every check held, 1 when one failed, 2 when it could not start.

#include "SoakCommon.h"

#include "runtime/KLDispatchQueue.h"

#include <KelvoUISDK/KLSDKLogger.h>

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdio>

namespace {

/// Thirty members for ten minutes log a great deal: the soak keeps the SDK's warnings and
/// errors on stderr and drops the rest.
class QuietPrinter final : public KLSDKLoggerProtocol {
public:
    void info(const QString &, const QString &) override {}
    void debug(const QString &, const QString &) override {}
    void warn(const QString &tag, const QString &msg) override { line("W", tag, msg); }
    void error(const QString &tag, const QString &msg) override { line("E", tag, msg); }
    void action(const QString &, const QVariant &, const QVariant &) override {}
    void event(const QString &, const QVariant &, const QVariant &) override {}
    void error(const QString &, const QVariant &, const QVariant &) override {}

private:
    static void line(const char *kind, const QString &tag, const QString &msg)
    {
        std::fprintf(stderr, "%s/%s: %s\n", kind, qPrintable(tag), qPrintable(msg.left(300)));
    }
};

} // namespace

int main(int argc, char **argv)
{
    // The SDK's persistent data goes to a throw-away settings folder, as in the test programs.
    QTemporaryDir settingsHome;
    qputenv("XDG_CONFIG_HOME", settingsHome.path().toUtf8());
    QCoreApplication::setOrganizationName(QStringLiteral("KelvoSoak"));
    QCoreApplication::setApplicationName(QStringLiteral("kelvo-soak"));
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("kelvo.sim.debug=false\nkelvo.sim.info=false"));
    KLSDKLogger::setLoggerPrinter(std::make_shared<QuietPrinter>());

    const QStringList args = app.arguments().mid(1);
    bool ok = true;
    int result = 2;
    if (args.value(0) == QLatin1String("--cycles")) {
        const int cycles = args.value(1, QStringLiteral("1000")).toInt(&ok);
        if (ok && cycles > 0)
            result = soak::runCycles(cycles);
    } else {
        const int minutes = args.isEmpty() ? 10 : args.value(0).toInt(&ok);
        if (ok && minutes > 0)
            result = soak::runMeetingSoak(minutes);
    }
    if (!ok) {
        soak::say(QStringLiteral("usage: kelvo-soak [MINUTES] | --cycles N"));
        return 2;
    }
    // As a host does: the loop keeps turning until the last meeting thread has ended.
    soak::waitUntil([] { return KLDispatchQueue::meetingQueuesAlive() == 0; }, 5000);
    return result;
}
