// The uploads against the local meeting service's log service, over verified TLS.
#include "KLRecordingPrinter.h"

#include "cloudlog/KLQLSLogger.h"
#include "clientconfig/KLClientConfigManager.h"
#include "model/KLSDKMeetingConfigInternal.h"
#include "runtime/KLDispatchQueue.h"
#include "runtime/KLTimeScale.h"

#include <MeetingSim.h>

#include <QJsonArray>

#include <gtest/gtest.h>

#include <atomic>

namespace {

const QString kPostPath = QStringLiteral("/logstores/client-log/shards/lb");
// A bound for waiting on the network, generous for a loaded machine; nothing is timed.
constexpr int kNetworkWaitMs = 20000;

class KLQLSUpload : public ::testing::Test {
protected:
    // One simulator for the suite; each test starts with its records cleared.
    static void SetUpTestSuite()
    {
        simulator = new kelvosim::MeetingSim;
        QString error;
        if (!simulator->start(&error))
            startError = error.isEmpty() ? QStringLiteral("not started") : error;
    }
    static void TearDownTestSuite()
    {
        delete simulator;
        simulator = nullptr;
    }
    void SetUp() override
    {
        ASSERT_TRUE(startError.isEmpty()) << startError.toStdString();
        sim.clearRequests();
        config->setCaFile(sim.caFile());
        KLClientConfigManager::sharedInstance().setIsStaff(false);
        logger.initWithConferenceId("conf-77", QJsonValue(12), "member-1", "emp-1", "Ann Lee",
                                    "mcumeeting", "sid-1");
    }
    void TearDown() override
    {
        KLTimeScale::setFactor(1.0);
        sim.clearFaults();
        sim.releaseHeld();
        kltest::RecordingPrinter::uninstall();
    }

    /// The log service settings pointing at the simulator, plus `extra`.
    void useQlsInfo(bool internal, const QJsonObject &extra = {})
    {
        const QJsonObject service = sim.scenario().value("logService").toObject();
        QJsonObject info{{"project", service.value("project")},
                         {"logServiceEndpoint", service.value("endpoint")},
                         {"logstore", "meeting-track"},
                         {"logServiceAddress", QStringLiteral("127.0.0.1:%1").arg(sim.port())}};
        for (auto it = extra.begin(); it != extra.end(); ++it)
            info.insert(it.key(), it.value());
        config->setIsVanInternal(internal);
        config->setQlsInfo(info);
        logger.setMeetingConfig(config);
    }
    QJsonObject keys(const QString &secret = {}) const
    {
        const QJsonObject service = sim.scenario().value("logService").toObject();
        return {{"accessKeyId", service.value("accessKeyId")},
                {"accessKeySecret", secret.isEmpty() ? service.value("accessKeySecret") : QJsonValue(secret)}};
    }

    static inline kelvosim::MeetingSim *simulator = nullptr;
    static inline QString startError;
    kelvosim::MeetingSim &sim = *simulator;
    std::shared_ptr<kltest::RecordingPrinter> log = kltest::RecordingPrinter::install();
    std::shared_ptr<KLSDKMeetingConfigInternal> config = KLSDKMeetingConfigInternal::create({});
    KLQLSLogger logger;
};

} // namespace

TEST_F(KLQLSUpload, TrackingGetDeliversTheRecordFields)
{
    useQlsInfo(false);
    logger.commitMonitorLevel(3, 2, {{"value", "join a+b&c=d 会议"}, {"count", 5}});
    ASSERT_TRUE(kltest::waitUntil([&] { return sim.logEntries("meeting-track").size() == 1; }, kNetworkWaitMs));
    const QJsonObject entry = sim.logEntries("meeting-track").first();
    const QJsonObject expected{{"__route__", "track"}, {"__project__", "kelvo-sim"},
                               {"value", "join a+b&c=d 会议"}, {"count", "5"},
                               {"meetingId", "conf-77"}, {"roomId", "12"}, {"userName", "Ann Lee"},
                               {"level", "info"}, {"topic", "event"}, {"agent", "KelvoUISDK_Linux"},
                               {"traceId", logger.traceId()}, {"timeZone", logger.timeZone()}};
    for (auto it = expected.begin(); it != expected.end(); ++it)
        EXPECT_EQ(entry.value(it.key()), it.value()) << it.key().toStdString();
    EXPECT_EQ(log->count("error", QString()), 0);
}

TEST_F(KLQLSUpload, SignedPostIsAcceptedAndAWrongSecretOnlyLogged)
{
    useQlsInfo(true, keys());
    logger.commitMonitorLevel(5, 3, {{"value", "callFailed"}, {"code", 11002}, {"list", QJsonArray{1}}});
    ASSERT_TRUE(kltest::waitUntil([&] { return sim.logEntries("client-log").size() == 1; }, kNetworkWaitMs));
    const QJsonObject entry = sim.logEntries("client-log").first();
    EXPECT_EQ(entry.value("__route__"), QStringLiteral("post"));
    EXPECT_EQ(entry.value("__topic__"), QStringLiteral("error"));
    EXPECT_EQ(entry.value("value"), QStringLiteral("callFailed"));
    EXPECT_EQ(entry.value("code"), QStringLiteral("11002"));
    EXPECT_EQ(entry.value("meetingId"), QStringLiteral("conf-77"));
    EXPECT_FALSE(entry.contains("list"));
    ASSERT_EQ(sim.requests(kPostPath).size(), 1);
    EXPECT_FALSE(sim.requests(kPostPath).first().rejected) << sim.requests(kPostPath).first().rejectReason.toStdString();
    EXPECT_TRUE(kltest::waitUntil([&] { return log->count("info", "client-log upload answered 200") == 1; }, kNetworkWaitMs));

    useQlsInfo(true, keys("not-the-secret"));
    logger.commitMonitorLevel(5, 3, {{"value", "again"}});
    ASSERT_TRUE(kltest::waitUntil([&] { return log->count("error", "Result: ") == 1; }, kNetworkWaitMs));
    EXPECT_EQ(log->count("error", "SignatureNotMatch"), 1);
    ASSERT_EQ(sim.requests(kPostPath).size(), 2);
    EXPECT_TRUE(sim.requests(kPostPath).last().rejected);
    EXPECT_EQ(sim.logEntries("client-log").size(), 1);
}

