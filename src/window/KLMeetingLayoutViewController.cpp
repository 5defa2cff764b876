#include "window/KLMeetingLayoutViewController.h"
#include "window/KLRenderViewProvider.h"
#include "window/KLVideoTileModel.h"

#include "cloudlog/KLQLSLogger.h"
#include "clientconfig/KLClientConfigManager.h"
#include "conference/service/KLConferenceService.h"
#include "conference/registry/KLFeedClient.h"
#include "conference/registry/KLParticipantRegistry.h"
#include "host/KLHostUtils.h"
#include "host/UserPersistentData.h"
#include "model/KLConferenceItemModel.h"
#include "host/StringUtils.h"
#include "host/KLMessageMode.h"
#include "model/KLSDKMeetingConfigInternal.h"
#include "model/KLSDKMeetingEventDelegate.h"
#include "model/KLUISDKGuiConfigInternal.h"
#include "presentation/KLDialogQueue.h"
#include "presentation/KLToastManager.h"
#include "runtime/KLLocalization.h"
#include "runtime/KLNotificationCenter.h"
#include "runtime/KLNotificationNames.h"
#include "runtime/KLSDKLog.h"
#include "runtime/KLTimer.h"

#include <KelvoUISDK/KLSDKDispatch.h>

#include <QProcess>

#include <algorithm>
#include <QStandardPaths>

namespace {
const char *const kTag = "KLMeetingLayoutViewController";
const char *const kEvaluateComplete = "kelvo-evaluate-complete";
// The desktop's privacy panels, as its settings program names them.
const char *const kMicrophoneSettings = "privacy";
const char *const kCameraSettings = "camera";
constexpr int kRateFinishReason = 9;

// Opens a panel of the desktop's settings program when there is one; elsewhere the user is only
// told by the dialog where to look.
void openDesktopSettings(const QString &panel)
{
    const QString program = QStandardPaths::findExecutable(QStringLiteral("gnome-control-center"));
    if (program.isEmpty() || !QProcess::startDetached(program, {panel}))
        KL_LOG_INFO(kTag, QStringLiteral("no settings program to open \"%1\"").arg(panel));
}

} // namespace

std::shared_ptr<KLMeetingLayoutViewController>
KLMeetingLayoutViewController::create(std::shared_ptr<KLConferenceService> service,
                                      std::shared_ptr<KLUISDKGuiConfigInternal> guiConfig,
                                      std::weak_ptr<KLSDKMeetingEventDelegate> meetingWindow)
{
    std::shared_ptr<KLMeetingLayoutViewController> layout(new KLMeetingLayoutViewController(
        std::move(service), std::move(guiConfig), std::move(meetingWindow)));
    layout->m_service->setDataSource(layout);
    layout->observeNotifications();
    return layout;
}

KLMeetingLayoutViewController::KLMeetingLayoutViewController(
    std::shared_ptr<KLConferenceService> service, std::shared_ptr<KLUISDKGuiConfigInternal> guiConfig,
    std::weak_ptr<KLSDKMeetingEventDelegate> meetingWindow)
    : m_service(std::move(service)),
      m_guiConfig(std::move(guiConfig)),
      m_meetingWindow(std::move(meetingWindow)),
      m_isInternal(m_service->meetingConfig()->isVanInternal()),
      m_urlOpener(openDesktopSettings)
{
}

KLMeetingLayoutViewController::~KLMeetingLayoutViewController()
{
    KLNotificationCenter::defaultCenter().removeObserver(this);
    if (m_internalCloseTimer)
        m_internalCloseTimer->stopTimer();
}

