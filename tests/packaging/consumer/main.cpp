// A minimal host built against the installed SDK: every public header compiles on its own
// terms, the exported symbols link, and a log line reaches a host printer.
#include <KelvoUISDK/KLSDKDispatch.h>
#include <KelvoUISDK/KLSDKLogger.h>
#include <KelvoUISDK/KLSDKMeetingUser.h>
#include <KelvoUISDK/KLSDKVersion.h>
#include <KelvoUISDK/KLUISDKMeetingConfigKeys.h>
#include <KelvoUISDK/KLUISDKMeetingEventDelegate.h>

#include <QCoreApplication>

#include <cstdio>
#include <cstring>
#include <future>

namespace {

class HostPrinter : public KLSDKLoggerProtocol {
public:
    void info(const QString &tag, const QString &msg) override { lastLine = tag + "|" + msg; }
    void debug(const QString &, const QString &) override {}
    void warn(const QString &, const QString &) override {}
    void error(const QString &, const QString &) override {}
    void action(const QString &, const QVariant &, const QVariant &) override {}
    void event(const QString &, const QVariant &, const QVariant &) override {}
    void error(const QString &, const QVariant &, const QVariant &) override {}
    QString lastLine;
};

class HostDelegate : public KLUISDKMeetingEventDelegate {
public:
    void onMeetingJoined() override {}
    void onError(int, const QString &) override {}
    void onMeetingFinish(int, const QString &) override {}
};

int fail(const char *what)
{
    std::fprintf(stderr, "consumer check failed: %s\n", what);
    return 1;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    auto printer = std::make_shared<HostPrinter>();
    KLSDKLogger::setLoggerPrinter(printer);
    KLSDKLogging(2, QStringLiteral("Consumer"), QStringLiteral("hello"));
    std::promise<void> drained;
    ASYNC_RUN_ON_IO_QUEUE([&drained]() { drained.set_value(); });
    drained.get_future().wait();

    HostDelegate delegate;
    delegate.onMeetingUserStatusChange(nullptr, 0); // optional callback has a default

    if (printer->lastLine != QLatin1String("Consumer|hello"))
        return fail("log line did not reach the host printer");
    if (std::strcmp(KLSDKVersion, "1.0.0") != 0 || KelvoUISDKVersionNumber != 1.0)
        return fail("version symbols");
    if (std::strcmp(KLUISDKMeetingConfigMeetingUUID, "meetingUUID") != 0)
        return fail("key constants");
    return 0;
}
