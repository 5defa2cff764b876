#pragma once

// The WebRTC media engine: real audio and video through a Janus media server (VideoRoom plugin)
// on GStreamer's webrtcbin. Devices come from GStreamer's device monitor; kept defaults, engine
// messages and ICE server probes are the built-in engine's, which do not depend on how media flows.

#include "media/KLRTCMediaSDK.h"

#include <memory>

class KLBuiltinMessageManager;
class KLBuiltinSettingStore;
class KLDispatchQueue;
class KLWebRtcDeviceMonitor;

class KLWebRtcMediaSDK final : public KLRTCMediaSDK {
public:
    /// True when GStreamer and every element the engine needs are there; `error` says what is missing.
    static bool available(QString *error = nullptr);

    KLWebRtcMediaSDK();
    ~KLWebRtcMediaSDK() override;

    /// `connectionParam` keys read: "rtcWsRegInfo" ("signalingServer": the Janus WebSocket URL;
    /// "regInfo": "appointmentId" the room, "memberUuid" the feed id, "token" Janus's token),
    /// "iceServices" (the ICE list), "iceTransportPolicy" ("relay" for TURN only), "caFile",
    /// "displayName" and "bizInfo" for the display name.
    std::shared_ptr<KLRTCMediaConnection>
    createConnection(const QJsonObject &connectionParam, int mode, int transport, bool openDataChannel,
                     bool useSimulcast, std::weak_ptr<KLRTCMediaConnectionDelegate> delegate) override;
    /// As the boundary describes. "micId" and "speakerId" name devices of deviceManager() (the
    /// default ones when empty or not listed); "micId" "test-tone" sends a 440 Hz tone.
    std::shared_ptr<KLRTCMediaStream> createStream(const QJsonObject &mediaDictionary,
                                                   std::weak_ptr<KLRTCMediaStreamDelegate> delegate) override;
    std::shared_ptr<KLRTCMediaLocalTurnDetect> createLocalTurnDetect() override;
    std::shared_ptr<KLRTCMediaDeviceManager> deviceManager() override;
    std::shared_ptr<KLRTCMediaSettingStore> settingStore() override;
    std::shared_ptr<KLRTCCommonWebRtcMsgManager> messageManager() override;

private:
    const std::shared_ptr<KLDispatchQueue> m_queue;
    const std::shared_ptr<KLWebRtcDeviceMonitor> m_devices;
    const std::shared_ptr<KLBuiltinSettingStore> m_settings;
    const std::shared_ptr<KLBuiltinMessageManager> m_messages;
};
