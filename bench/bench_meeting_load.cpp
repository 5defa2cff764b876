// What holding a 50-member meeting costs the process: an internal user joins a meeting of 50
// members (the default scenario grown, served by the in-process simulator), both status
// reporters run (media status and hardware status, a record every ten seconds each) and a
// member event is pushed every half second; over the hold the program reports the process's
// CPU share (user + system time of all its threads over wall time, from getrusage), the part
// of it the simulator's own thread used, and at the end the resident memory (VmRSS, VmHWM).
//
// Usage: bench_meeting_load [seconds to hold, default 60]

#include "KLBenchMeeting.h"
#include "KLBenchSupport.h"
#include "KLProcessFigures.h"

#include "cloudlog/KLQLSLogger.h"

#include <QEventLoop>
#include <QJsonArray>
#include <QTimer>

#include <cstdio>
#include <map>
#include <mutex>

namespace {

constexpr int kMembers = 50;
constexpr int kPushIntervalMs = 500;

// Monitor records by their "value", as the host receives them (internal staff route).
struct RecordCounts {
    std::mutex mutex;
    std::map<QString, int> byValue;
    int of(const QString &value)
    {
        std::lock_guard lock(mutex);
        return byValue[value];
    }
};

int secondsToHold(int argc, char **argv)
{
    bool given = false;
    const int asked = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt(&given) : 0;
    return given && asked > 0 ? asked : 60;
}

// Mute, unmute, offline and online in turn, each about the next member but the local user.
class MemberEventPusher {
public:
    MemberEventPusher(kelvosim::MeetingSim &sim, const QJsonObject &meeting) : m_sim(sim)
    {
        for (const QJsonValue &member : meeting.value("members").toArray())
            if (member.toObject().value("memberUUID") != meeting.value("selfMemberUUID"))
                m_members << member.toObject().value("memberUUID").toString();
    }
    void pushNext()
    {
        static constexpr int kEvents[] = {3, 4, 2, 1};
        m_sim.pushEvent(kEvents[m_pushed % 4], m_members.at((m_pushed / 4) % m_members.size()));
        ++m_pushed;
    }
    int pushed() const { return m_pushed; }

private:
    kelvosim::MeetingSim &m_sim;
    QStringList m_members;
    int m_pushed = 0;
};

} // namespace

int main(int argc, char **argv)
{
    klbench::ThrowAwaySettings settings;
    QCoreApplication app(argc, argv);
    KLSDKLogger::setLoggerPrinter(std::make_shared<KLDiscardingPrinter>());
    const int seconds = secondsToHold(argc, argv);

    QString error;
    klbench::ScenarioFile file;
    if (!file.write(klbench::scenarioWithMembers(kMembers, &error))) {
        std::fprintf(stderr, "cannot write the scenario: %s\n", qPrintable(error));
        return 1;
    }
    klbench::BenchMeeting bench(file.path());
    if (!bench.start(&error)) {
        std::fprintf(stderr, "simulator did not start: %s\n", qPrintable(error));
        return 1;
    }
    auto records = std::make_shared<RecordCounts>();
    KLQLSLogger::sharedInstance().setHostHandOver([records](const QJsonObject &record) {
        std::lock_guard lock(records->mutex);
        ++records->byValue[record.value("value").toString()];
    });

    auto service = bench.prepare(true);
    service->joinMeeting();
    const QString lastMember =
        bench.meeting().value("members").toArray().last().toObject().value("memberUUID").toString();
    if (!klbench::waitUntil([&] { return bench.layout().entered() && service->clientWithUUID(lastMember); }, 30000)) {
        std::fprintf(stderr, "the meeting was not entered with its member list\n");
        return 1;
    }
    std::printf("Joined a meeting of %d members (the registry holds %lld feeds); holding it for %d s\n", kMembers,
                qlonglong(service->memberList().size()), seconds);

    const int simThread = klbench::threadNamed(QStringLiteral("kelvo-meeting-s"));
    const double cpuStart = klbench::cpuSeconds();
    const double simCpuStart = klbench::threadCpuSeconds(simThread);
    const int eventsStart = bench.watcher().userEvents();
    const auto wallStart = klbench::Clock::now();
    MemberEventPusher pusher(bench.sim(), bench.meeting());
    // The hold wakes only to push: a harness polling its clock every millisecond would be
    // counted in the process's share and hide the SDK's own.
    {
        QEventLoop hold;
        QTimer push;
        push.setTimerType(Qt::PreciseTimer);
        QObject::connect(&push, &QTimer::timeout, &hold, [&] { pusher.pushNext(); });
        pusher.pushNext();
        push.start(kPushIntervalMs);
        QTimer::singleShot(seconds * 1000, Qt::PreciseTimer, &hold, &QEventLoop::quit);
        hold.exec();
    }
    const double wall = klbench::millisecondsBetween(wallStart, klbench::Clock::now()) / 1000;
    const double cpu = klbench::cpuSeconds() - cpuStart;
    const double simCpu = klbench::threadCpuSeconds(simThread) - simCpuStart;
    const qint64 rss = klbench::statusKilobytes("VmRSS");
    const qint64 hwm = klbench::statusKilobytes("VmHWM");
    const int threads = int(klbench::threadIds().size());

    std::printf("  wall %.1f s, CPU (user + system, all threads) %.2f s: %.1f %% of one core\n", wall, cpu,
                100 * cpu / wall);
    std::printf("  of which the simulator's thread %.2f s (%.1f %%); the rest %.1f %% of one core\n", simCpu,
                100 * simCpu / wall, 100 * (cpu - simCpu) / wall);
    std::printf("  resident memory at the end: VmRSS %.1f MiB, VmHWM %.1f MiB; %d threads\n", double(rss) / 1024,
                double(hwm) / 1024, threads);
    std::printf("  member events pushed %d, user events the host received %d\n", pusher.pushed(),
                bench.watcher().userEvents() - eventsStart);
    std::printf("  reporter records: mediaStatus %d, hardwareStatus %d\n", records->of("mediaStatus"),
                records->of("hardwareStatus"));
    std::printf("\n");
    auto &summary = klbench::Summary::shared();
    summary.add(QStringLiteral("idle 50-member meeting: CPU, all threads"),
                QString::number(100 * cpu / wall, 'f', 2) + " %", QStringLiteral("<= 1 % of a core"),
                QStringLiteral("2.7 %"));
    summary.add(QStringLiteral("idle 50-member meeting: resident memory"),
                QString::number(double(rss) / 1024, 'f', 1) + " MiB", QStringLiteral("<= 44 MiB"),
                QStringLiteral("44 MiB"));
    summary.print();

    service.reset();
    bench.leave();
    bench.waitDisconnected();
    KLQLSLogger::sharedInstance().setHostHandOver(nullptr);
    return 0;
}
