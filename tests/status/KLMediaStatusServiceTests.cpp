// The reporter as the conference service runs it: fed by the engine through its own timer
// thread and the serial work queue, reporting to the cloud log service.
#include "StatusSamples.h"

#include "cloudlog/KLQLSLogger.h"
#include "clientconfig/KLClientConfigManager.h"
#include "conference/status/KLMediaStatusService.h"
#include "host/KLMessageMode.h"
#include "media/fake/KLFakeMediaSDK.h"
#include "model/KLSDKMeetingConfigInternal.h"
#include "runtime/KLSDKDispatcher.h"
#include "runtime/KLTimeScale.h"
#include "runtime/KLUtility.h"

#include "KLTestSupport.h"

#include <gtest/gtest.h>

#include <mutex>
#include <vector>

using namespace klstatus;

namespace {

/// The conference service as the reporter sees it, with what the reporter told it.
class TestStatusSource final : public KLMediaStatusSource {
public:
    std::weak_ptr<KLRTCMediaConnection> mediaConnection() const override
    {
        std::lock_guard lock(mutex);
        return connection;
    }
    int conferenceMode() const override { return 0; }
    std::optional<KLMediaStatusFeed> displayingFeed() const override { return std::nullopt; }
    QList<KLMediaStatusFeed> registeredFeeds() const override
    {
        std::lock_guard lock(mutex);
        return feeds;
    }
    void updatePublisherAudioStatus(qint32 iLevel, qint64 packetsSent) override
    {
        std::lock_guard lock(mutex);
        levels.push_back({iLevel, packetsSent});
    }
    size_t levelCount() const
    {
        std::lock_guard lock(mutex);
        return levels.size();
    }
    KLMediaStatusPublisherAudio firstLevel() const
    {
        std::lock_guard lock(mutex);
        return levels.at(0);
    }

    mutable std::mutex mutex;
    std::weak_ptr<KLRTCMediaConnection> connection;
    QList<KLMediaStatusFeed> feeds;
    std::vector<KLMediaStatusPublisherAudio> levels;
};

/// Records caught at the end of the real path: an internal staff user's records are handed
/// to the host. Everything changed on the shared collector is put back afterwards.
class KLMediaStatusServiceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        savedConfig = KLQLSLogger::sharedInstance().meetingConfig();
        savedStaff = KLClientConfigManager::sharedInstance().isStaff();
        savedScale = KLTimeScale::factor();
        meetingConfig->setIsVanInternal(true);
        KLQLSLogger::sharedInstance().setMeetingConfig(meetingConfig);
        KLClientConfigManager::sharedInstance().setIsStaff(true);
        KLQLSLogger::sharedInstance().setHostHandOver([this](const QJsonObject &record) {
            std::lock_guard lock(recordMutex);
            records.push_back(record);
        });
        attachConnection(true);
    }
    void TearDown() override
    {
        service.reset();
        flushSerialQueue();
        KLQLSLogger::sharedInstance().setHostHandOver(
            [](const QJsonObject &record) { KLMessageMode::sharedInstance().commitQls(record); });
        KLQLSLogger::sharedInstance().setMeetingConfig(savedConfig);
        KLClientConfigManager::sharedInstance().setIsStaff(savedStaff);
        KLTimeScale::setFactor(savedScale);
    }

    /// Waits for the statistics requests queued so far, then for the hand-over of the records
    /// committed by then.
    static void flushSerialQueue()
    {
        KLUtility::shareInstance().serialQueue().sync([] {});
        KLSDKDispatcher::sharedDispatcher().serialQueue().sync([] {});
    }
    void attachConnection(bool attached)
    {
        std::lock_guard lock(source->mutex);
        source->connection = attached ? connection : std::shared_ptr<KLFakeMediaConnection>();
    }
    std::vector<QJsonObject> recordsWith(const QString &mtype)
    {
        std::lock_guard lock(recordMutex);
        std::vector<QJsonObject> found;
        for (const QJsonObject &record : records) {
            if (record.value("mtype") == mtype)
                found.push_back(record);
        }
        return found;
    }
    size_t recordCount()
    {
        std::lock_guard lock(recordMutex);
        return records.size();
    }
    int statusRequests() const { return engine->callLog()->count("getStatusForMedia"); }

    std::shared_ptr<KLFakeMediaSDK> engine = std::make_shared<KLFakeMediaSDK>();
    std::shared_ptr<KLFakeMediaConnection> connection =
        std::static_pointer_cast<KLFakeMediaConnection>(
            engine->createConnection({}, 1, 0, false, false, {}));
    std::shared_ptr<TestStatusSource> source = std::make_shared<TestStatusSource>();
    std::unique_ptr<KLMediaStatusService> service = std::make_unique<KLMediaStatusService>(source);

    std::shared_ptr<KLSDKMeetingConfigInternal> meetingConfig =
        KLSDKMeetingConfigInternal::create({});
    std::shared_ptr<KLSDKMeetingConfigInternal> savedConfig;
    bool savedStaff = false;
    double savedScale = 1.0;
    std::mutex recordMutex;
    std::vector<QJsonObject> records;
};

} // namespace

