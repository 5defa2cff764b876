#include "SoakProcess.h"

#include <QDir>
#include <QFile>

namespace soak {

ProcessFigures sampleProcess()
{
    ProcessFigures figures;
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.startsWith("VmRSS:"))
                figures.rssKiB = line.mid(6).trimmed().split(' ').value(0).toLongLong();
            else if (line.startsWith("Threads:"))
                figures.threads = line.mid(8).trimmed().toInt();
        }
    }
    // The listing itself holds one descriptor open while it reads.
    figures.fds = int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot |
                                                                      QDir::System).size()) - 1;
    return figures;
}

QString describe(const ProcessFigures &figures)
{
    return QStringLiteral("rss %1 KiB, %2 fds, %3 threads").arg(figures.rssKiB).arg(figures.fds).arg(figures.threads);
}

} // namespace soak
