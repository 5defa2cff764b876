#include "media/webrtc/KLWebRtcDeviceMonitor.h"

#include "media/KLRTCMediaLogging.h"
#include "media/webrtc/KLWebRtcPeer.h"
#include "runtime/KLDispatchQueue.h"

#include <QFileInfo>

#include <gst/gst.h>

namespace {

QString text(const GstStructure *properties, const char *key)
{
    const gchar *value = properties ? gst_structure_get_string(properties, key) : nullptr;
    return value ? QString::fromUtf8(value) : QString();
}

QString displayName(GstDevice *device)
{
    gchar *name = gst_device_get_display_name(device);
    const QString result = QString::fromUtf8(name ? name : "");
    g_free(name);
    return result;
}

const char *typeName(int type)
{
    switch (type) {
    case KLRTCMediaDeviceTypeCamera: return "camera";
    case KLRTCMediaDeviceTypeMic: return "microphone";
    default: return "speaker";
    }
}

} // namespace

KLWebRtcDeviceMonitor::KLWebRtcDeviceMonitor(std::shared_ptr<KLDispatchQueue> queue) : m_queue(std::move(queue)) {}

KLWebRtcDeviceMonitor::~KLWebRtcDeviceMonitor()
{
    if (m_player) {
        gst_element_set_state(m_player, GST_STATE_NULL);
        gst_object_unref(m_player);
    }
    if (m_monitor) {
        if (m_running)
            gst_device_monitor_stop(m_monitor);
        GstBus *bus = gst_device_monitor_get_bus(m_monitor);
        gst_bus_set_sync_handler(bus, nullptr, nullptr, nullptr);
        gst_object_unref(bus);
        gst_object_unref(m_monitor);
    }
    for (Entry &entry : m_entries)
        gst_object_unref(entry.gst);
}

std::optional<KLRTCMediaDevice> KLWebRtcDeviceMonitor::describe(GstDevice *device)
{
    KLRTCMediaDevice record;
    if (gst_device_has_classes(device, "Video/Source"))
        record.deviceType = KLRTCMediaDeviceTypeCamera;
    else if (gst_device_has_classes(device, "Audio/Source"))
        record.deviceType = KLRTCMediaDeviceTypeMic;
    else if (gst_device_has_classes(device, "Audio/Sink"))
        record.deviceType = KLRTCMediaDeviceTypeSpeaker;
    else
        return std::nullopt;
    record.deviceName = displayName(device);
    GstStructure *properties = gst_device_get_properties(device);
    // The names the system keeps for a device while it stays plugged in and across restarts.
    for (const char *key : {"api.v4l2.path", "device.path", "node.name", "device.name", "udev.id"}) {
        record.deviceId = text(properties, key);
        if (!record.deviceId.isEmpty())
            break;
    }
    if (record.deviceId.isEmpty())
        record.deviceId = record.deviceName;
    const QString bus = text(properties, "device.bus").toLower();
    // The built-in inventory's codes: 0 built in, 1 USB, 2 Bluetooth.
    record.transportType = bus == QLatin1String("usb")         ? 1
                           : bus == QLatin1String("bluetooth") ? int(KLRTCMediaTransportBluetooth)
                                                               : 0;
    if (properties)
        gst_structure_free(properties);
    return record;
}

