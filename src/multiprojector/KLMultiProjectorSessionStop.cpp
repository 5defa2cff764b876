// The end paths of a cast: the share bar's stop dialog, the host's stop request, the viewer's
// close button and the system going to sleep. Each sets the stopping flag before its first
// asynchronous step, so a second end request meanwhile only leaves.

#include "multiprojector/KLMultiProjectorSession.h"

#include "conference/registry/KLFeedClient.h"
#include "conference/multiprojector/KLMultiProjectorContext.h"
#include "conference/multiprojector/KLMultiProjectorMembers.h"
#include "host/KLMessageMode.h"
#include "multiprojector/KLMultiProjectorView.h"
#include "presentation/KLDialogQueue.h"
#include "presentation/KLToastManager.h"
#include "runtime/KLLocalization.h"
#include "runtime/KLNotificationCenter.h"
#include "runtime/KLNotificationNames.h"
#include "runtime/KLSDKLog.h"
#include "runtime/KLTimer.h"

namespace {
const char *const kTag = "KLMultiProjectorSession";
// What the host shows when the cast ended because the machine went to sleep.
constexpr int kSleepErrorStatus = 100;
// The host's work status for "the sender's cast has ended".
constexpr int kCastEndedWorkStatus = 31;
constexpr int kStatusEnded = 4;
constexpr int kStatusPaused = 6;
const QString kStopRed = QStringLiteral("#F04631");
const QString kPauseBlue = QStringLiteral("#0079F2");
const QString kWhite = QStringLiteral("#FFFFFF");
} // namespace

namespace Members = KLMultiProjectorMembers;

QJsonObject KLMultiProjectorSession::sleepMessages()
{
    return {{"errorMsgEn", "The screen has been ended due to system hibernation or screen lock"},
            {"errorMsgZh", QStringLiteral("系统挂起或者锁屏，投屏退出。")}};
}

// --- Share bar stop dialog --------------------------------------------------------------------

void KLMultiProjectorSession::shareBarStopSharePressed()
{
    actionLog(QStringLiteral("sharebar-stop-share-button"));
    onMain([](KLMultiProjectorSession &s) { s.showStopDialog(); });
}

void KLMultiProjectorSession::showStopDialog()
{
    const QString uuids = Members::joinedUuids(Members::participantsWithMultiProjectorViewerList(
        m_context->registeredFeeds(),
        Members::shareOwner(m_context->registeredFeeds(), m_context->sharedFeed())));
    // Ending can also call the viewers into the audio meeting, but only when it has somebody.
    const bool withCalls = m_context->isOpenAudioMeetingForMultiProjector()
                           && !Members::audioOnlineMembersForMultiProjectorWithSelf(
                                   m_context->registeredFeeds(), m_context->publisher(), true)
                                   .isEmpty();
    std::weak_ptr<KLMultiProjectorSession> weak = weak_from_this();
    KLDialogRequest request;
    request.title = KLLocalizedString(QStringLiteral("MULTIPROJECTOR_STOP_PROJECTOR"));
    request.desc = KLLocalizedString(withCalls ? QStringLiteral("MULTIPROJECTOR_STOP_PROJECTOR_DESC")
                                               : QStringLiteral("MULTIPROJECTOR_STOP_PROJECTOR_NO_DESC_AUDIO"));
    request.firstButtonText =
        KLLocalizedString(withCalls ? QStringLiteral("MULTIPROJECTOR_STOP_PROJECTOR_AND_CALL")
                                    : QStringLiteral("MULTIPROJECTOR_STOP_PROJECTOR_BUTTON"));
    request.firstButtonBgColor = kStopRed;
    request.secondButtonText = KLLocalizedString(QStringLiteral("MULTIPROJECTOR_STOP_PROJECTOR_INTER"));
    request.secondButtonBgColor = kPauseBlue;
    request.secondBorderColor = kPauseBlue;
    request.secondButtonTextColor = kWhite;
    request.showThirdButton = true;
    request.firstBlock = [weak, uuids, withCalls] {
        if (auto self = weak.lock())
            self->endCast(uuids, withCalls);
    };
    request.secondBlock = [weak] {
        if (auto self = weak.lock())
            self->pauseCast();
    };
    request.thirdBlock = [weak] {
        if (auto self = weak.lock())
            self->actionLog(QStringLiteral("dialog-stop-share-cancel"));
    };
    KLToastManager::shared().showToastDialog(std::move(request));
}

void KLMultiProjectorSession::endCast(const QString &uuids, bool withCalls)
{
    actionLog(QStringLiteral("dialog-stop-share-end"));
    m_context->setIsStopMultiScreenStage(true);
    stopShareToQls(true);
    reportItMonitorEnd();
    endCastForMembers(uuids, withCalls, [this] { finishCast(); });
}

void KLMultiProjectorSession::pauseCast()
{
    actionLog(QStringLiteral("dialog-stop-share-pause"));
    stopShareToQls(false);
    KLNotificationCenter::defaultCenter().postNotification(KLNotificationNames::STOP_SHARE_INTERNAL);
    reportStatus(kStatusPaused);
}

// A receiver quits at once; a sender first tells the host, which needs a moment to take the
// cast down on its side before this process goes.
void KLMultiProjectorSession::finishCast()
{
    if (!isSender()) {
        leaveAndClose();
        return;
    }
    m_messages->notifyWorkStatus(kCastEndedWorkStatus);
    closeSoon(kSenderCloseDelaySeconds);
}

void KLMultiProjectorSession::leaveAndClose()
{
    m_context->leave();
    m_closeApp();
}

