// The built-in engine's parts that need no media server: the default engine, ICE server
// probes against loopback listeners, the device inventory, kept defaults, the test pattern.

#include "KLEngineTestSupport.h"

#include "media/builtin/KLBuiltinDeviceManager.h"
#include "media/builtin/KLBuiltinLocalTurnDetect.h"
#include "media/builtin/KLBuiltinMediaSDK.h"
#include "media/builtin/KLBuiltinSettingStore.h"
#include "media/builtin/KLBuiltinVideoPattern.h"

#include "KLTestSupport.h"

#include <QJsonArray>
#include <QTcpServer>

#include <gtest/gtest.h>

namespace {

TEST(BuiltinEngine, IsTheDefaultEngineWithoutAnyInstallation)
{
    EXPECT_NE(std::dynamic_pointer_cast<KLBuiltinMediaSDK>(KLRTCMediaSDK::shared()), nullptr);
    EXPECT_EQ(KLRTCMediaSDK::shared(), KLRTCMediaSDK::shared());
}

TEST(BuiltinTurnDetect, ReadsEveryFormOfIceUrl)
{
    // Host and port read, or none for an empty host.
    const std::tuple<const char *, QString, int> rows[] = {
        {"turn:127.0.0.1:3479?transport=tcp", "127.0.0.1", 3479}, {"stun:localhost", "localhost", 3478},
        {"turns:localhost", "localhost", 5349}, {"stun:[::1]:19302", "::1", 19302},
        {"https://127.0.0.1:3478", {}, 0}, {"stun:127.0.0.1:99999", {}, 0}, {"stun:", {}, 0}};
    for (const auto &[url, host, port] : rows) {
        const auto address = KLBuiltinLocalTurnDetect::parseUrl(url);
        EXPECT_EQ(address ? address->host : QString(), host) << url;
        EXPECT_EQ(address ? int(address->port) : 0, port) << url;
    }

    const QJsonArray list{QJsonObject{{"urls", QJsonArray{"stun:127.0.0.1:1", "turn:127.0.0.1:2?transport=udp"}}},
                          QJsonObject{{"urls", "stun:127.0.0.1:3"}}, QJsonObject{{"url", "turn:127.0.0.1:4"}},
                          "stun:127.0.0.1:5", QJsonObject{{"urls", "ftp:nope"}}};
    QList<quint16> ports;
    for (const KLBuiltinIceAddress &address : KLBuiltinLocalTurnDetect::addresses(list))
        ports.append(address.port);
    EXPECT_EQ(ports, (QList<quint16>{1, 2, 3, 4, 5}));
}

TEST(BuiltinTurnDetect, MeasuresListeningServersAndReportsClosedOnesAsFailedOnce)
{
    QTcpServer listening;
    ASSERT_TRUE(listening.listen(QHostAddress::LocalHost));
    quint16 closedPort = 0;
    {
        QTcpServer closed;
        ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
        closedPort = closed.serverPort();
    }
    const QString open = QStringLiteral("stun:127.0.0.1:%1").arg(listening.serverPort());
    const QString shut = QStringLiteral("turn:127.0.0.1:%1?transport=tcp").arg(closedPort);

    auto engine = std::make_shared<KLBuiltinMediaSDK>();
    auto detect = engine->createLocalTurnDetect();
    std::mutex mutex;
    int completions = 0;
    QJsonArray ips, rtts;
    QString localIp;
    detect->detectLocalTurnServerWithIceServices(
        QJsonArray{QJsonObject{{"urls", QJsonArray{shut, open}}}},
        [&](const QJsonArray &i, const QJsonArray &r, const QString &l) {
            std::lock_guard lock(mutex);
            ++completions;
            ips = i, rtts = r, localIp = l;
        });
    // A second detection on the same engine completes too, independently.
    bool emptyDone = false;
    engine->createLocalTurnDetect()->detectLocalTurnServerWithIceServices(
        {}, [&](const QJsonArray &i, const QJsonArray &r, const QString &) {
            std::lock_guard lock(mutex);
            emptyDone = i.isEmpty() && r.isEmpty();
        });
    ASSERT_TRUE(kltest::waitUntil([&] { std::lock_guard lock(mutex); return completions > 0 && emptyDone; }));
    // Taking the engine down joins its thread at once, with the probes' sockets (the leak
    // checker sees any left behind when the program ends right after this test).
    detect.reset();
    engine.reset();

    std::lock_guard lock(mutex);
    EXPECT_EQ(completions, 1);
    ASSERT_EQ(rtts.size(), 2);
    EXPECT_EQ(rtts.at(0)["server"].toString(), open); // answered first, whatever the list order
    EXPECT_GE(rtts.at(0)["rtt"].toDouble(), 0.0);
    EXPECT_EQ(rtts.at(1)["server"].toString(), shut);
    EXPECT_TRUE(rtts.at(1)["failed"].toBool());
    EXPECT_EQ(rtts.at(1)["rtt"].toInt(), -1);
    ASSERT_EQ(ips.size(), 1);
    EXPECT_EQ(ips.at(0)["ip"].toString(), "127.0.0.1");
    EXPECT_EQ(ips.at(0)["server"].toString(), open);
    EXPECT_EQ(localIp, "127.0.0.1");
}

class DeviceNotices : public KLRTCMediaDeviceManagerDelegate {
public:
    void mediaDeviceChangeForAdd(bool add, const KLRTCMediaDevice &device) override
    {
        std::lock_guard lock(mutex);
        notices.push_back({add, device});
    }
    std::mutex mutex;
    std::vector<std::pair<bool, KLRTCMediaDevice>> notices;
};

TEST(BuiltinDevices, ListsConfiguredDevicesAndNotifiesPlugAndUnplug)
{
    auto engine = std::make_shared<KLBuiltinMediaSDK>();
    auto devices = engine->builtinDeviceManager();
    EXPECT_EQ(devices->getDeviceByType(KLRTCMediaDeviceTypeCamera).size(), 1);
    EXPECT_EQ(devices->getDeviceByType(KLRTCMediaDeviceTypeMic).size(), 2);
    EXPECT_EQ(devices->getDeviceByTypeTransport(KLRTCMediaDeviceTypeSpeaker, KLBuiltinDeviceManager::TransportUsb)
                  ->deviceName,
              "USB Headset");
    EXPECT_FALSE(devices->getDeviceById("builtin-camera", KLRTCMediaDeviceTypeMic));

    auto notices = std::make_shared<DeviceNotices>();
    devices->initWithDelegate(notices);
    const KLRTCMediaDevice buds{"bt-buds", "Buds", KLRTCMediaDeviceTypeSpeaker, KLRTCMediaTransportBluetooth};
    devices->plugDevice(buds);
    EXPECT_EQ(devices->getDeviceByTypeTransport(KLRTCMediaDeviceTypeSpeaker, KLRTCMediaTransportBluetooth), buds);
    EXPECT_TRUE(devices->unplugDevice("bt-buds", KLRTCMediaDeviceTypeSpeaker));
    EXPECT_FALSE(devices->unplugDevice("bt-buds", KLRTCMediaDeviceTypeSpeaker));
    ASSERT_TRUE(kltest::waitUntil([&] { std::lock_guard lock(notices->mutex); return notices->notices.size() == 2; }));
    std::lock_guard lock(notices->mutex);
    EXPECT_TRUE(notices->notices[0].first);
    EXPECT_FALSE(notices->notices[1].first);
    EXPECT_EQ(notices->notices[1].second, buds);
    EXPECT_FALSE(devices->getDeviceById("bt-buds", KLRTCMediaDeviceTypeSpeaker));
}

TEST(BuiltinDevices, ReadsAnInventoryFromJsonAndSkipsBadEntries)
{
    const QList<KLRTCMediaDevice> parsed = KLBuiltinDeviceManager::parseDevices(
        R"([{"id":"cam2","name":"Desk Cam","type":1,"transport":1},{"id":"x","type":9},{"name":"no id","type":3}])");
    EXPECT_EQ(parsed, (QList<KLRTCMediaDevice>{{"cam2", "Desk Cam", 1, 1}}));
    EXPECT_TRUE(KLBuiltinDeviceManager::parseDevices("{not json").isEmpty());
}

TEST(BuiltinSettings, KeepsEveryDefault)
{
    KLBuiltinSettingStore store;
    store.setDefaultsForHowlingSuppression(true);
    store.setDefaultsForScreenShareBottomKbps(300);
    store.setDefaultsForOpusPacketLostUp(0.25f);
    store.setDefaultsForScreenShareBottomKbps(500);
    EXPECT_EQ(store.value("HowlingSuppression"), QJsonValue(true));
    EXPECT_EQ(store.value("ScreenShareBottomKbps").toInt(), 500);
    EXPECT_DOUBLE_EQ(store.value("OpusPacketLostUp").toDouble(), 0.25);
    EXPECT_TRUE(store.value("AudioAec3").isUndefined());
    EXPECT_FALSE(store.getComputerModel().isEmpty());
}

TEST(BuiltinVideo, PatternDiffersPerStreamAndMovesOverTime)
{
    const KLBuiltinVideoPattern a("8C1D4E2F"), b("D4E5F6A7");
    const KLRTCMediaVideoFrame first = a.frame(0, 0, 0), later = a.frame(10, 0, 1000);
    ASSERT_TRUE(first.isValid());
    EXPECT_EQ(first.format, KLRTCMediaVideoFrame::FormatRGB32);
    EXPECT_NE(first.pixels, later.pixels);            // the sweeping bar moved
    EXPECT_NE(first.pixels, b.frame(0, 0, 0).pixels); // another stream, other colours
    // The meter strip at the bottom follows the level.
    const auto pixel = [](const KLRTCMediaVideoFrame &f, int x, int y) {
        return reinterpret_cast<const quint32 *>(f.pixels.constData())[y * f.width + x];
    };
    const KLRTCMediaVideoFrame loud = a.frame(0, 32767, 0);
    EXPECT_NE(pixel(loud, first.width - 1, first.height - 1), pixel(first, first.width - 1, first.height - 1));
}

TEST(BuiltinStreams, LocalStreamsBecomeReadyAndPlayUntilStopped)
{
    auto engine = std::make_shared<KLBuiltinMediaSDK>();
    auto states = std::make_shared<StreamRecorder>();
    auto stream = engine->createStream({{"audio", true}, {"video", true}}, states);
    stream->initStream();
    ASSERT_TRUE(kltest::waitUntil([&] { return states->states() == std::vector<int>{0}; }));
    EXPECT_TRUE(stream->isEnable("video"));
    EXPECT_FALSE(stream->audioTrackId().isEmpty());

    auto view = std::make_shared<FrameCounter>();
    stream->preVideoWithView(view);
    ASSERT_TRUE(kltest::waitUntil([&] { return view->frames() >= 2; }));
    stream->muteVideo(true);
    EXPECT_FALSE(stream->isEnable("video"));
    stream->stopPlayWithView(view);

    auto placeholder = engine->createStream({{"fakeStream", true}}, states);
    EXPECT_TRUE(placeholder->isFakeStream());
    EXPECT_FALSE(placeholder->isEnable("audio"));
    EXPECT_TRUE(placeholder->audioTrackId().isEmpty());
}

} // namespace