void KLWebRtcDeviceMonitor::ensureStarted()
{
    std::lock_guard start(m_startMutex);
    if (m_started)
        return;
    m_started = true;
    QString error;
    if (!KLWebRtcPeer::initialise(&error) && !gst_is_initialized()) {
        KL_ENGINE_LOG(8, QStringLiteral("no device monitor: %1").arg(error));
        return;
    }
    m_monitor = gst_device_monitor_new();
    gst_device_monitor_add_filter(m_monitor, "Video/Source", nullptr);
    gst_device_monitor_add_filter(m_monitor, "Audio/Source", nullptr);
    gst_device_monitor_add_filter(m_monitor, "Audio/Sink", nullptr);
    GstBus *bus = gst_device_monitor_get_bus(m_monitor);
    gst_bus_set_sync_handler(bus, reinterpret_cast<GstBusSyncHandler>(&KLWebRtcDeviceMonitor::busMessage), this,
                             nullptr);
    gst_object_unref(bus);
    const bool running = gst_device_monitor_start(m_monitor);
    if (!running)
        KL_ENGINE_LOG(8, QStringLiteral("the device monitor did not start (no device provider): no devices listed"));
    GList *devices = running ? gst_device_monitor_get_devices(m_monitor) : nullptr;
    for (GList *item = devices; item; item = item->next)
        added(GST_DEVICE(item->data));
    g_list_free_full(devices, gst_object_unref);
    {
        std::lock_guard lock(m_mutex);
        m_running = running;
    }
    for (int type : {KLRTCMediaDeviceTypeCamera, KLRTCMediaDeviceTypeMic, KLRTCMediaDeviceTypeSpeaker}) {
        const qsizetype count = listed(type).size();
        if (count > 0)
            KL_ENGINE_LOG(4, QStringLiteral("%1 %2 device(s) found").arg(count).arg(QLatin1String(typeName(type))));
    }
    if (listed(KLRTCMediaDeviceTypeCamera).isEmpty())
        KL_ENGINE_LOG(2, QStringLiteral("no camera: the test pattern with the member's name is sent"));
    if (listed(KLRTCMediaDeviceTypeMic).isEmpty())
        KL_ENGINE_LOG(2, QStringLiteral("no microphone: silence is sent"));
    if (listed(KLRTCMediaDeviceTypeSpeaker).isEmpty())
        KL_ENGINE_LOG(2, QStringLiteral("no speaker: received audio is discarded"));
}

int KLWebRtcDeviceMonitor::busMessage(GstBus *, GstMessage *message, void *data)
{
    auto *self = static_cast<KLWebRtcDeviceMonitor *>(data);
    GstDevice *device = nullptr;
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_DEVICE_ADDED:
        gst_message_parse_device_added(message, &device);
        self->added(device);
        break;
    case GST_MESSAGE_DEVICE_REMOVED:
        gst_message_parse_device_removed(message, &device);
        self->removed(device);
        break;
    case GST_MESSAGE_DEVICE_CHANGED: {
        GstDevice *previous = nullptr;
        gst_message_parse_device_changed(message, &device, &previous);
        self->removed(previous);
        self->added(device);
        if (previous)
            gst_object_unref(previous);
        break;
    }
    default:
        break;
    }
    if (device)
        gst_object_unref(device);
    return GST_BUS_DROP;
}

void KLWebRtcDeviceMonitor::added(GstDevice *device)
{
    const std::optional<KLRTCMediaDevice> record = device ? describe(device) : std::nullopt;
    if (!record)
        return;
    bool announce = false;
    {
        std::lock_guard lock(m_mutex);
        for (const Entry &entry : m_entries)
            if (entry.gst == device)
                return; // listed already (a provider's first devices arrive both ways while it starts)
        GstStructure *properties = gst_device_get_properties(device);
        gboolean isDefault = FALSE;
        if (properties) {
            gst_structure_get_boolean(properties, "is-default", &isDefault);
            gst_structure_free(properties);
        }
        m_entries.push_back({GST_DEVICE(gst_object_ref(device)), *record, bool(isDefault)});
        announce = m_running;
    }
    if (announce) {
        KL_ENGINE_LOG(4, QStringLiteral("%1 plugged: %2 (%3)")
                             .arg(QLatin1String(typeName(record->deviceType)), record->deviceName, record->deviceId));
        notify(true, *record);
    }
}

void KLWebRtcDeviceMonitor::removed(GstDevice *device)
{
    std::optional<KLRTCMediaDevice> record;
    bool announce = false;
    {
        std::lock_guard lock(m_mutex);
        for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
            if (it->gst == device) {
                record = it->device;
                gst_object_unref(it->gst);
                m_entries.erase(it);
                break;
            }
        }
        announce = m_running;
    }
    if (record && announce) {
        KL_ENGINE_LOG(4, QStringLiteral("%1 unplugged: %2 (%3)")
                             .arg(QLatin1String(typeName(record->deviceType)), record->deviceName, record->deviceId));
        notify(false, *record);
    }
}

