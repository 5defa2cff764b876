#pragma once

// The meeting toolbar's decisions, without widgets: what each control does when pressed, the
// confirmation dialogs that belong to the controls (leave or end the meeting, close video on a
// weak network, howling), and how each button looks. The widget layer implements KLHubView and
// only draws; with no view attached every decision is still taken.
//
// Threads: create it, click and read on the main thread. Notifications may be posted from any
// thread; their work is moved to the main thread.

#include "presentation/KLDialogQueue.h"
#include "window/KLHubMeeting.h"

#include <QDateTime>
#include <QHash>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class KLConferenceService;
class KLMeetingLayoutViewController;
class KLSDKMeetingEventDelegate;
class KLTimer;
class KLUISDKGuiConfigInternal;

/// The toolbar's controls whose look the controller decides.
enum class KLHubButton { Microphone, Camera, Speaker, Share, Leave, MeetingNote };

/// How one button is drawn. Colours are "#RRGGBB"; empty means the widget's default.
struct KLHubButtonState {
    QString icon;
    QString backgroundColor;
    QString hoverColor;
    QString pressedColor;
    QString label;        ///< localised
    QString labelColor;
    double labelAlpha = 1.0;
    QString tooltip;      ///< localised
    int cornerRadius = 0;
    bool enabled = true;
    bool visible = true;
    bool busy = false;    ///< a running progress indicator (the meeting note while it runs)
    bool operator==(const KLHubButtonState &other) const = default;
};

/// What the toolbar's widgets show; every call arrives on the main thread.
class KLHubView {
public:
    virtual ~KLHubView() = default;
    virtual void setButtonState(KLHubButton which, const KLHubButtonState &state) = 0;
    virtual void minimiseWindow() = 0;
    /// The small window telling that `name`'s screen is being shared.
    virtual void showShareNotice(const QString &name) = 0;
    virtual void closeShareNotice() = 0;
    virtual void showScreenRecordingPermissionDialog() = 0;
};

class KLHubViewController final : public std::enable_shared_from_this<KLHubViewController> {
public:
    /// Howling dialogs closer together than this are not shown again.
    static constexpr qint64 kHowlingRepeatSeconds = 120;
    /// The delay between leaving full screen and minimising for a share.
    static constexpr double kMinimiseAfterFullScreenSeconds = 1.0;

    /// Everything the toolbar needs besides the meeting.
    struct Setup {
        /// The toolbar's leave-room step (kept by the layout), with its user-initiated flag.
        std::function<void(bool userInitiated)> leaveRoom;
        /// The meeting window, told of the user's own finish.
        std::weak_ptr<KLSDKMeetingEventDelegate> meetingWindow;
        /// The display configuration's rating address (a rating page replaces the finish report).
        QString meetingRateUrl;
        /// Leaves full screen; returns whether the window was in full screen.
        std::function<bool()> exitFullScreen;
        /// Reports a control identifier to the host; KLMessageMode's action log by default.
        std::function<void(const QString &control)> actionLog;
        /// The clock of the howling rule; the system clock by default.
        std::function<QDateTime()> now;
        /// Asks the platform whether the screen may be captured for a share, answering a
        /// KLAuthorizationStatus on the main thread; KLScreenCapture::requestAccess by default.
        std::function<void(std::function<void(int status)>)> askScreenCapture;
    };

    /// The toolbar of a meeting window.
    static std::shared_ptr<KLHubViewController>
    create(std::shared_ptr<KLConferenceService> service,
           std::shared_ptr<KLMeetingLayoutViewController> layout,
           std::shared_ptr<KLUISDKGuiConfigInternal> guiConfig,
           std::weak_ptr<KLSDKMeetingEventDelegate> meetingWindow);
    /// The toolbar over any meeting.
    static std::shared_ptr<KLHubViewController> create(std::shared_ptr<KLHubMeeting> meeting, Setup setup);
    ~KLHubViewController();
    KLHubViewController(const KLHubViewController &) = delete;
    KLHubViewController &operator=(const KLHubViewController &) = delete;

