#include "window/KLMemberListViewController.h"

#include "cloudlog/KLQLSLogger.h"
#include "conference/service/KLConferenceService.h"
#include "conference/registry/KLFeedClient.h"
#include "host/KLMessageMode.h"
#include "model/KLCallState.h"
#include "model/KLParticipant.h"
#include "presentation/KLDialogQueue.h"
#include "presentation/KLToastManager.h"
#include "runtime/KLLocalization.h"
#include "runtime/KLNotificationCenter.h"
#include "runtime/KLNotificationNames.h"
#include "runtime/KLSDKLog.h"
#include "runtime/KLTimer.h"
#include "collab/KLChatManager.h"
#include "window/KLCallRoomViewController.h"
#include "window/KLMeetingLayoutViewController.h"

#include <KelvoUISDK/KLSDKDispatch.h>

#include <optional>

namespace {
const char *const kTag = "KLMemberListViewController";

// The call state's mute value; none when the feed carries no call state.
std::optional<qint64> muteValue(const KLHubFeedPtr &feed)
{
    const auto participant = feed ? feed->participant() : nullptr;
    const auto state = participant ? participant->callState() : nullptr;
    return state ? std::optional<qint64>(state->mute.load()) : std::nullopt;
}
} // namespace

std::shared_ptr<KLMemberListViewController>
KLMemberListViewController::create(std::shared_ptr<KLConferenceService> service,
                                   std::shared_ptr<KLMeetingLayoutViewController> layout)
{
    // The layout toggles the lock on "lockMember"; the list needs nothing else of it.
    Q_UNUSED(layout);
    return create(std::make_shared<KLHubMeetingAdapter>(service));
}

std::shared_ptr<KLMemberListViewController>
KLMemberListViewController::create(std::shared_ptr<KLHubMeeting> meeting,
                                   std::function<void(const QString &)> actionLog)
{
    if (!actionLog)
        actionLog = [](const QString &control) { KLMessageMode::sharedInstance().actionLog(control); };
    std::shared_ptr<KLMemberListViewController> list(
        new KLMemberListViewController(std::move(meeting), std::move(actionLog)));
    list->observeNotifications();
    return list;
}

KLMemberListViewController::KLMemberListViewController(std::shared_ptr<KLHubMeeting> meeting,
                                                       std::function<void(const QString &)> actionLog)
    : m_meeting(std::move(meeting)), m_actionLog(std::move(actionLog))
{
}

KLMemberListViewController::~KLMemberListViewController()
{
    KLNotificationCenter::defaultCenter().removeObserver(this);
    for (const auto &timer : std::as_const(m_callLocks))
        timer->stopTimer();
    if (m_callStatusTimer)
        m_callStatusTimer->stopTimer();
}

void KLMemberListViewController::observeNotifications()
{
    std::weak_ptr<KLMemberListViewController> weak = weak_from_this();
    auto refreshLater = [weak](const KLNotification &) {
        KLPerformBlockOnSerialQueue([weak] {
            if (auto self = weak.lock())
                self->refresh();
        });
    };
    auto &center = KLNotificationCenter::defaultCenter();
    center.addObserver(this, KLNotificationNames::GetConferenceMember, refreshLater);
    center.addObserver(this, KLNotificationNames::MeetingMemberUpdate, refreshLater);
    center.addObserver(this, KLNotificationNames::AudioVideoChangeNotification, refreshLater);
    // Who speaks and who is called change the rows' marks; the big view's choice moves the focus.
    center.addObserver(this, KLNotificationNames::OnlineOfflineChangeNotification, refreshLater);
    center.addObserver(this, KLNotificationNames::RingChangeNotification, refreshLater);
    center.addObserver(this, KLNotificationNames::ShowCallRoomDialog, [weak](const KLNotification &) {
        KLPerformBlockOnMainThread([weak] {
            if (auto self = weak.lock())
                self->openCallRoomDialog();
        });
    });
}