TEST_F(KLQLSUpload, UntrustedCertificateFailsWithALoggedErrorAndNothingArrives)
{
    config->setCaFile(QString()); // only the system's authorities: the simulator's is not one
    useQlsInfo(false);
    logger.commitMonitorLevel(3, 1, {{"value", "tap"}});
    useQlsInfo(true, keys());
    logger.commitMonitorLevel(3, 1, {{"value", "tap"}});
    // Each failed upload logs its address, then the reason: wait for the last line of both.
    ASSERT_TRUE(kltest::waitUntil([&] { return log->count("error", "Error: ") == 2; }, kNetworkWaitMs));
    EXPECT_EQ(log->count("error", "Invalid address: https://kelvo-sim."), 2);
    EXPECT_TRUE(sim.requests().isEmpty());
    EXPECT_TRUE(sim.logEntries().isEmpty());
}

// A host quits once the meeting's threads have ended: a record on its way (the leave's, say)
// holds that end until the log service has answered, and no longer than the wait limit.
TEST_F(KLQLSUpload, AnUploadUnderWayHoldsTheMeetingsEndUntilAnsweredAtMostTheWaitLimit)
{
    ASSERT_TRUE(kltest::waitUntil([] { return KLDispatchQueue::meetingQueuesAlive() == 0; }, kNetworkWaitMs));

    // Answered: the answer ends the hold (the limit is far off at this scale).
    KLTimeScale::setFactor(100);
    useQlsInfo(false);
    logger.commitMonitorLevel(3, 1, {{"value", "leaveRoom"}});
    EXPECT_EQ(KLDispatchQueue::meetingQueuesAlive(), 1);
    ASSERT_TRUE(kltest::waitUntil([] { return KLDispatchQueue::meetingQueuesAlive() == 0; }, kNetworkWaitMs));
    EXPECT_EQ(sim.logEntries("meeting-track").size(), 1);

    // Unanswered, on either route: each stops holding after the limit, with a line saying so.
    KLTimeScale::setFactor(0.1);
    sim.setFault(QStringLiteral("/logstores/meeting-track/track"), kelvosim::Fault::of(kelvosim::Fault::Kind::Hold));
    sim.setFault(kPostPath, kelvosim::Fault::of(kelvosim::Fault::Kind::Hold));
    logger.commitMonitorLevel(3, 1, {{"value", "tracked"}});
    useQlsInfo(true, keys());
    logger.commitMonitorLevel(3, 1, {{"value", "posted"}});
    EXPECT_EQ(KLDispatchQueue::meetingQueuesAlive(), 2);
    ASSERT_TRUE(kltest::waitUntil([] { return KLDispatchQueue::meetingQueuesAlive() == 0; }, kNetworkWaitMs));
    EXPECT_EQ(log->count("warn", "the meeting's end does not wait for it"), 2);
    EXPECT_TRUE(kltest::waitUntil([&] { return sim.logEntries().size() == 3; }, kNetworkWaitMs))
        << "only the answers are held";

    // Given up only as far as the meeting's end goes: the upload still takes its answer.
    sim.releaseHeld();
    EXPECT_TRUE(kltest::waitUntil([&] { return log->count("info", "client-log upload answered 200") == 1; },
                                  kNetworkWaitMs));
}

// A staff member's records go to the host instead: the hand-over holds the meeting's end too.
TEST_F(KLQLSUpload, AHandOverToTheHostHoldsTheMeetingsEndUntilItHasRun)
{
    ASSERT_TRUE(kltest::waitUntil([] { return KLDispatchQueue::meetingQueuesAlive() == 0; }, kNetworkWaitMs));
    std::atomic<int> heldDuringHandOver{-1};
    logger.setHostHandOver([&](const QJsonObject &) { heldDuringHandOver = KLDispatchQueue::meetingQueuesAlive(); });
    KLClientConfigManager::sharedInstance().setIsStaff(true);
    useQlsInfo(true);
    logger.commitMonitorLevel(3, 1, {{"value", "leaveRoom"}});
    ASSERT_TRUE(kltest::waitUntil([&] { return heldDuringHandOver.load() >= 0; }, kNetworkWaitMs));
    EXPECT_EQ(heldDuringHandOver.load(), 1);
    EXPECT_TRUE(kltest::waitUntil([] { return KLDispatchQueue::meetingQueuesAlive() == 0; }, kNetworkWaitMs));
    logger.setHostHandOver(nullptr);
    KLClientConfigManager::sharedInstance().setIsStaff(false);
}
