#pragma once

/// @file
/// The meeting entry object: what a host creates to run one meeting.

#include <KelvoUISDK/KLUISDKMeetingPresenter.h>
#include <KelvoUISDK/KelvoUISDKExport.h>

#include <QVariantMap>

#include <memory>

class KLUISDKMeetingEventDelegate;

/// The entry object: one per meeting. Build it with the display dictionary and the meeting
/// dictionary (keys in <KelvoUISDK/KLUISDKMeetingConfigKeys.h>) and a delegate, then call
/// `joinMeeting()`. Everything that follows reaches the delegate.
///
/// Create, join and destroy it on the thread that runs the application's event loop (the
/// main thread). Destroying it closes the meeting window and leaves the meeting.
///
/// The window shows web pages (the rating page, the live captions) with Qt WebEngine, which
/// must be set up before the host's QApplication is constructed: link the SDK into the host
/// (do not load it later with dlopen). Chromium will not start as root with its sandbox on;
/// a host that runs as root sets QTWEBENGINE_DISABLE_SANDBOX=1 itself, or the pages show a
/// message in their place.
class KELVOUISDK_EXPORT KLUISDKMeetingMainWindow {
public:
    /// Reads both dictionaries into their typed records and keeps the delegate; no checks yet.
    /// The dictionaries are copied; the entry object shares ownership of `delegate` (the
    /// meeting keeps a reference for its lifetime).
    KLUISDKMeetingMainWindow(const QVariantMap &uiConfig, const QVariantMap &meetingConfig,
                             std::shared_ptr<KLUISDKMeetingEventDelegate> delegate);
    /// Closes the meeting window, if one is open, and leaves the meeting (main thread). The
    /// meeting's threads may run on for a few milliseconds; see `hasMeetingThreads()`.
    ~KLUISDKMeetingMainWindow();
    /// One entry object is one meeting: not copyable.
    KLUISDKMeetingMainWindow(const KLUISDKMeetingMainWindow &) = delete;
    /// One entry object is one meeting: not assignable.
    KLUISDKMeetingMainWindow &operator=(const KLUISDKMeetingMainWindow &) = delete;

    /// Checks the credentials (meeting UUID; user id or member UUID; meeting token) and starts
    /// the meeting (main thread). A missing credential is reported as `onError(0, reason)` and
    /// nothing else happens.
    void joinMeeting();

    /// True once a meeting window exists (after a `joinMeeting` whose credentials passed) and
    /// until it has closed. Main thread.
    bool hasMeetingWindow() const;

    /// Draws the window's dialogs and notices through `presenter` instead of widgets. Set it
    /// before `joinMeeting()`, on the main thread; the entry object shares ownership of it.
    void setPresenter(std::shared_ptr<KLUISDKMeetingPresenter> presenter);

    /// Without a presenter the SDK draws the meeting window itself (the application must then
    /// be a QApplication). `observer` hears what that window shows — dialogs (answerable with
    /// `pressDialogButton`), notices, chat messages, the rating page and the closing — as a
    /// presenter would. Ignored when a presenter is set. Set it before `joinMeeting()`, on the
    /// main thread; the entry object shares ownership of it.
    void setObserver(std::shared_ptr<KLUISDKMeetingPresenter> observer);

    /// Acts as the user would (main thread). False, with nothing done, when there is no
    /// meeting window or the action needs an argument and got none.
    bool performUserAction(KLUISDKUserAction action, const QString &argument = QString());

    /// Presses button 1, 2 or 3 of the dialog shown as `dialogId` (main thread). False when
    /// that dialog is no longer shown or has no such button.
    bool pressDialogButton(quint64 dialogId, int button);

    /// True while a meeting's own threads run: during the meeting and after it ended until its
    /// goodbyes are out — the connections' closes, the last cloud-log records — which takes a
    /// few milliseconds on a good network and is given up after about a second; some of those
    /// steps run on the main thread's event loop. A host that quits once the window has closed
    /// keeps its loop turning until this is false; returning from `main` earlier cuts them off
    /// while the process tears down (the server then sees the connections drop).
    /// Any thread.
    static bool hasMeetingThreads();

    /// The meeting's state, owned by the entry object; not for hosts.
    struct Private;

private:
    std::unique_ptr<Private> d;
};