void KLMemberListViewController::setObserver(std::function<void()> changed)
{
    m_observer = std::move(changed);
}

void KLMemberListViewController::notifyObserver()
{
    if (m_observer)
        m_observer();
}

void KLMemberListViewController::setView(std::shared_ptr<KLMemberListView> view)
{
    m_view = std::move(view);
}

void KLMemberListViewController::setLeaveHandler(std::function<void()> handler)
{
    m_leaveHandler = std::move(handler);
}

void KLMemberListViewController::onMain(std::function<void(KLMemberListViewController &, KLMemberListView &)> work)
{
    std::weak_ptr<KLMemberListViewController> weak = weak_from_this();
    KLPerformBlockOnMainThread([weak, work = std::move(work)] {
        auto self = weak.lock();
        if (self && self->m_view)
            work(*self, *self->m_view);
    });
}

bool KLMemberListViewController::isOwn(const KLHubFeedPtr &feed) const
{
    const auto own = m_meeting->publisher();
    return feed && own && feed->uuid() == own->uuid();
}

// --- Lists -------------------------------------------------------------------------------------

KLMemberMuteAllState KLMemberListViewController::muteAllStateFor(bool enabled)
{
    return {enabled,
            enabled ? QStringLiteral("conf_member_mute_all_normal")
                    : QStringLiteral("conf_member_mute_all_disable_normal"),
            KLLocalizedString(QStringLiteral("MUTE_ALL_PERSON"))};
}

void KLMemberListViewController::refresh()
{
    const bool internal = m_meeting->isInternal();
    QList<KLHubFeedPtr> online = m_meeting->participantsWithOnline(true);
    QList<KLHubFeedPtr> offline = internal ? m_meeting->participantsWithOnline(false) : QList<KLHubFeedPtr>();
    bool canMuteSomeone = false;
    for (const auto &feed : std::as_const(online))
        canMuteSomeone = canMuteSomeone || (!isOwn(feed) && muteValue(feed) && *muteValue(feed) != 1);
    const bool showOffline = internal && !offline.isEmpty();
    // The focus follows the big view: its participant's row, while that one is online.
    const auto shown = m_meeting->displayingClient();
    QString focused;
    for (const auto &feed : std::as_const(online))
        if (shown && feed->uuid() == shown->uuid())
            focused = feed->uuid();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_online = std::move(online);
        m_offline = std::move(offline);
        m_maxOnlineMember = showOffline ? kMaxOnlineRowsWithOffline : 0;
        m_muteAll = muteAllStateFor(canMuteSomeone);
        m_focused = focused;
    }
    const KLMemberMuteAllState muteAll = muteAllState();
    onMain([internal, showOffline, muteAll](KLMemberListViewController &, KLMemberListView &view) {
        view.reloadMembers(internal);
        view.showOfflineSection(showOffline, KLLocalizedString(QStringLiteral("OFFLINE_TIPS")));
        view.setMuteAllState(muteAll);
    });
    // The observer hears of it even without a drawn panel.
    std::weak_ptr<KLMemberListViewController> weak = weak_from_this();
    KLPerformBlockOnMainThread([weak] {
        if (auto self = weak.lock())
            self->notifyObserver();
    });
}

QString KLMemberListViewController::focusedUuid() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_focused;
}

