// The join's configuration requests: which are sent, in which order, and where the answers go.
#include "conference/join/KLClientConfiguration.h"
#include "media/fake/KLFakeMediaSDK.h"

#include "KLSilentMeetingApi.h"

#include <gtest/gtest.h>

#include <QJsonObject>
#include <QStringList>

namespace {

/// Keeps the blocks of the two configuration requests; every other operation does nothing.
class ConfigOnlyApi final : public kltest::SilentMeetingApi {
public:
    struct Pending { KLApiSuccessBlock success; KLApiFailureBlock failure; };
    QStringList sent;
    Pending switchRequest, configRequest;

    void getClientSwitchConfigWithConfig(const KLMeetingConfigPtr &, KLApiSuccessBlock s,
                                         KLApiFailureBlock f) override
    {
        sent << "switch";
        switchRequest = {std::move(s), std::move(f)};
    }
    void getClientConfigWithConfig(const KLMeetingConfigPtr &, KLApiSuccessBlock s,
                                   KLApiFailureBlock f) override
    {
        sent << "config";
        configRequest = {std::move(s), std::move(f)};
    }

};

/// What the handlers received, as text, in arrival order.
struct Outcomes {
    QStringList events;
    std::optional<KLClientConfiguration> configuration;

    KLClientConfigFetchHandlers handlers()
    {
        return {[this](bool show) { events << QStringLiteral("switch:%1").arg(show); },
                [this](const KLClientConfiguration &c) {
                    events << "configured";
                    configuration = c;
                },
                [this](const QString &code, const QString &message, bool stops) {
                    events << QStringLiteral("failed:%1:%2:%3").arg(code, message).arg(stops);
                }};
    }
};

class ClientConfigFetchTest : public ::testing::Test {
protected:
    void SetUp() override { engine = KLFakeMediaSDK::installNew(); }
    void TearDown() override { KLRTCMediaSDK::install(nullptr); }

    std::shared_ptr<KLFakeMediaSDK> engine;
    ConfigOnlyApi api;
    Outcomes outcomes;
};

TEST_F(ClientConfigFetchTest, MeetingSendsBothAndReportsEachAnswer)
{
    KLClientConfiguration current;
    current.meetingSummaryRtShowUrl = "built-in";
    KL_fetchClientConfiguration(api, nullptr, 0, true, current, outcomes.handlers());
    EXPECT_EQ(api.sent, (QStringList{"switch", "config"}));
    EXPECT_TRUE(outcomes.events.isEmpty());

    // The client configuration may answer first; the engine has its defaults before the
    // handler runs.
    api.configRequest.success(QJsonObject{{"showRate", true}, {"macMicVolume", 99}});
    ASSERT_TRUE(outcomes.configuration);
    EXPECT_TRUE(outcomes.configuration->isShowRate);
    EXPECT_EQ(outcomes.configuration->macMicVolume, 99);
    EXPECT_EQ(outcomes.configuration->meetingSummaryRtShowUrl, "built-in");
    EXPECT_EQ(engine->callLog()->last("setDefaultsForMacMicVolume")->args.at(0).toInt(), 99);

    api.switchRequest.success(QJsonObject{{"meeting_transcription", true}});
    EXPECT_EQ(outcomes.events, (QStringList{"configured", "switch:1"}));
}

TEST_F(ClientConfigFetchTest, SwitchFailureHidesSummaryAndMissingKeyKeepsIt)
{
    KLClientConfiguration shown;
    shown.isShowMeetingSummaryModule = true;
    KL_fetchClientConfiguration(api, nullptr, 0, true, shown, outcomes.handlers());
    api.switchRequest.success(QJsonObject{});
    KL_fetchClientConfiguration(api, nullptr, 0, true, shown, outcomes.handlers());
    api.switchRequest.failure("500", "down");
    EXPECT_EQ(outcomes.events, (QStringList{"switch:1", "switch:0"}));
}

TEST_F(ClientConfigFetchTest, ProjectorRunAsksOnlyForTheClientConfiguration)
{
    KL_fetchClientConfiguration(api, nullptr, 1, true, {}, outcomes.handlers());
    EXPECT_EQ(api.sent, QStringList{"config"});
    api.configRequest.success(QJsonObject{{"multiScreenFps", 20}, {"macMicVolume", 99}});
    ASSERT_TRUE(outcomes.configuration);
    EXPECT_EQ(outcomes.configuration->multiScreenFps, 20);
    EXPECT_TRUE(engine->callLog()->calls().empty());
}

TEST_F(ClientConfigFetchTest, OnlyAnExternalUsers91212StopsTheJoin)
{
    const struct { bool internal; const char *code; const char *expected; } cases[] = {
        {false, "91212", "failed:91212:no:1"},
        {true, "91212", "failed:91212:no:0"},
        {false, "500", "failed:500:no:0"},
    };
    for (const auto &c : cases) {
        outcomes.events.clear();
        KL_fetchClientConfiguration(api, nullptr, 0, c.internal, {}, outcomes.handlers());
        api.configRequest.failure(c.code, "no");
        EXPECT_EQ(outcomes.events, QStringList{c.expected});
    }
    EXPECT_TRUE(engine->callLog()->calls().empty());
}

} // namespace
