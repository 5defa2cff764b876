#pragma once

// What every benchmark program shares: a logger printer that drops every line, so that the
// numbers measure the work and not the console, and the program's run with an application
// object (queues and timers need one).

#include <KelvoUISDK/KLSDKLogger.h>

#include <QCoreApplication>
#include <QStringList>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <functional>
#include <memory>

class KLDiscardingPrinter : public KLSDKLoggerProtocol {
public:
    void info(const QString &, const QString &) override {}
    void debug(const QString &, const QString &) override {}
    void warn(const QString &, const QString &) override {}
    void error(const QString &, const QString &) override {}
    void action(const QString &, const QVariant &, const QVariant &) override {}
    void event(const QString &, const QVariant &, const QVariant &) override {}
    void error(const QString &, const QVariant &, const QVariant &) override {}
};

namespace klbench {

/// The figures a program is judged by, printed together once its benchmarks have run, each
/// line beginning with "summary" so that scripts/bench can gather every program's lines into
/// one table: the figure measured now, its target and the figure before this code's
/// performance work.
class Summary {
public:
    static Summary &shared()
    {
        static Summary summary;
        return summary;
    }
    /// `what` names the figure; `target` and `before` are as they should read ("<= 3x"). A
    /// figure added again (a benchmark's trial runs) replaces the earlier one in its place.
    void add(const QString &what, const QString &now, const QString &target, const QString &before)
    {
        const QString line = QStringLiteral("summary  %1 %2 %3 %4")
                                 .arg(what, -48)
                                 .arg(now, -12)
                                 .arg(QStringLiteral("target ") + target, -20)
                                 .arg(QStringLiteral("before ") + before);
        const qsizetype at = m_names.indexOf(what);
        if (at >= 0) {
            m_lines[at] = line;
            return;
        }
        m_names << what;
        m_lines << line;
    }
    void print() const
    {
        for (const QString &line : m_lines)
            std::printf("%s\n", qPrintable(line));
        std::fflush(stdout);
    }

private:
    QStringList m_names;
    QStringList m_lines;
};

/// A ratio as the summary shows it.
inline QString times(double ratio)
{
    return QString::number(ratio, 'f', 2) + QLatin1Char('x');
}

} // namespace klbench

/// The body of a benchmark program's main: application object, silent logger, every
/// benchmark the command line selects, then the program's summary lines (`summarise` adds
/// the ones that need every benchmark's figures).
inline int KL_runBenchmarks(int argc, char **argv, const std::function<void()> &summarise = {})
{
    QCoreApplication app(argc, argv);
    KLSDKLogger::setLoggerPrinter(std::make_shared<KLDiscardingPrinter>());
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (summarise)
        summarise();
    klbench::Summary::shared().print();
    return 0;
}
