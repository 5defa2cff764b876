#include "media/KLRTCMediaSDK.h"

#include "media/builtin/KLBuiltinMediaSDK.h"

#include "runtime/KLSDKLog.h"

#include <mutex>
#include <utility>

namespace {

const QString kLogTag = QStringLiteral("KLRTCMediaSDK");

class NullDeviceManager final : public KLRTCMediaDeviceManager {
public:
    void initWithDelegate(std::weak_ptr<KLRTCMediaDeviceManagerDelegate>) override {}
    QList<KLRTCMediaDevice> getDeviceByType(int) override { return {}; }
    std::optional<KLRTCMediaDevice> getDeviceById(const QString &, int) override { return {}; }
    std::optional<KLRTCMediaDevice> getDeviceByTypeTransport(int, int) override { return {}; }
    QList<KLRTCMediaDevice> deviceArray() override { return {}; }
    void updateAllDeviceName() override {}
    void startPlayingFile(const QString &) override {}
};

class NullSettingStore final : public KLRTCMediaSettingStore {
public:
    QString getComputerModel() override { return QString(); }
    void webrtcFileStop() override {}
    void setDefaultsForBitrateAllocatorIgnoreBWE(bool) override {}
    void setDefaultsForVideoMacUseH264HwDecoder(bool) override {}
    void setDefaultsForHowlingSuppression(bool) override {}
    void setDefaultsForScreenShareBwe(bool) override {}
    void setDefaultsForScreenShareBottomKbps(int) override {}
    void setDefaultsForAudioAec3(bool) override {}
    void setDefaultsForEnableCloseVideo(bool) override {}
    void setDefaultsForNetEqMaxPackets(int) override {}
    void setDefaultsForOpusPacketLostUp(float) override {}
    void setDefaultsForHowingDetectionCount(int) override {}
    void setDefaultsForHowingMsgCount(int) override {}
    void setDefaultsForHowingSuppressionCount(int) override {}
    void setDefaultsForMacMicVolume(int) override {}
};

class NullMessageManager final : public KLRTCCommonWebRtcMsgManager {
public:
    void initWithDelegate(std::weak_ptr<KLRTCCommonWebRtcMsgManagerDelegate>) override {}
    void startRTCLogWithMaxBytes(qint64) override {}
    void stopRTCLog() override {}
};

/// Stands in when no engine is available: makes nothing, ignores everything.
class NullMediaSDK final : public KLRTCMediaSDK {
public:
    std::shared_ptr<KLRTCMediaConnection> createConnection(
        const QJsonObject &, int, int, bool, bool,
        std::weak_ptr<KLRTCMediaConnectionDelegate>) override
    {
        KL_LOG_ERROR(kLogTag, QStringLiteral("no media engine: connection not created"));
        return nullptr;
    }
    std::shared_ptr<KLRTCMediaStream> createStream(
        const QJsonObject &, std::weak_ptr<KLRTCMediaStreamDelegate>) override
    {
        KL_LOG_ERROR(kLogTag, QStringLiteral("no media engine: stream not created"));
        return nullptr;
    }
    std::shared_ptr<KLRTCMediaLocalTurnDetect> createLocalTurnDetect() override { return nullptr; }
    std::shared_ptr<KLRTCMediaDeviceManager> deviceManager() override { return m_devices; }
    std::shared_ptr<KLRTCMediaSettingStore> settingStore() override { return m_settings; }
    std::shared_ptr<KLRTCCommonWebRtcMsgManager> messageManager() override { return m_messages; }

private:
    const std::shared_ptr<KLRTCMediaDeviceManager> m_devices = std::make_shared<NullDeviceManager>();
    const std::shared_ptr<KLRTCMediaSettingStore> m_settings = std::make_shared<NullSettingStore>();
    const std::shared_ptr<KLRTCCommonWebRtcMsgManager> m_messages =
        std::make_shared<NullMessageManager>();
};

struct EngineSlot {
    std::mutex mutex;
    std::shared_ptr<KLRTCMediaSDK> installed;
    std::shared_ptr<KLRTCMediaSDK> defaultEngine;
    std::function<std::shared_ptr<KLRTCMediaSDK>()> defaultFactory;
    std::shared_ptr<KLRTCMediaSDK> nullEngine;
    bool nullReported = false;
    bool defaultChosen = false; ///< the built-in engine was offered, or a default registered
};

EngineSlot &slot()
{
    static EngineSlot instance;
    return instance;
}

} // namespace

std::shared_ptr<KLRTCMediaSDK> KLRTCMediaSDK::shared()
{
    std::function<std::shared_ptr<KLRTCMediaSDK>()> factory;
    {
        std::lock_guard lock(slot().mutex);
        // First use: the built-in engine becomes the default unless one was registered before.
        if (!std::exchange(slot().defaultChosen, true))
            slot().defaultFactory = KLBuiltinMediaSDK::defaultFactory();
        if (slot().installed)
            return slot().installed;
        if (slot().defaultEngine)
            return slot().defaultEngine;
        factory = slot().defaultFactory;
    }
    // The default engine is made outside the lock: its construction may use the SDK freely.
    std::shared_ptr<KLRTCMediaSDK> made = factory ? factory() : nullptr;

    bool reportNull = false;
    std::shared_ptr<KLRTCMediaSDK> engine;
    {
        std::lock_guard lock(slot().mutex);
        if (slot().installed)
            return slot().installed;
        if (made && !slot().defaultEngine)
            slot().defaultEngine = std::move(made);
        if (slot().defaultEngine)
            return slot().defaultEngine;
        if (!slot().nullEngine)
            slot().nullEngine = std::make_shared<NullMediaSDK>();
        reportNull = !slot().nullReported;
        slot().nullReported = true;
        engine = slot().nullEngine;
    }
    if (reportNull)
        KL_LOG_ERROR(kLogTag, QStringLiteral("no media engine installed: media is unavailable"));
    return engine;
}

void KLRTCMediaSDK::install(std::shared_ptr<KLRTCMediaSDK> engine)
{
    // Declared before the lock so that the previous engine is released after it: its
    // destructor may call back into the SDK.
    std::shared_ptr<KLRTCMediaSDK> previous;
    std::lock_guard lock(slot().mutex);
    previous = std::exchange(slot().installed, std::move(engine));
    slot().nullReported = false;
}

std::shared_ptr<KLRTCMediaSDK> KLRTCMediaSDK::installed()
{
    std::lock_guard lock(slot().mutex);
    return slot().installed;
}

void KLRTCMediaSDK::registerDefaultEngine(std::function<std::shared_ptr<KLRTCMediaSDK>()> factory)
{
    std::shared_ptr<KLRTCMediaSDK> previous; // released after the lock, as in install()
    std::lock_guard lock(slot().mutex);
    slot().defaultChosen = true;
    slot().defaultFactory = std::move(factory);
    previous = std::exchange(slot().defaultEngine, nullptr);
    slot().nullReported = false;
}
