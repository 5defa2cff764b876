#include "conference/devices/KLDeviceManager.h"

#include "cloudlog/KLQLSLogger.h"
#include "host/UserPersistentData.h"
#include "media/KLRTCMediaSDK.h"
#include "runtime/KLNotificationCenter.h"
#include "runtime/KLNotificationNames.h"
#include "runtime/KLSDKLog.h"

#include <QJsonObject>

namespace {

const QString kTag = QStringLiteral("KLDeviceManager");

// Monitor record of a switch and of the inventory: level 3 (info), group 1.
constexpr int kRecordLevel = 3;
constexpr int kRecordGroup = 1;

std::shared_ptr<KLRTCMediaDeviceManager> engineDevices()
{
    return KLRTCMediaSDK::shared()->deviceManager();
}

/// The "value" of a switch record for a device type.
QString switchRecordValue(int type)
{
    switch (type) {
    case KLRTCMediaDeviceTypeMic:
        return QStringLiteral("switchAudioInputDevice");
    case KLRTCMediaDeviceTypeSpeaker:
        return QStringLiteral("switchAudioOutputDevice");
    default:
        return QStringLiteral("switchVideoDevice");
    }
}

/// The "type" of an inventory record; empty for codes the log service does not know.
QString inventoryTypeName(int type)
{
    switch (type) {
    case KLRTCMediaDeviceTypeMic:
        return QStringLiteral("audioInput");
    case KLRTCMediaDeviceTypeSpeaker:
        return QStringLiteral("audioOutput");
    case KLRTCMediaDeviceTypeCamera:
        return QStringLiteral("camera");
    default:
        return QString();
    }
}

/// A device name as the switch record writes it: "null" for no device or no name.
QString recordName(const std::optional<KLRTCMediaDevice> &device)
{
    if (!device || device->deviceName.isEmpty())
        return QStringLiteral("null");
    return device->deviceName;
}

QString describe(const std::optional<KLRTCMediaDevice> &device)
{
    if (!device)
        return QStringLiteral("none");
    return QStringLiteral("%1 [%2, transport %3]")
        .arg(device->deviceName, device->deviceId)
        .arg(device->transportType);
}

} // namespace

std::shared_ptr<KLDeviceManager> KLDeviceManager::sharedInstance()
{
    static const std::shared_ptr<KLDeviceManager> instance = create(); // thread-safe
    return instance;
}

std::shared_ptr<KLDeviceManager> KLDeviceManager::create()
{
    std::shared_ptr<KLDeviceManager> manager(new KLDeviceManager);
    manager->registerWithEngine();
    return manager;
}

KLDeviceManager::~KLDeviceManager() = default;

void KLDeviceManager::registerWithEngine()
{
    const auto devices = engineDevices();
    {
        std::lock_guard lock(m_mutex);
        if (m_registeredWith.lock() == devices)
            return;
        m_registeredWith = devices;
    }
    devices->initWithDelegate(weak_from_this());
}

void KLDeviceManager::initWithConferenceManager(const void *conferenceManager,
                                                bool autoSwitchBlueToothDevice)
{
    {
        std::lock_guard lock(m_mutex);
        m_conferenceManager = conferenceManager;
        m_autoSwitchBlueToothDevice = autoSwitchBlueToothDevice;
    }
    registerWithEngine();
    initCurrentDevice();
}

void KLDeviceManager::setMediaConnection(std::weak_ptr<KLRTCMediaConnection> connection)
{
    std::lock_guard lock(m_mutex);
    m_connection = std::move(connection);
}

const void *KLDeviceManager::conferenceManager() const
{
    std::lock_guard lock(m_mutex);
    return m_conferenceManager;
}

bool KLDeviceManager::autoSwitchBlueToothDevice() const
{
    std::lock_guard lock(m_mutex);
    return m_autoSwitchBlueToothDevice;
}

std::optional<KLRTCMediaDevice> KLDeviceManager::currentAudioInput() const
{
    std::lock_guard lock(m_mutex);
    return m_currentAudioInput;
}

std::optional<KLRTCMediaDevice> KLDeviceManager::currentAudioOutput() const
{
    std::lock_guard lock(m_mutex);
    return m_currentAudioOutput;
}

std::optional<KLRTCMediaDevice> KLDeviceManager::currntVideoInput() const
{
    std::lock_guard lock(m_mutex);
    return m_currntVideoInput;
}

