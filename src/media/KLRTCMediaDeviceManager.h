#pragma once

#include "media/KLRTCMediaTypes.h"

#include <QList>
#include <QString>

#include <memory>
#include <optional>

/// Receives device plug and unplug notices.
class KLRTCMediaDeviceManagerDelegate {
public:
    virtual ~KLRTCMediaDeviceManagerDelegate() = default;

    /// `device` was plugged in (`add` true) or removed (`add` false). Called on an engine
    /// thread; the device lists already reflect the change.
    virtual void mediaDeviceChangeForAdd(bool add, const KLRTCMediaDevice &device) = 0;
};

/// The engine's device inventory: one per engine (KLRTCMediaSDK::deviceManager), living for the
/// process.
///
/// Threads: every member may be called from any thread; notices arrive on engine threads.
class KLRTCMediaDeviceManager {
public:
    virtual ~KLRTCMediaDeviceManager() = default;

    /// Registers the delegate (replacing any earlier one). Held weakly.
    virtual void initWithDelegate(std::weak_ptr<KLRTCMediaDeviceManagerDelegate> delegate) = 0;

    /// Devices of a KLRTCMediaDeviceType, in the engine's order (the first is the default).
    virtual QList<KLRTCMediaDevice> getDeviceByType(int type) = 0;
    /// The device with this id and type, if present.
    virtual std::optional<KLRTCMediaDevice> getDeviceById(const QString &deviceId, int type) = 0;
    /// The first device of this type with this transport code, if present.
    virtual std::optional<KLRTCMediaDevice> getDeviceByTypeTransport(int type, int transport) = 0;
    /// Every device of every type.
    virtual QList<KLRTCMediaDevice> deviceArray() = 0;
    /// Reads the device names again (they may change while devices stay plugged in).
    virtual void updateAllDeviceName() = 0;
    /// Plays a sound file on the current audio output (the settings window's speaker test).
    virtual void startPlayingFile(const QString &path) = 0;
};
