#include "conference/status/KLProcessUsageReader.h"

#include "runtime/KLSDKLog.h"

#include <QDir>
#include <QFile>
#include <QList>

#include <unistd.h>

namespace {

const QString kTag = QStringLiteral("KLHardwareStatusService");

// Positions in the part of a stat line after the command name; the first entry there is
// field 3 (the state), so field n sits at index n - 3.
constexpr int kUserTimeIndex = 14 - 3;
constexpr int kSystemTimeIndex = 15 - 3;
constexpr int kStartTimeIndex = 22 - 3;

constexpr double kBytesPerMiB = 1048576.0;

std::optional<QByteArray> readFile(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    // Proc files report a size of 0; readAll reads them to their end all the same.
    return file.readAll();
}

} // namespace

KLProcessUsageReader::KLProcessUsageReader(QString procRoot, QString process,
                                           long clockTicksPerSecond)
    : m_procRoot(std::move(procRoot)),
      m_process(std::move(process)),
      m_clockTicks(clockTicksPerSecond > 0 ? clockTicksPerSecond : sysconf(_SC_CLK_TCK))
{
}

QString KLProcessUsageReader::path(const QString &relative) const
{
    return QDir(m_procRoot).filePath(relative);
}

std::optional<KLProcessUsageReader::ThreadTimes>
KLProcessUsageReader::parseStatLine(const QByteArray &line)
{
    const qsizetype open = line.indexOf('(');
    const qsizetype close = line.lastIndexOf(')');
    if (open < 0 || close < open)
        return std::nullopt;
    const QList<QByteArray> fields = line.mid(close + 1).simplified().split(' ');
    if (fields.size() <= kStartTimeIndex)
        return std::nullopt;
    bool userOk = false, systemOk = false, startOk = false;
    ThreadTimes times;
    times.userTicks = fields[kUserTimeIndex].toLongLong(&userOk);
    times.systemTicks = fields[kSystemTimeIndex].toLongLong(&systemOk);
    times.startTicks = fields[kStartTimeIndex].toLongLong(&startOk);
    if (!userOk || !systemOk || !startOk || times.userTicks < 0 || times.systemTicks < 0 ||
        times.startTicks < 0)
        return std::nullopt;
    return times;
}

std::optional<double> KLProcessUsageReader::readUptime(QString *error) const
{
    const auto text = readFile(path(QStringLiteral("uptime")), error);
    if (!text)
        return std::nullopt;
    bool ok = false;
    const double uptime = text->simplified().split(' ').value(0).toDouble(&ok);
    if (!ok || uptime < 0) {
        *error = QStringLiteral("unreadable uptime \"%1\"").arg(QString::fromLatin1(text->trimmed()));
        return std::nullopt;
    }
    return uptime;
}

double KLProcessUsageReader::cpuUsage()
{
    if (m_clockTicks <= 0) {
        KL_LOG_ERROR(kTag, QStringLiteral("Get CPU usage failed: no clock tick rate"));
        return -1.0;
    }
    QString error;
    const std::optional<double> uptime = readUptime(&error);
    const QDir taskDir(path(m_process + QStringLiteral("/task")));
    if (uptime && !taskDir.exists())
        error = QStringLiteral("%1: no such directory").arg(taskDir.path());
    if (!uptime || !taskDir.exists()) {
        KL_LOG_ERROR(kTag, QStringLiteral("Get CPU usage failed: %1").arg(error));
        return -1.0;
    }

    const QStringList threads = taskDir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    if (threads.isEmpty()) {
        KL_LOG_ERROR(kTag, QStringLiteral("Get CPU usage failed: %1 lists no thread")
                               .arg(taskDir.path()));
        return -1.0;
    }

    std::lock_guard lock(m_mutex);
    const double interval = *uptime - m_previousUptime;
    const bool havePrevious = m_previousUptime >= 0 && interval > 0;
    QHash<QString, qint64> ticksNow;
    double total = 0;
    for (const QString &thread : threads) {
        QString readError;
        const auto line = readFile(taskDir.filePath(thread + QStringLiteral("/stat")), &readError);
        if (!line)
            continue; // the thread ended between the listing and the read
        const auto times = parseStatLine(*line);
        if (!times) {
            KL_LOG_ERROR(kTag, QStringLiteral("Get CPU usage failed: unreadable stat line of "
                                              "thread %1: \"%2\"")
                                   .arg(thread, QString::fromUtf8(line->trimmed().left(200))));
            return -1.0;
        }
        const qint64 ticks = times->userTicks + times->systemTicks;
        ticksNow.insert(thread, ticks);
        const auto previous = m_previousTicks.constFind(thread);
        if (havePrevious && previous != m_previousTicks.constEnd() && ticks >= *previous) {
            total += double(ticks - *previous) / double(m_clockTicks) / interval * 100.0;
        } else {
            // New to this reading (or its id was reused): its lifetime average.
            const double lifetime = *uptime - double(times->startTicks) / double(m_clockTicks);
            if (lifetime > 0)
                total += double(ticks) / double(m_clockTicks) / lifetime * 100.0;
        }
    }
    m_previousTicks = std::move(ticksNow);
    m_previousUptime = *uptime;

    KL_LOG_INFO(kTag, QString::asprintf("CPU in use: %f", total));
    return total;
}

double KLProcessUsageReader::memoryUsage() const
{
    QString error;
    const auto status = readFile(path(m_process + QStringLiteral("/status")), &error);
    if (status) {
        error = QStringLiteral("no VmRSS line in %1/status").arg(m_process);
        for (const QByteArray &line : status->split('\n')) {
            if (!line.startsWith("VmRSS:"))
                continue;
            // "VmRSS:	  123456 kB"
            const QList<QByteArray> parts = line.mid(6).simplified().split(' ');
            bool ok = false;
            const qint64 kibibytes = parts.value(0).toLongLong(&ok);
            if (!ok || kibibytes < 0 || parts.value(1) != "kB") {
                error = QStringLiteral("unreadable line \"%1\"")
                            .arg(QString::fromLatin1(line.trimmed()));
                break;
            }
            const double mebibytes = double(kibibytes) * 1024.0 * (1.0 / kBytesPerMiB);
            KL_LOG_INFO(kTag, QString::asprintf("Memory in use (in MiB): %f", mebibytes));
            return mebibytes;
        }
    }
    KL_LOG_ERROR(kTag, QStringLiteral("Error with task_info(): %1").arg(error));
    return -1.0;
}
