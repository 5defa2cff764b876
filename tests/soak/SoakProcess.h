#pragma once

// What the soak reads about its own process from /proc: resident memory, open descriptors and
// threads, to tell a leak over hours from the working set of the first minute; and from the
// allocator, the bytes its blocks hold, to tell a leak from memory the allocator keeps.

#include <QString>

namespace soak {

struct ProcessFigures {
    qint64 rssKiB = 0;
    int fds = 0;
    int threads = 0;
    /// glibc's figures: bytes in blocks in use (blocks parked in a thread's cache of freed
    /// blocks count as in use), and the memory it holds (freed blocks it keeps, every thread's
    /// arena included). Both 0 under a sanitizer's own allocator.
    qint64 heapInUseKiB = 0;
    qint64 heapHeldKiB = 0;
};

ProcessFigures sampleProcess();
/// "rss 81234 KiB, 57 fds, 23 threads, heap 2100 KiB in use of 9800 KiB held".
QString describe(const ProcessFigures &figures);

} // namespace soak
