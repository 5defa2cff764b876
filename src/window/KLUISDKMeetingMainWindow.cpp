#include <KelvoUISDK/KLUISDKMeetingMainWindow.h>

#include "model/KLHostCodeTranslation.h"
#include "model/KLSDKMeetingConfigInternal.h"
#include "model/KLUISDKGuiConfigInternal.h"
#include "collab/KLChatManager.h"
#include "presentation/KLDialogQueue.h"
#include "presentation/KLToastManager.h"
#include "runtime/KLDispatchQueue.h"
#include "runtime/KLSDKLog.h"
#include "window/KLMeetingLayoutViewController.h"
#include "window/KLMeetingPanelActions.h"
#include "window/KLMeetingViewFactory.h"
#include "window/KLPresenterBridge.h"
#include "window/KLUISDKMeetingWindow.h"

#include <KelvoUISDK/KLUISDKMeetingEventDelegate.h>

namespace {
const char *const kTag = "KLUISDKMeetingMainWindow";
}

struct KLUISDKMeetingMainWindow::Private {
    std::shared_ptr<KLSDKMeetingConfigInternal> meetingConfig;
    std::shared_ptr<KLUISDKGuiConfigInternal> guiConfig;
    std::shared_ptr<KLUISDKMeetingEventDelegate> delegate;
    std::shared_ptr<KLUISDKMeetingWindow> meetingWindow;
    std::shared_ptr<KLUISDKMeetingPresenter> presenter;
    std::shared_ptr<KLUISDKMeetingPresenter> observer;
    std::unique_ptr<KLMeetingPanelActions> panels;

    // The invitation, information and settings actions of the window open now; their answers
    // go to whoever presents or observes it.
    KLMeetingPanelActions *panelActions()
    {
        auto layout = meetingWindow ? meetingWindow->layout() : nullptr;
        if (!layout)
            return nullptr;
        if (!panels) {
            std::weak_ptr<KLUISDKMeetingPresenter> listener = presenter ? presenter : observer;
            KLMeetingPanelActions::Callbacks callbacks;
            callbacks.searchResults = [listener](const QList<KLMeetingPanelActions::Result> &results) {
                QList<KLUISDKSearchResult> reported;
                for (const auto &r : results)
                    reported.append({r.id, r.name, r.memberType, r.detail});
                if (auto host = listener.lock())
                    host->searchResults(reported);
            };
            callbacks.copied = [listener](const QString &text) {
                if (auto host = listener.lock())
                    host->clipboardWritten(text);
            };
            panels = std::make_unique<KLMeetingPanelActions>(std::make_shared<KLPanelMeetingAdapter>(layout->service()),
                                                             guiConfig, std::move(callbacks));
        }
        return panels.get();
    }

    // The host's presenter draws the window in place of widgets; otherwise the installed
    // widget factory draws it, with the observer (if any) hearing what it shows.
    void attachViews()
    {
        KLMeetingViews views;
        if (presenter) {
            auto bridge = std::make_shared<KLPresenterBridge>(presenter);
            bridge->attach(meetingWindow);
            views = {bridge, bridge, bridge, bridge, bridge};
        } else {
            if (auto factory = KLMeetingViewFactory::installed())
                views = factory->createViews(meetingWindow);
            if (observer) {
                auto bridge = std::make_shared<KLPresenterBridge>(observer);
                bridge->attach(meetingWindow);
                views = views.alongside(bridge);
            }
        }
        if (views.isEmpty()) {
            KL_LOG_INFO(kTag, QStringLiteral("no meeting window is drawn: no presenter and no widget library"));
            return;
        }
        // Dialogs, notices and the chat bubble are process-wide; this window draws them now.
        KLDialogQueue::shared().setView(views.dialogs);
        KLToastManager::shared().setView(views.toasts);
        KLChatManager::sharedInstance().initChatMessageView(views.chatBubble);
        meetingWindow->setView(views.window);
        if (auto layout = meetingWindow->layout())
            layout->setView(views.layout);
    }
};

KLUISDKMeetingMainWindow::KLUISDKMeetingMainWindow(const QVariantMap &uiConfig,
                                                   const QVariantMap &meetingConfig,
                                                   std::shared_ptr<KLUISDKMeetingEventDelegate> delegate)
    : d(std::make_unique<Private>())
{
    d->meetingConfig = KLSDKMeetingConfigInternal::create(meetingConfig);
    d->guiConfig = std::make_shared<KLUISDKGuiConfigInternal>(uiConfig);
    d->delegate = std::move(delegate);
}

KLUISDKMeetingMainWindow::~KLUISDKMeetingMainWindow()
{
    if (d->meetingWindow)
        d->meetingWindow->closeWindow();
    d->meetingWindow.reset();
}

void KLUISDKMeetingMainWindow::joinMeeting()
{
    if (const auto error = KLValidateMeetingCredentials(*d->meetingConfig)) {
        if (d->delegate)
            d->delegate->onError(error->code, error->reason);
        return;
    }
    d->panels.reset();
    d->meetingWindow = KLUISDKMeetingWindow::create(d->guiConfig, d->meetingConfig, d->delegate);
    d->attachViews();
    d->meetingWindow->joinMeeting();
}

bool KLUISDKMeetingMainWindow::hasMeetingWindow() const
{
    return d->meetingWindow && !d->meetingWindow->isClosed();
}

void KLUISDKMeetingMainWindow::setPresenter(std::shared_ptr<KLUISDKMeetingPresenter> presenter)
{
    d->presenter = std::move(presenter);
}

void KLUISDKMeetingMainWindow::setObserver(std::shared_ptr<KLUISDKMeetingPresenter> observer)
{
    d->observer = std::move(observer);
}

bool KLUISDKMeetingMainWindow::performUserAction(KLUISDKUserAction action, const QString &argument)
{
    if (!d->meetingWindow || d->meetingWindow->isClosed())
        return false;
    switch (action) {
    case KLUISDKUserAction::Search:
    case KLUISDKUserAction::Invite:
    case KLUISDKUserAction::Copy:
    case KLUISDKUserAction::Setting: {
        KLMeetingPanelActions *panels = d->panelActions();
        if (!panels)
            return false;
        if (action == KLUISDKUserAction::Search) {
            panels->search(argument);
            return true;
        }
        if (action == KLUISDKUserAction::Invite)
            return panels->invite(argument.split(QLatin1Char(','), Qt::SkipEmptyParts));
        if (action == KLUISDKUserAction::Copy)
            return panels->copy(argument);
        const qsizetype equals = argument.indexOf(QLatin1Char('='));
        return equals > 0 && panels->setting(argument.left(equals), argument.mid(equals + 1));
    }
    default:
        return d->meetingWindow->performUserAction(action, argument);
    }
}

bool KLUISDKMeetingMainWindow::pressDialogButton(quint64 dialogId, int button)
{
    static constexpr KLDialogButton kButtons[] = {KLDialogButton::First, KLDialogButton::Second,
                                                  KLDialogButton::Third};
    if (!d->meetingWindow || button < 1 || button > 3)
        return false;
    return KLDialogQueue::shared().buttonPressed(dialogId, kButtons[button - 1]);
}

bool KLUISDKMeetingMainWindow::hasMeetingThreads()
{
    return KLDispatchQueue::meetingQueuesAlive() > 0;
}
