// The WebRTC engine's device inventory against an in-process GStreamer device provider: what the
// provider announces is listed by type with its system id and transport, devices the provider adds
// or removes later reach the delegate's plug and unplug notices, and without devices the lists are
// empty and the log says what is sent instead. Every other provider is ranked out for the test, so
// the machine's own devices (or sound server) do not matter.

#include "KLTestSupport.h"
#include "KLWebRtcTestSupport.h"

#include "media/KLRTCMediaLogging.h"
#include "media/webrtc/KLWebRtcDeviceMonitor.h"
#include "media/webrtc/KLWebRtcMediaSDK.h"
#include "media/webrtc/KLWebRtcPeer.h"
#include "runtime/KLDispatchQueue.h"
#include "runtime/KLSDKLoggingHandler.h"

#include <gtest/gtest.h>

#include <gst/gst.h>

#include <QDataStream>
#include <QFile>
#include <QTemporaryDir>

#include <cmath>
#include <mutex>
#include <vector>

namespace {

using namespace kltest::webrtc;

class PlugRecorder : public KLRTCMediaDeviceManagerDelegate {
public:
    void mediaDeviceChangeForAdd(bool add, const KLRTCMediaDevice &device) override
    {
        const qsizetype listed = lister ? lister->getDeviceById(device.deviceId, device.deviceType).has_value() : -1;
        std::lock_guard lock(mutex);
        notices.push_back({add, device});
        listedAtNotice.push_back(listed);
    }
    size_t count() { std::lock_guard lock(mutex); return notices.size(); }

    std::mutex mutex;
    std::vector<std::pair<bool, KLRTCMediaDevice>> notices;
    std::vector<qsizetype> listedAtNotice; // whether the device was listed when its notice came
    std::shared_ptr<KLRTCMediaDeviceManager> lister;
};

class WebRtcDeviceMonitor : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        QString error;
        ASSERT_TRUE(KLWebRtcMediaSDK::available(&error)) << error.toStdString();
    }
    void SetUp() override { useTestDevices({}); }
    void TearDown() override
    {
        KLLoggingSetLoggingHandler(&LoggingHandler);
    }

    void captureLog()
    {
        KLLoggingSetLoggingHandler([this](int, const QString &message) {
            std::lock_guard lock(linesMutex);
            lines << message;
        });
    }
    QString log()
    {
        std::lock_guard lock(linesMutex);
        return lines.join('\n');
    }

    std::mutex linesMutex;
    QStringList lines;
    std::shared_ptr<KLDispatchQueue> queue =
        KLDispatchQueue::makeShared(QStringLiteral("test.devices"), KLDispatchQueue::Lifetime::Process);
};

TEST_F(WebRtcDeviceMonitor, ListsTheProvidersDevicesByTypeWithSystemIdsAndTransports)
{
    useTestDevices({{"Video/Source", "Test Camera", "api.v4l2.path", "/dev/video-test0", "usb"},
                 {"Audio/Source", "Test Microphone", "node.name", "test-mic", "bluetooth"},
                 {"Audio/Sink", "Test Speakers", "device.name", "test-speakers", nullptr},
                 {"Audio/Source", "Nameless Microphone", nullptr, nullptr, nullptr},
                 {"Generic/Thing", "Not A Medium", "device.path", "/dev/thing", nullptr}});
    auto monitor = std::make_shared<KLWebRtcDeviceMonitor>(queue);
    ASSERT_TRUE(monitor->monitoring());

    const KLRTCMediaDevice camera{"/dev/video-test0", "Test Camera", KLRTCMediaDeviceTypeCamera, 1};
    const KLRTCMediaDevice mic{"test-mic", "Test Microphone", KLRTCMediaDeviceTypeMic, 2};
    const KLRTCMediaDevice bare{"Nameless Microphone", "Nameless Microphone", KLRTCMediaDeviceTypeMic, 0};
    const KLRTCMediaDevice speaker{"test-speakers", "Test Speakers", KLRTCMediaDeviceTypeSpeaker, 0};
    EXPECT_EQ(monitor->getDeviceByType(KLRTCMediaDeviceTypeCamera), QList<KLRTCMediaDevice>{camera});
    EXPECT_EQ(monitor->getDeviceByType(KLRTCMediaDeviceTypeMic), (QList<KLRTCMediaDevice>{mic, bare}));
    EXPECT_EQ(monitor->getDeviceByType(KLRTCMediaDeviceTypeSpeaker), QList<KLRTCMediaDevice>{speaker});
    EXPECT_EQ(monitor->deviceArray().size(), 4); // the generic device is none of the three kinds
    EXPECT_EQ(monitor->getDeviceById("test-mic", KLRTCMediaDeviceTypeMic), mic);
    EXPECT_FALSE(monitor->getDeviceById("test-mic", KLRTCMediaDeviceTypeSpeaker));
    EXPECT_EQ(monitor->getDeviceByTypeTransport(KLRTCMediaDeviceTypeMic, KLRTCMediaTransportBluetooth), mic);
    EXPECT_FALSE(monitor->getDeviceByTypeTransport(KLRTCMediaDeviceTypeCamera, 0));

    // The engine hands this inventory out as its device manager.
    KLWebRtcMediaSDK engine;
    EXPECT_EQ(engine.deviceManager()->getDeviceByType(KLRTCMediaDeviceTypeCamera), QList<KLRTCMediaDevice>{camera});
}

