// The fakes of the engine's singletons and of the ICE server detection.
#include "media/fake/KLFakeMediaSDK.h"

#include <algorithm>

// ---- KLFakeMediaDeviceManager ------------------------------------------------------------

KLFakeMediaDeviceManager::KLFakeMediaDeviceManager(std::shared_ptr<KLFakeMediaCallLog> log)
    : KLFakeMediaObject(std::move(log), QStringLiteral("deviceManager"))
{
}

void KLFakeMediaDeviceManager::setDevices(const QList<KLRTCMediaDevice> &devices)
{
    std::lock_guard lock(m_mutex);
    m_devices = devices;
}

bool KLFakeMediaDeviceManager::plugDevice(const KLRTCMediaDevice &device)
{
    std::shared_ptr<KLRTCMediaDeviceManagerDelegate> delegate;
    {
        std::lock_guard lock(m_mutex);
        m_devices.removeIf([&](const KLRTCMediaDevice &known) {
            return known.deviceId == device.deviceId && known.deviceType == device.deviceType;
        });
        m_devices.append(device);
        delegate = m_delegate.lock();
    }
    if (!delegate)
        return false;
    delegate->mediaDeviceChangeForAdd(true, device);
    return true;
}

bool KLFakeMediaDeviceManager::unplugDevice(const QString &deviceId, int type)
{
    std::optional<KLRTCMediaDevice> removed;
    std::shared_ptr<KLRTCMediaDeviceManagerDelegate> delegate;
    {
        std::lock_guard lock(m_mutex);
        for (qsizetype i = 0; i < m_devices.size(); ++i) {
            if (m_devices[i].deviceId == deviceId && m_devices[i].deviceType == type) {
                removed = m_devices.takeAt(i);
                break;
            }
        }
        delegate = m_delegate.lock();
    }
    if (!removed || !delegate)
        return false;
    delegate->mediaDeviceChangeForAdd(false, *removed);
    return true;
}

void KLFakeMediaDeviceManager::initWithDelegate(std::weak_ptr<KLRTCMediaDeviceManagerDelegate> delegate)
{
    {
        std::lock_guard lock(m_mutex);
        m_delegate = std::move(delegate);
    }
    record(QStringLiteral("initWithDelegate"));
}

QList<KLRTCMediaDevice> KLFakeMediaDeviceManager::getDeviceByType(int type)
{
    std::lock_guard lock(m_mutex);
    QList<KLRTCMediaDevice> found;
    for (const auto &device : std::as_const(m_devices)) {
        if (device.deviceType == type)
            found.append(device);
    }
    return found;
}

std::optional<KLRTCMediaDevice> KLFakeMediaDeviceManager::getDeviceById(const QString &deviceId,
                                                                         int type)
{
    std::lock_guard lock(m_mutex);
    for (const auto &device : std::as_const(m_devices)) {
        if (device.deviceId == deviceId && device.deviceType == type)
            return device;
    }
    return std::nullopt;
}

std::optional<KLRTCMediaDevice> KLFakeMediaDeviceManager::getDeviceByTypeTransport(int type,
                                                                                   int transport)
{
    std::lock_guard lock(m_mutex);
    for (const auto &device : std::as_const(m_devices)) {
        if (device.deviceType == type && device.transportType == transport)
            return device;
    }
    return std::nullopt;
}

QList<KLRTCMediaDevice> KLFakeMediaDeviceManager::deviceArray()
{
    std::lock_guard lock(m_mutex);
    return m_devices;
}

void KLFakeMediaDeviceManager::updateAllDeviceName()
{
    record(QStringLiteral("updateAllDeviceName"));
}

void KLFakeMediaDeviceManager::startPlayingFile(const QString &path)
{
    record(QStringLiteral("startPlayingFile"), {path});
}

// ---- KLFakeMediaSettingStore -------------------------------------------------------------

void KLFakeMediaSettingStore::setComputerModel(const QString &model)
{
    std::lock_guard lock(m_mutex);
    m_computerModel = model;
}

QString KLFakeMediaSettingStore::getComputerModel()
{
    record(QStringLiteral("getComputerModel"));
    std::lock_guard lock(m_mutex);
    return m_computerModel;
}

void KLFakeMediaSettingStore::webrtcFileStop()
{
    record(QStringLiteral("webrtcFileStop"));
}

