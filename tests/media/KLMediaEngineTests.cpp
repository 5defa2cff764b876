// The engine seam: which engine answers, the fake engine's events reaching only a live
// delegate (every suite drives the fake's recorded calls), and the engine's log lines.
#include "KLRecordingPrinter.h"
#include "KLTestSupport.h"

#include "media/KLRTCMediaLogging.h"
#include "media/KLRTCMediaSDK.h"
#include "media/fake/KLFakeMediaSDK.h"
#include "runtime/KLSDKLoggingHandler.h"

#include <QJsonArray>

#include <gtest/gtest.h>

namespace {

struct RecordingDelegate : KLRTCMediaConnectionDelegate,
                           KLRTCMediaStreamDelegate,
                           KLRTCMediaDeviceManagerDelegate,
                           KLRTCCommonWebRtcMsgManagerDelegate {
    void rtcConnection(const std::shared_ptr<KLRTCMediaConnection> &connection, int event,
                       const KLRTCMediaEventInfo &info) override
    {
        lastConnection = connection;
        events.push_back({event, info});
    }
    void rtcStream(const std::shared_ptr<KLRTCMediaStream> &stream, int state,
                   const QJsonObject &info) override
    {
        seen << QStringLiteral("state %1 %2 %3").arg(stream->getID()).arg(state)
                    .arg(info.value("why").toString());
    }
    void mediaDeviceChangeForAdd(bool add, const KLRTCMediaDevice &device) override
    {
        seen << QStringLiteral("%1 %2").arg(add ? "plug" : "unplug", device.deviceId);
    }
    void IncomingCommonWebRtcMsg(qint32 type) override { seen << QStringLiteral("msg %1").arg(type); }
    void didGetRTCLog(const QString &log) override { seen << "log " + log; }
    void didGetMediaError(qint32 code, qint32 reason) override
    {
        seen << QStringLiteral("error %1 %2").arg(code).arg(reason);
    }

    std::shared_ptr<KLRTCMediaConnection> lastConnection;
    std::vector<std::pair<int, KLRTCMediaEventInfo>> events;
    QStringList seen;
};

class FakeEngineTest : public ::testing::Test {
protected:
    void TearDown() override { KLRTCMediaSDK::install(nullptr); }

    std::shared_ptr<KLFakeMediaSDK> fake = KLFakeMediaSDK::installNew();
    std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
};

} // namespace

TEST_F(FakeEngineTest, RaisesEventsWithEachPayloadKindToALiveDelegateOnly)
{
    auto connection = fake->createConnection({}, 1, 0, true, true, delegate);
    auto connectionFake = fake->lastConnection();
    auto remote = fake->makeRemoteStream("screen-u2", "Ann");

    EXPECT_TRUE(connectionFake->raiseEvent(KLRTCMediaEventConnected));
    EXPECT_TRUE(connectionFake->raiseEvent(KLRTCMediaEventStreamAdded,
                                           KLRTCMediaEventInfo::fromStream(remote)));
    EXPECT_TRUE(connectionFake->raiseEvent(KLRTCMediaEventServerVideoOff,
                                           KLRTCMediaEventInfo::fromStreamId("u3")));
    EXPECT_TRUE(connectionFake->raiseEvent(
        KLRTCMediaEventNetworkGrade,
        KLRTCMediaEventInfo::fromDictionary({{"stream", "u3"}, {"grade", 2}})));

    ASSERT_EQ(delegate->events.size(), 4u);
    EXPECT_EQ(delegate->lastConnection, connection);
    EXPECT_TRUE(delegate->events[0].second.isNone());
    EXPECT_EQ(delegate->events[1].first, 5);
    EXPECT_EQ(delegate->events[1].second.stream, remote);
    EXPECT_TRUE(remote->hasScreen());
    EXPECT_EQ(delegate->events[2].second.streamId, QString("u3"));
    EXPECT_FALSE(delegate->events[2].second.hasDictionary());
    EXPECT_EQ(delegate->events[3].second.dictionary().value("grade").toInt(), 2);

    auto stream = fake->createStream(QJsonObject{{"screen", true}}, delegate);
    fake->lastStream()->setID("screen-me");
    EXPECT_TRUE(fake->lastStream()->raiseState(KLRTCMediaStreamStateReady, {{"why", "ok"}}));

    auto devices = fake->fakeDeviceManager();
    devices->setDevices({{"mic-1", "Mic", KLRTCMediaDeviceTypeMic, 0}});
    fake->deviceManager()->initWithDelegate(delegate);
    EXPECT_TRUE(devices->plugDevice({"usb", "Headset", KLRTCMediaDeviceTypeMic, 2}));
    EXPECT_EQ(fake->deviceManager()->getDeviceByTypeTransport(KLRTCMediaDeviceTypeMic, 2)->deviceId,
              "usb");
    EXPECT_TRUE(devices->unplugDevice("mic-1", KLRTCMediaDeviceTypeMic));
    EXPECT_FALSE(devices->unplugDevice("mic-1", KLRTCMediaDeviceTypeMic)); // already gone
    EXPECT_EQ(fake->deviceManager()->getDeviceByType(KLRTCMediaDeviceTypeMic).size(), 1);

    fake->messageManager()->initWithDelegate(delegate);
    auto messages = fake->fakeMessageManager();
    EXPECT_TRUE(messages->raiseIncomingCommonWebRtcMsg(KLRTCMediaMessageHowling));
    EXPECT_TRUE(messages->raiseRTCLog("line"));
    EXPECT_TRUE(messages->raiseMediaError(3, 9));
    EXPECT_EQ(delegate->seen, QStringList({"state screen-me 0 ok", "plug usb", "unplug mic-1",
                                           "msg 2", "log line", "error 3 9"}));

    // Once the delegate is gone nothing reaches it, and the fakes say so.
    std::weak_ptr<RecordingDelegate> gone = delegate;
    delegate.reset();
    EXPECT_TRUE(gone.expired());
    EXPECT_FALSE(connectionFake->raiseEvent(KLRTCMediaEventWebrtcUp));
    EXPECT_FALSE(fake->lastStream()->raiseState(0));
    EXPECT_FALSE(devices->plugDevice({"cam", "Cam", KLRTCMediaDeviceTypeCamera, 0}));
    EXPECT_FALSE(messages->raiseRTCLog("late"));
}