TEST_F(WebRtcDeviceMonitor, AChosenDeviceIsOpenedElseTheDefaultElseTheFirstListed)
{
    useTestDevices({{"Audio/Source", "First Microphone", "node.name", "mic-first", nullptr, "audiotestsrc"},
                    {"Audio/Source", "Default Microphone", "node.name", "mic-default", nullptr, "audiotestsrc", true},
                    {"Audio/Source", "Broken Microphone", "node.name", "mic-broken", nullptr, nullptr},
                    {"Audio/Sink", "Only Speakers", "node.name", "speakers", nullptr, "fakesink"}});
    auto monitor = std::make_shared<KLWebRtcDeviceMonitor>(queue);
    auto opened = [&](int type, const QString &id) {
        KLRTCMediaDevice used;
        GstElement *element = monitor->createElement(type, id, &used);
        if (!element)
            return QStringLiteral("none");
        gst_object_unref(gst_object_ref_sink(element));
        return used.deviceId;
    };
    EXPECT_EQ(opened(KLRTCMediaDeviceTypeMic, "mic-first"), "mic-first");
    EXPECT_EQ(opened(KLRTCMediaDeviceTypeMic, QString()), "mic-default");
    EXPECT_EQ(opened(KLRTCMediaDeviceTypeMic, "mic-unplugged"), "mic-default");
    EXPECT_EQ(opened(KLRTCMediaDeviceTypeMic, "speakers"), "mic-default"); // an id of another kind
    EXPECT_EQ(opened(KLRTCMediaDeviceTypeSpeaker, "gone"), "speakers");    // no default: the first
    EXPECT_EQ(opened(KLRTCMediaDeviceTypeCamera, QString()), "none");
    // A listed device that makes no element is not opened (the caller falls back).
    EXPECT_EQ(opened(KLRTCMediaDeviceTypeMic, "mic-broken"), "none");
}

TEST_F(WebRtcDeviceMonitor, APublisherSendsSilenceFromAMicrophoneWithoutAudioAndSwitchesToAnother)
{
    useTestDevices({{"Audio/Source", "Camera Posing As Microphone", "node.name", "odd-mic", nullptr, "videotestsrc"},
                    {"Audio/Source", "Microphone", "node.name", "mic", nullptr, "audiotestsrc is-live=true"}});
    captureLog();
    KLWebRtcPeerConfig config;
    config.publisher = true;
    config.video = false;
    config.devices = std::make_shared<KLWebRtcDeviceMonitor>(queue);
    config.micId = "odd-mic";
    auto peer = KLWebRtcPeer::create(config, {});
    ASSERT_TRUE(peer->start());
    // A device whose element gives no audio: silence is sent rather than nothing.
    EXPECT_EQ(peer->audioDeviceInUse(), "");
    EXPECT_TRUE(log().contains("microphone odd-mic gives no audio the encoder takes: sending silence")) << log().toStdString();
    peer->switchMicrophone("mic");
    EXPECT_EQ(peer->audioDeviceInUse(), "mic");
    EXPECT_EQ(peer->audioChoice(), "mic");
    peer->stop();
}

TEST_F(WebRtcDeviceMonitor, DevicesPluggedAndUnpluggedLaterReachTheDelegateAfterTheListsChanged)
{
    useTestDevices({{"Audio/Sink", "Built-in Speakers", "node.name", "builtin-speakers", nullptr}}); // listed, not announced
    auto monitor = std::make_shared<KLWebRtcDeviceMonitor>(queue);
    auto recorder = std::make_shared<PlugRecorder>();
    recorder->lister = monitor;
    monitor->initWithDelegate(recorder);
    ASSERT_TRUE(monitor->monitoring());
    EXPECT_TRUE(monitor->getDeviceByType(KLRTCMediaDeviceTypeCamera).isEmpty());

    GstDevice *plugged = GST_DEVICE(gst_object_ref(makeDevice({"Video/Source", "USB Camera", "device.path", "/dev/video7", "usb"})));
    gst_device_provider_device_add(testProvider(), plugged);
    const KLRTCMediaDevice camera{"/dev/video7", "USB Camera", KLRTCMediaDeviceTypeCamera, 1};
    ASSERT_TRUE(kltest::waitUntil([&] { return recorder->count() == 1; }, 3000));
    EXPECT_EQ(recorder->notices[0], std::make_pair(true, camera));
    EXPECT_EQ(monitor->getDeviceByType(KLRTCMediaDeviceTypeCamera), QList<KLRTCMediaDevice>{camera});

    gst_device_provider_device_remove(testProvider(), plugged);
    gst_object_unref(plugged);
    ASSERT_TRUE(kltest::waitUntil([&] { return recorder->count() == 2; }, 3000));
    EXPECT_EQ(recorder->notices[1], std::make_pair(false, camera));
    EXPECT_EQ(monitor->deviceArray().size(), 1);

    // A device of no listed kind is neither listed nor announced; a speaker comes.
    gst_device_provider_device_add(testProvider(), makeDevice({"Generic/Thing", "Thing", nullptr, nullptr, nullptr}));
    gst_device_provider_device_add(testProvider(), makeDevice({"Audio/Sink", "Speakers", "device.name", "test-speakers", nullptr}));
    ASSERT_TRUE(kltest::waitUntil([&] { return recorder->count() >= 3; }, 3000));
    kltest::pumpEvents(50);
    ASSERT_EQ(recorder->count(), 3u);
    EXPECT_EQ(recorder->notices[2].first, true);
    EXPECT_EQ(recorder->notices[2].second.deviceId, "test-speakers");
    EXPECT_EQ(monitor->deviceArray().size(), 2);
    // Each notice came after the lists changed: a plugged device listed, an unplugged one gone.
    EXPECT_EQ(recorder->listedAtNotice, (std::vector<qsizetype>{1, 0, 1}));
    recorder->lister.reset();
}

