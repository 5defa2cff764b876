// The WebRTC engine's device inventory against an in-process GStreamer device provider: what the
// provider announces is listed by type with its system id and transport, devices the provider adds
// or removes later reach the delegate's plug and unplug notices, and without devices the lists are
// empty and the log says what is sent instead. Every other provider is ranked out for the test, so
// the machine's own devices (or sound server) do not matter.

#include "KLTestSupport.h"

#include "media/KLRTCMediaLogging.h"
#include "media/webrtc/KLWebRtcDeviceMonitor.h"
#include "media/webrtc/KLWebRtcMediaSDK.h"
#include "runtime/KLDispatchQueue.h"
#include "runtime/KLSDKLoggingHandler.h"

#include <gtest/gtest.h>

#include <gst/gst.h>

#include <mutex>
#include <vector>

namespace {

// What the test provider announces: classes, name, an id property and the bus.
struct FakeDevice {
    const char *classes;
    const char *name;
    const char *idKey;
    const char *id;
    const char *bus;
};

GstDevice *makeDevice(const FakeDevice &fake);

// The provider's devices at its start; later ones come and go through add() / remove().
std::vector<FakeDevice> g_initial;
GstDeviceProvider *g_provider = nullptr;

} // namespace

extern "C" {

struct KLTestDevice { GstDevice parent; };
struct KLTestDeviceClass { GstDeviceClass parent_class; };
G_DEFINE_TYPE(KLTestDevice, kl_test_device, GST_TYPE_DEVICE)
static void kl_test_device_class_init(KLTestDeviceClass *) {}
static void kl_test_device_init(KLTestDevice *) {}

struct KLTestProvider { GstDeviceProvider parent; };
struct KLTestProviderClass { GstDeviceProviderClass parent_class; };
G_DEFINE_TYPE(KLTestProvider, kl_test_provider, GST_TYPE_DEVICE_PROVIDER)

static gboolean kl_test_provider_start(GstDeviceProvider *provider)
{
    g_provider = provider;
    for (const FakeDevice &fake : g_initial)
        gst_device_provider_device_add(provider, makeDevice(fake));
    return TRUE;
}

// GStreamer drops the provider's devices itself when its last user stops it.
static void kl_test_provider_stop(GstDeviceProvider *) {}

static void kl_test_provider_class_init(KLTestProviderClass *klass)
{
    auto *providerClass = GST_DEVICE_PROVIDER_CLASS(klass);
    providerClass->start = kl_test_provider_start;
    providerClass->stop = kl_test_provider_stop;
    gst_device_provider_class_set_static_metadata(providerClass, "Test devices", "Audio/Video/Source/Sink",
                                                  "Devices a test adds and removes", "Kelvo");
}
static void kl_test_provider_init(KLTestProvider *) {}

} // extern "C"

namespace {

GstDevice *makeDevice(const FakeDevice &fake)
{
    GstStructure *properties = gst_structure_new_empty("properties");
    if (fake.idKey)
        gst_structure_set(properties, fake.idKey, G_TYPE_STRING, fake.id, nullptr);
    if (fake.bus)
        gst_structure_set(properties, "device.bus", G_TYPE_STRING, fake.bus, nullptr);
    GstCaps *caps = gst_caps_from_string(g_str_has_prefix(fake.classes, "Video") ? "video/x-raw" : "audio/x-raw");
    auto *device = GST_DEVICE(g_object_new(kl_test_device_get_type(), "display-name", fake.name, "device-class",
                                           fake.classes, "caps", caps, "properties", properties, nullptr));
    gst_caps_unref(caps);
    gst_structure_free(properties);
    return device;
}

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
        static const bool registered =
            gst_device_provider_register(nullptr, "kltestdevices", GST_RANK_PRIMARY, kl_test_provider_get_type());
        ASSERT_TRUE(registered);
        GList *factories = gst_device_provider_factory_list_get_device_providers(GST_RANK_NONE);
        for (GList *item = factories; item; item = item->next) {
            auto *feature = GST_PLUGIN_FEATURE(item->data);
            if (g_strcmp0(gst_plugin_feature_get_name(feature), "kltestdevices") != 0)
                gst_plugin_feature_set_rank(feature, GST_RANK_NONE);
        }
        gst_plugin_feature_list_free(factories);
    }
    void TearDown() override
    {
        KLLoggingSetLoggingHandler(&LoggingHandler);
        g_initial.clear();
    }

    std::shared_ptr<KLDispatchQueue> queue =
        KLDispatchQueue::makeShared(QStringLiteral("test.devices"), KLDispatchQueue::Lifetime::Process);
};

