#pragma once

// What the process costs, read from the kernel: its threads (/proc/self/task), the CPU time
// it used (getrusage: user + system, all threads) and its resident memory (/proc/self/status).

#include <QDir>
#include <QFile>
#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>

#include <sys/resource.h>
#include <unistd.h>

namespace klbench {

/// The ids of the process's threads now.
inline QSet<int> threadIds()
{
    QSet<int> ids;
    const QStringList entries = QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : entries)
        ids.insert(entry.toInt());
    return ids;
}

/// The kernel's name of a thread of this process ("?" once it has ended).
inline QString threadName(int id)
{
    QFile comm(QStringLiteral("/proc/self/task/%1/comm").arg(id));
    if (!comm.open(QIODevice::ReadOnly))
        return QStringLiteral("?");
    return QString::fromUtf8(comm.readAll()).trimmed();
}

/// "name (count), ..." of the given threads, names grouped.
inline QString threadNames(const QSet<int> &ids)
{
    QMap<QString, int> counts;
    for (int id : ids)
        ++counts[threadName(id)];
    QStringList parts;
    for (auto it = counts.begin(); it != counts.end(); ++it)
        parts << (it.value() == 1 ? it.key() : QStringLiteral("%1 x%2").arg(it.key()).arg(it.value()));
    return parts.join(QStringLiteral(", "));
}

/// User plus system CPU time so far, in seconds: of every thread of the process
/// (RUSAGE_SELF) or of the calling thread (RUSAGE_THREAD).
inline double cpuSeconds(int who = RUSAGE_SELF)
{
    rusage usage{};
    getrusage(who, &usage);
    auto seconds = [](const timeval &t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

/// User plus system CPU time of one thread of the process so far, in seconds (-1 once ended).
inline double threadCpuSeconds(int id)
{
    QFile stat(QStringLiteral("/proc/self/task/%1/stat").arg(id));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    // The name may hold blanks and parentheses: the fields start after its last ")".
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1;
    // utime and stime are the stat line's fields 14 and 15, the 12th and 13th after the name.
    return double(fields[11].toLongLong() + fields[12].toLongLong()) / double(sysconf(_SC_CLK_TCK));
}

/// The first thread whose kernel name starts with `prefix`, or -1.
inline int threadNamed(const QString &prefix)
{
    for (int id : threadIds())
        if (threadName(id).startsWith(prefix))
            return id;
    return -1;
}

/// A "Vm…" line of /proc/self/status in kB ("VmRSS", "VmHWM"); -1 when missing.
inline qint64 statusKilobytes(const char *key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = QByteArray(key) + ':';
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').first().toLongLong();
    return -1;
}

} // namespace klbench
