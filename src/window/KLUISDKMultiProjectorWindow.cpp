#include <KelvoUISDK/KLUISDKMultiProjectorWindow.h>

#include "conference/service/KLConferenceService.h"
#include "model/KLHostCodeTranslation.h"
#include "model/KLSDKMeetingConfigInternal.h"
#include "multiprojector/KLMultiProjectorSession.h"
#include "multiprojector/KLMultiProjectorViewFactory.h"
#include "presentation/KLDialogQueue.h"
#include "presentation/KLToastManager.h"
#include "runtime/KLSDKLog.h"
#include "window/KLMeetingViewFactory.h"
#include "window/KLPresenterBridge.h"

#include <KelvoUISDK/KLUISDKMeetingEventDelegate.h>

namespace {
const char *const kTag = "KLUISDKMultiProjectorWindow";

// What the session tells its window goes to the drawn window (when there is one); the entry
// object learns from it when the session is in.
class ViewRelay final : public KLMultiProjectorView {
public:
    ViewRelay(std::shared_ptr<KLMultiProjectorWindowView> drawn, std::function<void()> entered)
        : m_drawn(std::move(drawn)), m_entered(std::move(entered))
    {
    }
    void setWindowTitle(const QString &title) override { each([&](auto &v) { v.setWindowTitle(title); }); }
    void showContent() override
    {
        each([](auto &v) { v.showContent(); });
        if (auto entered = std::exchange(m_entered, {}))
            entered();
    }
    void startMProjectorForSender() override { each([](auto &v) { v.startMProjectorForSender(); }); }
    void showMultiProjectorConfirmDialog(const QList<std::shared_ptr<KLFeedClient>> &rooms, bool selectedByDefault,
                                         bool isRoomBusyStatus, bool isOpenAudio) override
    {
        each([&](auto &v) { v.showMultiProjectorConfirmDialog(rooms, selectedByDefault, isRoomBusyStatus, isOpenAudio); });
    }
    void showHubLeaveDialog() override { each([](auto &v) { v.showHubLeaveDialog(); }); }
    void setKickByOthers() override { each([](auto &v) { v.setKickByOthers(); }); }
    void updateShareBar(const KLMultiProjectorShareBarState &state) override
    {
        each([&](auto &v) { v.updateShareBar(state); });
    }
    bool isFullScreen() const override { return m_drawn && m_drawn->isFullScreen(); }
    void leaveFullScreen() override { each([](auto &v) { v.leaveFullScreen(); }); }
    void hideWindow() override { each([](auto &v) { v.hideWindow(); }); }

private:
    template <typename F>
    void each(F &&work)
    {
        if (m_drawn)
            work(*m_drawn);
    }
    std::shared_ptr<KLMultiProjectorWindowView> m_drawn;
    std::function<void()> m_entered;
};
} // namespace

struct KLUISDKMultiProjectorWindow::Private {
    QString meetingUuid;
    QString clientMode;
    bool withAudio = false;
    QString projectId;
    std::shared_ptr<KLSDKMeetingConfigInternal> meetingConfig;
    std::shared_ptr<KLUISDKMeetingEventDelegate> delegate;
    std::shared_ptr<KLUISDKMeetingPresenter> presenter;
    std::shared_ptr<KLUISDKMeetingPresenter> observer;
    std::shared_ptr<KLMultiProjectorWindowView> drawn;
    std::shared_ptr<KLMultiProjectorSession> session;
    bool running = false;
    std::shared_ptr<int> alive = std::make_shared<int>(0); // the hooks reach this object while it lives

    // The session ended (its "close the app" step): the window goes, the host hears of it.
    void finished()
    {
        if (!running)
            return;
        running = false;
        KL_LOG_INFO(kTag, QStringLiteral("multi-projector session %1 ended").arg(meetingUuid));
        if (drawn)
            drawn->closeWindow();
        if (delegate)
            delegate->onMeetingFinish(KLUISDKMeetingFinishUserLeft, QString());
        for (const auto &host : {presenter, observer})
            if (host)
                host->windowClosed();
    }
};

KLUISDKMultiProjectorWindow::KLUISDKMultiProjectorWindow(const QString &meetingUuid, const QString &clientMode,
                                                         bool withAudio, const QString &projectId,
                                                         const QVariantMap &meetingConfig,
                                                         std::shared_ptr<KLUISDKMeetingEventDelegate> delegate)
    : d(std::make_unique<Private>())
{
    d->meetingUuid = meetingUuid;
    d->clientMode = clientMode;
    d->withAudio = withAudio;
    d->projectId = projectId;
    QVariantMap config = meetingConfig;
    config.insert(QStringLiteral("meetingUUID"), meetingUuid);
    d->meetingConfig = KLSDKMeetingConfigInternal::create(config);
    d->delegate = std::move(delegate);
}

