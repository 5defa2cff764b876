#include "window/KLUISDKMeetingWindow.h"

#include "conference/service/KLConferenceService.h"
#include "model/KLHostCodeTranslation.h"
#include "model/KLSDKMeetingConfigInternal.h"
#include "platform/KLPlatform.h"
#include "runtime/KLNotificationCenter.h"
#include "runtime/KLNotificationNames.h"
#include "runtime/KLSDKLog.h"
#include "window/KLEnterNameViewController.h"
#include "window/KLHubViewController.h"
#include "window/KLMeetingLayoutViewController.h"
#include "window/KLMemberListViewController.h"

#include <KelvoUISDK/KLSDKDispatch.h>
#include <KelvoUISDK/KLUISDKMeetingEventDelegate.h>

namespace {
const char *const kTag = "KLUISDKMeetingWindow";
}

std::shared_ptr<KLUISDKMeetingWindow>
KLUISDKMeetingWindow::create(std::shared_ptr<KLUISDKGuiConfigInternal> guiConfig,
                             std::shared_ptr<KLSDKMeetingConfigInternal> meetingConfig,
                             std::shared_ptr<KLUISDKMeetingEventDelegate> delegate)
{
    std::shared_ptr<KLUISDKMeetingWindow> window(
        new KLUISDKMeetingWindow(std::move(meetingConfig), std::move(delegate)));
    window->setUp(std::move(guiConfig));
    return window;
}

KLUISDKMeetingWindow::KLUISDKMeetingWindow(std::shared_ptr<KLSDKMeetingConfigInternal> meetingConfig,
                                           std::shared_ptr<KLUISDKMeetingEventDelegate> delegate)
    : m_meetingConfig(std::move(meetingConfig)), m_delegate(std::move(delegate))
{
}

void KLUISDKMeetingWindow::setUp(std::shared_ptr<KLUISDKGuiConfigInternal> guiConfig)
{
    std::weak_ptr<KLSDKMeetingEventDelegate> self = std::static_pointer_cast<KLSDKMeetingEventDelegate>(shared_from_this());
    m_conferenceManager = KLConferenceService::create(m_meetingConfig, self);
    m_layout = KLMeetingLayoutViewController::create(m_conferenceManager, guiConfig, self);
    m_hub = KLHubViewController::create(m_conferenceManager, m_layout, std::move(guiConfig), self);
    m_memberList = KLMemberListViewController::create(m_conferenceManager, m_layout);
    // Hanging up one's own row is the toolbar's leave.
    std::weak_ptr<KLHubViewController> weakHub = m_hub;
    m_memberList->setLeaveHandler([weakHub] {
        if (auto hub = weakHub.lock())
            hub->leaveClicked();
    });
    // Join step 3 asks for a guest's name in the window's dialog; the join goes on after it.
    m_enterName = KLEnterNameViewController::create();
    std::weak_ptr<KLEnterNameViewController> weakName = m_enterName;
    m_conferenceManager->setEnterNameHandler([weakName](std::function<void()> proceed) {
        KLPerformBlockOnMainThread([weakName, proceed = std::move(proceed)] {
            if (auto dialog = weakName.lock())
                dialog->open(proceed);
        });
    });
    windowDidLoad();
}

KLUISDKMeetingWindow::~KLUISDKMeetingWindow()
{
    KLNotificationCenter::defaultCenter().removeObserver(this);
    if (!m_closed)
        windowWillClose();
}

// What the window sets up once: the display stays awake, sleep is watched and the host's
// "close the application" closes the meeting window.
void KLUISDKMeetingWindow::windowDidLoad()
{
    if (auto platform = KLPlatform::shared()) {
        m_assertionID = platform->preventDisplaySleep(QStringLiteral("Describe Activity Type"));
        platform->startMonitoringSleep();
    }
    std::weak_ptr<KLUISDKMeetingWindow> weak = weak_from_this();
    KLNotificationCenter::defaultCenter().addObserver(
        this, KLNotificationNames::KLHostUtilsCloseAppNotify, [weak](const KLNotification &) {
            if (auto self = weak.lock())
                self->closeWindow();
        });
}

