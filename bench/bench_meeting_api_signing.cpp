// What building one meeting-API request costs its caller before the request is queued: the
// final parameter set, the signing headers and the form body.
#include "gateway/KLMeetingApiParameters.h"
#include "gateway/KLMeetingApiSigner.h"
#include "host/UserPersistentData.h"
#include "runtime/KLFormEncoding.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

QJsonObject muteParameters()
{
    return {{QStringLiteral("appointment_id"), QStringLiteral("12")},
            {QStringLiteral("member_uuid"), QStringLiteral("8d3f1c52-4a7e-4b1f-9a57-0c2b6f1e9d40")},
            {QStringLiteral("member_id"), QStringLiteral("7")},
            {QStringLiteral("status"), QStringLiteral("true")},
            {QStringLiteral("type"), QString()}};
}

void buildAndSign(const KLMeetingApiSigner &signer, const KLApiIdentity &identity,
                  benchmark::State &state)
{
    const QString path = QStringLiteral("/conference/api/muteMeetingMember");
    const QJsonObject parameters = KLMeetingApiParameters::finalParameters(
        muteParameters(), path, identity, QDateTime::currentSecsSinceEpoch());
    const auto headers = signer.createHttpHeaderForURI(path, QStringLiteral("POST"), parameters,
                                                       identity.workId, identity.machineId);
    const QByteArray body = KLFormEncoding::encode(parameters);
    benchmark::DoNotOptimize(headers);
    benchmark::DoNotOptimize(body);
    (void)state;
}

// Parameters, headers and body with the identity already at hand.
void BM_BuildAndSignMuteRequest(benchmark::State &state)
{
    const KLMeetingApiSigner signer;
    KLApiIdentity identity;
    identity.workId = QStringLiteral("4711");
    identity.accessToken = QStringLiteral("c2VjcmV0LWFjY2Vzcy10b2tlbg==");
    identity.machineId = QStringLiteral("0f4c6b2a-3d1e-4f5a-8b9c-7e6d5c4b3a21");
    identity.appVersion = QStringLiteral("v1.0.0 (1.0.0)");
    for (auto _ : state)
        buildAndSign(signer, identity, state);
}
BENCHMARK(BM_BuildAndSignMuteRequest);

// The same, reading the identity from the persistent user data as every request does.
void BM_BuildAndSignWithStoredIdentity(benchmark::State &state)
{
    UserPersistentData::sharedInstance().writeWorkId(QStringLiteral("4711"));
    UserPersistentData::sharedInstance().writeAccessToken(QStringLiteral("token"));
    const KLMeetingApiSigner signer;
    for (auto _ : state)
        buildAndSign(signer, KLApiIdentity::current(), state);
}
BENCHMARK(BM_BuildAndSignWithStoredIdentity);

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir settingsHome;
    qputenv("XDG_CONFIG_HOME", settingsHome.path().toUtf8());
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("KelvoBench"));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
