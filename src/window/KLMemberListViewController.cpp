#include "window/KLMemberListViewController.h"

#include "cloudlog/KLQLSLogger.h"
#include "conference/KLConferenceService.h"
#include "conference/KLFeedClient.h"
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
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_online = std::move(online);
        m_offline = std::move(offline);
        m_maxOnlineMember = showOffline ? kMaxOnlineRowsWithOffline : 0;
        m_muteAll = muteAllStateFor(canMuteSomeone);
    }
    const KLMemberMuteAllState muteAll = muteAllState();
    onMain([internal, showOffline, muteAll](KLMemberListViewController &, KLMemberListView &view) {
        view.reloadMembers(internal);
        view.showOfflineSection(showOffline, KLLocalizedString(QStringLiteral("OFFLINE_TIPS")));
        view.setMuteAllState(muteAll);
    });
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
}
