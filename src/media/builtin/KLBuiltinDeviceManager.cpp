#include "media/builtin/KLBuiltinDeviceManager.h"

#include "media/KLRTCMediaLogging.h"
#include "runtime/KLDispatchQueue.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

KLBuiltinDeviceManager::KLBuiltinDeviceManager(std::shared_ptr<KLDispatchQueue> queue)
    : m_queue(std::move(queue))
{
    const QByteArray configured = qgetenv("KELVO_MEDIA_DEVICES");
    m_devices = configured.isEmpty() ? defaultDevices() : parseDevices(configured);
    if (!configured.isEmpty() && m_devices.isEmpty())
        m_devices = defaultDevices();
}

QList<KLRTCMediaDevice> KLBuiltinDeviceManager::defaultDevices()
{
    return {
        {QStringLiteral("builtin-camera"), QStringLiteral("Integrated Camera"), KLRTCMediaDeviceTypeCamera, TransportBuiltIn},
        {QStringLiteral("builtin-mic"), QStringLiteral("Built-in Microphone"), KLRTCMediaDeviceTypeMic, TransportBuiltIn},
        {QStringLiteral("builtin-speaker"), QStringLiteral("Built-in Speakers"), KLRTCMediaDeviceTypeSpeaker, TransportBuiltIn},
        {QStringLiteral("usb-headset-mic"), QStringLiteral("USB Headset Microphone"), KLRTCMediaDeviceTypeMic, TransportUsb},
        {QStringLiteral("usb-headset-speaker"), QStringLiteral("USB Headset"), KLRTCMediaDeviceTypeSpeaker, TransportUsb},
    };
}

QList<KLRTCMediaDevice> KLBuiltinDeviceManager::parseDevices(const QByteArray &json)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (!document.isArray()) {
        KL_ENGINE_LOG(8, QStringLiteral("KELVO_MEDIA_DEVICES is not a JSON array (%1): defaults used")
                             .arg(error.errorString()));
        return {};
    }
    QList<KLRTCMediaDevice> devices;
    for (const QJsonValue &entry : document.array()) {
        const QJsonObject object = entry.toObject();
        KLRTCMediaDevice device{object.value(QLatin1String("id")).toString(),
                                object.value(QLatin1String("name")).toString(),
                                object.value(QLatin1String("type")).toInt(),
                                object.value(QLatin1String("transport")).toInt()};
        if (device.deviceId.isEmpty() || device.deviceType < KLRTCMediaDeviceTypeCamera ||
            device.deviceType > KLRTCMediaDeviceTypeMic) {
            KL_ENGINE_LOG(8, QStringLiteral("device entry skipped: %1")
                                 .arg(QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact))));
            continue;
        }
        devices.append(device);
    }
    return devices;
}

void KLBuiltinDeviceManager::initWithDelegate(std::weak_ptr<KLRTCMediaDeviceManagerDelegate> delegate)
{
    std::lock_guard lock(m_mutex);
    m_delegate = std::move(delegate);
}

QList<KLRTCMediaDevice> KLBuiltinDeviceManager::getDeviceByType(int type)
{
    std::lock_guard lock(m_mutex);
    QList<KLRTCMediaDevice> devices;
    for (const KLRTCMediaDevice &device : m_devices)
        if (device.deviceType == type)
            devices.append(device);
    return devices;
}

std::optional<KLRTCMediaDevice> KLBuiltinDeviceManager::getDeviceById(const QString &deviceId, int type)
{
    std::lock_guard lock(m_mutex);
    for (const KLRTCMediaDevice &device : m_devices)
        if (device.deviceType == type && device.deviceId == deviceId)
            return device;
    return std::nullopt;
}

std::optional<KLRTCMediaDevice> KLBuiltinDeviceManager::getDeviceByTypeTransport(int type, int transport)
{
    std::lock_guard lock(m_mutex);
    for (const KLRTCMediaDevice &device : m_devices)
        if (device.deviceType == type && device.transportType == transport)
            return device;
    return std::nullopt;
}

QList<KLRTCMediaDevice> KLBuiltinDeviceManager::deviceArray()
{
    std::lock_guard lock(m_mutex);
    return m_devices;
}

void KLBuiltinDeviceManager::updateAllDeviceName()
{
    // The configured names are the names; nothing to read again.
    KL_ENGINE_LOG(4, QStringLiteral("device names up to date (%1 devices)").arg(deviceArray().size()));
}

void KLBuiltinDeviceManager::startPlayingFile(const QString &path)
{
    if (!QFileInfo(path).isFile())
        KL_ENGINE_LOG(8, QStringLiteral("cannot play %1: no such file").arg(path));
    else
        KL_ENGINE_LOG(4, QStringLiteral("playing %1 on the current output").arg(path));
    std::lock_guard lock(m_mutex);
    m_lastPlayed = path;
}

QString KLBuiltinDeviceManager::lastPlayedFile() const
{
    std::lock_guard lock(m_mutex);
    return m_lastPlayed;
}

void KLBuiltinDeviceManager::setDevices(const QList<KLRTCMediaDevice> &devices)
{
    std::lock_guard lock(m_mutex);
    m_devices = devices;
}

void KLBuiltinDeviceManager::plugDevice(const KLRTCMediaDevice &device)
{
    {
        std::lock_guard lock(m_mutex);
        m_devices.removeIf([&](const KLRTCMediaDevice &known) {
            return known.deviceId == device.deviceId && known.deviceType == device.deviceType;
        });
        m_devices.append(device);
    }
    notify(true, device);
}

bool KLBuiltinDeviceManager::unplugDevice(const QString &deviceId, int type)
{
    std::optional<KLRTCMediaDevice> removed;
    {
        std::lock_guard lock(m_mutex);
        for (qsizetype i = 0; i < m_devices.size(); ++i) {
            if (m_devices[i].deviceId == deviceId && m_devices[i].deviceType == type) {
                removed = m_devices.takeAt(i);
                break;
            }
        }
    }
    if (!removed)
        return false;
    notify(false, *removed);
    return true;
}

void KLBuiltinDeviceManager::notify(bool add, const KLRTCMediaDevice &device)
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
