// Start, entry, title, the server's end, and the notifications the window listens to.

#include "multiprojector/KLMultiProjectorSession.h"

#include "conference/service/KLConferenceService.h"
#include "conference/multiprojector/KLConferenceServiceMultiProjectorContext.h"
#include "conference/registry/KLFeedClient.h"
#include "conference/multiprojector/KLMultiProjectorContext.h"
#include "conference/multiprojector/KLMultiProjectorMembers.h"
#include "host/KLHostUtils.h"
#include "host/KLMessageMode.h"
#include "model/KLConferenceItemModel.h"
#include "multiprojector/KLMultiProjectorTitle.h"
#include "multiprojector/KLMultiProjectorView.h"
#include "runtime/KLNotificationCenter.h"
#include "runtime/KLNotificationNames.h"
#include "runtime/KLSDKLog.h"
#include "runtime/KLTimer.h"

#include <KelvoUISDK/KLSDKDispatch.h>

namespace {
const char *const kTag = "KLMultiProjectorSession";
// Posted by the host integration when the host asks the cast to end.
const QString kStopShareFromJS = QStringLiteral("StopShareFromJS");
} // namespace

bool KLMultiProjectorSession::isSenderMode(const QString &clientMode)
{
    return clientMode == QLatin1String("sender");
}

std::shared_ptr<KLMultiProjectorSession>
KLMultiProjectorSession::start(const Options &options, std::shared_ptr<KLMultiProjectorView> view,
                               HostHooks hooks)
{
    const bool sender = isSenderMode(options.clientMode);
    auto service = KLConferenceService::create(options.conferenceId, 1, !sender,
                                               sender ? options.projectId : QString(),
                                               options.meetingConfig);
    service->setOpenAudioFromJSForMultiProjector(options.withAudio);
    auto session = create(service->multiProjectorContext(), std::move(view), std::move(hooks));
    session->m_service = service;
    service->setDataSource(session);
    KL_LOG_INFO(kTag, QStringLiteral("start multi-projector %1 as %2")
                          .arg(options.conferenceId, sender ? QStringLiteral("sender")
                                                            : QStringLiteral("receiver")));
    service->joinMeeting();
    return session;
}

std::shared_ptr<KLMultiProjectorSession>
KLMultiProjectorSession::create(std::shared_ptr<KLMultiProjectorContext> context,
                                std::shared_ptr<KLMultiProjectorView> view, HostHooks hooks)
{
    std::shared_ptr<KLMultiProjectorSession> session(
        new KLMultiProjectorSession(std::move(context), std::move(view), std::move(hooks)));
    session->observeNotifications();
    return session;
}

KLMultiProjectorSession::KLMultiProjectorSession(std::shared_ptr<KLMultiProjectorContext> context,
                                                 std::shared_ptr<KLMultiProjectorView> view,
                                                 HostHooks hooks)
    : m_context(std::move(context)),
      m_view(std::move(view)),
      m_messages(hooks.messages ? hooks.messages : &KLMessageMode::sharedInstance()),
      m_closeApp(hooks.closeApp ? std::move(hooks.closeApp) : [] { KLHostUtils::closeApp(); })
{
}

KLMultiProjectorSession::~KLMultiProjectorSession()
{
    KLNotificationCenter::defaultCenter().removeObserver(this);
    if (m_closeTimer)
        m_closeTimer->stopTimer();
    if (m_hideTimer)
        m_hideTimer->stopTimer();
}

bool KLMultiProjectorSession::isSender() const { return m_context->isSender(); }

void KLMultiProjectorSession::onMain(std::function<void(KLMultiProjectorSession &)> work)
{
    std::weak_ptr<KLMultiProjectorSession> weak = weak_from_this();
    KLPerformBlockOnMainThread([weak, work = std::move(work)] {
        if (auto self = weak.lock())
            work(*self);
    });
}

