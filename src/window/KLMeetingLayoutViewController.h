#pragma once

// The meeting layout's decisions, without widgets: it is the conference service's data source,
// turns every reason for which the meeting was left into a dialog, a follow-up and a report to
// the meeting window, builds the rating page's address and answers the rating page. The
// widgets that draw the loading view, the big view and the strip implement KLMeetingLayoutView
// and only draw; with no view attached every decision is still taken.
//
// Threads: data-source calls arrive on the service's threads; view calls and dialogs are moved
// to the main thread. Create and destroy it on the main thread.

#include "conference/registry/KLConferenceManagerDataSource.h"
#include "presentation/KLToastView.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

class KLConferenceService;
class KLSDKMeetingEventDelegate;
class KLUISDKGuiConfigInternal;
class KLTimer;

/// The meeting's subject, time and code as the loading view's information part and the
/// header show them: the display configuration's, the subject replaced by the appointment's
/// once it is known.
struct KLMeetingInformationText {
    QString subject;
    QString time;
    QString code;
    bool operator==(const KLMeetingInformationText &other) const = default;
};

/// The tip popovers shown once to an internal user after a new version.
enum class KLTipPopover { NewSettings, NewMeetingNote };

/// What the layout's widgets show; every call arrives on the main thread.
class KLMeetingLayoutView {
public:
    virtual ~KLMeetingLayoutView() = default;
    /// The loading view while entering or refreshing (true), the meeting view once entered.
    virtual void showLoading(bool loading) = 0;
    /// The meeting was left: the leave page replaces the meeting view.
    virtual void showLeavePage() = 0;
    virtual void showMainClient(const std::shared_ptr<KLFeedClient> &feed) = 0;
    virtual void refreshSmallClients() = 0;
    /// The rating page's address, loaded hidden until it is shown.
    virtual void loadRatePage(const QString &url) = 0;
    /// The meeting was left and the rating page replaces everything else.
    virtual void showRatePage() = 0;

    /// The meeting's information changed.
    virtual void showMeetingInformation(const KLMeetingInformationText &) {}
    /// The room was entered the first time: the meeting timers start.
    virtual void startMeetingTimer() {}
    /// The meeting was left: the timers stop, popovers and the full-screen bar close.
    virtual void meetingLeft() {}
    /// A remote client left: the big view stops its renderer when it shows that client.
    virtual void clientLeave(const std::shared_ptr<KLFeedClient> &) {}
    /// Members or their media changed: the tiles redraw.
    virtual void membersChanged() {}
    /// The camera or its beauty setting changed: the local preview redraws.
    virtual void refreshLocalPreview() {}
    /// The tip popovers not seen yet (at least one of the two is true).
    virtual void showTipPopovers(bool /*newSettings*/, bool /*newMeetingNote*/) {}
    virtual void closeTipPopover(KLTipPopover) {}
    /// In full screen the toolbar and side views are shown or hidden.
    virtual void setChromeVisible(bool) {}
    /// The window should leave full screen.
    virtual void exitFullScreen() {}
    /// The caption view was asked for.
    virtual void showCaptionView() {}
};

/// One entry of the leave-reason table.
struct KLLeaveReasonOutcome {
    /// The dialog's message key; empty for reasons without a message.
    QString messageKey;
    enum class Report { None, Finish, Error } report = Report::None;
    /// The internal finish reason or error code for the meeting window.
    int code = 0;
    /// The report's text; null for none.
    QString text;
    /// The privacy settings panel opened when the dialog is dismissed (reasons 8 and 9).
    QString settingsUrl;
};

