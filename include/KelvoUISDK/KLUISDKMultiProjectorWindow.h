#pragma once

/// @file
/// The multi-projector entry object: what a host creates to cast the user's screen to several
/// meeting rooms at once (a sender) or to watch such a cast (a receiver), each in a window of
/// its own.

#include <KelvoUISDK/KLUISDKMeetingPresenter.h>
#include <KelvoUISDK/KelvoUISDKExport.h>

#include <QString>
#include <QVariantMap>

#include <memory>

class KLUISDKMeetingEventDelegate;

/// What a host can do in a running multi-projector window, as the user would.
enum class KLUISDKProjectorAction {
    StopCast,   ///< the sender's stop button (asks first: end, pause or cancel)
    AudioMeeting, ///< the sender's audio-meeting button: opens it, or offers the calls once open
    Close,      ///< the user closes the window
    StopFromHost, ///< the host ends the cast (as its "stop share" request does)
};

/// The entry object of one multi-projector session. Build it with the meeting uuid, the client
/// mode ("sender" makes a sender; any other value a receiver), whether the sender asked for the
/// accompanying audio meeting, the project id (used by a sender only), the meeting dictionary
/// (keys in <KelvoUISDK/KLUISDKMeetingConfigKeys.h>: meeting token, domain, service bases, CA
/// file; its meeting uuid is replaced by the one given) and a delegate; then call `start()`.
///
/// The delegate hears `onMeetingJoined()` once the session is in and `onMeetingFinish(0, …)`
/// when it has ended and its window has closed; `onError` for missing credentials. Without a
/// presenter the SDK draws the window (the application must then be a QApplication).
///
/// Create, start and destroy it on the main thread. Destroying it closes the window and leaves.
class KELVOUISDK_EXPORT KLUISDKMultiProjectorWindow {
public:
    /// Keeps the parameters and shares ownership of `delegate`; nothing starts yet.
    KLUISDKMultiProjectorWindow(const QString &meetingUuid, const QString &clientMode, bool withAudio,
                                const QString &projectId, const QVariantMap &meetingConfig,
                                std::shared_ptr<KLUISDKMeetingEventDelegate> delegate);
    /// Closes the window, if open, and leaves the session (main thread).
    ~KLUISDKMultiProjectorWindow();
    /// One entry object is one session: not copyable.
    KLUISDKMultiProjectorWindow(const KLUISDKMultiProjectorWindow &) = delete;
    /// One entry object is one session: not assignable.
    KLUISDKMultiProjectorWindow &operator=(const KLUISDKMultiProjectorWindow &) = delete;

    /// Checks the credentials and joins (main thread). A missing credential is reported as
    /// `onError(0, reason)` and nothing else happens.
    void start();
    /// True for a sender (the client mode was "sender").
    bool isSender() const;
    /// True from a `start()` whose credentials passed until the session has ended. Main thread.
    bool isRunning() const;
    /// Draws the session's dialogs and notices through `presenter` instead of widgets. Set it
    /// before `start()`, on the main thread; the entry object shares ownership of it.
    void setPresenter(std::shared_ptr<KLUISDKMeetingPresenter> presenter);
    /// With the drawn window: `observer` hears its dialogs, notices and closing as a presenter
    /// would. Set it before `start()`, on the main thread; shared ownership.
    void setObserver(std::shared_ptr<KLUISDKMeetingPresenter> observer);
    /// Acts as the user (or host) would (main thread). False when the session is not running.
    bool performAction(KLUISDKProjectorAction action);
    /// Presses button 1, 2 or 3 of the dialog shown as `dialogId` (main thread). False when
    /// that dialog is no longer shown or has no such button.
    bool pressDialogButton(quint64 dialogId, int button);

    /// The session's state, owned by the entry object; not for hosts.
    struct Private;

private:
    std::unique_ptr<Private> d;
};