void KLMultiProjectorSession::observeNotifications()
{
    std::weak_ptr<KLMultiProjectorSession> weak = weak_from_this();
    auto observe = [this, weak](const QString &name,
                                std::function<void(KLMultiProjectorSession &, const KLNotification &)> act) {
        KLNotificationCenter::defaultCenter().addObserver(
            this, name, [weak, act](const KLNotification &notification) {
                if (auto self = weak.lock())
                    act(*self, notification);
            });
    };
    observe(KLNotificationNames::DesktopSharing,
            [](KLMultiProjectorSession &s, const KLNotification &) { s.desktopSharingStarted(); });
    observe(kStopShareFromJS,
            [](KLMultiProjectorSession &s, const KLNotification &) { s.stopShareFromHost(); });
    observe(KLNotificationNames::SystemWillSleep,
            [](KLMultiProjectorSession &s, const KLNotification &) { s.systemWillSleep(); });
    observe(KLNotificationNames::OpenAudioMeetingForMultiProjector,
            [](KLMultiProjectorSession &s, const KLNotification &) { s.refreshTitle(); });
    observe(KLNotificationNames::OnlineOfflineChangeNotification,
            [](KLMultiProjectorSession &s, const KLNotification &) { s.refreshTitle(); });
    observe(KLNotificationNames::GetAppointmentDetail,
            [](KLMultiProjectorSession &s, const KLNotification &n) {
                const auto detail = n.userInfo.value(KLNotificationKeys::detail)
                                        .value<std::shared_ptr<KLConferenceItemModel>>();
                if (detail)
                    s.appointmentDetailArrived(detail->appointmentName);
            });
    observe(KLNotificationNames::KLMultiProjectorInviteSuccess,
            [](KLMultiProjectorSession &s, const KLNotification &n) {
                s.inviteSucceeded(n.userInfo.value(KLNotificationKeys::withAudio).toBool());
            });
}

// --- Entry and title --------------------------------------------------------------------------

void KLMultiProjectorSession::enterRoomSuccess()
{
    KL_LOG_INFO(kTag, QStringLiteral("enterRoom success"));
    onMain([](KLMultiProjectorSession &s) {
        if (s.m_view)
            s.m_view->showContent();
        if (!s.isSender())
            return;
        if (s.m_view)
            s.m_view->startMProjectorForSender();
        s.askBusyRooms();
    });
}

void KLMultiProjectorSession::askBusyRooms()
{
    auto api = m_context->meetingApi();
    if (!api)
        return;
    std::weak_ptr<KLMultiProjectorSession> weak = weak_from_this();
    api->getStartMultiScreenRoomStatusWithAppointmentId(
        QJsonValue(m_context->appointmentId()),
        [weak](const QJsonValue &payload) {
            if (auto self = weak.lock())
                self->onMain([payload](KLMultiProjectorSession &s) { s.busyRoomsArrived(payload); });
        },
        [](const QString &code, const QString &message) {
            KL_LOG_WARN(kTag, QStringLiteral("getStartMultiScreenRoomStatus failed with %1 %2")
                                  .arg(code, message));
        });
}

void KLMultiProjectorSession::busyRoomsArrived(const QJsonValue &payload)
{
    QList<std::shared_ptr<KLFeedClient>> busy;
    for (const QJsonValue &entry : payload.toArray()) {
        const QJsonObject item = entry.toObject();
        const QString uuid = item.value(QLatin1String("memberUUID")).toString();
        const auto feed = uuid.isEmpty() ? nullptr : m_context->clientWithUUID(uuid);
        if (!feed)
            continue;
        feed->setRoomBusyStatusForMultiProjector(item.value(QLatin1String("status")).toString());
        busy.append(feed);
    }
    if (!busy.isEmpty() && m_view)
        m_view->showMultiProjectorConfirmDialog(busy, false, true, false);
}