// (The statistics answers are driven by the media status service's own tests.)
TEST_F(FakeEngineTest, AnswersTurnDetectionOnceWhenTheTestSays)
{
    auto detect = fake->createLocalTurnDetect();
    const QJsonArray servers{QJsonObject{{"urls", "turn:a"}}};
    QString result;
    detect->detectLocalTurnServerWithIceServices(
        servers, [&](const QJsonArray &ips, const QJsonArray &rtts, const QString &localIp) {
            result = QStringLiteral("%1 %2 %3")
                         .arg(ips[0].toObject().value("ip").toString())
                         .arg(rtts.size())
                         .arg(localIp);
        });
    EXPECT_EQ(fake->lastTurnDetect()->iceServers(), servers);
    EXPECT_EQ(fake->callLog()->last("detectLocalTurnServerWithIceServices")->args,
              QJsonArray({servers}));
    EXPECT_TRUE(fake->lastTurnDetect()->complete({QJsonObject{{"ip", "1.2.3.4"}}}, {}, "10.0.0.2"));
    EXPECT_EQ(result, "1.2.3.4 0 10.0.0.2");
    EXPECT_FALSE(fake->lastTurnDetect()->complete({}, {}, "again"));
    EXPECT_EQ(result, "1.2.3.4 0 10.0.0.2");
}

TEST(MediaEngineSelection, InstalledThenDefaultThenAHarmlessNullEngine)
{
    auto printer = kltest::RecordingPrinter::install();
    KLRTCMediaSDK::registerDefaultEngine(nullptr);
    auto installed = std::make_shared<KLFakeMediaSDK>();
    KLRTCMediaSDK::install(installed);
    EXPECT_EQ(KLRTCMediaSDK::shared(), installed);

    KLRTCMediaSDK::install(nullptr);
    auto none = KLRTCMediaSDK::shared();
    ASSERT_TRUE(none);
    EXPECT_EQ(KLRTCMediaSDK::shared(), none);
    EXPECT_FALSE(none->createConnection({}, 1, 0, true, true, {}));
    EXPECT_FALSE(none->createStream({}, {}));
    EXPECT_FALSE(none->createLocalTurnDetect());
    none->settingStore()->setDefaultsForMacMicVolume(153);
    none->messageManager()->stopRTCLog();
    EXPECT_TRUE(none->deviceManager()->deviceArray().isEmpty());
    EXPECT_FALSE(none->deviceManager()->getDeviceById("x", 1));
    EXPECT_EQ(printer->count("error", "no media engine installed"), 1); // once, not per call

    int made = 0;
    auto byDefault = std::make_shared<KLFakeMediaSDK>();
    KLRTCMediaSDK::registerDefaultEngine([&] { ++made; return byDefault; });
    EXPECT_EQ(KLRTCMediaSDK::shared(), byDefault);
    EXPECT_EQ(KLRTCMediaSDK::shared(), byDefault);
    EXPECT_EQ(made, 1);
    KLRTCMediaSDK::install(installed); // an installed engine wins over the default
    EXPECT_EQ(KLRTCMediaSDK::shared(), installed);

    KLRTCMediaSDK::install(nullptr);
    KLRTCMediaSDK::registerDefaultEngine(nullptr);
    kltest::RecordingPrinter::uninstall();
}

TEST(MediaEngineLogging, EngineLinesReachTheSdkLoggerWithTheSeverityMapping)
{
    auto printer = kltest::RecordingPrinter::install();
    for (int severity : {1, 2, 3, 4, 8, 16, 32})
        KLLogging(severity, QStringLiteral("engine %1").arg(severity));
    const int line = __LINE__ + 1;
    KL_ENGINE_LOG(8, QStringLiteral("with place"));

    QStringList custom;
    KLLoggingSetLoggingHandler([&](int severity, const QString &message) {
        custom << QStringLiteral("%1 %2").arg(severity).arg(message);
    });
    KLLogging(4, "to custom");
    KLLoggingSetLoggingHandler(nullptr);
    KLLogging(8, "dropped");
    KLLoggingSetLoggingHandler(&LoggingHandler);
    kltest::drainLogger();

    QStringList seen;
    for (const auto &entry : printer->linesWithTag("KLRTCMediaSDK"))
        seen << entry.kind + ":" + entry.text.section("): ", -1);
    EXPECT_EQ(seen, QStringList({"info:engine 1", "info:engine 2", "info:engine 4",
                                 "error:engine 8", "debug:engine 16", "error:with place"}));
    EXPECT_EQ(custom, QStringList({"4 to custom"}));
    EXPECT_EQ(printer->count("error", QStringLiteral("(KLMediaEngineTests.cpp:%1 ").arg(line)), 1);
    EXPECT_EQ(KLLoggingFileName("/a/b/c.cpp"), "c.cpp");
    kltest::RecordingPrinter::uninstall();
}