void KLUISDKMeetingWindow::setView(std::shared_ptr<KLMeetingWindowView> view)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_view = std::move(view);
}

void KLUISDKMeetingWindow::joinMeeting()
{
    if (auto service = conferenceManager())
        service->joinMeeting();
    std::shared_ptr<KLMeetingWindowView> view;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        view = m_view;
    }
    if (view)
        view->showWindow();
}

std::shared_ptr<KLConferenceService> KLUISDKMeetingWindow::conferenceManager() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_conferenceManager;
}

std::shared_ptr<KLMeetingLayoutViewController> KLUISDKMeetingWindow::layout() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_layout;
}

std::shared_ptr<KLHubViewController> KLUISDKMeetingWindow::hub() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_hub;
}

std::shared_ptr<KLEnterNameViewController> KLUISDKMeetingWindow::enterName() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_enterName;
}

std::shared_ptr<KLMemberListViewController> KLUISDKMeetingWindow::memberList() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_memberList;
}

void KLUISDKMeetingWindow::closeWindow()
{
    std::weak_ptr<KLUISDKMeetingWindow> weak = weak_from_this();
    KLPerformBlockOnMainThread([weak] {
        if (auto self = weak.lock())
            self->closeOnMainThread();
    });
}

void KLUISDKMeetingWindow::closeOnMainThread()
{
    if (m_closed)
        return;
    if (m_assertionID) {
        if (auto platform = KLPlatform::shared())
            platform->allowDisplaySleep(*m_assertionID);
        m_assertionID.reset();
    }
    windowWillClose();
    std::shared_ptr<KLMeetingWindowView> view;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        view = std::move(m_view);
    }
    if (view)
        view->closeWindow();
}

// The meeting is left and the layout let go; after this nothing of the meeting calls back.
void KLUISDKMeetingWindow::windowWillClose()
{
    m_closed = true;
    KL_LOG_INFO(kTag, QStringLiteral("meeting window closes"));
    std::shared_ptr<KLConferenceService> service;
    std::shared_ptr<KLMeetingLayoutViewController> layout;
    std::shared_ptr<KLHubViewController> hub;
    std::shared_ptr<KLMemberListViewController> memberList;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        service = std::move(m_conferenceManager);
        layout = std::move(m_layout);
        hub = std::move(m_hub);
        memberList = std::move(m_memberList);
    }
    if (service)
        service->leave();
    KLNotificationCenter::defaultCenter().removeObserver(this);
}

// --- What the host hears ------------------------------------------------------------------------
// Once the window has closed the host hears nothing more of this meeting: late events of the
// service's threads (a member list still being read, a join step still running) are dropped.

bool KLUISDKMeetingWindow::dropAfterClose(const char *callback) const
{
    if (!m_closed)
        return false;
    KL_LOG_INFO(kTag, QStringLiteral("%1 after the window closed: not passed on").arg(QLatin1String(callback)));
    return true;
}

void KLUISDKMeetingWindow::onMeetingJoined()
{
    if (!dropAfterClose("onMeetingJoined"))
        m_delegate->onMeetingJoined();
}

void KLUISDKMeetingWindow::onError(int code, const QString &reason)
{
    if (dropAfterClose("onError"))
        return;
    if (const auto hostCode = KLHostErrorCodeForInternal(code))
        m_delegate->onError(*hostCode, reason);
    if (!m_meetingConfig->allowNoMic())
        closeWindow();
}

void KLUISDKMeetingWindow::onMeetingFinish(int reason, const QString &text)
{
    if (dropAfterClose("onMeetingFinish"))
        return;
    // The host hears the reason before the window goes.
    if (const auto hostReason = KLHostFinishReasonForInternal(reason))
        m_delegate->onMeetingFinish(*hostReason, text);
    closeWindow();
}

void KLUISDKMeetingWindow::onMeetingUserStatusChange(const std::shared_ptr<KLSDKMeetingUser> &user,
                                                     int event)
{
    if (KLIsHostUserEvent(event) && !dropAfterClose("onMeetingUserStatusChange"))
        m_delegate->onMeetingUserStatusChange(user, event);
}