void KLMeetingLayoutViewController::observeNotifications()
{
    std::weak_ptr<KLMeetingLayoutViewController> weak = shared_from_this();
    auto &center = KLNotificationCenter::defaultCenter();
    center.addObserver(this, KLNotificationNames::GetAppointmentRateUrl, [weak](const KLNotification &) {
        if (auto self = weak.lock())
            self->prepareRateUrl();
    });
    center.addObserver(this, KLNotificationNames::ShowRatePage, [weak](const KLNotification &) {
        if (auto self = weak.lock())
            self->showRatePage();
    });
    center.addObserver(this, QStringLiteral("NetWorkUnAvaliable"), [weak](const KLNotification &) {
        if (auto self = weak.lock())
            self->networkLost();
    });
    center.addObserver(this, QStringLiteral("LockClickMember"), [weak](const KLNotification &) {
        if (auto self = weak.lock())
            self->lockDisplayedClient();
    });
    center.addObserver(this, QStringLiteral("lockMember"), [weak](const KLNotification &note) {
        auto self = weak.lock();
        const auto feed = note.userInfo.value(QStringLiteral("client")).value<std::shared_ptr<KLFeedClient>>();
        if (self && feed)
            self->toggleLock(feed);
    });
    center.addObserver(this, KLNotificationNames::UnlockMember, [weak](const KLNotification &) {
        if (auto self = weak.lock())
            self->m_service->lockClientFeed(nullptr);
    });
    center.addObserver(this, KLNotificationNames::OnlineOfflineChangeNotification, [weak](const KLNotification &note) {
        if (auto self = weak.lock())
            self->onlineChanged(note.userInfo.value(KLNotificationKeys::client).value<std::shared_ptr<KLFeedClient>>());
    });
    for (const QLatin1String name : {KLNotificationNames::ReceiveVideoChangeNotification,
                                     KLNotificationNames::AudioVideoChangeNotification,
                                     KLNotificationNames::MeetingMemberNetStatusUpdate,
                                     KLNotificationNames::GetConferenceMember}) {
        center.addObserver(this, name, [weak](const KLNotification &) {
            if (auto self = weak.lock())
                self->membersChanged();
        });
    }
    for (const QLatin1String name : {KLNotificationNames::ChangeVideoDevice, KLNotificationNames::BeautyChange}) {
        center.addObserver(this, name, [weak](const KLNotification &) {
            if (auto self = weak.lock())
                self->onView([](KLMeetingLayoutView &view) { view.refreshLocalPreview(); });
        });
    }
    center.addObserver(this, KLNotificationNames::GetAppointmentDetail, [weak](const KLNotification &) {
        if (auto self = weak.lock())
            self->appointmentDetailChanged();
    });
    center.addObserver(this, KLNotificationNames::ShowCaptionView, [weak](const KLNotification &) {
        if (auto self = weak.lock())
            self->onView([](KLMeetingLayoutView &view) { view.showCaptionView(); });
    });
    // The network-lost dialog goes by itself (the dialog queue); the layout only notes it.
    center.addObserver(this, KLNotificationNames::NetWorkAvaliable, [](const KLNotification &) {
        KL_LOG_INFO(kTag, QStringLiteral("network available again"));
    });
    center.addObserver(this, KLNotificationNames::FullScreenShowAndHiddenPressed, [weak](const KLNotification &) {
        KLPerformBlockOnMainThread([weak] {
            if (auto self = weak.lock())
                self->toggleFullScreenChrome();
        });
    });
}

void KLMeetingLayoutViewController::setView(std::shared_ptr<KLMeetingLayoutView> view)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_view = std::move(view);
}

void KLMeetingLayoutViewController::setUrlOpener(std::function<void(const QString &)> opener)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_urlOpener = std::move(opener);
}

void KLMeetingLayoutViewController::onView(std::function<void(KLMeetingLayoutView &)> work)
{
    std::weak_ptr<KLMeetingLayoutViewController> weak = weak_from_this();
    KLPerformBlockOnMainThread([weak, work = std::move(work)] {
        auto self = weak.lock();
        if (!self)
            return;
        std::shared_ptr<KLMeetingLayoutView> view;
        {
            std::lock_guard<std::mutex> lock(self->m_mutex);
            view = self->m_view;
        }
        if (view)
            work(*view);
    });
}

// --- Leave reasons ----------------------------------------------------------------------------