void KLMultiProjectorSession::refreshTitle()
{
    onMain([](KLMultiProjectorSession &s) {
        const bool audioOpen = s.m_context->isOpenAudioMeetingForMultiProjector();
        const bool noAudioMembers =
            KLMultiProjectorMembers::audioOnlineMembersForMultiProjectorWithSelf(
                s.m_context->registeredFeeds(), s.m_context->publisher(), true)
                .isEmpty();
        const bool hasShare = s.m_context->sharedFeed() != nullptr;
        if (!s.m_view)
            return;
        s.m_view->setWindowTitle(KLMultiProjectorTitle::windowTitle(audioOpen, hasShare,
                                                                    noAudioMembers,
                                                                    s.m_mprojectorTitle));
        KLMultiProjectorShareBarState bar;
        bar.audioMeetingOpen = audioOpen;
        if (audioOpen)
            bar.callButtonTooltip = QStringLiteral("MULTIPROJRECTOR_CALL_ALL_TOOLTIPS");
        s.m_view->updateShareBar(bar);
    });
}

void KLMultiProjectorSession::appointmentDetailArrived(const QString &meetingName)
{
    onMain([meetingName](KLMultiProjectorSession &s) {
        s.m_mprojectorTitle = meetingName;
        s.refreshTitle();
    });
}

// --- The server ends the session --------------------------------------------------------------

void KLMultiProjectorSession::leaveRoomWithReason(int reason)
{
    onMain([reason](KLMultiProjectorSession &s) {
        KL_LOG_INFO(kTag, QStringLiteral("leaveRoomWithReason %1").arg(reason));
        // The meeting hangs up with this reason on the same "SystemWillSleep" the session
        // handles itself; that handling needs the feeds still registered, so it runs first
        // and takes over this reason's dialog.
        if (reason == KLLeaveReasonSystemSleep) {
            s.systemWillSleep();
            return;
        }
        const bool sharer = s.isSharing();
        if (reason == KLLeaveReasonRemoved && !s.m_context->isStopMultiScreenStage()) {
            if (sharer) {
                s.reportItMonitorEnd();
                s.commitRecord(3, 2, {{"value", "projectEnd"}, {"desc", "stopAll"}, {"reason", "byOther"}});
            } else {
                s.reportStatus(4);
                s.commitRecord(3, 2, {{"value", "projectWatchEnd"}, {"reason", "byOther"}});
            }
        }
        if (!s.m_context->isStopMultiScreenStage()) {
            if (s.m_view)
                s.m_view->setKickByOthers();
            std::weak_ptr<KLMultiProjectorSession> weak = s.weak_from_this();
            s.showEndDialog(KLMultiProjectorTitle::leaveMessageKey(reason, sharer), [weak] {
                if (auto self = weak.lock())
                    self->closeStep();
            });
            s.closeSoon(kEndDialogCloseSeconds);
        }
        s.m_context->leave();
    });
}

// --- Window and system ----------------------------------------------------------------------

void KLMultiProjectorSession::desktopSharingStarted()
{
    onMain([](KLMultiProjectorSession &s) {
        if (!s.m_view || !s.m_view->isFullScreen())
            return;
        s.m_view->leaveFullScreen();
        std::weak_ptr<KLMultiProjectorSession> weak = s.weak_from_this();
        s.m_hideTimer = std::make_unique<KLTimer>(kHideAfterFullScreenSeconds, false, [weak] {
            if (auto self = weak.lock(); self && self->m_view)
                self->m_view->hideWindow();
        });
        s.m_hideTimer->startTimer();
    });
}

void KLMultiProjectorSession::applicationDidResignActive()
{
    onMain([](KLMultiProjectorSession &s) {
        if (s.isSender() && s.m_view)
            s.m_view->hideWindow();
    });
}

void KLMultiProjectorSession::windowWillClose()
{
    onMain([](KLMultiProjectorSession &s) { s.leaveAndClose(); });
}

void KLMultiProjectorSession::viewerMemberPressed()
{
    actionLog(QStringLiteral("viewer-member-button"));
}
