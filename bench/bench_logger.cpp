// Logger benchmarks: what a log statement costs its caller, and how many lines per second
// the IO queue hands to a printer that discards them.
#include "runtime/KLSDKDispatcher.h"
#include "runtime/KLSDKLog.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>


#include "KLBenchSupport.h"
#include "KLProcessFigures.h"

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
    // The caller's thread CPU time, as the benchmark's own figure: a loaded machine's
    // preemption is not the statement's cost.
    const double start = klbench::cpuSeconds(RUSAGE_THREAD);
    for (auto _ : state)
        KL_LOG_INFO(kTag, QStringLiteral("member %1 joined the meeting").arg(++sequence));
    const double spent = klbench::cpuSeconds(RUSAGE_THREAD) - start;
    drainIoQueue(); // outside the timed loop
    klbench::Summary::shared().add(QStringLiteral("logger: caller's CPU per statement"),
                                   QString::number(spent * 1e6 / double(state.iterations()), 'f', 3) + " us",
                                   QStringLiteral("<= 1 us"), QStringLiteral("within"));
}
// A fixed count keeps the queued backlog (and the memory it holds) bounded.
BENCHMARK(BM_LogStatementCallerCost)->Iterations(200000);

// End to end: a batch of lines written and delivered to the printer.
void BM_LoggerLinesPerSecond(benchmark::State &state)
{
    const int batch = static_cast<int>(state.range(0));
    // Lines per second of the writing thread's CPU time, as the benchmark's items_per_second.
    const double start = klbench::cpuSeconds(RUSAGE_THREAD);
    for (auto _ : state) {
        for (int i = 0; i < batch; ++i)
            KL_LOG_INFO(kTag, QStringLiteral("member %1 joined the meeting").arg(i));
        drainIoQueue();
    }
    const double spent = klbench::cpuSeconds(RUSAGE_THREAD) - start;
    state.SetItemsProcessed(state.iterations() * batch);
    klbench::Summary::shared().add(QStringLiteral("logger: lines delivered per CPU second"),
                                   QString::number(double(state.iterations()) * batch / spent / 1e6, 'f', 2) + " M",
                                   QStringLiteral(">= 1 M"), QStringLiteral("within"));
}
BENCHMARK(BM_LoggerLinesPerSecond)->Arg(10000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    return KL_runBenchmarks(argc, argv);
}
