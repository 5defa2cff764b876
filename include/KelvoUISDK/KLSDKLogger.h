#pragma once

#include <KelvoUISDK/KelvoUISDKExport.h>

#include <QString>
#include <QVariant>

#include <memory>

/// Log levels (bit values). Any other value is not a level: such a line is dropped.
enum KLSDKLogLevel : int {
    KLSDKLogLevelVerbose = 1,
    KLSDKLogLevelInfo = 2,
    KLSDKLogLevelWarn = 4,
    KLSDKLogLevelError = 8,
    KLSDKLogLevelDebug = 16,
};

/// The printer a host installs to receive the SDK's log lines. Every operation is called on
/// the SDK's IO queue, one line at a time and in the order the lines were written; an
/// implementation must not wait for the thread that wrote the line.
class KELVOUISDK_EXPORT KLSDKLoggerProtocol {
public:
    virtual ~KLSDKLoggerProtocol() = default;
    virtual void info(const QString &tag, const QString &msg) = 0;
    virtual void debug(const QString &tag, const QString &msg) = 0;
    virtual void warn(const QString &tag, const QString &msg) = 0;
    virtual void error(const QString &tag, const QString &msg) = 0;
    /// Tracked points: offered to the host; the SDK itself never writes these.
    virtual void action(const QString &tag, const QVariant &point, const QVariant &params) = 0;
    virtual void event(const QString &tag, const QVariant &point, const QVariant &params) = 0;
    virtual void error(const QString &tag, const QVariant &point, const QVariant &params) = 0;
};

/// The process-wide logger. Each call queues one job on the IO queue and returns at once;
/// the job hands the line to the installed printer, or writes one console line on stderr
/// ("I/tag: message", "D/…", "W/…", "E/…", "Action/tag: point params" …).
class KELVOUISDK_EXPORT KLSDKLogger {
public:
    /// Installs a printer (or none, for the console). Queued like a line: lines written before
    /// the call still reach the previous printer.
    static void setLoggerPrinter(std::shared_ptr<KLSDKLoggerProtocol> printer);

    static void info(const QString &tag, const QString &msg);
    static void debug(const QString &tag, const QString &msg);
    static void warn(const QString &tag, const QString &msg);
    static void error(const QString &tag, const QString &msg);
    static void action(const QString &tag, const QVariant &point, const QVariant &params);
    static void event(const QString &tag, const QVariant &point, const QVariant &params);
    static void error(const QString &tag, const QVariant &point, const QVariant &params);
};

/// Writes one line: levels 1 and 2 as info, 4 warn, 8 error, 16 debug; other values vanish.
KELVOUISDK_EXPORT void KLSDKLogging(int level, const QString &tag, const QString &message);

/// The part of a path after its last "/" (the whole text without one; "" for a trailing "/"
/// or no path at all).
KELVOUISDK_EXPORT QString KLSDKLoggingFileName(const char *path);