KLMemberRow KLMemberListViewController::rowFor(const KLHubFeedPtr &feed) const
{
    KLMemberRow row;
    if (!feed)
        return row;
    const auto participant = feed->participant();
    row.uuid = feed->uuid();
    row.name = feed->display();
    row.memberType = participant ? participant->memberType.toInteger() : 0;
    row.online = feed->isOnline();
    const auto mute = muteValue(feed);
    row.muted = mute ? *mute == 1 : feed->audioMuted();
    row.video = feed->videoEnabled() && !feed->videoMuted();
    row.calling = feed->isCalling();
    row.speaking = feed->isSpeaking();
    row.locked = feed->isLocked();
    row.isSelf = isOwn(feed);
    row.focused = !row.uuid.isEmpty() && row.uuid == focusedUuid();
    row.callEnabled = isCallButtonEnabled(row.uuid);
    if (row.online) {
        if (canMute(feed))
            row.buttons << QStringLiteral("mute");
        row.buttons << QStringLiteral("hangup");
        if (!feed->isShareScreen())
            row.buttons << QStringLiteral("lock");
    } else if (!row.isSelf) {
        // The local user is never dialled from their own list (its row is offline only until
        // the meeting has counted the user in).
        row.buttons << QStringLiteral("call");
        if (participant && !participant->cellPhone.isEmpty())
            row.buttons << QStringLiteral("callCell");
        // Rooms have one line to call; people get the popover with the staff call too.
        if (!feed->isMeetingRoom())
            row.buttons << QStringLiteral("callDetail");
    }
    return row;
}

KLMemberListSnapshot KLMemberListViewController::snapshot() const
{
    KLMemberListSnapshot out;
    for (const auto &feed : onlineParticipantsArray())
        out.online.append(rowFor(feed));
    for (const auto &feed : offlineParticipantsArray())
        out.offline.append(rowFor(feed));
    out.offlineSectionVisible = m_meeting->isInternal() && !out.offline.isEmpty();
    out.offlineTitle = KLLocalizedString(QStringLiteral("OFFLINE_TIPS"));
    out.maxOnlineRows = maxOnlineMember();
    out.muteAll = muteAllState();
    return out;
}

void KLMemberListViewController::callDetailClicked(const QString &uuid)
{
    const auto feed = feedWithUuid(uuid);
    if (!feed || feed->isOnline())
        return;
    if (m_view)
        m_view->showCallDetail(uuid);
}

void KLMemberListViewController::backgroundClicked()
{
    KLChatManager::sharedInstance().setChatHidden(true);
    if (m_view)
        m_view->chatHidden();
}

// The rooms of the appointment that are neither in the meeting nor being called.
std::shared_ptr<KLCallRoomViewController> KLMemberListViewController::openCallRoomDialog()
{
    if (m_callRooms && !m_callRooms->isClosed())
        return m_callRooms;
    std::weak_ptr<KLHubMeeting> meeting = m_meeting;
    auto rooms = [meeting] {
        QList<KLHubFeedPtr> out;
        if (auto alive = meeting.lock())
            for (const auto &feed : alive->participantsWithOnline(false))
                if (feed->isMeetingRoom() && !feed->isCalling())
                    out.append(feed);
        return out;
    };
    m_callRooms = KLCallRoomViewController::create(m_meeting, rooms);
    std::weak_ptr<KLMemberListViewController> weak = weak_from_this();
    m_callRooms->setClosedHandler([weak] {
        KLPerformBlockOnMainThread([weak] {
            if (auto self = weak.lock()) {
                self->m_callRooms.reset();
                self->notifyObserver();
            }
        });
    });
    if (m_view)
        m_view->showCallRoomDialog(m_callRooms);
    notifyObserver();
    return m_callRooms;
}

std::shared_ptr<KLCallRoomViewController> KLMemberListViewController::callRoomDialog() const
{
    return m_callRooms;
}

QList<KLHubFeedPtr> KLMemberListViewController::onlineParticipantsArray() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_online;
}

QList<KLHubFeedPtr> KLMemberListViewController::offlineParticipantsArray() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_offline;
}

int KLMemberListViewController::maxOnlineMember() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_maxOnlineMember;
}

KLMemberMuteAllState KLMemberListViewController::muteAllState() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_muteAll;
}

KLHubFeedPtr KLMemberListViewController::feedWithUuid(const QString &uuid) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const auto *list : {&m_online, &m_offline})
        for (const auto &feed : *list)
            if (feed->uuid() == uuid)
                return feed;
    return nullptr;
}

// --- Row actions -------------------------------------------------------------------------------

