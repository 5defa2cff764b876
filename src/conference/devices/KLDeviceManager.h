#pragma once

// Which microphone, speaker and camera the meeting uses. The manager makes the initial choice
// when a meeting is joined, remembers every choice in the persistent data shared with the host,
// follows devices being plugged in and out (it is the engine device manager's delegate), hands
// each switch to the meeting's media connection and reports it to the cloud log service.

#include "media/KLRTCMediaConnection.h"
#include "media/KLRTCMediaDeviceManager.h"
#include "media/KLRTCMediaTypes.h"

#include <QList>
#include <QString>

#include <memory>
#include <mutex>
#include <optional>

class KLDeviceManager final : public KLRTCMediaDeviceManagerDelegate,
                              public std::enable_shared_from_this<KLDeviceManager> {
public:
    /// Device id that wins over a persisted microphone (unless a Bluetooth one wins first).
    static constexpr const char *kBuiltInHeadphoneInputDevice = "BuiltInHeadphoneInputDevice";
    /// Device id that wins over a persisted speaker (unless a Bluetooth one wins first).
    static constexpr const char *kBuiltInHeadphoneOutputDevice = "BuiltInHeadphoneOutputDevice";
    /// Size asked of the engine when the camera changes.
    static constexpr int kVideoWidth = 1280;
    static constexpr int kVideoHeight = 720;

    /// The process-wide manager, created on first use (thread-safe) and registered as the
    /// delegate of the engine's device manager.
    static std::shared_ptr<KLDeviceManager> sharedInstance();
    /// A manager of its own, registered the same way; the process uses sharedInstance().
    static std::shared_ptr<KLDeviceManager> create();

    ~KLDeviceManager() override;
    KLDeviceManager(const KLDeviceManager &) = delete;
    KLDeviceManager &operator=(const KLDeviceManager &) = delete;

    /// Called by the conference service while joining: keeps both values, then makes the
    /// initial choice of microphone, camera and speaker (in that order). `conferenceManager`
    /// identifies the service; it is never dereferenced and only serves as the sender of
    /// "ChangeVideoDevice". When the engine in use has changed since the manager registered
    /// as its device delegate, it registers again first.
    void initWithConferenceManager(const void *conferenceManager, bool autoSwitchBlueToothDevice);
    /// The media connection that switches are handed to; none (or an expired one) means a
    /// switch is only remembered and reported.
    void setMediaConnection(std::weak_ptr<KLRTCMediaConnection> connection);

    const void *conferenceManager() const;
    bool autoSwitchBlueToothDevice() const;

    // The chosen devices; empty before any choice. They survive from one meeting to the next.
    std::optional<KLRTCMediaDevice> currentAudioInput() const;
    std::optional<KLRTCMediaDevice> currentAudioOutput() const;
    std::optional<KLRTCMediaDevice> currntVideoInput() const;

    /// Switches: nothing when the device's id is the current one's; otherwise a monitor record
    /// (level 3, group 1) with the names before and after, the device becomes current, its id
    /// is persisted under the slot's key, and the media connection (if any) is told. A new
    /// camera is asked for at 1280 × 720 and "ChangeVideoDevice" is posted.
    void setCurrentAudioInput(const KLRTCMediaDevice &device);
    void setCurrentAudioOutput(const KLRTCMediaDevice &device);
    void setCurrntVideoInput(const KLRTCMediaDevice &device);

    // The engine's lists and look-ups (always the engine in use).
    QList<KLRTCMediaDevice> audioInputDevice() const;
    QList<KLRTCMediaDevice> audioOutputDevice() const;
    QList<KLRTCMediaDevice> videoDevice() const;
    QList<KLRTCMediaDevice> deviceArray() const;
    std::optional<KLRTCMediaDevice> deviceById(const QString &deviceId, int type) const;
    std::optional<KLRTCMediaDevice> deviceByType(int type, int transport) const;
    /// True when the engine lists at least one device of this type (the join-time presence
    /// check of the conference service asks this).
    bool hasDeviceOfType(int type) const;

    /// Asks the engine to read the device names again.
    void updateAllDeviceName();
    /// Plays a sound file on the current output (the settings window's speaker test).
    void startPlayingFile(const QString &path);

    /// One monitor record (level 3, group 1, "enumDevice") per device the engine lists.
    void uploadAllDeviceToQls();

    /// Engine notice: a device was plugged in (`add`) or removed. Added devices become current
    /// for their type; after a removal the first remaining device of that type becomes
    /// current, whether or not the removed one was. "DEVICE_CHANGE" is posted either way.
    void mediaDeviceChangeForAdd(bool add, const KLRTCMediaDevice &device) override;

private:
    KLDeviceManager() = default;

    /// Registers as delegate of the engine's device manager unless already registered there.
    void registerWithEngine();
    void initCurrentDevice();
    /// The audio choice shared by microphone and speaker.
    std::optional<KLRTCMediaDevice> chooseAudioDevice(int type, const QString &headphoneId) const;
    void switchDevice(int type, const KLRTCMediaDevice &device);
    void applyToConnection(int type, const KLRTCMediaDevice &device);
    std::optional<KLRTCMediaDevice> &slot(int type);

    mutable std::mutex m_mutex;
    const void *m_conferenceManager = nullptr;
    bool m_autoSwitchBlueToothDevice = false;
    std::optional<KLRTCMediaDevice> m_currentAudioInput;
    std::optional<KLRTCMediaDevice> m_currentAudioOutput;
    std::optional<KLRTCMediaDevice> m_currntVideoInput;
    std::weak_ptr<KLRTCMediaConnection> m_connection;
    std::weak_ptr<KLRTCMediaDeviceManager> m_registeredWith;
};