KLLeaveReasonOutcome KLMeetingLayoutViewController::outcomeForReason(int reason, bool isInternal)
{
    using Report = KLLeaveReasonOutcome::Report;
    switch (reason) {
    case KLLeaveReasonRemoved:
        return {"LEAVE_ROOM_BY_KICK_TOAST_DIALOG", Report::Finish, KLSDKMeetingFinishRemoved, {}, {}};
    case KLLeaveReasonJoinedElsewhere:
        return {"LEAVE_ROOM_BY_OTHER_CLIENT", Report::Finish, KLSDKMeetingFinishJoinedElsewhere,
                "Other client join the meeting with same userId", {}};
    case KLLeaveReasonRegisterFailed:
        return {"LEAVE_ROOM_BY_SIGNAL_REGISTER_FAILED", Report::None, 0, {}, {}};
    case KLLeaveReasonMediaFailed:
    case KLLeaveReasonNetworkLost:
        return {"NO_NETWEAK_TIPS", Report::None, 0, {}, {}};
    case KLLeaveReasonSystemSleep:
        return {"SYSTEM_WILL_SLEEP_TIPS", Report::Finish, KLSDKMeetingFinishSystemSleep, "nil", {}};
    case KLLeaveReasonRoomFull:
        return {isInternal ? "ROOM_FULL" : "ROOM_FULL_EXTERNAL", Report::None, 0, {}, {}};
    case KLLeaveReasonRoomLocked:
        return {"ROOM_LOCKED", Report::None, 0, {}, {}};
    case KLLeaveReasonMicrophoneDenied:
        return {"NO_MICROPHONE_ACCESS_RIGHT", Report::Error, KLSDKMeetingErrorDevicePermission,
                "Microphone Device Permission Not Grant", kMicrophoneSettings};
    case KLLeaveReasonCameraDenied:
        return {"NO_CAMERA_ACCESS_RIGHT", Report::Error, KLSDKMeetingErrorDevicePermission,
                "Camera Device Permission Not Grant", kCameraSettings};
    case KLLeaveReasonEnterTimeout:
        return {"ENTER_ROOM_FAILED", Report::Error, KLSDKMeetingErrorJoinTimeout,
                "join meeting timeout, please check local network", {}};
    default:
        return {};
    }
}

void KLMeetingLayoutViewController::leaveRoomWithReason(int reason)
{
    KL_LOG_INFO(kTag, QStringLiteral("leave room with reason %1").arg(reason));
    leaveRoom(false);
    onView([](KLMeetingLayoutView &view) { view.showLeavePage(); });
    const KLLeaveReasonOutcome outcome = outcomeForReason(reason, m_isInternal);
    if (reason == KLLeaveReasonRoomFull && m_isInternal)
        showRoomFullCallDialog();
    else
        showLeaveDialog(reason, outcome);
    if (m_isInternal && reason != KLLeaveReasonRoomFull)
        scheduleInternalClose();
}

void KLMeetingLayoutViewController::showLeaveDialog(int reason, const KLLeaveReasonOutcome &outcome)
{
    Q_UNUSED(reason);
    std::weak_ptr<KLMeetingLayoutViewController> weak = weak_from_this();
    KLDialogRequest request;
    request.title = outcome.messageKey.isEmpty() ? QString() : KLLocalizedString(outcome.messageKey);
    request.firstButtonText = KLLocalizedString(QStringLiteral("LEAVE_ROOM_BY_KICK_TOAST_KNOW"));
    request.firstBlock = [weak, outcome] {
        auto self = weak.lock();
        if (!self)
            return;
        if (!outcome.settingsUrl.isEmpty()) {
            std::function<void(const QString &)> opener;
            {
                std::lock_guard<std::mutex> lock(self->m_mutex);
                opener = self->m_urlOpener;
            }
            if (opener)
                opener(outcome.settingsUrl);
        }
        if (self->m_isInternal)
            KLHostUtils::closeApp();
        self->report(outcome);
    };
    KLToastManager::shared().showToastDialog(std::move(request));
}

