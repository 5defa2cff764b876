// How long joining and leaving take against the local meeting simulator.
//
// Join: with 50 ms added to every answer the join may wait for (a Delay fault on each HTTPS
// path and signalling message type the undelayed joins used), the time from joinMeeting() to
// onMeetingJoined, for an internal user (meeting API over HTTPS) and an external one (meeting
// operations over the signal channel), next to the number of delayed round trips the join made
// one after another, times 50 ms.
//
// Sequential round trips are counted from what the simulator received: every request and
// signalling frame is given the time it was first seen (the main thread looks every
// millisecond), and the count is the longest chain of delayed requests in which each one
// arrived at least 50 ms after the one before it (so it could have waited for that one's
// delayed answer) and whose answers all went out before the join's media connection opened:
// the media connection is the join's last step and onMeetingJoined waits only for it, so a
// request answered later (the member list, say) ran beside the join, not in it. The timeline of
// the first delayed join is printed with the chain marked, so that it can be checked against
// the join's steps; requests that arrived in the same look are equally good links.
//
// Leave: the time from leave() until every thread the meeting started has ended, from
// /proc/self/task before the join, during the meeting and after the leave.
//
// Usage: bench_join [runs per user kind, default 5]

#include "KLBenchMeeting.h"
#include "KLBenchSupport.h"
#include "KLProcessFigures.h"

#include <QJsonArray>
#include <QSet>

#include <algorithm>
#include <cstdio>
#include <iterator>

namespace {

constexpr int kDelayMs = 50;

// One request or frame the simulator received, with the time it was first seen.
struct Arrival {
    double ms = 0;   // after joinMeeting()
    QString what;    // "https <path>", "ws <messageType>", "media <type>"
    QString faultKey; // the path or messageType a Delay fault is set on; empty when never answered
    bool https = false;
};

// The simulator's record read while a join runs: new entries get the current time.
class ArrivalLog {
public:
    // Only what arrives from now on counts; the media record is never cleared.
    ArrivalLog(kelvosim::MeetingSim &sim, klbench::Clock::time_point start)
        : m_sim(sim)
        , m_start(start)
        , m_requests(sim.requests().size())
        , m_frames(sim.signallingFrames().size())
        , m_media(sim.mediaFrames().size())
        , m_mediaConnections(sim.mediaConnections())
        , m_signallingConnections(sim.signallingConnections())
    {
    }

    void poll()
    {
        const double now = klbench::millisecondsBetween(m_start, klbench::Clock::now());
        const auto requests = m_sim.requests();
        for (qsizetype i = m_requests; i < requests.size(); ++i)
            m_arrivals.push_back({now, "https " + requests[i].path, requests[i].path, true});
        m_requests = requests.size();
        const auto frames = m_sim.signallingFrames();
        for (qsizetype i = m_frames; i < frames.size(); ++i) {
            const QString type = signallingType(frames[i].json);
            const bool answered = type != "info" && type != "keepalive";
            m_arrivals.push_back({now, "ws " + type, answered ? type : QString(), false});
        }
        m_frames = frames.size();
        const auto media = m_sim.mediaFrames();
        for (qsizetype i = m_media; i < media.size(); ++i)
            m_arrivals.push_back({now, "media " + media[i].message.value("type").toString(), {}, false});
        m_media = media.size();
        for (const int opened = m_sim.signallingConnections(); m_signallingConnections < opened; ++m_signallingConnections)
            m_arrivals.push_back({now, "ws connection opened", {}, false});
        for (const int opened = m_sim.mediaConnections(); m_mediaConnections < opened; ++m_mediaConnections)
            m_arrivals.push_back({now, "media connection opened", {}, false});
    }
    const std::vector<Arrival> &arrivals() const { return m_arrivals; }

private:
    // Enveloped requests name their messageType; the internal kind's bare messages carry only
    // an event number (10001 registers, 10000 is the keep-alive).
    static QString signallingType(const QJsonObject &frame)
    {
        if (frame.contains("messageType"))
            return frame.value("messageType").toString();
        return frame.value("body").toObject().value("eventId").toInt() == 10001 ? "register" : "keepalive";
    }

