#include "KLWebRtcTestSupport.h"

#include "KLTestSupport.h"

#include <QElapsedTimer>
#include <QJsonObject>
#include <QJsonArray>

#include <gst/gst.h>
#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

std::mutex g_mutex;
std::vector<kltest::webrtc::FakeDevice> g_initial;
GstDeviceProvider *g_provider = nullptr;
std::map<std::string, int> g_played; // by speaker id
std::vector<std::pair<std::string, GWeakRef *>> g_elements; // made by the devices, by device id

void played(GstElement *, GstBuffer *, GstPad *, gpointer id)
{
    std::lock_guard lock(g_mutex);
    ++g_played[static_cast<const char *>(id)];
}

} // namespace

extern "C" {

struct KLTestDevice { GstDevice parent; };
struct KLTestDeviceClass { GstDeviceClass parent_class; };
G_DEFINE_TYPE(KLTestDevice, kl_test_device, GST_TYPE_DEVICE)

static GstElement *kl_test_device_create_element(GstDevice *device, const gchar *name)
{
    GstStructure *properties = gst_device_get_properties(device);
    const gchar *description = gst_structure_get_string(properties, "kl.element");
    GstElement *element = description ? gst_parse_launch(description, nullptr) : nullptr;
    if (element && name)
        gst_object_set_name(GST_OBJECT(element), name);
    if (element) {
        auto *weak = g_new0(GWeakRef, 1);
        g_weak_ref_init(weak, element);
        std::lock_guard lock(g_mutex);
        g_elements.emplace_back(gst_structure_get_string(properties, "kl.id"), weak);
    }
    if (element && gst_device_has_classes(device, "Audio/Sink")) {
        g_object_set(element, "signal-handoffs", TRUE, nullptr);
        g_signal_connect_data(element, "handoff", G_CALLBACK(played),
                              g_strdup(gst_structure_get_string(properties, "kl.id")),
                              [](gpointer data, GClosure *) { g_free(data); }, GConnectFlags(0));
    }
    gst_structure_free(properties);
    return element;
}

static void kl_test_device_class_init(KLTestDeviceClass *klass)
{
    GST_DEVICE_CLASS(klass)->create_element = kl_test_device_create_element;
}
static void kl_test_device_init(KLTestDevice *) {}

struct KLTestProvider { GstDeviceProvider parent; };
struct KLTestProviderClass { GstDeviceProviderClass parent_class; };
G_DEFINE_TYPE(KLTestProvider, kl_test_provider, GST_TYPE_DEVICE_PROVIDER)

static gboolean kl_test_provider_start(GstDeviceProvider *provider)
{
    std::vector<kltest::webrtc::FakeDevice> initial;
    {
        std::lock_guard lock(g_mutex);
        g_provider = provider;
        initial = g_initial;
    }
    for (const auto &fake : initial)
        gst_device_provider_device_add(provider, kltest::webrtc::makeDevice(fake));
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

namespace kltest::webrtc {

void useTestDevices(std::vector<FakeDevice> initial)
{
    {
        std::lock_guard lock(g_mutex);
        g_initial = std::move(initial);
    }
    static const bool registered = [] {
        gst_init(nullptr, nullptr);
        const bool ok = gst_device_provider_register(nullptr, "kltestdevices", GST_RANK_PRIMARY,
                                                     kl_test_provider_get_type());
        GList *factories = gst_device_provider_factory_list_get_device_providers(GST_RANK_NONE);
        for (GList *item = factories; item; item = item->next) {
            auto *feature = GST_PLUGIN_FEATURE(item->data);
            if (g_strcmp0(gst_plugin_feature_get_name(feature), "kltestdevices") != 0)
                gst_plugin_feature_set_rank(feature, GST_RANK_NONE);
        }
        gst_plugin_feature_list_free(factories);
        return ok;
    }();
    if (!registered)
        ADD_FAILURE() << "the test device provider could not be registered";
}

GstDevice *makeDevice(const FakeDevice &fake)
{
    GstStructure *properties = gst_structure_new_empty("properties");
    if (fake.idKey)
        gst_structure_set(properties, fake.idKey, G_TYPE_STRING, fake.id, nullptr);
    if (fake.id)
        gst_structure_set(properties, "kl.id", G_TYPE_STRING, fake.id, nullptr);
    if (fake.bus)
        gst_structure_set(properties, "device.bus", G_TYPE_STRING, fake.bus, nullptr);
    if (fake.element)
        gst_structure_set(properties, "kl.element", G_TYPE_STRING, fake.element, nullptr);
    if (fake.isDefault)
        gst_structure_set(properties, "is-default", G_TYPE_BOOLEAN, TRUE, nullptr);
    GstCaps *caps = gst_caps_from_string(g_str_has_prefix(fake.classes, "Video") ? "video/x-raw" : "audio/x-raw");
    auto *device = GST_DEVICE(g_object_new(kl_test_device_get_type(), "display-name", fake.name, "device-class",
                                           fake.classes, "caps", caps, "properties", properties, nullptr));
    gst_caps_unref(caps);
    gst_structure_free(properties);
    return device;
}

GstDeviceProvider *testProvider()
{
    std::lock_guard lock(g_mutex);
    return g_provider;
}

void unplug(const char *id)
{
    GList *devices = gst_device_provider_get_devices(testProvider());
    for (GList *item = devices; item; item = item->next) {
        GstStructure *properties = gst_device_get_properties(GST_DEVICE(item->data));
        if (g_strcmp0(gst_structure_get_string(properties, "kl.id"), id) == 0)
            gst_device_provider_device_remove(testProvider(), GST_DEVICE(item->data));
        gst_structure_free(properties);
    }
    g_list_free_full(devices, gst_object_unref);
    std::vector<GstElement *> alive;
    {
        std::lock_guard lock(g_mutex);
        for (const auto &[device, weak] : g_elements)
            if (device == id)
                if (auto *element = static_cast<GstElement *>(g_weak_ref_get(weak)))
                    alive.push_back(element);
    }
    for (GstElement *element : alive) {
        GST_ELEMENT_ERROR(element, RESOURCE, READ, ("device unplugged"), (nullptr));
        gst_object_unref(element);
    }
}

int buffersPlayed(const char *speakerId)
{
    std::lock_guard lock(g_mutex);
    const auto it = g_played.find(speakerId);
    return it == g_played.end() ? 0 : it->second;
}

bool framesStop(const FrameView &view, int quietMs, int timeoutMs)
{
    QElapsedTimer quiet;
    quiet.start();
    int seen = view.frames();
    return kltest::waitUntil([&] {
        if (view.frames() != seen) {
            seen = view.frames();
            quiet.restart();
        }
        return quiet.elapsed() >= quietMs;
    }, timeoutMs);
}

QJsonObject roomParam(const QString &url, const QString &caFile, const QString &room, const QString &uuid,
                      const QString &token)
{
    return {{QStringLiteral("rtcWsRegInfo"),
             QJsonObject{{QStringLiteral("signalingServer"), url},
                         {QStringLiteral("regInfo"), QJsonObject{{QStringLiteral("appointmentId"), room},
                                                                 {QStringLiteral("memberUuid"), uuid},
                                                                 {QStringLiteral("token"), token}}}}},
            {QStringLiteral("caFile"), caFile},
            {QStringLiteral("displayName"), QStringLiteral("Member ") + uuid},
            {QStringLiteral("iceServices"), QJsonArray()}};
}

QJsonObject simRoomParam(const QJsonObject &meeting, const QString &caFile)
{
    const QJsonObject info = meeting.value(QLatin1String("meetingInfo")).toObject();
    return roomParam(info.value(QLatin1String("rtcserverWsUrl")).toString(), caFile,
                     info.value(QLatin1String("roomid")).toString(),
                     meeting.value(QLatin1String("selfMemberUUID")).toString(),
                     meeting.value(QLatin1String("meetingToken")).toString());
}

QJsonObject status(const std::shared_ptr<KLRTCMediaConnection> &connection)
{
    std::mutex mutex;
    QJsonObject result;
    bool done = false;
    connection->getStatusForMedia(QString(), [&](const QJsonObject &s) {
        std::lock_guard lock(mutex);
        result = s;
        done = true;
    });
    kltest::waitUntil([&] { std::lock_guard lock(mutex); return done; }, 5000);
    std::lock_guard lock(mutex);
    return result;
}

int receivedLevel(const std::shared_ptr<KLRTCMediaConnection> &connection)
{
    for (const QJsonValue &entry : status(connection).value(QLatin1String("audio")).toArray())
        if (!entry.toObject().value(QLatin1String("sendAudio")).toBool())
            return entry.toObject().value(QLatin1String("oLevel")).toInt();
    return -1;
}

QJsonObject sentAudio(const std::shared_ptr<KLRTCMediaConnection> &connection)
{
    for (const QJsonValue &entry : status(connection).value(QLatin1String("audio")).toArray())
        if (entry.toObject().value(QLatin1String("sendAudio")).toBool())
            return entry.toObject();
    return {};
}

quint32 FrameView::pixel(int x, int y) const
{
    std::lock_guard lock(m_mutex);
    if (x < 0 || y < 0 || x >= m_last.width || y >= m_last.height)
        return 0;
    // Decoded frames are ARGB32 (or RGB32): native 0xAARRGGBB words.
    return 0xff000000u | reinterpret_cast<const quint32 *>(m_last.pixels.constData() + qsizetype(y) * m_last.bytesPerLine)[x];
}

bool FrameView::near(int x, int y, quint32 expected) const
{
    const quint32 seen = pixel(x, y);
    for (int shift : {16, 8, 0})
        if (std::abs(int(seen >> shift & 0xff) - int(expected >> shift & 0xff)) >= 24)
            return false;
    return true;
}

} // namespace kltest::webrtc
