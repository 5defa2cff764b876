#pragma once

/// @file
/// The SDK's log: levels, the printer a host may install and the process-wide logger.

#include <KelvoUISDK/KelvoUISDKExport.h>

#include <QString>
#include <QVariant>

#include <memory>

/// Log levels (bit values). Any other value is not a level: such a line is dropped.
enum KLSDKLogLevel : int {
    KLSDKLogLevelVerbose = 1,  ///< detail; written as an info line
    KLSDKLogLevelInfo = 2,     ///< an info line
    KLSDKLogLevelWarn = 4,     ///< a warning line
    KLSDKLogLevelError = 8,    ///< an error line
    KLSDKLogLevelDebug = 16,   ///< a debug line
};

/// The printer a host installs to receive the SDK's log lines. Every operation is called on
/// the SDK's IO queue, one line at a time and in the order the lines were written; an
/// implementation must not wait for the thread that wrote the line.
///
/// The host creates the printer and hands it over by shared pointer; the logger keeps it until
/// another printer is installed, and the last line written to it may still be under way then.
class KELVOUISDK_EXPORT KLSDKLoggerProtocol {
public:
    virtual ~KLSDKLoggerProtocol() = default;
    /// An info line (levels 1 and 2): `tag` names the writing part of the SDK.
    virtual void info(const QString &tag, const QString &msg) = 0;
    /// A debug line (level 16).
    virtual void debug(const QString &tag, const QString &msg) = 0;
    /// A warning line (level 4).
    virtual void warn(const QString &tag, const QString &msg) = 0;
    /// An error line (level 8).
    virtual void error(const QString &tag, const QString &msg) = 0;
    /// A tracked action at `point` with its `params`. Tracked points (this and the next two)
    /// are offered to the host; the SDK itself never writes them.
    virtual void action(const QString &tag, const QVariant &point, const QVariant &params) = 0;
    /// A tracked event at `point` with its `params`.
    virtual void event(const QString &tag, const QVariant &point, const QVariant &params) = 0;
    /// A tracked error at `point` with its `params`.
    virtual void error(const QString &tag, const QVariant &point, const QVariant &params) = 0;
};

/// The process-wide logger. Each call queues one job on the IO queue and returns at once;
/// the job hands the line to the installed printer, or writes one console line on stderr
/// ("I/tag: message", "D/…", "W/…", "E/…", "Action/tag: point params" …).
/// Every function may be called from any thread; the texts are copied.
class KELVOUISDK_EXPORT KLSDKLogger {
public:
    /// Installs a printer (or none, for the console). Queued like a line: lines written before
    /// the call still reach the previous printer. The logger shares ownership of `printer`
    /// until the next call.
    static void setLoggerPrinter(std::shared_ptr<KLSDKLoggerProtocol> printer);

    /// Writes an info line ("I/tag: msg" on the console).
    static void info(const QString &tag, const QString &msg);
    /// Writes a debug line ("D/tag: msg").
    static void debug(const QString &tag, const QString &msg);
    /// Writes a warning line ("W/tag: msg").
    static void warn(const QString &tag, const QString &msg);
    /// Writes an error line ("E/tag: msg").
    static void error(const QString &tag, const QString &msg);
    /// Passes a tracked action on to the printer ("Action/tag: point params").
    static void action(const QString &tag, const QVariant &point, const QVariant &params);
    /// Passes a tracked event on to the printer ("Event/tag: point params").
    static void event(const QString &tag, const QVariant &point, const QVariant &params);
    /// Passes a tracked error on to the printer ("Error/tag: point params").
    static void error(const QString &tag, const QVariant &point, const QVariant &params);
};

/// Writes one line: levels 1 and 2 as info, 4 warn, 8 error, 16 debug; other values vanish.
/// Any thread; returns at once like the `KLSDKLogger` functions.
KELVOUISDK_EXPORT void KLSDKLogging(int level, const QString &tag, const QString &message);

/// The part of a path after its last "/" (the whole text without one; "" for a trailing "/"
/// or no path at all). Any thread; `path` may be null and is only read during the call.
KELVOUISDK_EXPORT QString KLSDKLoggingFileName(const char *path);