TEST_F(KLMediaStatusServiceTest, SamplesOnItsOwnThreadUntilStopped)
{
    KLTimeScale::setFactor(0.005); // one sample every 5 ms
    source->feeds = {remoteFeed("u-bob", "Bob")};
    QJsonObject own = sendAudio(1);
    own.insert("iLevel", "7"); // an engine may write its numbers as text
    connection->setStatusForMedia(
        sample(1, {own, received("a-bob", "u-bob-audio", 1)}, {sendVideo(1)}));

    service->startTimer();
    EXPECT_TRUE(service->isRunning());
    ASSERT_TRUE(kltest::waitUntil([&] { return !recordsWith("main").empty(); }));
    service->stopTimer();
    EXPECT_FALSE(service->isRunning());
    EXPECT_EQ(service->mediaCount(), 0);
    EXPECT_TRUE(service->mediaObjectList().empty());

    // Every request asks for all media kinds.
    for (const KLFakeMediaCall &call : engine->callLog()->calls("getStatusForMedia"))
        EXPECT_EQ(call.args, (QJsonArray{QJsonValue::Null}));

    const auto listener = recordsWith("listener");
    ASSERT_FALSE(listener.empty());
    EXPECT_EQ(listener[0].value("memberUserName"), "Bob");
    EXPECT_EQ(listener[0].value("value"), "mediaStatus");
    EXPECT_EQ(listener[0].value("topic"), KLQLSLogger::stringsOfGroupTypes(2));
    EXPECT_EQ(listener[0].value("level"), KLQLSLogger::stringsOfLogLevels(3));
    EXPECT_EQ(parsed(recordsWith("main")[0]).value("sendVideo").toObject().value("ssrc"), "v-own");
    ASSERT_GE(source->levelCount(), 10u);
    EXPECT_EQ(source->firstLevel().iLevel, 7);
    EXPECT_EQ(source->firstLevel().packetsSent, 5000000001LL);

    // Nothing asks or reports once stopped, however long it is left.
    flushSerialQueue();
    const int requests = statusRequests();
    const size_t reported = recordCount();
    kltest::pumpEvents(50);
    flushSerialQueue();
    EXPECT_EQ(statusRequests(), requests);
    EXPECT_EQ(recordCount(), reported);
}

TEST_F(KLMediaStatusServiceTest, AnswersArrivingAfterStopOrRestartAreDropped)
{
    KLTimeScale::setFactor(0.005);
    const QJsonObject answer = sample(1, {sendAudio(1)}, {});
    const auto waitForHeldRequest = [&] {
        const int before = statusRequests();
        return kltest::waitUntil([&] { return statusRequests() > before; });
    };

    // A held answer of an earlier run is not taken by the next one (whose own requests do not
    // reach the engine here, so that only the earlier ones are held).
    connection->clearStatusForMedia();
    service->startTimer();
    ASSERT_TRUE(waitForHeldRequest());
    attachConnection(false);
    service->startTimer();
    flushSerialQueue();
    EXPECT_GE(connection->completeStatusForMedia(answer), 1);
    EXPECT_EQ(source->levelCount(), 0u);
    EXPECT_EQ(service->mediaCount(), 0);

    // Nor after stop, which also forgets the window.
    attachConnection(true);
    ASSERT_TRUE(waitForHeldRequest());
    service->uploadMediaStatus(sample(1, {}, {}));
    EXPECT_EQ(service->mediaCount(), 1);
    service->stopTimer();
    flushSerialQueue();
    EXPECT_GE(connection->completeStatusForMedia(answer), 1);
    EXPECT_EQ(source->levelCount(), 0u);
    EXPECT_EQ(service->mediaCount(), 0);

    // Nor once the reporter is gone.
    service->startTimer();
    ASSERT_TRUE(waitForHeldRequest());
    service.reset();
    flushSerialQueue();
    EXPECT_GE(connection->completeStatusForMedia(answer), 1);
    EXPECT_EQ(source->levelCount(), 0u);
    EXPECT_EQ(recordCount(), 0u);
}
