#pragma once

// The WebRTC engine's device inventory: what GStreamer's device monitor finds for
// "Video/Source" (cameras), "Audio/Source" (microphones) and "Audio/Sink" (speakers), kept up to
// date by the monitor's device-added / device-removed messages, which notify the delegate on the
// engine queue as the built-in inventory does when a device is plugged or unplugged.
//
// A device's id is its stable system name (a V4L2 device node, the sound server's node name),
// so the choice the core keeps across runs finds it again; transport 1 for USB and 2 for
// Bluetooth as the sound server reports the bus, 0 otherwise. The monitor starts on first use;
// without a camera or a microphone the lists stay empty and a log line says the stream sends its
// test pattern / silence instead.
//
// It also opens devices: the peers take their microphone's and speaker's elements from
// createElement, and startPlayingFile plays a sound file on the speaker a meeting chose.

#include "media/KLRTCMediaDeviceManager.h"

#include <memory>
#include <mutex>
#include <vector>

class KLDispatchQueue;
typedef struct _GstDevice GstDevice;
typedef struct _GstElement GstElement;
typedef struct _GstDeviceMonitor GstDeviceMonitor;
typedef struct _GstBus GstBus;
typedef struct _GstMessage GstMessage;

class KLWebRtcDeviceMonitor final : public KLRTCMediaDeviceManager,
                                    public std::enable_shared_from_this<KLWebRtcDeviceMonitor> {
public:
    explicit KLWebRtcDeviceMonitor(std::shared_ptr<KLDispatchQueue> queue);
    ~KLWebRtcDeviceMonitor() override;

    /// The record for a GStreamer device; no value when its classes are none of the three above.
    static std::optional<KLRTCMediaDevice> describe(GstDevice *device);

    void initWithDelegate(std::weak_ptr<KLRTCMediaDeviceManagerDelegate> delegate) override;
    QList<KLRTCMediaDevice> getDeviceByType(int type) override;
    std::optional<KLRTCMediaDevice> getDeviceById(const QString &deviceId, int type) override;
    std::optional<KLRTCMediaDevice> getDeviceByTypeTransport(int type, int transport) override;
    QList<KLRTCMediaDevice> deviceArray() override;
    /// Reads the names from the monitor's current devices again.
    void updateAllDeviceName() override;
    /// Plays the sound file once on the speaker a meeting of this engine chose last (else the
    /// default one; discarded where there is none); a new call stops a sound still playing.
    void startPlayingFile(const QString &path) override;

    /// True once the monitor runs (at least one device provider started).
    bool monitoring();

    /// A new element for a device of `type`: the one listed under `chosenId`, else the one its
    /// provider flags as the system's default, else the first listed. Null when none is listed
    /// or the device makes no element. `used` gets the device opened.
    GstElement *createElement(int type, const QString &chosenId, KLRTCMediaDevice *used = nullptr);
    /// The speaker a meeting chose (startPlayingFile plays on it).
    void rememberSpeaker(const QString &speakerId);

private:
    struct Entry {
        GstDevice *gst = nullptr; // one reference held
        KLRTCMediaDevice device;
        bool isDefault = false;   // the provider's "is-default" property
    };

    void ensureStarted();
    QList<KLRTCMediaDevice> listed(int type) const;
    void added(GstDevice *device);
    void removed(GstDevice *device);
    void notify(bool add, const KLRTCMediaDevice &device);
    static int busMessage(GstBus *bus, GstMessage *message, void *data);
    static int playerMessage(GstBus *bus, GstMessage *message, void *data);
    void finishPlaying(GstElement *player, const QString &outcome);

    const std::shared_ptr<KLDispatchQueue> m_queue;
    std::mutex m_startMutex; // held while starting only: the monitor may post while it starts
    bool m_started = false;
    bool m_running = false;
    GstDeviceMonitor *m_monitor = nullptr;
    mutable std::mutex m_mutex;
    std::vector<Entry> m_entries;
    std::weak_ptr<KLRTCMediaDeviceManagerDelegate> m_delegate;
    QString m_speakerChoice;
    GstElement *m_player = nullptr; // the sound file playing, one reference held
};