std::optional<KLRTCMediaDevice> KLDeviceManager::chooseAudioDevice(int type,
                                                                   const QString &headphoneId) const
{
    const auto devices = engineDevices();
    if (autoSwitchBlueToothDevice()) {
        if (auto bluetooth = devices->getDeviceByTypeTransport(type, KLRTCMediaTransportBluetooth))
            return bluetooth;
    }
    if (auto headphone = devices->getDeviceById(headphoneId, type))
        return headphone;

    const QList<KLRTCMediaDevice> all = devices->getDeviceByType(type);
    const std::optional<KLRTCMediaDevice> first =
        all.isEmpty() ? std::nullopt : std::optional<KLRTCMediaDevice>(all.first());

    const QString persistedId = UserPersistentData::sharedInstance().readDeviceWithType(type);
    if (!persistedId.isEmpty()) {
        if (auto persisted = devices->getDeviceById(persistedId, type)) {
            if (persisted->transportType == KLRTCMediaTransportNotRestored) {
                KL_LOG_INFO(kTag, QStringLiteral("persisted device %1 (type %2) has transport %3 "
                                                 "and is not restored")
                                      .arg(persistedId)
                                      .arg(type)
                                      .arg(int(KLRTCMediaTransportNotRestored)));
                return first;
            }
            return persisted;
        }
    }
    return first;
}

void KLDeviceManager::initCurrentDevice()
{
    const auto devices = engineDevices();

    if (auto input = chooseAudioDevice(KLRTCMediaDeviceTypeMic,
                                       QLatin1String(kBuiltInHeadphoneInputDevice)))
        setCurrentAudioInput(*input);
    else
        KL_LOG_WARN(kTag, QStringLiteral("no audio input device"));

    std::optional<KLRTCMediaDevice> camera;
    const QString persistedCamera =
        UserPersistentData::sharedInstance().readDeviceWithType(KLRTCMediaDeviceTypeCamera);
    if (!persistedCamera.isEmpty())
        camera = devices->getDeviceById(persistedCamera, KLRTCMediaDeviceTypeCamera);
    if (!camera) {
        const QList<KLRTCMediaDevice> cameras = devices->getDeviceByType(KLRTCMediaDeviceTypeCamera);
        if (!cameras.isEmpty())
            camera = cameras.first();
    }
    if (camera)
        setCurrntVideoInput(*camera);
    else
        KL_LOG_WARN(kTag, QStringLiteral("no camera"));

    if (auto output = chooseAudioDevice(KLRTCMediaDeviceTypeSpeaker,
                                        QLatin1String(kBuiltInHeadphoneOutputDevice)))
        setCurrentAudioOutput(*output);
    else
        KL_LOG_WARN(kTag, QStringLiteral("no audio output device"));
}

void KLDeviceManager::setCurrentAudioInput(const KLRTCMediaDevice &device)
{
    switchDevice(KLRTCMediaDeviceTypeMic, device);
}

void KLDeviceManager::setCurrentAudioOutput(const KLRTCMediaDevice &device)
{
    switchDevice(KLRTCMediaDeviceTypeSpeaker, device);
}

void KLDeviceManager::setCurrntVideoInput(const KLRTCMediaDevice &device)
{
    switchDevice(KLRTCMediaDeviceTypeCamera, device);
}

std::optional<KLRTCMediaDevice> &KLDeviceManager::slot(int type)
{
    switch (type) {
    case KLRTCMediaDeviceTypeMic:
        return m_currentAudioInput;
    case KLRTCMediaDeviceTypeSpeaker:
        return m_currentAudioOutput;
    default:
        return m_currntVideoInput;
    }
}

void KLDeviceManager::switchDevice(int type, const KLRTCMediaDevice &device)
{
    std::optional<KLRTCMediaDevice> before;
    {
        // Compare and replace in one step, so that two switches racing each other (a plug
        // notice and the settings window) cannot both report the same "before".
        std::lock_guard lock(m_mutex);
        std::optional<KLRTCMediaDevice> &current = slot(type);
        if (current && current->deviceId == device.deviceId)
            return;
        before = current;
        current = device;
    }

    KLQLSLogger::sharedInstance().commitMonitorLevel(
        kRecordLevel, kRecordGroup,
        QJsonObject{{QStringLiteral("value"), switchRecordValue(type)},
                    {QStringLiteral("before"), recordName(before)},
                    {QStringLiteral("after"), recordName(device)}});
    KL_LOG_INFO(kTag, QStringLiteral("%1: %2 -> %3")
                          .arg(switchRecordValue(type), describe(before), describe(device)));

    if (!UserPersistentData::sharedInstance().writeDevice(device.deviceId, type))
        KL_LOG_WARN(kTag, QStringLiteral("could not persist device %1 of type %2")
                              .arg(device.deviceId)
                              .arg(type));

    applyToConnection(type, device);
}