void KLWebRtcDeviceMonitor::notify(bool add, const KLRTCMediaDevice &device)
{
    std::weak_ptr<KLRTCMediaDeviceManagerDelegate> delegate;
    {
        std::lock_guard lock(m_mutex);
        delegate = m_delegate;
    }
    m_queue->async([delegate, add, device] {
        if (auto receiver = delegate.lock())
            receiver->mediaDeviceChangeForAdd(add, device);
    });
}

bool KLWebRtcDeviceMonitor::monitoring()
{
    ensureStarted();
    std::lock_guard lock(m_mutex);
    return m_running;
}

GstElement *KLWebRtcDeviceMonitor::createElement(int type, const QString &chosenId, KLRTCMediaDevice *used)
{
    ensureStarted();
    GstDevice *device = nullptr;
    KLRTCMediaDevice record;
    {
        std::lock_guard lock(m_mutex);
        const Entry *chosen = nullptr, *fallback = nullptr, *first = nullptr;
        for (const Entry &entry : m_entries) {
            if (entry.device.deviceType != type)
                continue;
            if (!chosenId.isEmpty() && entry.device.deviceId == chosenId && !chosen)
                chosen = &entry;
            if (entry.isDefault && !fallback)
                fallback = &entry;
            if (!first)
                first = &entry;
        }
        const Entry *pick = chosen ? chosen : fallback ? fallback : first;
        if (!pick)
            return nullptr;
        device = GST_DEVICE(gst_object_ref(pick->gst));
        record = pick->device;
    }
    if (!chosenId.isEmpty() && record.deviceId != chosenId)
        KL_ENGINE_LOG(2, QStringLiteral("%1 %2 is not listed: %3 (%4) is used instead")
                             .arg(QLatin1String(typeName(type)), chosenId, record.deviceName, record.deviceId));
    // Made outside the lock: a provider may post to the monitor's bus while making it.
    GstElement *element = gst_device_create_element(device, nullptr);
    gst_object_unref(device);
    if (!element) {
        KL_ENGINE_LOG(8, QStringLiteral("%1 %2 (%3) cannot be opened")
                             .arg(QLatin1String(typeName(type)), record.deviceName, record.deviceId));
        return nullptr;
    }
    if (used)
        *used = record;
    return element;
}

void KLWebRtcDeviceMonitor::initWithDelegate(std::weak_ptr<KLRTCMediaDeviceManagerDelegate> delegate)
{
    {
        std::lock_guard lock(m_mutex);
        m_delegate = std::move(delegate);
    }
    ensureStarted();
}

QList<KLRTCMediaDevice> KLWebRtcDeviceMonitor::getDeviceByType(int type)
{
    ensureStarted();
    return listed(type);
}

QList<KLRTCMediaDevice> KLWebRtcDeviceMonitor::listed(int type) const
{
    std::lock_guard lock(m_mutex);
    QList<KLRTCMediaDevice> devices;
    for (const Entry &entry : m_entries)
        if (entry.device.deviceType == type)
            devices.append(entry.device);
    return devices;
}

std::optional<KLRTCMediaDevice> KLWebRtcDeviceMonitor::getDeviceById(const QString &deviceId, int type)
{
    ensureStarted();
    std::lock_guard lock(m_mutex);
    for (const Entry &entry : m_entries)
        if (entry.device.deviceType == type && entry.device.deviceId == deviceId)
            return entry.device;
    return std::nullopt;
}

std::optional<KLRTCMediaDevice> KLWebRtcDeviceMonitor::getDeviceByTypeTransport(int type, int transport)
{
    ensureStarted();
    std::lock_guard lock(m_mutex);
    for (const Entry &entry : m_entries)
        if (entry.device.deviceType == type && entry.device.transportType == transport)
            return entry.device;
    return std::nullopt;
}

QList<KLRTCMediaDevice> KLWebRtcDeviceMonitor::deviceArray()
{
    ensureStarted();
    std::lock_guard lock(m_mutex);
    QList<KLRTCMediaDevice> devices;
    for (const Entry &entry : m_entries)
        devices.append(entry.device);
    return devices;
}

void KLWebRtcDeviceMonitor::updateAllDeviceName()
{
    ensureStarted();
    std::lock_guard lock(m_mutex);
    for (Entry &entry : m_entries)
        entry.device.deviceName = displayName(entry.gst);
}
