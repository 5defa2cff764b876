// What a member-event push costs the SDK once it has arrived, against parsing it alone.
//
// The stream: mute, unmute, offline and online for each of the 49 other members of a
// 50-member meeting, built with the simulator's own event bodies and sent as compact JSON, as
// its pushes are. The SDK path starts where the transport hands over a text frame: the
// transport's parse, the signal channel's frame entry (reply matching, KLSignalingMessage),
// the conference service and its KLSignalingEventHandler, into the participant registry of a
// meeting joined against the simulator (external user, built-in media engine), plus the
// main-thread work the pushes queue (notices, notifications), drained after each pass.
//
// Both benchmarks measure one pass over the stream per iteration and report, per frame, the
// main thread's CPU time and the wall time; the SDK path also reports its CPU time over the
// parse-only one ("x_parse").

#include "KLBenchMeeting.h"
#include "KLBenchSupport.h"
#include "KLProcessFigures.h"

#include "SimSignallingEvents.h"

#include "signalling/KLConferenceChannelWebSocket.h"
#include "signalling/KLConferenceSignalChannel.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <benchmark/benchmark.h>

namespace {

constexpr int kMembers = 50;
double g_parseCpuNanosPerFrame = 0;

// The benchmark thread's own CPU time: the SDK path runs on it, as the transport's queue would.
double threadCpuNanos()
{
    return klbench::cpuSeconds(RUSAGE_THREAD) * 1e9;
}

// Mute, unmute, offline, online for every member but the local user, as the simulator sends them.
QList<QByteArray> memberEventStream(const QJsonObject &meeting)
{
    using namespace kelvosim::signalling;
    QList<QByteArray> frames;
    const QString self = meeting.value("selfMemberUUID").toString();
    for (const QJsonValue &member : meeting.value("members").toArray()) {
        const QString uuid = member.toObject().value("memberUUID").toString();
        if (uuid == self)
            continue;
        for (int event : {AudioMuted, AudioUnmuted, Offline, Online})
            frames << QJsonDocument(push(eventKind(event), eventBody(meeting, event, uuid))).toJson(QJsonDocument::Compact);
    }
    return frames;
}

// Per-frame figures of a benchmark whose every iteration is one pass over `frames` frames.
void reportPerFrame(benchmark::State &state, qsizetype frames, double cpuNanos, double wallNanos)
{
    const double count = double(state.iterations()) * double(frames);
    state.SetItemsProcessed(int64_t(count));
    state.counters["cpu_us_per_frame"] = cpuNanos / count / 1000;
    state.counters["wall_us_per_frame"] = wallNanos / count / 1000;
}

void BM_MemberEventsParseOnly(benchmark::State &state)
{
    QString error;
    const QJsonObject scenario = klbench::scenarioWithMembers(kMembers, &error);
    const QList<QByteArray> frames = memberEventStream(scenario.value("meetings").toArray().first().toObject());
    const double cpuStart = threadCpuNanos();
    const auto wallStart = klbench::Clock::now();
    for (auto _ : state)
        for (const QByteArray &frame : frames)
            benchmark::DoNotOptimize(QJsonDocument::fromJson(frame));
    const double cpu = threadCpuNanos() - cpuStart;
    reportPerFrame(state, frames.size(), cpu, klbench::millisecondsBetween(wallStart, klbench::Clock::now()) * 1e6);
    g_parseCpuNanosPerFrame = cpu / (double(state.iterations()) * double(frames.size()));
}
BENCHMARK(BM_MemberEventsParseOnly)->Unit(benchmark::kMicrosecond);

void BM_MemberEventsThroughChannelAndHandler(benchmark::State &state)
{
    QString error;
    klbench::ScenarioFile file;
    if (!file.write(klbench::scenarioWithMembers(kMembers, &error))) {
        state.SkipWithError("cannot write the scenario");
        return;
    }
    klbench::BenchMeeting bench(file.path());
    if (!bench.start(&error)) {
        state.SkipWithError(qPrintable(error));
        return;
    }
    const QJsonArray members = bench.meeting().value("members").toArray();
    const QString lastMember = members.last().toObject().value("memberUUID").toString();
    auto service = bench.prepare(false);
    service->joinMeeting();
    if (!klbench::waitUntil([&] { return bench.watcher().joined() && service->clientWithUUID(lastMember); }, 30000)) {
        state.SkipWithError("the meeting was not joined with its member list");
        return;
    }
    // A channel of the meeting's own kind, never connected: its frame entry is the one the
    // live channel's transport calls, and the service behind it is the joined one.
    auto channel = KLConferenceSignalChannel::create(QStringLiteral("wss://127.0.0.1:1/unused"),
                                                     service->meetingConfig(), 30, service);
    int registered = 0;
    for (const QJsonValue &member : members)
        registered += service->clientWithUUID(member.toObject().value("memberUUID").toString()) != nullptr;
    state.counters["members_registered"] = registered;
    QList<QString> frames;
    for (const QByteArray &frame : memberEventStream(bench.meeting()))
        frames << QString::fromUtf8(frame); // what QWebSocket hands over

    const int eventsBefore = bench.watcher().userEvents();
    const double cpuStart = threadCpuNanos();
    const auto wallStart = klbench::Clock::now();
    for (auto _ : state) {
        for (const QString &text : frames)
            KLConferenceChannelWebSocket::deliverFrame(*channel, text);
        QCoreApplication::processEvents();
    }
    const double cpu = threadCpuNanos() - cpuStart;
    reportPerFrame(state, frames.size(), cpu, klbench::millisecondsBetween(wallStart, klbench::Clock::now()) * 1e6);
    if (g_parseCpuNanosPerFrame > 0) {
        const double ratio = cpu / (double(state.iterations()) * double(frames.size())) / g_parseCpuNanosPerFrame;
        state.counters["x_parse"] = ratio;
        klbench::Summary::shared().add(QStringLiteral("ingest: member push CPU / its parse"), klbench::times(ratio),
                                       QStringLiteral("<= 3x"), QStringLiteral("13x"));
    }
    // Every frame about a registered member reaches the host as one user event: a check that
    // the path ran whole (events about members the registry does not hold are dropped).
    state.counters["host_events_per_frame"] =
        (bench.watcher().userEvents() - eventsBefore) / (double(state.iterations()) * double(frames.size()));
    service.reset();
    bench.leave();
    bench.waitDisconnected();
}
// One join per run: a fixed number of passes instead of the library's trial runs.
BENCHMARK(BM_MemberEventsThroughChannelAndHandler)->Iterations(40)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    klbench::ThrowAwaySettings settings;
    return KL_runBenchmarks(argc, argv);
}