// An internal user whose room is full may follow the meeting by phone instead.
void KLMeetingLayoutViewController::showRoomFullCallDialog()
{
    std::weak_ptr<KLConferenceService> weakService = m_service;
    KLDialogRequest request;
    request.title = KLLocalizedString(QStringLiteral("ROOM_FULL"));
    request.firstButtonText = KLLocalizedString(QStringLiteral("CONFIRM_YES"));
    request.secondButtonText = KLLocalizedString(QStringLiteral("CONFIRM_NO"));
    request.firstBlock = [weakService] {
        auto service = weakService.lock();
        auto own = service ? service->publisher() : nullptr;
        if (!own) {
            KLHostUtils::closeApp();
            return;
        }
        own->makeCellPhoneCallWithSuccessBlock(
            [](const QJsonValue &) {
                auto timer = std::make_shared<std::unique_ptr<KLTimer>>();
                *timer = std::make_unique<KLTimer>(3.0, false, [timer] {
                    KLHostUtils::closeApp();
                    KLPerformBlockOnMainThread([timer] { timer->reset(); });
                });
                (*timer)->startTimer();
            },
            [](const QString &, const QString &) {});
    };
    request.secondBlock = [] { KLHostUtils::closeApp(); };
    KLToastManager::shared().showToastDialog(std::move(request));
}

void KLMeetingLayoutViewController::scheduleInternalClose()
{
    auto timer = std::make_unique<KLTimer>(kInternalCloseSeconds, false, [] { KLHostUtils::closeApp(); });
    timer->startTimer();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_internalCloseTimer = std::move(timer);
}

void KLMeetingLayoutViewController::report(const KLLeaveReasonOutcome &outcome)
{
    auto window = m_meetingWindow.lock();
    if (!window)
        return;
    if (outcome.report == KLLeaveReasonOutcome::Report::Finish)
        window->onMeetingFinish(outcome.code, outcome.text);
    else if (outcome.report == KLLeaveReasonOutcome::Report::Error)
        window->onError(outcome.code, outcome.text);
}

// The layout's own leave-room step (forced leaves and the network-lost dialog): a leave the
// user chose closes the application through the host utilities, which closes the window.
void KLMeetingLayoutViewController::leaveRoom(bool userInitiated)
{
    leaveMeeting(userInitiated);
    if (userInitiated)
        KLHostUtils::closeApp();
}

// The toolbar's leave-room step: after the leave the rating page takes over where the meeting
// has one; otherwise only an internal user's own leave closes the application (everyone
// else's host hears of the finish from the toolbar).
void KLMeetingLayoutViewController::toolbarLeaveRoom(bool userInitiated)
{
    // Whether the user was alone is read before leaving clears the registry.
    const bool ratePage = leadsToRatePage();
    leaveMeeting(userInitiated);
    if (ratePage)
        KLNotificationCenter::defaultCenter().postNotification(KLNotificationNames::ShowRatePage);
    else if (m_isInternal && userInitiated)
        KLHostUtils::closeApp();
}

void KLMeetingLayoutViewController::leaveMeeting(bool userInitiated)
{
    if (userInitiated) {
        KLQLSLogger::sharedInstance().commitMonitorLevel(
            3, 1, {{"value", "leaveRoom"}, {"cause", "User Click Leave"}});
    }
    m_service->leave();
    // The meeting timer stops and what floats over the meeting (popovers, the full-screen
    // bar) goes.
    onView([](KLMeetingLayoutView &view) { view.meetingLeft(); });
}

bool KLMeetingLayoutViewController::leadsToRatePage() const
{
    if (m_isInternal)
        return m_service->isShowRate() && !m_service->registry().isOnlyPersonEnterRoom();
    return m_guiConfig && StringUtils::isWebAddress(m_guiConfig->meetingRateUrl());
}

// On "ShowRatePage": the host process hears that the rating page is up and the page, loaded
// hidden since the meeting information came, replaces the meeting.
void KLMeetingLayoutViewController::showRatePage()
{
    KLPerformBlockOnSerialQueue([] { KLMessageMode::sharedInstance().enterMeetingRatePage(); });
    onView([](KLMeetingLayoutView &view) { view.showRatePage(); });
}

void KLMeetingLayoutViewController::networkLost()
{
    std::weak_ptr<KLMeetingLayoutViewController> weak = weak_from_this();
    KLDialogRequest request;
    request.title = KLLocalizedString(QStringLiteral("NO_NETWEAK_TIPS"));
    request.firstButtonText = KLLocalizedString(QStringLiteral("Ignore_tips"));
    request.secondButtonText = KLLocalizedString(QStringLiteral("LEAVE_ROOM_BY_KICK_TOAST_KNOW"));
    request.secondBlock = [weak] {
        if (auto self = weak.lock())
            self->leaveRoom(true);
    };
    KLToastManager::shared().showToastDialog(std::move(request));
}