KLUISDKMultiProjectorWindow::~KLUISDKMultiProjectorWindow()
{
    if (d->session && d->running) {
        d->running = false; // the host is going: it hears nothing more
        if (auto service = d->session->service())
            service->leave();
    }
    if (d->drawn)
        d->drawn->closeWindow();
    d->session.reset();
}

void KLUISDKMultiProjectorWindow::start()
{
    if (d->session)
        return;
    if (const auto error = KLValidateMeetingCredentials(*d->meetingConfig)) {
        if (d->delegate)
            d->delegate->onError(error->code, error->reason);
        return;
    }
    const bool sender = KLMultiProjectorSession::isSenderMode(d->clientMode);
    KLMeetingViews views;
    if (d->presenter) {
        auto bridge = std::make_shared<KLPresenterBridge>(d->presenter);
        views.dialogs = bridge;
        views.toasts = bridge;
    } else {
        if (auto factory = KLMultiProjectorViewFactory::installed())
            d->drawn = factory->createView(sender);
        if (d->drawn) {
            views.dialogs = d->drawn->dialogView();
            views.toasts = d->drawn->toastView();
        } else {
            KL_LOG_INFO(kTag, QStringLiteral("no multi-projector window is drawn: no presenter and no widget library"));
        }
        if (d->observer) {
            auto bridge = std::make_shared<KLPresenterBridge>(d->observer);
            const KLMeetingViews paired = views.alongside(bridge);
            views.dialogs = paired.dialogs;
            views.toasts = paired.toasts;
        }
    }
    if (views.dialogs)
        KLDialogQueue::shared().setView(views.dialogs);
    if (views.toasts)
        KLToastManager::shared().setView(views.toasts);

    Private *state = d.get();
    std::weak_ptr<KLUISDKMeetingEventDelegate> delegate = d->delegate;
    auto relay = std::make_shared<ViewRelay>(d->drawn, [delegate] {
        if (auto host = delegate.lock())
            host->onMeetingJoined();
    });
    KLMultiProjectorSession::Options options;
    options.conferenceId = d->meetingUuid;
    options.clientMode = d->clientMode;
    options.withAudio = d->withAudio;
    options.projectId = d->projectId;
    options.meetingConfig = d->meetingConfig;
    KLMultiProjectorHostHooks hooks;
    std::weak_ptr<int> alive = d->alive;
    hooks.closeApp = [state, alive] {
        if (alive.lock())
            state->finished();
    };
    d->running = true;
    KL_LOG_INFO(kTag, QStringLiteral("multi-projector %1 for %2 starts").arg(sender ? "sender" : "receiver", d->meetingUuid));
    d->session = KLMultiProjectorSession::start(options, relay, hooks);
    if (d->drawn)
        d->drawn->attachSession(d->session);
}

bool KLUISDKMultiProjectorWindow::isSender() const
{
    return KLMultiProjectorSession::isSenderMode(d->clientMode);
}

bool KLUISDKMultiProjectorWindow::isRunning() const
{
    return d->running;
}

void KLUISDKMultiProjectorWindow::setPresenter(std::shared_ptr<KLUISDKMeetingPresenter> presenter)
{
    d->presenter = std::move(presenter);
}

void KLUISDKMultiProjectorWindow::setObserver(std::shared_ptr<KLUISDKMeetingPresenter> observer)
{
    d->observer = std::move(observer);
}

bool KLUISDKMultiProjectorWindow::performAction(KLUISDKProjectorAction action)
{
    if (!d->session || !d->running)
        return false;
    switch (action) {
    case KLUISDKProjectorAction::StopCast:
        d->session->shareBarStopSharePressed();
        return true;
    case KLUISDKProjectorAction::AudioMeeting:
        d->session->shareBarOpenAudioPressed();
        return true;
    case KLUISDKProjectorAction::Close:
        d->session->windowWillClose();
        return true;
    case KLUISDKProjectorAction::StopFromHost:
        d->session->stopShareFromHost();
        return true;
    }
    return false;
}

bool KLUISDKMultiProjectorWindow::pressDialogButton(quint64 dialogId, int button)
{
    static constexpr KLDialogButton kButtons[] = {KLDialogButton::First, KLDialogButton::Second,
                                                  KLDialogButton::Third};
    if (!d->session || button < 1 || button > 3)
        return false;
    return KLDialogQueue::shared().buttonPressed(dialogId, kButtons[button - 1]);
}