void KLMultiProjectorSession::closeSoon(double seconds)
{
    std::weak_ptr<KLMultiProjectorSession> weak = weak_from_this();
    m_closeTimer = std::make_unique<KLTimer>(seconds, false, [weak] {
        if (auto self = weak.lock())
            self->m_closeApp();
    });
    m_closeTimer->startTimer();
}

// The end dialog's button and its 20-second timer both lead here; only the first one counts.
void KLMultiProjectorSession::closeStep()
{
    if (m_closeStepDone)
        return;
    m_closeStepDone = true;
    if (m_closeTimer)
        m_closeTimer->stopTimer();
    m_context->setIsStopMultiScreenStage(true);
    if (isSender())
        m_messages->notifyWorkStatus(kCastEndedWorkStatus);
    m_closeApp();
}

void KLMultiProjectorSession::showEndDialog(const QString &messageKey, std::function<void()> onPress)
{
    KLDialogRequest request;
    request.title = messageKey.isEmpty() ? QString() : KLLocalizedString(messageKey);
    request.firstButtonText = KLLocalizedString(QStringLiteral("LEAVE_ROOM_BY_KICK_TOAST_KNOW"));
    request.firstBlock = std::move(onPress);
    KLToastManager::shared().showToastDialog(std::move(request));
}

// --- The host asks the cast to end ------------------------------------------------------------

void KLMultiProjectorSession::stopShareFromHost()
{
    onMain([](KLMultiProjectorSession &s) {
        if (s.m_isSleepStage) {
            KL_LOG_INFO(kTag, QStringLiteral("StopShareFromJS ignored: the system is going to sleep"));
            return;
        }
        if (s.m_context->isStopMultiScreenStage()) {
            s.leaveAndClose();
            return;
        }
        s.m_context->setIsStopMultiScreenStage(true);
        if (s.isSharing())
            s.reportItMonitorEnd();
        const QString uuids = Members::joinedUuids(
            Members::participantsWithMultiProjector(s.m_context->registeredFeeds()));
        std::weak_ptr<KLMultiProjectorSession> weak = s.weak_from_this();
        s.endCastForMembers(uuids, true, [weak] {
            auto self = weak.lock();
            if (!self)
                return;
            if (self->isSender())
                self->m_messages->notifyWorkStatus(kCastEndedWorkStatus);
            self->leaveAndClose();
        });
        s.commitRecord(3, 1, {{"value", "projectEnd"}, {"reason", "userClick"}, {"desc", "stopAll"}});
    });
}

// --- Viewer close button ----------------------------------------------------------------------

void KLMultiProjectorSession::viewerClosePressed()
{
    actionLog(QStringLiteral("viewer-close-button"));
    onMain([](KLMultiProjectorSession &s) {
        if (s.isSender() && s.m_context->isOpenAudioMeetingForMultiProjector()) {
            if (s.m_view)
                s.m_view->showHubLeaveDialog();
            return;
        }
        s.commitRecord(3, 1, {{"value", "projectWatchEnd"}, {"cause", "User Click Leave"}});
        s.m_context->leave();
        std::weak_ptr<KLMultiProjectorSession> weak = s.weak_from_this();
        s.reportStatus(kStatusEnded, [weak] {
            auto self = weak.lock();
            if (!self)
                return;
            self->m_context->setIsStopMultiScreenStage(true);
            if (self->isSender()) {
                self->m_messages->notifyWorkStatus(kCastEndedWorkStatus);
                self->closeSoon(kSenderCloseDelaySeconds);
            } else {
                self->m_closeApp();
            }
        });
    });
}

// --- System sleep -----------------------------------------------------------------------------

void KLMultiProjectorSession::systemWillSleep()
{
    onMain([](KLMultiProjectorSession &s) {
        if (s.m_isSleepStage)
            return;
        s.m_isSleepStage = true;
        s.m_context->setIsStopMultiScreenStage(true);
        const auto own = s.m_context->publisher();
        if (own && own->associcateShareFeed())
            s.sleepWhileCasting();
        else
            s.sleepWhileWatching();
    });
}

void KLMultiProjectorSession::sleepWhileCasting()
{
    reportItMonitorEnd();
    commitRecord(3, 2, {{"value", "projectEnd"}, {"desc", "stopAll"}, {"reason", "systemSuspend"}});
    const QString uuids =
        Members::joinedUuids(Members::participantsWithMultiProjector(m_context->registeredFeeds()));
    std::weak_ptr<KLMultiProjectorSession> weak = weak_from_this();
    endCastForMembers(uuids, true, [weak] {
        auto self = weak.lock();
        if (!self)
            return;
        if (self->isSender())
            self->m_messages->notifyErrorStatus(kSleepErrorStatus, sleepMessages());
        self->leaveAndClose();
    });
}

void KLMultiProjectorSession::sleepWhileWatching()
{
    reportStatus(kStatusEnded);
    commitRecord(3, 2, {{"value", "projectWatchEnd"}, {"reason", "systemSuspend"}});
    if (isSender()) {
        m_messages->notifyErrorStatus(kSleepErrorStatus, sleepMessages());
        leaveAndClose();
        return;
    }
    std::weak_ptr<KLMultiProjectorSession> weak = weak_from_this();
    showEndDialog(QStringLiteral("SYSTEM_WILL_SLEEP_TIPS"), [weak] {
        if (auto self = weak.lock())
            self->m_closeApp();
    });
    closeSoon(kEndDialogCloseSeconds);
    m_context->leave();
}
