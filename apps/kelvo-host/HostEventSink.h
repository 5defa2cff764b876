#pragma once

// Where kelvo-host's events go: one JSON object per line (flushed at once) to a file or
// stdout, or, without --events, a readable line per event on stdout. Events come from SDK
// threads and the main thread alike; lines never interleave.

#include <QJsonObject>
#include <QString>

#include <cstdio>
#include <mutex>

namespace kelvohost {

class HostEventSink {
public:
    /// `path`: "-" for stdout, a file path, or empty for readable lines on stdout.
    bool open(const QString &path, QString *error);
    ~HostEventSink();

    void emitEvent(const QJsonObject &event);

    /// The readable form of an event (what a person watching the demo reads).
    static QString readable(const QJsonObject &event);

private:
    std::mutex m_mutex;
    FILE *m_file = stdout;
    bool m_ownsFile = false;
    bool m_json = false;
};

} // namespace kelvohost
