#pragma once

#include <KelvoUISDK/KLSDKLogger.h>

#include <QString>
#include <QStringList>

#include <mutex>
#include <vector>

namespace kltest {

/// A log printer that keeps every line it receives, for assertions on what was logged.
class RecordingPrinter : public KLSDKLoggerProtocol {
public:
    struct Line {
        QString kind; // "info", "debug", "warn", "error", "action", "event", "errorPoint"
        QString tag;
        QString text;
    };

    void info(const QString &tag, const QString &msg) override { record("info", tag, msg); }
    void debug(const QString &tag, const QString &msg) override { record("debug", tag, msg); }
    void warn(const QString &tag, const QString &msg) override { record("warn", tag, msg); }
    void error(const QString &tag, const QString &msg) override { record("error", tag, msg); }
    void action(const QString &tag, const QVariant &point, const QVariant &) override
    {
        record("action", tag, point.toString());
    }
    void event(const QString &tag, const QVariant &point, const QVariant &) override
    {
        record("event", tag, point.toString());
    }
    void error(const QString &tag, const QVariant &point, const QVariant &) override
    {
        record("errorPoint", tag, point.toString());
    }

    /// Lines written under `tag`, oldest first.
    std::vector<Line> linesWithTag(const QString &tag) const
    {
        std::lock_guard lock(m_mutex);
        std::vector<Line> found;
        for (const Line &line : m_lines) {
            if (line.tag == tag)
                found.push_back(line);
        }
        return found;
    }

    /// True when some line under `tag` contains `fragment`.
    bool contains(const QString &tag, const QString &fragment) const
    {
        for (const Line &line : linesWithTag(tag)) {
            if (line.text.contains(fragment))
                return true;
        }
        return false;
    }

private:
    void record(const char *kind, const QString &tag, const QString &text)
    {
        std::lock_guard lock(m_mutex);
        m_lines.push_back({QString::fromLatin1(kind), tag, text});
    }

    mutable std::mutex m_mutex;
    std::vector<Line> m_lines;
};

} // namespace kltest
