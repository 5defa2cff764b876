#pragma once

// The SDK's own media engine: media connections to a media server over a verified WebSocket,
// synthetic video and audio, a configurable device inventory, kept defaults, engine messages
// relayed from the media server, and ICE server probes by TCP connect time.
//
// KLRTCMediaSDK::shared() takes defaultFactory() as the default on its first use (unless a
// default engine was registered explicitly before), so a host gets this engine without installing anything.

#include "media/KLRTCMediaSDK.h"

#include <memory>

class KLBuiltinDeviceManager;
class KLBuiltinMessageManager;
class KLBuiltinSettingStore;
class KLDispatchQueue;

class KLBuiltinMediaSDK final : public KLRTCMediaSDK {
public:
    /// Makes the built-in engine the default engine (KLRTCMediaSDK::registerDefaultEngine).
    static void registerAsDefault();
    /// The factory registerAsDefault() registers.
    static std::function<std::shared_ptr<KLRTCMediaSDK>()> defaultFactory();

    KLBuiltinMediaSDK();
    ~KLBuiltinMediaSDK() override;

    /// `connectionParam` keys read: "rtcWsRegInfo" ("signalingServer", "regInfo"), "bizInfo",
    /// "caFile" (a CA file trusted besides the system's authorities; the
    /// conference service puts the meeting dictionary's CA file there), "displayName".
    /// "iceServices" is not used: there is no media path to gather candidates for.
    std::shared_ptr<KLRTCMediaConnection>
    createConnection(const QJsonObject &connectionParam, int mode, int transport, bool openDataChannel,
                     bool useSimulcast, std::weak_ptr<KLRTCMediaConnectionDelegate> delegate) override;
    std::shared_ptr<KLRTCMediaStream> createStream(const QJsonObject &mediaDictionary,
                                                   std::weak_ptr<KLRTCMediaStreamDelegate> delegate) override;
    std::shared_ptr<KLRTCMediaLocalTurnDetect> createLocalTurnDetect() override;
    std::shared_ptr<KLRTCMediaDeviceManager> deviceManager() override;
    std::shared_ptr<KLRTCMediaSettingStore> settingStore() override;
    std::shared_ptr<KLRTCCommonWebRtcMsgManager> messageManager() override;

    // The concrete singletons, for simulation (plug/unplug) and for tests.
    std::shared_ptr<KLBuiltinDeviceManager> builtinDeviceManager() const { return m_devices; }
    std::shared_ptr<KLBuiltinSettingStore> builtinSettingStore() const { return m_settings; }
    std::shared_ptr<KLBuiltinMessageManager> builtinMessageManager() const { return m_messages; }

private:
    const std::shared_ptr<KLDispatchQueue> m_queue; // the engine thread of streams, notices, probes
    const std::shared_ptr<KLBuiltinDeviceManager> m_devices;
    const std::shared_ptr<KLBuiltinSettingStore> m_settings;
    const std::shared_ptr<KLBuiltinMessageManager> m_messages;
};
