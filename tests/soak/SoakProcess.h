#pragma once

// What the soak reads about its own process from /proc: resident memory, open descriptors and
// threads, to tell a leak over hours from the working set of the first minute.

#include <QString>

namespace soak {

struct ProcessFigures {
    qint64 rssKiB = 0;
    int fds = 0;
    int threads = 0;
};

ProcessFigures sampleProcess();
/// "rss 81234 KiB, 57 fds, 23 threads".
QString describe(const ProcessFigures &figures);

} // namespace soak
