#pragma once

// The meeting's settings, without widgets: the settings popover (start muted, beauty, the call's
// audio to the user's cell phone, the entry to the device settings) and the device settings
// window (camera, microphone, speaker, the microphone's level, the test sound). Choices that
// outlive the meeting go to the persistent user data; switching devices is the device
// manager's. The widget layer implements the two views and only draws.
//
// Threads: main thread; the level timer's ticks are moved to the main thread.

#include "media/KLRTCMediaTypes.h"
#include "window/KLPanelMeeting.h"

#include <QList>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class KLDeviceManager;
class KLTimer;
struct KLToastMessage;

/// What the settings popover shows.
struct KLMeetingSettingsState {
    bool enterAudioMuted = false;
    bool enterVideoMuted = false;
    bool beauty = false;
    bool beautyShown = false;
    /// "MEETING_SETTING_CELLPHONE_TIPS" while the phone can be called, else the "in call" label.
    QString cellPhoneLabel;
    bool cellPhoneEnabled = true;
};

class KLMeetingSettingsViewController final : public std::enable_shared_from_this<KLMeetingSettingsViewController> {
public:
    struct Setup {
        std::function<void(const QString &control)> actionLog;  ///< KLMessageMode's by default
        std::function<void()> closePopover;
        std::function<void()> openDeviceSettings;
        /// Changes to the popover's state.
        std::function<void(const KLMeetingSettingsState &)> stateChanged;
        /// Shows the cell-phone call's toast; the toast manager's by default.
        std::function<void(const KLToastMessage &)> showToast;
        bool beautyShown = true;
    };

    static std::shared_ptr<KLMeetingSettingsViewController> create(std::shared_ptr<KLPanelMeeting> meeting, Setup setup);
    ~KLMeetingSettingsViewController();

    KLMeetingSettingsState state() const;
    /// The start-muted boxes: take effect at the next join only.
    void toggleEnterAudioMuted();
    void toggleEnterVideoMuted();
    /// Stores the beauty flag and applies it to the own stream at once.
    void toggleBeauty();
    /// Moves the call's audio to the user's cell phone (when the phone is not in the call yet).
    void callCellPhone();
    void deviceSettingsPressed();

private:
    KLMeetingSettingsViewController(std::shared_ptr<KLPanelMeeting> meeting, Setup setup);
    void changed();

    const std::shared_ptr<KLPanelMeeting> m_meeting;
    Setup m_setup;
    bool m_calling = false;
    quint64 m_observer = 0;
};

/// What the device settings window shows; main thread.
class KLDeviceSettingsView {
public:
    virtual ~KLDeviceSettingsView() = default;
    /// Device names per list and the index of the current one (-1: none).
    virtual void setDevices(int deviceType, const QStringList &names, int current) = 0;
    virtual void setLevel(int level) = 0;
    /// The own camera's picture (true) or the no-video placeholder.
    virtual void setPreviewShown(bool shown) = 0;
};

class KLDeviceSettingsController final : public std::enable_shared_from_this<KLDeviceSettingsController> {
public:
    static constexpr double kLevelIntervalSeconds = 1.0;

    static std::shared_ptr<KLDeviceSettingsController> create(std::shared_ptr<KLDeviceManager> devices);
    ~KLDeviceSettingsController();

    void setView(std::shared_ptr<KLDeviceSettingsView> view);
    /// The path of the test sound; empty: the test button does nothing.
    void setTestSoundPath(const QString &path) { m_testSound = path; }

    /// The window opens for a meeting: the current devices are selected, the level starts at 0
    /// and follows the own feed's input level every second. Reopening stops the earlier timer.
    void open(std::shared_ptr<KLPanelMeeting> meeting);
    /// The window closes: the level timer stops.
    void close();
    bool isLevelTimerRunning() const;
    int levelTimerStarts() const { return m_timerStarts; }

    /// Chooses entry `index` of the list of `deviceType` (1 camera, 2 speaker, 3 microphone);
    /// an index outside the list is ignored. Returns whether a device was chosen.
    bool chooseDevice(int deviceType, int index);
    /// Chooses a device by id or name; false when no listed device matches.
    bool chooseDeviceNamed(int deviceType, const QString &idOrName);
    void playTestSound();
    /// Lists again (hot plug).
    void reloadDevices();
    QList<KLRTCMediaDevice> devices(int deviceType) const;
    /// Whether the preview shows the camera (video meeting with the own video on).
    bool previewShown() const { return m_previewShown; }

private:
    explicit KLDeviceSettingsController(std::shared_ptr<KLDeviceManager> devices);
    void tick();
    void updatePreview();

    const std::shared_ptr<KLDeviceManager> m_devices;
    std::shared_ptr<KLPanelMeeting> m_meeting;
    std::shared_ptr<KLDeviceSettingsView> m_view;
    std::shared_ptr<KLTimer> m_levelTimer;
    QString m_testSound;
    int m_timerStarts = 0;
    bool m_previewShown = false;
    quint64 m_deviceObserver = 0;
    quint64 m_videoObserver = 0;
};