void KLDeviceManager::applyToConnection(int type, const KLRTCMediaDevice &device)
{
    std::shared_ptr<KLRTCMediaConnection> connection;
    const void *sender = nullptr;
    {
        std::lock_guard lock(m_mutex);
        connection = m_connection.lock();
        sender = m_conferenceManager;
    }
    if (!connection)
        return;
    switch (type) {
    case KLRTCMediaDeviceTypeMic:
        connection->changeAudioInputDevice(device.deviceId);
        break;
    case KLRTCMediaDeviceTypeSpeaker:
        connection->changeAudioOutputDevice(device.deviceId);
        break;
    default:
        connection->changeVideoInputDevice(device.deviceId, kVideoWidth, kVideoHeight);
        KLNotificationCenter::defaultCenter().postNotification(
            KLNotificationNames::ChangeVideoDevice, sender);
        break;
    }
}

QList<KLRTCMediaDevice> KLDeviceManager::audioInputDevice() const
{
    return engineDevices()->getDeviceByType(KLRTCMediaDeviceTypeMic);
}

QList<KLRTCMediaDevice> KLDeviceManager::audioOutputDevice() const
{
    return engineDevices()->getDeviceByType(KLRTCMediaDeviceTypeSpeaker);
}

QList<KLRTCMediaDevice> KLDeviceManager::videoDevice() const
{
    return engineDevices()->getDeviceByType(KLRTCMediaDeviceTypeCamera);
}

QList<KLRTCMediaDevice> KLDeviceManager::deviceArray() const
{
    return engineDevices()->deviceArray();
}

std::optional<KLRTCMediaDevice> KLDeviceManager::deviceById(const QString &deviceId,
                                                            int type) const
{
    return engineDevices()->getDeviceById(deviceId, type);
}

std::optional<KLRTCMediaDevice> KLDeviceManager::deviceByType(int type, int transport) const
{
    return engineDevices()->getDeviceByTypeTransport(type, transport);
}

bool KLDeviceManager::hasDeviceOfType(int type) const
{
    return !engineDevices()->getDeviceByType(type).isEmpty();
}

void KLDeviceManager::updateAllDeviceName()
{
    engineDevices()->updateAllDeviceName();
}

void KLDeviceManager::startPlayingFile(const QString &path)
{
    engineDevices()->startPlayingFile(path);
}

void KLDeviceManager::uploadAllDeviceToQls()
{
    const QList<KLRTCMediaDevice> devices = engineDevices()->deviceArray();
    for (const KLRTCMediaDevice &device : devices) {
        QJsonObject record{{QStringLiteral("value"), QStringLiteral("enumDevice")},
                           {QStringLiteral("transportType"), device.transportType}};
        if (!device.deviceName.isEmpty())
            record.insert(QStringLiteral("deviceName"), device.deviceName);
        if (!device.deviceId.isEmpty())
            record.insert(QStringLiteral("deviceId"), device.deviceId);
        const QString typeName = inventoryTypeName(device.deviceType);
        if (!typeName.isEmpty())
            record.insert(QStringLiteral("type"), typeName);
        KLQLSLogger::sharedInstance().commitMonitorLevel(kRecordLevel, kRecordGroup, record);
    }
}

void KLDeviceManager::mediaDeviceChangeForAdd(bool add, const KLRTCMediaDevice &device)
{
    KL_LOG_INFO(kTag, QStringLiteral("device %1: %2 (type %3)")
                          .arg(add ? QStringLiteral("added") : QStringLiteral("removed"),
                               describe(device))
                          .arg(device.deviceType));
    const int type = device.deviceType;
    const bool known = type == KLRTCMediaDeviceTypeMic || type == KLRTCMediaDeviceTypeSpeaker ||
                       type == KLRTCMediaDeviceTypeCamera;
    if (!known) {
        KL_LOG_WARN(kTag, QStringLiteral("device type %1 is not one the meeting uses").arg(type));
    } else if (add) {
        switchDevice(type, device);
    } else {
        const QList<KLRTCMediaDevice> remaining = engineDevices()->getDeviceByType(type);
        if (!remaining.isEmpty())
            switchDevice(type, remaining.first());
    }
    KLNotificationCenter::defaultCenter().postNotification(KLNotificationNames::DEVICE_CHANGE);
}