    void setView(std::shared_ptr<KLHubView> view);
    /// Told (main thread) after any button's look changed; a host drawing the window itself
    /// reads `buttonState` there.
    void setObserver(std::function<void()> changed) { m_observer = std::move(changed); }
    std::shared_ptr<KLHubMeeting> meeting() const { return m_meeting; }

    // --- Clicks (main thread); each reports its control identifier first ------------------
    void muteClicked();
    void cameraClicked();
    void speakerClicked();
    void shareClicked();
    void leaveClicked();
    void meetingNoteClicked();
    /// Settings, meeting information, phone dial-in and more only open popovers: reported.
    void popoverClicked(const QString &control);

    // --- Events, also reached through the notifications --------------------------------
    /// A howling ("HOWLING_DETECTED_TIPS") or ring-tone ("RINGTONE_DETECTED_TIPS") detection.
    void noiseDetected(const QString &titleKey);
    void weakNetworkCloseVideo();
    void stopShareAction();
    /// Escape pressed while the own screen is shared (in the share notice): a window in full
    /// screen leaves it, and the toast tells what Escape does.
    void shareEscPressed();
    /// The user's own screen is being shared now.
    bool isSharingOwnScreen() const;
    void meetingNoteSwitched(bool started);
    /// Recomputes every button's look (also after the speaker or summary state changed).
    void refreshButtons();

    // --- Reads -------------------------------------------------------------------------
    KLHubButtonState buttonState(KLHubButton which) const;
    bool showRate() const { return m_showRate; }
    bool isLeaveDialogShown() const { return m_leaveDialogShown; }
    bool isHowlingDialogShown() const { return m_howlingDialogShown; }
    bool isCloseVideoDialogShown() const { return m_closeVideoDialogShown; }

    /// The looks (pure).
    static KLHubButtonState microphoneLook(bool muted);
    static KLHubButtonState cameraLook(bool muted, bool videoMeeting);
    static KLHubButtonState speakerLook(bool muted);
    static KLHubButtonState shareLook(bool sharing);
    static KLHubButtonState meetingNoteLook(bool available, bool running);
    /// The screen-recording permission dialog for a capture status the platform answered: the
    /// user cancelled (denied) or the desktop refused; its first button runs `retry`.
    static KLDialogRequest screenRecordingDialog(int status, KLBlock retry);
    bool isPermissionDialogShown() const { return m_permissionDialogShown; }

private:
    KLHubViewController(std::shared_ptr<KLHubMeeting> meeting, Setup setup);
    void observeNotifications();
    void onMain(std::function<void(KLHubViewController &)> work);
    void setButton(KLHubButton which, const KLHubButtonState &state);
    void withView(const std::function<void(KLHubView &)> &work);
    void log(const QString &control);

    // Toolbar steps.
    void toggleMicrophone();
    void shareAction();
    /// The platform's answer to a share: authorised shares, anything else shows the
    /// screen-recording permission dialog.
    void screenCaptureAnswered(int status);
    void showScreenRecordingDialog(int status);
    void minimiseForShare();
    bool isOwnFeed(const KLHubFeedPtr &feed) const;
    bool isOwnShare(const KLHubFeedPtr &shared) const;

    // Dialogs (KLHubDialogs.cpp).
    void showLeaveDialog();
    void leave(std::optional<int> finishReason);
    void finishForAll();
    void showCloseVideoDialog();
    void showHowlingDialog(const QString &titleKey);

    const std::shared_ptr<KLHubMeeting> m_meeting;
    Setup m_setup;
    const bool m_showRate;
    std::shared_ptr<KLHubView> m_view;
    std::function<void()> m_observer;
    QHash<int, KLHubButtonState> m_buttons;
    bool m_leaveDialogShown = false;
    bool m_closeVideoDialogShown = false;
    bool m_howlingDialogShown = false;
    std::optional<QDateTime> m_show5003ErrorTime;
    std::unique_ptr<KLTimer> m_minimiseTimer;
    bool m_askingScreenCapture = false;
    bool m_permissionDialogShown = false;
};