TEST_F(WebRtcDeviceMonitor, WithoutDevicesTheListsAreEmptyAndTheLogSaysWhatIsSentInstead)
{
    captureLog();
    auto monitor = std::make_shared<KLWebRtcDeviceMonitor>(queue);
    EXPECT_TRUE(monitor->monitoring());
    EXPECT_TRUE(monitor->deviceArray().isEmpty());
    EXPECT_FALSE(monitor->getDeviceByTypeTransport(KLRTCMediaDeviceTypeMic, 0));
    EXPECT_TRUE(log().contains("no camera: the test pattern with the member's name is sent")) << log().toStdString();
    EXPECT_TRUE(log().contains("no microphone: silence is sent")) << log().toStdString();
    // A sound file is not played where there is no speaker.
    QTemporaryDir dir;
    QFile sound(dir.filePath("test.wav"));
    ASSERT_TRUE(sound.open(QIODevice::WriteOnly));
    sound.close();
    monitor->startPlayingFile(sound.fileName());
    EXPECT_TRUE(log().contains("no speaker: " + sound.fileName() + " is not played")) << log().toStdString();
}

// 0.1 s of a 440 Hz tone, 16-bit mono at 48 kHz.
QByteArray toneWav()
{
    const quint32 rate = 48000, bytes = rate / 10 * 2;
    QByteArray wav;
    QDataStream out(&wav, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData("RIFF", 4);
    out << quint32(36 + bytes);
    out.writeRawData("WAVEfmt ", 8);
    out << quint32(16) << quint16(1) << quint16(1) << rate << rate * 2 << quint16(2) << quint16(16);
    out.writeRawData("data", 4);
    out << bytes;
    for (quint32 i = 0; i < bytes / 2; ++i)
        out << qint16(8000 * std::sin(2 * M_PI * 440 * i / rate));
    return wav;
}

TEST_F(WebRtcDeviceMonitor, ASoundFilePlaysOnceOnTheSpeakerAMeetingChose)
{
    useTestDevices({{"Audio/Sink", "Default Speakers", "node.name", "sound-default", nullptr, "fakesink", true},
                    {"Audio/Sink", "Headset", "node.name", "sound-headset", nullptr, "fakesink"}});
    captureLog();
    auto monitor = std::make_shared<KLWebRtcDeviceMonitor>(queue);
    QTemporaryDir dir;
    QFile sound(dir.filePath("ring.wav"));
    ASSERT_TRUE(sound.open(QIODevice::WriteOnly));
    sound.write(toneWav());
    sound.close();

    monitor->rememberSpeaker("sound-headset");
    monitor->startPlayingFile(sound.fileName());
    EXPECT_TRUE(kltest::waitUntil([&] { return log().contains("sound file played"); }, 5000)) << log().toStdString();
    EXPECT_GT(buffersPlayed("sound-headset"), 0);
    EXPECT_EQ(buffersPlayed("sound-default"), 0);
    EXPECT_TRUE(log().contains("playing " + sound.fileName() + " on Headset (sound-headset)")) << log().toStdString();

    // A file that is not a sound ends in an error line, a missing one is refused at once.
    QFile garbage(dir.filePath("garbage.wav"));
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
    garbage.write(QByteArray(4096, 'x'));
    garbage.close();
    monitor->startPlayingFile(garbage.fileName());
    EXPECT_TRUE(kltest::waitUntil([&] { return log().contains("sound file failed"); }, 5000)) << log().toStdString();
    monitor->startPlayingFile(dir.filePath("missing.wav"));
    EXPECT_TRUE(log().contains("cannot play " + dir.filePath("missing.wav") + ": no such file"));
}

} // namespace