void KLMemberListViewController::rowClicked(const QString &uuid)
{
    const auto feed = feedWithUuid(uuid);
    if (!feed || !m_meeting->isPallasMeeting() || feed->isCalling())
        return;
    const auto shown = m_meeting->displayingClient();
    if (shown && shown->uuid() == uuid)
        return;
    m_meeting->clickedClientFeed(feed);
}

// Internal non-staff users may only mute themselves; everyone else may mute anyone.
bool KLMemberListViewController::canMute(const KLHubFeedPtr &feed) const
{
    return m_meeting->isStaff() || isOwn(feed) || !m_meeting->isInternal();
}

void KLMemberListViewController::muteClicked(const QString &uuid)
{
    const auto feed = feedWithUuid(uuid);
    if (!feed || !canMute(feed)) {
        KL_LOG_DEBUG(kTag, QStringLiteral("muting others is not allowed"));
        return;
    }
    m_actionLog(QStringLiteral("memberlist-mute-button"));
    toggleMute(feed);
}

// With extension and cell phone both in the call, only the server can unmute the own phones.
void KLMemberListViewController::toggleMute(const KLHubFeedPtr &feed)
{
    if (muteValue(feed) != 1) {
        m_meeting->muteAudio(feed, true, true);
        return;
    }
    if (isOwn(feed) && feed->isExtensionAndCellPhoneOnline())
        m_meeting->perform(feed, KLHubFeedAction::UnmuteCellPhone);
    else
        m_meeting->muteAudio(feed, false, true);
}

QString KLMemberListViewController::hangupDisplayName(const QString &name)
{
    if (name.size() <= kHangupNameLength)
        return name;
    return QStringLiteral("%1...").arg(name.left(kHangupNameLength));
}

void KLMemberListViewController::hangupClicked(const QString &uuid)
{
    m_actionLog(QStringLiteral("memberlist-hangup-button"));
    const auto feed = feedWithUuid(uuid);
    if (!feed)
        return;
    if (isOwn(feed)) {
        if (m_leaveHandler)
            m_leaveHandler();
        return;
    }
    std::weak_ptr<KLMemberListViewController> weak = weak_from_this();
    KLDialogRequest request;
    request.title = KLLocalizedString(QStringLiteral("HANGUP_MEMBER_TOAST_DIALOG")).arg(hangupDisplayName(feed->display()));
    request.desc = KLLocalizedString(QStringLiteral("HANGUP_MEMBER_TOAST_DIALOG_DESC"));
    request.firstButtonText = KLLocalizedString(QStringLiteral("HANGUP_MEMBER_TOAST_DIALOG_CONFIRM"));
    request.firstBlock = [weak, feed] {
        if (auto self = weak.lock())
            self->hangup(feed);
    };
    request.secondButtonText = KLLocalizedString(QStringLiteral("CANCEL"));
    KLToastManager::shared().showToastDialog(std::move(request));
}

void KLMemberListViewController::hangup(const KLHubFeedPtr &feed)
{
    m_meeting->perform(feed, m_meeting->isPallasMeeting() ? KLHubFeedAction::HangupCall
                                                          : KLHubFeedAction::HangupMcuCall);
}

void KLMemberListViewController::lockClicked(const QString &uuid)
{
    const auto feed = feedWithUuid(uuid);
    if (!feed)
        return;
    const bool wasLocked = feed->isLocked();
    KLNotificationCenter::defaultCenter().postNotification(
        KLNotificationNames::lockMember, nullptr, {{KLNotificationKeys::client, QVariant::fromValue(feed)}});
    const KLMemberLockState state{
        wasLocked ? QStringLiteral("conf_member_unlock") : QStringLiteral("conf_member_lock"),
        KLLocalizedString(wasLocked ? QStringLiteral("Unlock_Member_ToolTips") : QStringLiteral("Lock_Member_ToolTips"))};
    onMain([uuid, state](KLMemberListViewController &, KLMemberListView &view) { view.setLockState(uuid, state); });
    // The layout toggles the lock on the notification: the rows change with it.
    notifyObserver();
}
