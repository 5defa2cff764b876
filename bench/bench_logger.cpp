// Logger benchmarks: what a log statement costs its caller, and how many lines per second
// the IO queue hands to a printer that discards them.
#include "runtime/KLSDKDispatcher.h"
#include "runtime/KLSDKLog.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>

#include <chrono>

#include "KLBenchSupport.h"

namespace {


void drainIoQueue()
{
    KLSDKDispatcher::sharedDispatcher().ioQueue().sync([]() {});
}

const QString kTag = QStringLiteral("KLConferenceService");

// Caller's cost: formatting the prefix and message plus queueing one job.
void BM_LogStatementCallerCost(benchmark::State &state)
{
    qint64 sequence = 0;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state)
        KL_LOG_INFO(kTag, QStringLiteral("member %1 joined the meeting").arg(++sequence));
    const std::chrono::duration<double, std::micro> spent = std::chrono::steady_clock::now() - start;
    drainIoQueue(); // outside the timed loop
    klbench::Summary::shared().add(QStringLiteral("logger: caller's cost per statement"),
                                   QString::number(spent.count() / double(state.iterations()), 'f', 3) + " us",
                                   QStringLiteral("<= 1 us"), QStringLiteral("within"));
}
// A fixed count keeps the queued backlog (and the memory it holds) bounded.
BENCHMARK(BM_LogStatementCallerCost)->Iterations(200000);

// End to end: a batch of lines written and delivered to the printer.
void BM_LoggerLinesPerSecond(benchmark::State &state)
{
    const int batch = static_cast<int>(state.range(0));
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        for (int i = 0; i < batch; ++i)
            KL_LOG_INFO(kTag, QStringLiteral("member %1 joined the meeting").arg(i));
        drainIoQueue();
    }
    const std::chrono::duration<double> spent = std::chrono::steady_clock::now() - start;
    state.SetItemsProcessed(state.iterations() * batch);
    klbench::Summary::shared().add(QStringLiteral("logger: lines delivered per second"),
                                   QString::number(double(state.iterations()) * batch / spent.count() / 1e6, 'f', 2) + " M",
                                   QStringLiteral(">= 1 M"), QStringLiteral("within"));
}
BENCHMARK(BM_LoggerLinesPerSecond)->Arg(10000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    return KL_runBenchmarks(argc, argv);
}