// --- Room state -----------------------------------------------------------------------------

void KLMeetingLayoutViewController::enterRoomSuccess()
{
    // The one-person toast is decided on the first entry only; a refresh's entry keeps it.
    if (!m_roomEntered)
        refreshOnePersonToast(true);
    if (!m_roomEntered.exchange(true)) {
        KL_LOG_INFO(kTag, QStringLiteral("room entered"));
        onView([](KLMeetingLayoutView &view) { view.startMeetingTimer(); });
    }
    const KLMeetingInformationText information = meetingInformation();
    bool newSettings = false;
    bool newMeetingNote = false;
    if (m_isInternal) {
        newSettings = !UserPersistentData::sharedInstance().isNewVersionAlreadyShow();
        newMeetingNote = !UserPersistentData::sharedInstance().isNewMeetingNoteAlreadyShow();
    }
    onView([information, newSettings, newMeetingNote](KLMeetingLayoutView &view) {
        view.showMeetingInformation(information);
        view.showLoading(false);
        if (newSettings || newMeetingNote)
            view.showTipPopovers(newSettings, newMeetingNote);
    });
}

void KLMeetingLayoutViewController::refreshRoom()
{
    onView([](KLMeetingLayoutView &view) {
        view.showLoading(true);
        view.showMainClient(nullptr);
    });
}

void KLMeetingLayoutViewController::clientRendererViewOnMainScreen(const std::shared_ptr<KLFeedClient> &feed)
{
    onView([feed](KLMeetingLayoutView &view) { view.showMainClient(feed); });
}

void KLMeetingLayoutViewController::clientRendererViewOnSmallScreen()
{
    onView([](KLMeetingLayoutView &view) { view.refreshSmallClients(); });
}

void KLMeetingLayoutViewController::updateRendererViewContent(const std::shared_ptr<KLFeedClient> &feed)
{
    clientRendererViewOnMainScreen(feed);
}

std::shared_ptr<KLRTCMediaVideoRenderView>
KLMeetingLayoutViewController::rendererViewForClient(const std::shared_ptr<KLFeedClient> &feed)
{
    // The views are widgets: the drawing layer answers when it has installed itself.
    const auto provider = KLRenderViewProvider::providerFor(this);
    return provider && feed ? provider->rendererViewForClient(feed) : nullptr;
}

std::shared_ptr<KLRTCMediaVideoRenderView>
KLMeetingLayoutViewController::previewRendererViewForClient(const std::shared_ptr<KLFeedClient> &feed)
{
    const auto provider = KLRenderViewProvider::providerFor(this);
    return provider && feed ? provider->previewRendererViewForClient(feed) : nullptr;
}

// --- Members, the one-person toast, information ------------------------------------------------

void KLMeetingLayoutViewController::onlineChanged(const std::shared_ptr<KLFeedClient> &feed)
{
    if (feed && !feed->isOnline() && feed != m_service->publisher())
        clientLeave(feed);
    membersChanged();
}

void KLMeetingLayoutViewController::clientLeave(const std::shared_ptr<KLFeedClient> &feed)
{
    onView([feed](KLMeetingLayoutView &view) { view.clientLeave(feed); });
}

void KLMeetingLayoutViewController::membersChanged()
{
    // Somebody else arriving ends the one-person toast; nobody leaving brings it back.
    if (m_roomEntered)
        refreshOnePersonToast(false);
    onView([](KLMeetingLayoutView &view) { view.membersChanged(); });
}

std::optional<KLOnePersonToast> KLMeetingLayoutViewController::onePersonToast() const
{
    const auto detail = m_service->detailAppointment();
    if (!detail)
        return std::nullopt;
    QStringList online;
    for (const auto &feed : m_service->registry().participantsWithOnline(true))
        online << feed->uuid();
    const auto own = m_service->publisher();
    return onePersonToastFor(std::make_pair(int(detail->memberList.size()), int(detail->roomList.size())), online,
                             own ? own->uuid() : QString(), meetingInformation().subject);
}

