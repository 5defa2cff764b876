#include "SoakProcess.h"

#include <QDir>
#include <QFile>

#include <malloc.h>

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
    // Every arena's figures, the threads' own included (mallinfo2 sums them); large blocks are
    // mapped on their own (hblkhd) and count both as in use and as held.
    // Under a sanitizer the blocks come from its own allocator, which glibc's figures miss.
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    const struct mallinfo2 heap = mallinfo2();
    figures.heapInUseKiB = qint64((heap.uordblks + heap.hblkhd) / 1024);
    figures.heapHeldKiB = qint64((heap.arena + heap.hblkhd) / 1024);
#endif
    return figures;
}

QString describe(const ProcessFigures &figures)
{
    QString text = QStringLiteral("rss %1 KiB, %2 fds, %3 threads").arg(figures.rssKiB).arg(figures.fds).arg(figures.threads);
    if (figures.heapHeldKiB > 0)
        text += QStringLiteral(", heap %1 KiB in use of %2 KiB held").arg(figures.heapInUseKiB).arg(figures.heapHeldKiB);
    return text;
}

} // namespace soak
