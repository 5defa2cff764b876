#pragma once

#include "KLTestSupport.h"

#include <KelvoUISDK/KLSDKLogger.h>

#include <QString>

#include <algorithm>
#include <mutex>
#include <vector>

namespace kltest {

/// A log printer that keeps every line it receives, for assertions on what was logged.
class RecordingPrinter : public KLSDKLoggerProtocol {
public:
    /// kind: "info", "debug", "warn", "error", "action", "event" or "errorPoint".
    struct Line { QString kind, tag, text; };

    /// A printer installed as the SDK's; `uninstall()` puts the console back.
    static std::shared_ptr<RecordingPrinter> install()
    {
        auto printer = std::make_shared<RecordingPrinter>();
        KLSDKLogger::setLoggerPrinter(printer);
        return printer;
    }
    static void uninstall()
    {
        KLSDKLogger::setLoggerPrinter(nullptr);
        drainLogger();
    }

    void info(const QString &tag, const QString &msg) override { record("info", tag, msg); }
    void debug(const QString &tag, const QString &msg) override { record("debug", tag, msg); }
    void warn(const QString &tag, const QString &msg) override { record("warn", tag, msg); }
    void error(const QString &tag, const QString &msg) override { record("error", tag, msg); }
    void action(const QString &tag, const QVariant &pt, const QVariant &) override { record("action", tag, pt.toString()); }
    void event(const QString &tag, const QVariant &pt, const QVariant &) override { record("event", tag, pt.toString()); }
    void error(const QString &tag, const QVariant &pt, const QVariant &) override { record("errorPoint", tag, pt.toString()); }

    /// Lines written under `tag`, oldest first.
    std::vector<Line> linesWithTag(const QString &tag) const
    {
        std::lock_guard lock(m_mutex);
        std::vector<Line> found;
        std::copy_if(m_lines.begin(), m_lines.end(), std::back_inserter(found),
                     [&](const Line &line) { return line.tag == tag; });
        return found;
    }

    /// Lines of `kind` under any tag containing `fragment`, once every line logged so far is in.
    int count(const char *kind, const QString &fragment) const
    {
        drainLogger();
        std::lock_guard lock(m_mutex);
        return int(std::count_if(m_lines.begin(), m_lines.end(), [&](const Line &line) {
            return line.kind == QLatin1String(kind) && line.text.contains(fragment);
        }));
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
