#pragma once

// The meeting window controller: owns one meeting's conference service and layout, keeps the
// display awake while the meeting window is open, turns system sleep into a forced leave (the
// platform posts "SystemWillSleep"), closes on "KLHostUtilsCloseAppNotify", and translates
// the meeting's internal callbacks into the host delegate's codes. The window itself is drawn
// by the widget layer through KLMeetingWindowView; without one, closing still tears down.
//
// Threads: created, joined and closed on the main thread; the internal callbacks arrive on the
// service's threads and call the host on the thread they arrive on. Only the closing of the
// window is moved to the main thread.

#include "model/KLSDKMeetingEventDelegate.h"

#include <KelvoUISDK/KLUISDKMeetingPresenter.h>

#include <QString>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>

class KLConferenceService;
class KLEnterNameViewController;
class KLHubViewController;
class KLMeetingLayoutViewController;
class KLMemberListViewController;
class KLSDKMeetingConfigInternal;
class KLUISDKGuiConfigInternal;
class KLUISDKMeetingEventDelegate;

/// The meeting's window as the widget layer draws it. Main thread only.
class KLMeetingWindowView {
public:
    virtual ~KLMeetingWindowView() = default;
    virtual void showWindow() = 0;
    /// The window goes away; the controller has already left the meeting.
    virtual void closeWindow() = 0;
};

class KLUISDKMeetingWindow final : public KLSDKMeetingEventDelegate,
                                   public std::enable_shared_from_this<KLUISDKMeetingWindow> {
public:
    static std::shared_ptr<KLUISDKMeetingWindow>
    create(std::shared_ptr<KLUISDKGuiConfigInternal> guiConfig,
           std::shared_ptr<KLSDKMeetingConfigInternal> meetingConfig,
           std::shared_ptr<KLUISDKMeetingEventDelegate> delegate);
    ~KLUISDKMeetingWindow() override;

    void setView(std::shared_ptr<KLMeetingWindowView> view);
    /// Starts the meeting and shows the window (main thread).
    void joinMeeting();
    /// Closes the window: leaves the meeting, lets the display sleep again and releases the
    /// layout. Idempotent; any thread (the work runs on the main thread).
    void closeWindow();
    bool isClosed() const { return m_closed; }

    std::shared_ptr<KLConferenceService> conferenceManager() const;
    std::shared_ptr<KLMeetingLayoutViewController> layout() const;
    /// The toolbar's and the member list's controllers; null once the window closed.
    std::shared_ptr<KLHubViewController> hub() const;
    std::shared_ptr<KLMemberListViewController> memberList() const;
    /// The enter-name dialog's controller (a guest projection without a stored name).
    std::shared_ptr<KLEnterNameViewController> enterName() const;

    /// Acts as the user would on the window's controls (main thread); false when the window
    /// has closed or the action needs an argument and got none.
    bool performUserAction(KLUISDKUserAction action, const QString &argument);

    // KLSDKMeetingEventDelegate
    void onMeetingStatusChange(int) override {}
    void onApplicationStatusChange(int, const QString &) override {}
    void onMeetingJoined() override;
    void onError(int code, const QString &reason) override;
    void onMeetingFinish(int reason, const QString &text) override;
    void onMeetingUserStatusChange(const std::shared_ptr<KLSDKMeetingUser> &user, int event) override;

private:
    KLUISDKMeetingWindow(std::shared_ptr<KLSDKMeetingConfigInternal> meetingConfig,
                         std::shared_ptr<KLUISDKMeetingEventDelegate> delegate);
    void setUp(std::shared_ptr<KLUISDKGuiConfigInternal> guiConfig);
    void windowDidLoad();
    void windowWillClose();
    void closeOnMainThread();
    bool dropAfterClose(const char *callback) const;

    const std::shared_ptr<KLSDKMeetingConfigInternal> m_meetingConfig;
    const std::shared_ptr<KLUISDKMeetingEventDelegate> m_delegate;
    mutable std::mutex m_mutex;
    std::shared_ptr<KLConferenceService> m_conferenceManager;
    std::shared_ptr<KLMeetingLayoutViewController> m_layout;
    std::shared_ptr<KLHubViewController> m_hub;
    std::shared_ptr<KLMemberListViewController> m_memberList;
    std::shared_ptr<KLEnterNameViewController> m_enterName;
    std::shared_ptr<KLMeetingWindowView> m_view;
    std::optional<quint32> m_assertionID;
    std::atomic<bool> m_closed{false};
};
