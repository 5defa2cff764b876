#pragma once

// CPU and resident memory of one process, read from the proc file system.
//
// CPU: the process's thread list (<root>/<process>/task) and each thread's stat line. A thread
// seen by the previous reading contributes the CPU time it used since then divided by the wall
// time since then; a thread not seen before (every thread on the first reading) contributes its
// average over its lifetime (CPU time divided by the time since it started). The sum is percent
// of one core, so several busy threads can exceed 100. "Now" is <root>/uptime, the clock the
// thread start times are counted in.
//
// Memory: "VmRSS" of <root>/<process>/status, in MiB.
//
// Both give -1.0 when the figures cannot be read, with a log line saying why.

#include <QByteArray>
#include <QHash>
#include <QString>

#include <mutex>
#include <optional>

class KLProcessUsageReader {
public:
    /// The figures of one stat line that the CPU reading needs, in clock ticks.
    struct ThreadTimes {
        qint64 userTicks = 0;
        qint64 systemTicks = 0;
        qint64 startTicks = 0; ///< start time after boot
    };

    /// `procRoot` is the proc file system's mount point (a fixture directory in tests),
    /// `process` the entry under it ("self" or a pid). `clockTicksPerSecond` 0 asks the system.
    explicit KLProcessUsageReader(QString procRoot = QStringLiteral("/proc"),
                                  QString process = QStringLiteral("self"),
                                  long clockTicksPerSecond = 0);

    /// Percent of one core used by all threads of the process; -1.0 on failure. Logs
    /// "CPU in use: %f" on success.
    double cpuUsage();
    /// Resident size in MiB; -1.0 on failure. Logs "Memory in use (in MiB): %f" on success and
    /// "Error with task_info(): %s" with the reason on failure.
    double memoryUsage() const;

    /// Reads one /proc stat line. The command name sits between the first "(" and the last
    /// ")" and may itself hold blanks and parentheses; nothing when the line has not the shape
    /// of a stat line.
    static std::optional<ThreadTimes> parseStatLine(const QByteArray &line);

private:
    QString path(const QString &relative) const;
    std::optional<double> readUptime(QString *error) const;

    const QString m_procRoot;
    const QString m_process;
    const long m_clockTicks;

    std::mutex m_mutex; // guards the previous reading below
    QHash<QString, qint64> m_previousTicks; // thread id -> user + system ticks
    double m_previousUptime = -1.0;
};