    kelvosim::MeetingSim &m_sim;
    klbench::Clock::time_point m_start;
    qsizetype m_requests, m_frames, m_media;
    int m_mediaConnections, m_signallingConnections;
    std::vector<Arrival> m_arrivals;
};

struct JoinRun {
    double ms = -1; // joinMeeting() to onMeetingJoined; -1 when it did not join
    std::vector<Arrival> arrivals;
};

JoinRun joinOnce(klbench::BenchMeeting &bench, bool internal)
{
    bench.sim().clearRequests();
    auto service = bench.prepare(internal);
    const auto start = klbench::Clock::now();
    ArrivalLog log(bench.sim(), start);
    service->joinMeeting();
    const bool joined = klbench::waitUntil([&] { return bench.watcher().joined(); }, 30000, [&] { log.poll(); });
    JoinRun run;
    if (joined)
        run.ms = klbench::millisecondsBetween(start, bench.watcher().joinedAt());
    log.poll();
    for (const Arrival &arrival : log.arrivals())
        if (arrival.ms <= run.ms)
            run.arrivals.push_back(arrival);
    bench.leave();
    bench.waitDisconnected();
    return run;
}

// The longest chain of delayed arrivals answered before the media connection opened (or
// before the join completed, without one), each at least the delay after the one before it.
std::vector<Arrival> longestDelayedChain(const JoinRun &run)
{
    const double gap = kDelayMs - 2; // the looks are a millisecond apart
    const auto media = std::find_if(run.arrivals.begin(), run.arrivals.end(),
                                    [](const Arrival &a) { return a.what == "media connection opened"; });
    const double endMs = media != run.arrivals.end() ? media->ms : run.ms;
    std::vector<Arrival> delayed;
    std::copy_if(run.arrivals.begin(), run.arrivals.end(), std::back_inserter(delayed),
                 [&](const Arrival &a) { return !a.faultKey.isEmpty() && a.ms + gap <= endMs; });
    std::vector<int> length(delayed.size(), 1), previous(delayed.size(), -1);
    int best = -1;
    for (size_t i = 0; i < delayed.size(); ++i) {
        for (size_t j = 0; j < i; ++j)
            if (delayed[i].ms - delayed[j].ms >= gap && length[j] + 1 > length[i]) {
                length[i] = length[j] + 1;
                previous[i] = int(j);
            }
        if (best < 0 || length[i] > length[size_t(best)])
            best = int(i);
    }
    std::vector<Arrival> chain;
    for (int i = best; i >= 0; i = previous[size_t(i)])
        chain.insert(chain.begin(), delayed[size_t(i)]);
    return chain;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? -1 : values[values.size() / 2];
}

void benchJoin(klbench::BenchMeeting &bench, bool internal, int runs)
{
    const char *kind = internal ? "internal user (meeting API over HTTPS)" : "external user (meeting API over the signal channel)";
    std::printf("\nJoin, %s\n", kind);

    // Undelayed joins; the paths and message types they used are the ones to delay.
    std::vector<double> plain;
    QSet<QString> paths, types;
    for (int i = 0; i < runs; ++i) {
        const JoinRun run = joinOnce(bench, internal);
        if (run.ms < 0) {
            std::printf("  an undelayed join did not complete within 30 s; nothing measured\n");
            return;
        }
        plain.push_back(run.ms);
        for (const Arrival &arrival : run.arrivals)
            if (!arrival.faultKey.isEmpty())
                (arrival.https ? paths : types).insert(arrival.faultKey);
    }
    kelvosim::Fault delay = kelvosim::Fault::of(kelvosim::Fault::Kind::Delay);
    delay.delayMs = kDelayMs;
    for (const QString &path : paths)
        bench.sim().setFault(path, delay);
    for (const QString &type : types)
        bench.sim().setSignallingFault(type, delay);
    QStringList delayedNames = paths.values() + types.values();
    delayedNames.sort();
    std::printf("  %d ms added to the answers of: %s\n", kDelayMs, qPrintable(delayedNames.join(", ")));

    std::vector<double> delayed;
    JoinRun firstRun;
    std::vector<Arrival> firstChain;
    QStringList chainLengths;
    for (int i = 0; i < runs; ++i) {
        const JoinRun run = joinOnce(bench, internal);
        if (run.ms < 0) {
            std::printf("  a delayed join did not complete within 30 s\n");
            continue;
        }
        delayed.push_back(run.ms);
        const auto chain = longestDelayedChain(run);
        chainLengths << QString::number(chain.size());
        if (firstRun.arrivals.empty()) {
            firstRun = run;
            firstChain = chain;
        }
    }
    bench.sim().clearFaults();
    if (delayed.empty())
        return;

    const int roundTrips = int(firstChain.size());
    std::printf("  without delay: median %.1f ms over %d joins\n", median(plain), runs);
    std::printf("  with delay:    median %.1f ms over %d joins (min %.1f, max %.1f)\n", median(delayed), int(delayed.size()),
                *std::min_element(delayed.begin(), delayed.end()), *std::max_element(delayed.begin(), delayed.end()));
    std::printf("  sequential delayed round trips: %d x %d ms = %d ms (chain length per run: %s)\n", roundTrips,
                kDelayMs, roundTrips * kDelayMs, qPrintable(chainLengths.join(' ')));
    std::printf("  first delayed join, ms after joinMeeting (* the chain, d delayed answer):\n");
    for (const Arrival &arrival : firstRun.arrivals) {
        const bool inChain = std::any_of(firstChain.begin(), firstChain.end(), [&](const Arrival &link) {
            return link.ms == arrival.ms && link.what == arrival.what;
        });
        std::printf("    %7.1f %c%c %s\n", arrival.ms, inChain ? '*' : ' ', arrival.faultKey.isEmpty() ? ' ' : 'd',
                    qPrintable(arrival.what));
    }
    std::printf("    %7.1f    onMeetingJoined\n", firstRun.ms);
    klbench::Summary::shared().add(QStringLiteral("join, %1, 50 ms per answer (median)").arg(internal ? "internal" : "external"),
                                   QString::number(median(delayed), 'f', 1) + " ms",
                                   QStringLiteral("<= %1 ms").arg(4 * kDelayMs + 15), QStringLiteral("within"));
}

void benchLeave(klbench::BenchMeeting &bench, bool internal)
{
    std::printf("\nLeave, %s user, after the meeting ran for 3 s\n", internal ? "internal" : "external");
    klbench::waitUntil([] { return false; }, 1000); // earlier meetings' threads wind down
    const QSet<int> before = klbench::threadIds();
    auto service = bench.prepare(internal);
    service->joinMeeting();
    if (!klbench::waitUntil([&] { return bench.watcher().joined() && bench.layout().entered(); }, 30000)) {
        std::printf("  the meeting was not entered; nothing measured\n");
        return;
    }
    service.reset();
    klbench::waitUntil([] { return false; }, 3000); // both status reporters tick
    const QSet<int> during = klbench::threadIds();
    const QString startedNames = klbench::threadNames(during - before);

    const auto start = klbench::Clock::now();
    bench.leave(); // leave() and let go of the service, as the meeting window does
    const double leaveReturned = klbench::millisecondsBetween(start, klbench::Clock::now());
    auto meetingThreadsLeft = [&] { return klbench::threadIds() - before; };
    const bool allEnded = klbench::waitUntil([&] { return meetingThreadsLeft().isEmpty(); }, 15000);
    const double ended = klbench::millisecondsBetween(start, klbench::Clock::now());
    const QSet<int> after = klbench::threadIds();

    std::printf("  threads: %lld before the join, %lld in the meeting, %lld after the leave\n",
                qlonglong(before.size()), qlonglong(during.size()), qlonglong(after.size()));
    std::printf("  started by the meeting: %s\n", qPrintable(startedNames));
    std::printf("  leave() and letting go of the service returned after %.1f ms\n", leaveReturned);
    klbench::Summary::shared().add(QStringLiteral("leave, %1: last meeting thread ended").arg(internal ? "internal" : "external"),
                                   allEnded ? QString::number(ended, 'f', 1) + " ms" : QStringLiteral("not ended"),
                                   QStringLiteral("<= 5 ms"), QStringLiteral("within"));
    if (allEnded)
        std::printf("  every thread the meeting started had ended %.1f ms after leave()\n", ended);
    else
        std::printf("  still running %.0f ms after leave(): %s\n", ended, qPrintable(klbench::threadNames(after - before)));
}

} // namespace

int main(int argc, char **argv)
{
    klbench::ThrowAwaySettings settings;
    QCoreApplication app(argc, argv);
    KLSDKLogger::setLoggerPrinter(std::make_shared<KLDiscardingPrinter>());
    bool given = false;
    const int asked = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt(&given) : 0;
    const int runs = given && asked > 0 ? asked : 5;

    klbench::BenchMeeting bench;
    QString error;
    if (!bench.start(&error)) {
        std::fprintf(stderr, "simulator did not start: %s\n", qPrintable(error));
        return 1;
    }
    benchJoin(bench, true, runs);
    benchJoin(bench, false, runs);
    benchLeave(bench, true);
    benchLeave(bench, false);
    std::printf("\n");
    klbench::Summary::shared().print();
    return 0;
}
