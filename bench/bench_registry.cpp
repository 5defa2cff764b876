// What a large meeting costs the participant registry: registering a member list of 1,000 and
// 5,000 members against parsing the same list alone, and the two choices made on every redraw
// (the main view and the strip) over 5,000 feeds.
#include "conference/registry/KLConferenceManagerDataSource.h"
#include "conference/registry/KLFeedClient.h"
#include "conference/registry/KLParticipantRegistry.h"
#include "conference/registry/KLParticipantRegistryHost.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <benchmark/benchmark.h>

#include "KLBenchSupport.h"
#include "KLProcessFigures.h"

#include <map>

namespace {


// An entered Pallas meeting with no media connection and no layout: the registry's own work.
class BenchHost final : public KLParticipantRegistryHost {
public:
    QJsonValue appointmentId() const override { return 880012345; }
    bool isPallasMeeting() const override { return true; }
    bool enterRoomSuccess() const override { return true; }
    qint64 conferenceMode() const override { return 0; }
    bool isVanInternal() const override { return false; }
    bool isEnterRoomVideoShouldMute() const override { return false; }
    std::shared_ptr<KLRTCMediaConnection> mediaConnection() const override { return nullptr; }
    std::shared_ptr<KLConferenceManagerDataSource> dataSource() const override { return nullptr; }
    std::weak_ptr<KLConferenceManagerProtocol> conferenceManager() const override { return {}; }
    const void *notificationSender() const override { return this; }
    void stopShare() override {}
    void postToSerialQueue(KLBlock block) override { block(); }
    void meetingUserStatusChanged(const std::shared_ptr<KLSDKMeetingUser> &, int) override {}
    QString avatarBaseUrl() const override { return {}; }
    QString caFile() const override { return {}; }
};

QJsonArray memberList(int count)
{
    QJsonArray members;
    for (int i = 0; i < count; ++i) {
        members.append(QJsonObject{
            {"memberUUID", QStringLiteral("M-%1").arg(i, 6, 10, QLatin1Char('0'))},
            {"empId", QStringLiteral("E%1").arg(i)},
            {"displayName", QStringLiteral("Member %1").arg(i)},
            {"memberType", 1},
            {"callState", QJsonObject{{"online", i % 3 == 0 ? 0 : 1}, {"mute", i % 2}, {"vmute", 1},
                                      {"hasVideo", 1}, {"ringing", 0}}}});
    }
    return members;
}

// The member list as it arrives on the wire: one JSON text.
QByteArray memberListFrame(int count)
{
    return QJsonDocument(QJsonObject{{"memberList", memberList(count)}}).toJson(QJsonDocument::Compact);
}

// The benchmark thread's CPU time per member, by list size: parse alone and parse plus
// registration, for the summary's ratios.
std::map<int, double> g_parseNanosPerMember;
std::map<int, double> g_registrationNanosPerMember;

double threadCpuNanos()
{
    return klbench::cpuSeconds(RUSAGE_THREAD) * 1e9;
}

void BM_MemberListParseOnly(benchmark::State &state)
{
    const int members = int(state.range(0));
    const QByteArray frame = memberListFrame(members);
    const double start = threadCpuNanos();
    for (auto _ : state)
        benchmark::DoNotOptimize(QJsonDocument::fromJson(frame));
    g_parseNanosPerMember[members] = (threadCpuNanos() - start) / double(state.iterations()) / members;
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_MemberListParseOnly)->Arg(1000)->Arg(5000)->Unit(benchmark::kMillisecond);

// Parse plus registration into an empty registry: new feeds, call states, mute alignment.
void BM_MemberListRegistration(benchmark::State &state)
{
    const int count = int(state.range(0));
    const QByteArray frame = memberListFrame(count);
    BenchHost host;
    const double start = threadCpuNanos();
    for (auto _ : state) {
        KLParticipantRegistry registry(host);
        const QJsonArray members = QJsonDocument::fromJson(frame).object().value("memberList").toArray();
        registry.addParticipants(members);
        benchmark::DoNotOptimize(registry.participants().size());
    }
    g_registrationNanosPerMember[count] = (threadCpuNanos() - start) / double(state.iterations()) / count;
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_MemberListRegistration)->Arg(1000)->Arg(5000)->Unit(benchmark::kMillisecond);

void summarise()
{
    auto &summary = klbench::Summary::shared();
    if (g_parseNanosPerMember.count(5000) && g_registrationNanosPerMember.count(5000))
        summary.add(QStringLiteral("member list: 5,000 registered / parsed (CPU)"),
                    klbench::times(g_registrationNanosPerMember[5000] / g_parseNanosPerMember[5000]),
                    QStringLiteral("<= 3x"), QStringLiteral("7.5x"));
    if (g_registrationNanosPerMember.count(1000) && g_registrationNanosPerMember.count(5000))
        summary.add(QStringLiteral("member list: registration 5k / 1k (CPU)"),
                    QString::number(5 * g_registrationNanosPerMember[5000] / g_registrationNanosPerMember[1000], 'f', 2),
                    QStringLiteral("<= 5.5"), QStringLiteral("6.5"));
}

struct FilledRegistry {
    BenchHost host;
    KLParticipantRegistry registry{host};
    explicit FilledRegistry(int count)
    {
        registry.addParticipants(memberList(count));
        registry.setPublisher(registry.clientWithUUID(QStringLiteral("M-000001")));
    }
};

void BM_SmallClients(benchmark::State &state)
{
    FilledRegistry filled(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(filled.registry.smallClients());
}
BENCHMARK(BM_SmallClients)->Arg(5000)->Unit(benchmark::kMicrosecond);

void BM_DisplayClientAutomatically(benchmark::State &state)
{
    FilledRegistry filled(int(state.range(0)));
    for (auto _ : state)
        filled.registry.displayClientAutomatically();
}
BENCHMARK(BM_DisplayClientAutomatically)->Arg(5000)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    return KL_runBenchmarks(argc, argv, summarise);
}