std::optional<KLOnePersonToast>
KLMeetingLayoutViewController::onePersonToastFor(std::optional<std::pair<int, int>> invitedMembersAndRooms,
                                                 const QStringList &onlineUuids, const QString &ownUuid,
                                                 const QString &subject)
{
    if (!invitedMembersAndRooms)
        return std::nullopt;
    KLOnePersonToast toast;
    toast.subject = subject;
    if (invitedMembersAndRooms->first == 1 && invitedMembersAndRooms->second == 0) {
        toast.oneMember = true;
        toast.title = KLLocalizedString(QStringLiteral("ONE_PERSON_TOAST_ONE_MEMBER"));
        toast.actionText = KLLocalizedString(QStringLiteral("ONE_PERSON_TOAST_ADD_MEMBER"));
        return toast;
    }
    const bool alone = onlineUuids.isEmpty() || (onlineUuids.size() == 1 && onlineUuids.front() == ownUuid);
    if (!alone)
        return std::nullopt;
    toast.title = KLLocalizedString(QStringLiteral("ONE_PERSON_TOAST_ALONE"));
    toast.actionText = KLLocalizedString(QStringLiteral("ONE_PERSON_TOAST_CALL_ALL"));
    return toast;
}

void KLMeetingLayoutViewController::refreshOnePersonToast(bool mayShow)
{
    auto &toasts = KLToastManager::shared();
    if (!mayShow) {
        // Somebody else online: the toast has done its job.
        const auto own = m_service->publisher();
        for (const auto &feed : m_service->registry().participantsWithOnline(true)) {
            if (!own || feed->uuid() != own->uuid()) {
                toasts.hideOnePersonToast();
                break;
            }
        }
        return;
    }
    const auto toast = onePersonToast();
    if (!toast)
        return;
    std::weak_ptr<KLMeetingLayoutViewController> weak = weak_from_this();
    const bool oneMember = toast->oneMember;
    toasts.showOnePersonToast(*toast, [weak, oneMember] {
        auto self = weak.lock();
        if (!self)
            return;
        if (!oneMember) {
            self->callAll();
            return;
        }
        std::function<void()> invite;
        {
            std::lock_guard<std::mutex> lock(self->m_mutex);
            invite = self->m_inviteHandler;
        }
        if (invite)
            invite();
        else
            KL_LOG_INFO(kTag, QStringLiteral("no invite page to open"));
    });
}

void KLMeetingLayoutViewController::setInviteHandler(std::function<void()> handler)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_inviteHandler = std::move(handler);
}

void KLMeetingLayoutViewController::appointmentDetailChanged()
{
    if (const auto detail = m_service->detailAppointment()) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_appointmentSubject = detail->appointmentName;
    }
    const KLMeetingInformationText information = meetingInformation();
    onView([information](KLMeetingLayoutView &view) { view.showMeetingInformation(information); });
}

KLMeetingInformationText KLMeetingLayoutViewController::meetingInformation() const
{
    KLMeetingInformationText information;
    if (m_guiConfig) {
        information.subject = m_guiConfig->meetingTopic();
        information.time = m_guiConfig->meetingTime();
        information.code = m_guiConfig->meetingCode();
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_appointmentSubject.isEmpty())
        information.subject = m_appointmentSubject;
    return information;
}

QString KLMeetingLayoutViewController::meetingTimerText(qint64 seconds)
{
    // The header's timer reads like the big view's.
    return KLVideoTileModel::meetingTimerText(seconds);
}

void KLMeetingLayoutViewController::tipPopoverClosed(KLTipPopover which)
{
    auto &store = UserPersistentData::sharedInstance();
    const bool written = which == KLTipPopover::NewSettings ? store.writeNewVersionAlreadyShowFlag()
                                                            : store.writeNewMeetingNoteAlreadyShowFlag();
    if (!written)
        KL_LOG_WARN(kTag, QStringLiteral("the tip's shown flag could not be written"));
    onView([which](KLMeetingLayoutView &view) { view.closeTipPopover(which); });
}

// --- Full screen -------------------------------------------------------------------------------

