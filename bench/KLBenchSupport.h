#pragma once

// What every benchmark program shares: a logger printer that drops every line, so that the
// numbers measure the work and not the console, and the program's run with an application
// object (queues and timers need one).

#include <KelvoUISDK/KLSDKLogger.h>

#include <QCoreApplication>

#include <benchmark/benchmark.h>

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

/// The body of a benchmark program's main: application object, silent logger, every
/// benchmark the command line selects.
inline int KL_runBenchmarks(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    KLSDKLogger::setLoggerPrinter(std::make_shared<KLDiscardingPrinter>());
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