class KLMeetingLayoutViewController final : public KLConferenceManagerDataSource,
                                        public std::enable_shared_from_this<KLMeetingLayoutViewController> {
public:
    /// How long an internal user's application stays after a forced leave, whatever the user
    /// does with the dialog.
    static constexpr double kInternalCloseSeconds = 30.0;

    static std::shared_ptr<KLMeetingLayoutViewController>
    create(std::shared_ptr<KLConferenceService> service,
           std::shared_ptr<KLUISDKGuiConfigInternal> guiConfig,
           std::weak_ptr<KLSDKMeetingEventDelegate> meetingWindow);
    ~KLMeetingLayoutViewController() override;

    void setView(std::shared_ptr<KLMeetingLayoutView> view);
    /// The meeting whose feeds the layout shows.
    std::shared_ptr<KLConferenceService> service() const { return m_service; }
    /// The host's display configuration (topic, time, code, link of the meeting).
    std::shared_ptr<KLUISDKGuiConfigInternal> guiConfig() const { return m_guiConfig; }
    /// Opens the desktop's privacy settings panel named by a leave reason; by default the
    /// desktop's settings program when one is installed.
    void setUrlOpener(std::function<void(const QString &url)> opener);

    /// The table of leave reasons for a deployment (internal or not).
    static KLLeaveReasonOutcome outcomeForReason(int reason, bool isInternal);

    /// The layout's leave-room step (forced leaves, the network-lost dialog): records a user's
    /// leave, leaves the meeting, and when the user chose to leave closes the application
    /// through the host utilities.
    void leaveRoom(bool userInitiated);
    /// The toolbar's leave-room step: records a user's leave and leaves the meeting; then the
    /// rating page is shown when the meeting has one (internal: the service says so and the
    /// user was not alone; otherwise a web address in the display configuration), else an
    /// internal user's own leave closes the application.
    void toolbarLeaveRoom(bool userInitiated);
    /// The rating page's bridge: "kelvo-evaluate-complete" finishes the meeting (reason 9).
    void rateStatusReceived(const QString &status);
    /// The rating page's address for the current meeting, or empty when there is none.
    QString rateUrl() const;
    bool roomEntered() const { return m_roomEntered; }
    /// Locks the feed shown on main, or toggles the lock of `feed`.
    void lockDisplayedClient();
    void toggleLock(const std::shared_ptr<KLFeedClient> &feed);
    /// Asks to call everyone not online after a confirmation dialog.
    void callAll();

    /// The meeting's information as shown now.
    KLMeetingInformationText meetingInformation() const;
    /// The meeting timer's text for `seconds` since the room was entered: "hh:mm:ss", hours
    /// not wrapping at 24.
    static QString meetingTimerText(qint64 seconds);
    /// Whether the one-person toast belongs on the big view now, and how it reads: the
    /// meeting was made for the user alone (add members), or nobody but the user is online
    /// (call everyone). Null when someone else is here or the appointment is not known yet.
    std::optional<KLOnePersonToast> onePersonToast() const;
    /// The same decision from its facts: the appointment's invited members and rooms (no
    /// appointment: null), the uuids online and the user's own.
    static std::optional<KLOnePersonToast> onePersonToastFor(std::optional<std::pair<int, int>> invitedMembersAndRooms,
                                                             const QStringList &onlineUuids,
                                                             const QString &ownUuid, const QString &subject);
    /// The user closed a tip popover: its shown flag is written so it does not come again.
    void tipPopoverClosed(KLTipPopover which);
    /// The one-person toast's add-member action: the member panel's invite page.
    void setInviteHandler(std::function<void()> handler);

    // --- The window's full screen and keys (main thread) ------------------------------------
    /// The window entered or left full screen.
    void fullScreenChanged(bool fullScreen);
    bool isFullScreen() const { return m_fullScreen; }
    /// Escape in the meeting window: in full screen it leaves full screen. True when it did.
    bool escPressed();
    /// The toolbar's request to leave full screen before a share; true when the window was in
    /// full screen.
    bool exitFullScreenForShare();
    /// "FullScreenShowAndHiddenPressed": in full screen the toolbar and side views toggle.
    void toggleFullScreenChrome();
    /// A remote client left; tells the big view.
    void clientLeave(const std::shared_ptr<KLFeedClient> &feed);

    // KLConferenceManagerDataSource
    void clientRendererViewOnMainScreen(const std::shared_ptr<KLFeedClient> &feed) override;
    void clientRendererViewOnSmallScreen() override;
    void updateRendererViewContent(const std::shared_ptr<KLFeedClient> &feed) override;
    std::shared_ptr<KLRTCMediaVideoRenderView>
    rendererViewForClient(const std::shared_ptr<KLFeedClient> &feed) override;
    std::shared_ptr<KLRTCMediaVideoRenderView>
    previewRendererViewForClient(const std::shared_ptr<KLFeedClient> &feed) override;
    void enterRoomSuccess() override;
    void leaveRoomWithReason(int reason) override;
    void refreshRoom() override;

private:
    KLMeetingLayoutViewController(std::shared_ptr<KLConferenceService> service,
                                  std::shared_ptr<KLUISDKGuiConfigInternal> guiConfig,
                                  std::weak_ptr<KLSDKMeetingEventDelegate> meetingWindow);
    void observeNotifications();
    void onView(std::function<void(KLMeetingLayoutView &)> work);
    void report(const KLLeaveReasonOutcome &outcome);
    void showLeaveDialog(int reason, const KLLeaveReasonOutcome &outcome);
    void showRoomFullCallDialog();
    void scheduleInternalClose();
    void networkLost();
    void leaveMeeting(bool userInitiated);
    void onlineChanged(const std::shared_ptr<KLFeedClient> &feed);
    void membersChanged();
    void refreshOnePersonToast(bool mayShow);
    void appointmentDetailChanged();
    void prepareRateUrl();
    bool leadsToRatePage() const;
    void showRatePage();

    std::shared_ptr<KLConferenceService> m_service;
    const std::shared_ptr<KLUISDKGuiConfigInternal> m_guiConfig;
    const std::weak_ptr<KLSDKMeetingEventDelegate> m_meetingWindow;
    const bool m_isInternal;
    std::atomic<bool> m_roomEntered{false};
    mutable std::mutex m_mutex;
    std::shared_ptr<KLMeetingLayoutView> m_view;
    std::function<void(const QString &)> m_urlOpener;
    QString m_rateUrl;
    std::unique_ptr<KLTimer> m_internalCloseTimer;
    QString m_appointmentSubject;
    std::function<void()> m_inviteHandler;
    // Main thread only.
    bool m_fullScreen = false;
    bool m_chromeVisible = true;
};
