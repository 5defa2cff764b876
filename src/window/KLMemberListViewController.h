#pragma once

// The member list's decisions, without widgets: who is listed online and offline, the
// mute-all state, and what each row's buttons do (mute, hang up, call back, lock to the big
// view) together with the bulk actions mute-all and call-all. It keeps nothing but the two
// lists copied from the meeting; every action goes to the participant's feed or the meeting.
// The widget layer implements KLMemberListView and only draws.
//
// Threads: clicks and reads on the main thread; refresh() from any thread (the lists are
// rebuilt under a lock, the view is told on the main thread).

#include "window/KLHubMeeting.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <mutex>

class KLConferenceService;
class KLMeetingLayoutViewController;
class KLTimer;

/// The mute-all button: enabled while someone besides the local user can still be muted.
struct KLMemberMuteAllState {
    bool enabled = false;
    QString icon;
    QString label; ///< localised
    bool operator==(const KLMemberMuteAllState &other) const = default;
};

/// A row's lock button.
struct KLMemberLockState {
    QString icon;
    QString tooltip; ///< localised
};

/// One row of the member panel as drawn (and as a host drawing the window itself hears it).
struct KLMemberRow {
    QString uuid;
    QString name;
    qint64 memberType = 0;   ///< the participant's member type (1 person, 2 room, 3 external), 0 unknown
    bool online = false;
    bool muted = false;      ///< the call state says muted (the feed's audio when it has no call state)
    bool video = false;      ///< the camera sends
    bool calling = false;    ///< being called now
    bool speaking = false;
    bool locked = false;     ///< pinned to the big view
    bool focused = false;    ///< the row of the participant the big view shows
    bool isSelf = false;
    /// The row buttons that may be pressed: "mute", "hangup", "lock" on online rows; "call",
    /// "callCell", "callDetail" on offline ones.
    QStringList buttons;
    bool callEnabled = true; ///< false for 5 s after a call button was pressed
    bool operator==(const KLMemberRow &other) const = default;
};

/// The whole panel: both sections, the offline heading, the online cap and mute-all.
struct KLMemberListSnapshot {
    QList<KLMemberRow> online;
    QList<KLMemberRow> offline;
    bool offlineSectionVisible = false;
    QString offlineTitle;    ///< localised
    int maxOnlineRows = 0;   ///< 0: not capped
    KLMemberMuteAllState muteAll;
    bool operator==(const KLMemberListSnapshot &other) const = default;
};

class KLCallRoomViewController;

/// What the member panel's widgets show; every call arrives on the main thread.
class KLMemberListView {
public:
    virtual ~KLMemberListView() = default;
    /// Reloads the tables; the offline table only in the internal deployment.
    virtual void reloadMembers(bool includeOffline) = 0;
    /// The offline section with its heading; hidden when `visible` is false.
    virtual void showOfflineSection(bool visible, const QString &title) = 0;
    virtual void setMuteAllState(const KLMemberMuteAllState &state) = 0;
    virtual void setCallButtonEnabled(const QString &uuid, bool enabled) = 0;
    virtual void setLockState(const QString &uuid, const KLMemberLockState &state) = 0;
    /// The row's call-detail popover (staff call, cell phone call), anchored to its button.
    virtual void showCallDetail(const QString &uuid) { Q_UNUSED(uuid); }
    /// The call-rooms dialog opens over the window; it closes itself through its controller.
    virtual void showCallRoomDialog(const std::shared_ptr<KLCallRoomViewController> &dialog) { Q_UNUSED(dialog); }
    /// A click in the panel's background hid the chat input.
    virtual void chatHidden() {}
};

class KLMemberListViewController final : public std::enable_shared_from_this<KLMemberListViewController> {
public:
    /// How long a call button stays disabled after a press, and the call status stays 1.
    static constexpr double kCallLockSeconds = 5.0;
    static constexpr double kCallStatusSeconds = 5.0;
    /// The online table's height cap (rows) while offline members are listed too.
    static constexpr int kMaxOnlineRowsWithOffline = 5;
    /// Longer names are shortened in the hang-up question.
    static constexpr int kHangupNameLength = 8;