#define KL_FAKE_SETTER(member, Type)                \
    void KLFakeMediaSettingStore::member(Type value) \
    {                                               \
        record(QStringLiteral(#member), {value});   \
    }

KL_FAKE_SETTER(setDefaultsForBitrateAllocatorIgnoreBWE, bool)
KL_FAKE_SETTER(setDefaultsForVideoMacUseH264HwDecoder, bool)
KL_FAKE_SETTER(setDefaultsForHowlingSuppression, bool)
KL_FAKE_SETTER(setDefaultsForScreenShareBwe, bool)
KL_FAKE_SETTER(setDefaultsForScreenShareBottomKbps, int)
KL_FAKE_SETTER(setDefaultsForAudioAec3, bool)
KL_FAKE_SETTER(setDefaultsForEnableCloseVideo, bool)
KL_FAKE_SETTER(setDefaultsForNetEqMaxPackets, int)
KL_FAKE_SETTER(setDefaultsForOpusPacketLostUp, float)
KL_FAKE_SETTER(setDefaultsForHowingDetectionCount, int)
KL_FAKE_SETTER(setDefaultsForHowingMsgCount, int)
KL_FAKE_SETTER(setDefaultsForHowingSuppressionCount, int)
KL_FAKE_SETTER(setDefaultsForMacMicVolume, int)

#undef KL_FAKE_SETTER

// ---- KLFakeCommonWebRtcMsgManager --------------------------------------------------------

std::shared_ptr<KLRTCCommonWebRtcMsgManagerDelegate> KLFakeCommonWebRtcMsgManager::delegate() const
{
    std::lock_guard lock(m_mutex);
    return m_delegate.lock();
}

bool KLFakeCommonWebRtcMsgManager::raiseIncomingCommonWebRtcMsg(qint32 type)
{
    auto target = delegate();
    if (!target)
        return false;
    target->IncomingCommonWebRtcMsg(type);
    return true;
}

bool KLFakeCommonWebRtcMsgManager::raiseRTCLog(const QString &log)
{
    auto target = delegate();
    if (!target)
        return false;
    target->didGetRTCLog(log);
    return true;
}

bool KLFakeCommonWebRtcMsgManager::raiseMediaError(qint32 code, qint32 reason)
{
    auto target = delegate();
    if (!target)
        return false;
    target->didGetMediaError(code, reason);
    return true;
}

void KLFakeCommonWebRtcMsgManager::initWithDelegate(
    std::weak_ptr<KLRTCCommonWebRtcMsgManagerDelegate> delegate)
{
    {
        std::lock_guard lock(m_mutex);
        m_delegate = std::move(delegate);
    }
    record(QStringLiteral("initWithDelegate"));
}

void KLFakeCommonWebRtcMsgManager::startRTCLogWithMaxBytes(qint64 maxBytes)
{
    record(QStringLiteral("startRTCLogWithMaxBytes"), {maxBytes});
}

void KLFakeCommonWebRtcMsgManager::stopRTCLog()
{
    record(QStringLiteral("stopRTCLog"));
}

// ---- KLFakeMediaLocalTurnDetect ----------------------------------------------------------

QJsonArray KLFakeMediaLocalTurnDetect::iceServers() const
{
    std::lock_guard lock(m_mutex);
    return m_iceServers;
}

bool KLFakeMediaLocalTurnDetect::isPending() const
{
    std::lock_guard lock(m_mutex);
    return bool(m_pending);
}

bool KLFakeMediaLocalTurnDetect::complete(const QJsonArray &ips, const QJsonArray &iceRtts,
                                          const QString &localIp)
{
    KLRTCMediaTurnDetectHandler handler;
    {
        std::lock_guard lock(m_mutex);
        handler = std::exchange(m_pending, nullptr);
    }
    if (!handler)
        return false;
    handler(ips, iceRtts, localIp);
    return true;
}

void KLFakeMediaLocalTurnDetect::detectLocalTurnServerWithIceServices(
    const QJsonArray &iceServers, KLRTCMediaTurnDetectHandler completionHandler)
{
    {
        std::lock_guard lock(m_mutex);
        m_iceServers = iceServers;
        m_pending = std::move(completionHandler);
    }
    record(QStringLiteral("detectLocalTurnServerWithIceServices"), {QJsonValue(iceServers)});
}