void KLMeetingLayoutViewController::fullScreenChanged(bool fullScreen)
{
    if (m_fullScreen == fullScreen)
        return;
    m_fullScreen = fullScreen;
    auto &center = KLNotificationCenter::defaultCenter();
    if (fullScreen) {
        center.postNotification(KLNotificationNames::viewDidEnterScreenMode);
        // Watching someone's screen in full screen: how to get out stays on screen.
        const auto shared = m_service->registry().sharedFeed();
        const auto own = m_service->publisher();
        if (shared && !(own && shared->uuid() == own->uuid()))
            KLToastManager::shared().showResidentToast(KLToastMessage::shareScreenEsc());
        return;
    }
    KLToastManager::shared().closeResidentToast();
    if (!m_chromeVisible) {
        m_chromeVisible = true;
        onView([](KLMeetingLayoutView &view) { view.setChromeVisible(true); });
    }
    center.postNotification(KLNotificationNames::hubAndRightViewsShow);
}

bool KLMeetingLayoutViewController::escPressed()
{
    if (!m_fullScreen)
        return false;
    onView([](KLMeetingLayoutView &view) { view.exitFullScreen(); });
    return true;
}

bool KLMeetingLayoutViewController::exitFullScreenForShare()
{
    return escPressed();
}

void KLMeetingLayoutViewController::toggleFullScreenChrome()
{
    if (!m_fullScreen)
        return;
    m_chromeVisible = !m_chromeVisible;
    const bool visible = m_chromeVisible;
    KLNotificationCenter::defaultCenter().postNotification(visible ? KLNotificationNames::hubAndRightViewsShow
                                                                   : KLNotificationNames::hubAndRightViewsHidden);
    onView([visible](KLMeetingLayoutView &view) { view.setChromeVisible(visible); });
}

// --- Lock, call-all, rating ------------------------------------------------------------------

void KLMeetingLayoutViewController::lockDisplayedClient()
{
    m_service->lockClientFeed(m_service->registry().displayingClient());
}

void KLMeetingLayoutViewController::toggleLock(const std::shared_ptr<KLFeedClient> &feed)
{
    m_service->lockClientFeed(feed->isLocked() ? nullptr : feed);
}

void KLMeetingLayoutViewController::callAll()
{
    std::weak_ptr<KLConferenceService> weakService = m_service;
    KLDialogRequest request;
    request.title = KLLocalizedString(QStringLiteral("CALL_ALL_TOAST_DIALOG"));
    request.desc = KLLocalizedString(QStringLiteral("CALL_ALL_TOAST_DIALOG_DESC"));
    request.firstButtonText = KLLocalizedString(QStringLiteral("CONFIRM"));
    request.secondButtonText = KLLocalizedString(QStringLiteral("CANCEL"));
    request.firstBlock = [weakService] {
        if (auto service = weakService.lock())
            for (const auto &feed : service->registry().participantsWithOnline(false))
                feed->makeConferenceCall();
    };
    KLToastManager::shared().showToastDialog(std::move(request));
}

void KLMeetingLayoutViewController::prepareRateUrl()
{
    QString base;
    if (m_isInternal) {
        if (!m_service->isShowRate() || m_service->meetingRateUrl().isEmpty())
            return;
        base = m_service->meetingRateUrl();
    } else {
        base = m_guiConfig ? m_guiConfig->meetingRateUrl() : QString();
        if (!StringUtils::isWebAddress(base))
            return;
    }
    const QString language =
        KLLocalizedString(QStringLiteral("Language")) == QLatin1String("english") ? QStringLiteral("en")
                                                                                 : QStringLiteral("zh-cn");
    QString url = QStringLiteral("%1?lang=%2&meetingId=%3&memberUUid=%4")
                      .arg(base, language, m_service->conferenceId(), m_service->uuid());
    if (m_isInternal && !KLClientConfigManager::sharedInstance().isStaff())
        url += QStringLiteral("&visitor=true");
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_rateUrl = url;
    }
    onView([url](KLMeetingLayoutView &view) { view.loadRatePage(url); });
}

QString KLMeetingLayoutViewController::rateUrl() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_rateUrl;
}

void KLMeetingLayoutViewController::rateStatusReceived(const QString &status)
{
    if (status != QLatin1String(kEvaluateComplete))
        return;
    if (auto window = m_meetingWindow.lock())
        window->onMeetingFinish(kRateFinishReason, QString());
}