    static std::shared_ptr<KLMemberListViewController>
    create(std::shared_ptr<KLConferenceService> service, std::shared_ptr<KLMeetingLayoutViewController> layout);
    /// The member list over any meeting; `actionLog` defaults to KLMessageMode's action log.
    static std::shared_ptr<KLMemberListViewController>
    create(std::shared_ptr<KLHubMeeting> meeting,
           std::function<void(const QString &control)> actionLog = {});
    ~KLMemberListViewController();
    KLMemberListViewController(const KLMemberListViewController &) = delete;
    KLMemberListViewController &operator=(const KLMemberListViewController &) = delete;

    void setView(std::shared_ptr<KLMemberListView> view);
    /// Run when the local participant hangs itself up (the toolbar's leave).
    void setLeaveHandler(std::function<void()> handler);
    /// Told on the main thread whenever what `snapshot()` answers may have changed (the lists
    /// were rebuilt, a row's lock or call button changed, the call-rooms dialog opened or
    /// closed). A host drawing the window itself listens here.
    void setObserver(std::function<void()> changed);

    /// Rebuilds both lists and the mute-all state, then reloads the view.
    void refresh();

    // --- Clicks (main thread) -----------------------------------------------------------
    void rowClicked(const QString &uuid);
    void muteClicked(const QString &uuid);
    void hangupClicked(const QString &uuid);
    void muteAllClicked();
    void callAllClicked();
    void callClicked(const QString &uuid);
    void callCellClicked(const QString &uuid);
    /// The staff-call entry of a row's call-detail popover.
    void callStaffClicked(const QString &uuid);
    void lockClicked(const QString &uuid);
    /// The call-detail button of an offline row: opens its popover.
    void callDetailClicked(const QString &uuid);
    /// A click in the panel's background hides the chat input.
    void backgroundClicked();
    /// Opens the call-rooms dialog over the meeting's offline rooms (the conference service
    /// asks for it through "ShowCallRoomDialog"); a dialog already open is reused.
    std::shared_ptr<KLCallRoomViewController> openCallRoomDialog();
    /// The open call-rooms dialog, or null.
    std::shared_ptr<KLCallRoomViewController> callRoomDialog() const;

    // --- Reads ---------------------------------------------------------------------------
    QList<KLHubFeedPtr> onlineParticipantsArray() const;
    QList<KLHubFeedPtr> offlineParticipantsArray() const;
    /// 0 when the online table is not capped.
    int maxOnlineMember() const;
    KLMemberMuteAllState muteAllState() const;
    bool isCallButtonEnabled(const QString &uuid) const;
    /// May the local user mute `feed`'s row?
    bool canMute(const KLHubFeedPtr &feed) const;
    /// The uuid of the row that has focus: the online participant the big view shows, else empty.
    QString focusedUuid() const;
    /// The panel as it should be drawn now (main thread).
    KLMemberListSnapshot snapshot() const;
    /// One row of `feed` (main thread).
    KLMemberRow rowFor(const KLHubFeedPtr &feed) const;

    /// The name as the hang-up question shows it (pure).
    static QString hangupDisplayName(const QString &name);

private:
    KLMemberListViewController(std::shared_ptr<KLHubMeeting> meeting,
                               std::function<void(const QString &)> actionLog);
    void observeNotifications();
    void onMain(std::function<void(KLMemberListViewController &, KLMemberListView &)> work);
    KLHubFeedPtr feedWithUuid(const QString &uuid) const;
    bool isOwn(const KLHubFeedPtr &feed) const;
    void toggleMute(const KLHubFeedPtr &feed);
    void hangup(const KLHubFeedPtr &feed);
    void muteAll();
    void callAll();
    /// Disables the row's call button for kCallLockSeconds; false when it already is.
    bool lockCallButton(const QString &uuid);
    void markCallStatus();
    static KLMemberMuteAllState muteAllStateFor(bool enabled);
    void notifyObserver();

    const std::shared_ptr<KLHubMeeting> m_meeting;
    const std::function<void(const QString &)> m_actionLog;
    std::function<void()> m_leaveHandler;
    std::function<void()> m_observer;
    std::shared_ptr<KLCallRoomViewController> m_callRooms; // main thread
    std::shared_ptr<KLMemberListView> m_view;

    mutable std::mutex m_mutex; // the two lists and the mute-all state
    QList<KLHubFeedPtr> m_online;
    QList<KLHubFeedPtr> m_offline;
    int m_maxOnlineMember = 0;
    QString m_focused;
    KLMemberMuteAllState m_muteAll = muteAllStateFor(false);

    QHash<QString, std::shared_ptr<KLTimer>> m_callLocks; // main thread
    std::unique_ptr<KLTimer> m_callStatusTimer;
};
