#pragma once

// The media engine as the SDK sees it: one object that makes connections, streams and
// detections and hands out the engine's singletons. The SDK reaches its engine only through
// KLRTCMediaSDK::shared().

#include "media/KLRTCCommonWebRtcMsgManager.h"
#include "media/KLRTCMediaConnection.h"
#include "media/KLRTCMediaDeviceManager.h"
#include "media/KLRTCMediaLocalTurnDetect.h"
#include "media/KLRTCMediaSettingStore.h"
#include "media/KLRTCMediaStream.h"
#include "media/KLRTCMediaTypes.h"
#include "media/KLRTCMediaVideoRenderView.h"

#include <QJsonObject>

#include <functional>
#include <memory>

/// An engine. Every member may be called from any thread.
///
/// Which engine is used: the one installed with install(); with none installed, the default
/// engine made by the factory given to registerDefaultEngine() (the built-in engine registers
/// itself there); with neither, a null engine (an error is logged once) whose connection,
/// stream and detection factories return null and whose singletons accept every call and do
/// nothing (no devices, an empty computer model).
class KLRTCMediaSDK {
public:
    virtual ~KLRTCMediaSDK() = default;

    /// The engine in use (never null).
    static std::shared_ptr<KLRTCMediaSDK> shared();
    /// Makes `engine` the one in use; null goes back to the default (or null) engine. Objects
    /// made by the previous engine keep working with it.
    static void install(std::shared_ptr<KLRTCMediaSDK> engine);
    /// The engine given to install(), null when none is (the default engine is not made).
    static std::shared_ptr<KLRTCMediaSDK> installed();
    /// The factory of the engine used when none is installed; called on first use, its engine
    /// then kept. Registering again (or null) drops the default engine made so far.
    static void registerDefaultEngine(std::function<std::shared_ptr<KLRTCMediaSDK>()> factory);

    /// A new media connection. `connectionParam` holds "iceServices", "rtcWsRegInfo" (with the
    /// media server's "signalingServer"), "bizInfo" and, for multi-projector runs, further
    /// keys; the SDK passes `mode` 1 and `transport` 0 (KLRTCMediaConnectionModeDefault,
    /// KLRTCMediaConnectionTransportDefault). The delegate is held weakly.
    virtual std::shared_ptr<KLRTCMediaConnection>
    createConnection(const QJsonObject &connectionParam, int mode, int transport,
                     bool openDataChannel, bool useSimulcast,
                     std::weak_ptr<KLRTCMediaConnectionDelegate> delegate) = 0;

    /// A new local stream described by `mediaDictionary`: "audio", "video" (bools),
    /// "cameraId", "micId", "speakerId" (device ids), "vWidth", "vHeight" (integers),
    /// "KLRTCMedia-Video-Beauty" (bool) for the camera stream; "screen" (bool) and "screenFps"
    /// (integer) for a screen share; "fakeStream" (bool) for the placeholder. Call initStream
    /// next; the delegate (held weakly) then gets state 0.
    virtual std::shared_ptr<KLRTCMediaStream>
    createStream(const QJsonObject &mediaDictionary,
                 std::weak_ptr<KLRTCMediaStreamDelegate> delegate) = 0;

    /// A fresh ICE server detection.
    virtual std::shared_ptr<KLRTCMediaLocalTurnDetect> createLocalTurnDetect() = 0;

    /// The engine's singletons: the same object on every call.
    virtual std::shared_ptr<KLRTCMediaDeviceManager> deviceManager() = 0;
    virtual std::shared_ptr<KLRTCMediaSettingStore> settingStore() = 0;
    virtual std::shared_ptr<KLRTCCommonWebRtcMsgManager> messageManager() = 0;
};
