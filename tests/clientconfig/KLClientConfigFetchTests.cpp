// The join's configuration requests: which are sent, in which order, and where the answers go.
#include "conference/KLClientConfiguration.h"
#include "media/fake/KLFakeMediaSDK.h"

#include <gtest/gtest.h>

#include <QJsonObject>
#include <QStringList>

namespace {

/// Keeps the blocks of the two configuration requests; every other operation does nothing.
class ConfigOnlyApi final : public KLSDKMeetingApiProtocol {
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

    using S = KLApiSuccessBlock;
    using F = KLApiFailureBlock;
    using P = const KLParticipantPtr &;
    using V = const QJsonValue &;
    using T = const QString &;
    void addMeetingMemberWithAppointment(V, const QList<KLParticipantPtr> &, S, F) override {}
    void getAppointmentDetailById(T, S, F) override {}
    void muteMemberWithAppointment(P, bool, S, F) override {}
    void vmuteMemberWithAppointment(P, bool, S, F) override {}
    void findMemberWithKeywords(T, S, F) override {}
    void getMeetingInfoWithConfig(const KLMeetingConfigPtr &, const std::optional<QJsonObject> &,
                                  T, S, F) override {}
    void callMeetingMemberWithAppointment(P, T, T, S, F) override {}
    void finishAppointmentWithConfig(const KLMeetingConfigPtr &, S, F) override {}
    void hangUpMeetingMemberWithAppointment(P, T, S, F) override {}
    void getMeetingRoomStatusWithAppointment(V, T, S, F) override {}
    void robRoomWithAppointment(V, T, S, F) override {}
    void openSummaryWithAppointment(P, T, bool, bool, S, F) override {}
    void changeMemberSummaryLangWithAppointment(P, T, S, F) override {}
    void stopSummaryWithAppointment(P, S, F) override {}
    void getCallInNumberByLetterWithSuccessBlock(S, F) override {}
    void savePcJumpStatusWithUuid(T, T, S, F) override {}
    void getMeetingContactWithSuccessBlock(S, F) override {}
    void getIceServerListWithConfig(const KLMeetingConfigPtr &, S, F) override {}
    void getMeetingInfoByPassword(T, S, F) override {}
    void notifyItMonitorForMultiProjectorWithType(T, T, T, T, S, F) override {}
    void openAudioForMultiProjector(V, S, F) override {}
    void multiScreenRobRoomWithAppointmentId(V, T, bool, S, F) override {}
    void getStartMultiScreenRoomStatusWithAppointmentId(V, S, F) override {}
    void shareMultiScreenMemberForMemberUuid(T, V, bool, bool, S, F) override {}
    void shareMultiScreenAllWithAppointmentId(V, V, bool, bool, bool, S, F) override {}
    void addMemberMultiScreenAppointmentId(V, bool, const QJsonArray &, S, F) override {}
    void notifyMultiScreenWithAppointmentId(V, T, V, S, F) override {}
    void findUserAndRoomWithKey(T, S, F) override {}
    bool isNetWorkAvailable() const override { return true; }
    void setConferenceChannel(std::shared_ptr<KLConferenceSignalChannel>) override {}
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