TEST_F(WebRtcDeviceMonitor, ListsTheProvidersDevicesByTypeWithSystemIdsAndTransports)
{
    g_initial = {{"Video/Source", "Test Camera", "api.v4l2.path", "/dev/video-test0", "usb"},
                 {"Audio/Source", "Test Microphone", "node.name", "test-mic", "bluetooth"},
                 {"Audio/Sink", "Test Speakers", "device.name", "test-speakers", nullptr},
                 {"Audio/Source", "Nameless Microphone", nullptr, nullptr, nullptr},
                 {"Generic/Thing", "Not A Medium", "device.path", "/dev/thing", nullptr}};
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

TEST_F(WebRtcDeviceMonitor, DevicesPluggedAndUnpluggedLaterReachTheDelegateAfterTheListsChanged)
{
    g_initial = {{"Audio/Sink", "Built-in Speakers", "node.name", "builtin-speakers", nullptr}}; // listed, not announced
    auto monitor = std::make_shared<KLWebRtcDeviceMonitor>(queue);
    auto recorder = std::make_shared<PlugRecorder>();
    recorder->lister = monitor;
    monitor->initWithDelegate(recorder);
    ASSERT_TRUE(monitor->monitoring());
    EXPECT_TRUE(monitor->getDeviceByType(KLRTCMediaDeviceTypeCamera).isEmpty());

    GstDevice *plugged = GST_DEVICE(gst_object_ref(makeDevice({"Video/Source", "USB Camera", "device.path", "/dev/video7", "usb"})));
    gst_device_provider_device_add(g_provider, plugged);
    const KLRTCMediaDevice camera{"/dev/video7", "USB Camera", KLRTCMediaDeviceTypeCamera, 1};
    ASSERT_TRUE(kltest::waitUntil([&] { return recorder->count() == 1; }, 3000));
    EXPECT_EQ(recorder->notices[0], std::make_pair(true, camera));
    EXPECT_EQ(monitor->getDeviceByType(KLRTCMediaDeviceTypeCamera), QList<KLRTCMediaDevice>{camera});

    gst_device_provider_device_remove(g_provider, plugged);
    gst_object_unref(plugged);
    ASSERT_TRUE(kltest::waitUntil([&] { return recorder->count() == 2; }, 3000));
    EXPECT_EQ(recorder->notices[1], std::make_pair(false, camera));
    EXPECT_EQ(monitor->deviceArray().size(), 1);

    // A device of no listed kind is neither listed nor announced; a speaker comes.
    gst_device_provider_device_add(g_provider, makeDevice({"Generic/Thing", "Thing", nullptr, nullptr, nullptr}));
    gst_device_provider_device_add(g_provider, makeDevice({"Audio/Sink", "Speakers", "device.name", "test-speakers", nullptr}));
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
    QStringList lines;
    std::mutex linesMutex;
    KLLoggingSetLoggingHandler([&](int, const QString &message) {
        std::lock_guard lock(linesMutex);
        lines << message;
    });
    auto monitor = std::make_shared<KLWebRtcDeviceMonitor>(queue);
    EXPECT_TRUE(monitor->monitoring());
    EXPECT_TRUE(monitor->deviceArray().isEmpty());
    EXPECT_FALSE(monitor->getDeviceByTypeTransport(KLRTCMediaDeviceTypeMic, 0));
    KLLoggingSetLoggingHandler(&LoggingHandler);
    const QString log = lines.join('\n');
    EXPECT_TRUE(log.contains("no camera: the test pattern with the member's name is sent")) << log.toStdString();
    EXPECT_TRUE(log.contains("no microphone: silence is sent")) << log.toStdString();
}

} // namespace
