// The member list's bulk actions (mute all, call all) and its call buttons, whose presses are
// spaced out by a short lock so that one participant is not dialled twice at once.

#include "window/KLMemberListViewController.h"

#include "cloudlog/KLQLSLogger.h"
#include "conference/registry/KLFeedClient.h"
#include "model/KLParticipant.h"
#include "presentation/KLDialogQueue.h"
#include "presentation/KLToastManager.h"
#include "runtime/KLLocalization.h"
#include "runtime/KLSDKLog.h"
#include "runtime/KLTimer.h"

#include <KelvoUISDK/KLSDKDispatch.h>

namespace {
const char *const kTag = "KLMemberListViewController";
constexpr qint64 kExternalMemberType = 3;
} // namespace

void KLMemberListViewController::muteAllClicked()
{
    if (!muteAllState().enabled)
        return;
    std::weak_ptr<KLMemberListViewController> weak = weak_from_this();
    KLDialogRequest request;
    request.title = KLLocalizedString(QStringLiteral("MUTE_ALL_TOAST_DIALOG"));
    request.desc = KLLocalizedString(QStringLiteral("MUTE_ALL_TOAST_DIALOG_DESC"));
    request.firstButtonText = KLLocalizedString(QStringLiteral("MUTE_ALL_PERSON_TIPS"));
    request.firstBlock = [weak] {
        if (auto self = weak.lock())
            self->muteAll();
    };
    request.secondButtonText = KLLocalizedString(QStringLiteral("CANCEL"));
    KLToastManager::shared().showToastDialog(std::move(request));
}

void KLMemberListViewController::muteAll()
{
    KLQLSLogger::sharedInstance().commitMonitorLevel(3, 1, {{"value", "muteAll"}});
    for (const auto &feed : onlineParticipantsArray())
        if (feed->audioEnabled() && !isOwn(feed) && !feed->isShareScreen())
            toggleMute(feed);
}

void KLMemberListViewController::callAllClicked()
{
    m_actionLog(QStringLiteral("memberlist-call-all-button"));
    std::weak_ptr<KLMemberListViewController> weak = weak_from_this();
    KLDialogRequest request;
    request.title = KLLocalizedString(QStringLiteral("CALL_ALL_TOAST_DIALOG"));
    request.desc = KLLocalizedString(QStringLiteral("CALL_ALL_TOAST_DIALOG_DESC"));
    request.firstButtonText = KLLocalizedString(QStringLiteral("CALL_ALL_MEMBER_TIPS"));
    request.firstBlock = [weak] {
        if (auto self = weak.lock())
            self->callAll();
    };
    request.secondButtonText = KLLocalizedString(QStringLiteral("CANCEL"));
    KLToastManager::shared().showToastDialog(std::move(request));
}

void KLMemberListViewController::callAll()
{
    KLQLSLogger::sharedInstance().commitMonitorLevel(3, 1, {{"value", "callAll"}});
    for (const auto &feed : m_meeting->participantsWithOnline(false))
        m_meeting->perform(feed, KLHubFeedAction::MakeCall);
    markCallStatus();
}

// --- Call buttons ------------------------------------------------------------------------------

bool KLMemberListViewController::isCallButtonEnabled(const QString &uuid) const
{
    return !m_callLocks.contains(uuid);
}

bool KLMemberListViewController::lockCallButton(const QString &uuid)
{
    if (m_callLocks.contains(uuid))
        return false;
    std::weak_ptr<KLMemberListViewController> weak = weak_from_this();
    auto timer = std::make_shared<KLTimer>(kCallLockSeconds, false, [weak, uuid] {
        // The timer is released outside its own callback.
        KLPerformBlockOnMainThread([weak, uuid] {
            auto self = weak.lock();
            if (!self)
                return;
            self->m_callLocks.remove(uuid);
            if (self->m_view)
                self->m_view->setCallButtonEnabled(uuid, true);
            self->notifyObserver();
        });
    });
    m_callLocks.insert(uuid, timer);
    timer->startTimer();
    if (m_view)
        m_view->setCallButtonEnabled(uuid, false);
    notifyObserver();
    return true;
}

void KLMemberListViewController::callClicked(const QString &uuid)
{
    const auto feed = feedWithUuid(uuid);
    if (!feed || !lockCallButton(uuid))
        return;
    m_actionLog(QStringLiteral("memberlist-call-button"));
    if (feed->isCalling()) {
        hangup(feed);
        return;
    }
    const auto participant = feed->participant();
    const bool external = participant && participant->memberType.toInteger() == kExternalMemberType;
    if (external && participant->extensionPhone.isEmpty() && participant->cellPhone.isEmpty()) {
        KLDialogRequest request;
        request.title = QStringLiteral("%1 %2").arg(feed->display(),
                                                    KLLocalizedString(QStringLiteral("EXTERNAL_NOT_CALL_TIPS")));
        request.firstButtonText = KLLocalizedString(QStringLiteral("KNOW_TIPS"));
        KLToastManager::shared().showToastDialog(std::move(request));
        return;
    }
    m_meeting->perform(feed, KLHubFeedAction::MakeCall);
    markCallStatus();
}

void KLMemberListViewController::callCellClicked(const QString &uuid)
{
    const auto feed = feedWithUuid(uuid);
    if (!feed || !lockCallButton(uuid))
        return;
    m_meeting->perform(feed, KLHubFeedAction::MakeCellCall);
    markCallStatus();
}

void KLMemberListViewController::callStaffClicked(const QString &uuid)
{
    const auto feed = feedWithUuid(uuid);
    if (!feed)
        return;
    m_meeting->perform(feed, KLHubFeedAction::MakeCall);
    markCallStatus();
}

// The media engine is told that a call goes out, and that it is over a few seconds later.
void KLMemberListViewController::markCallStatus()
{
    m_meeting->setMemberCallStatus(1);
    std::weak_ptr<KLHubMeeting> meeting = m_meeting;
    m_callStatusTimer = std::make_unique<KLTimer>(kCallStatusSeconds, false, [meeting] {
        if (auto alive = meeting.lock())
            alive->setMemberCallStatus(-1);
    });
    m_callStatusTimer->startTimer();
    KL_LOG_DEBUG(kTag, QStringLiteral("call status marked"));
}
