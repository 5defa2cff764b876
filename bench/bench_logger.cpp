// Logger benchmarks: what a log statement costs its caller, and how many lines per second
// the IO queue hands to a printer that discards them.
#include "runtime/KLSDKDispatcher.h"
#include "runtime/KLSDKLog.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>

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
    for (auto _ : state)
        KL_LOG_INFO(kTag, QStringLiteral("member %1 joined the meeting").arg(++sequence));
    drainIoQueue(); // outside the timed loop
}
// A fixed count keeps the queued backlog (and the memory it holds) bounded.
BENCHMARK(BM_LogStatementCallerCost)->Iterations(200000);

// End to end: a batch of lines written and delivered to the printer.
void BM_LoggerLinesPerSecond(benchmark::State &state)
{
    const int batch = static_cast<int>(state.range(0));
    for (auto _ : state) {
        for (int i = 0; i < batch; ++i)
            KL_LOG_INFO(kTag, QStringLiteral("member %1 joined the meeting").arg(i));
        drainIoQueue();
    }
    state.SetItemsProcessed(state.iterations() * batch);
}
BENCHMARK(BM_LoggerLinesPerSecond)->Arg(10000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    return KL_runBenchmarks(argc, argv);
}
