#include <KelvoUISDK/KLUISDKMeetingMainWindow.h>

#include "model/KLHostCodeTranslation.h"
#include "model/KLSDKMeetingConfigInternal.h"
#include "model/KLUISDKGuiConfigInternal.h"
#include "collab/KLChatManager.h"
#include "presentation/KLDialogQueue.h"
#include "presentation/KLToastManager.h"
#include "runtime/KLDispatchQueue.h"
#include "window/KLMeetingLayoutViewController.h"
#include "window/KLPresenterBridge.h"
#include "window/KLUISDKMeetingWindow.h"

#include <KelvoUISDK/KLUISDKMeetingEventDelegate.h>

struct KLUISDKMeetingMainWindow::Private {
    std::shared_ptr<KLSDKMeetingConfigInternal> meetingConfig;
    std::shared_ptr<KLUISDKGuiConfigInternal> guiConfig;
    std::shared_ptr<KLUISDKMeetingEventDelegate> delegate;
    std::shared_ptr<KLUISDKMeetingWindow> meetingWindow;
    std::shared_ptr<KLUISDKMeetingPresenter> presenter;

    // Dialogs and notices are process-wide; the host's presenter draws them for this window.
    void attachPresenter()
    {
        if (!presenter)
            return;
        auto bridge = std::make_shared<KLPresenterBridge>(presenter);
        KLDialogQueue::shared().setView(bridge);
        KLToastManager::shared().setView(bridge);
        KLChatManager::sharedInstance().initChatMessageView(bridge);
        meetingWindow->setView(bridge);
        if (auto layout = meetingWindow->layout())
            layout->setView(bridge);
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
    d->meetingWindow = KLUISDKMeetingWindow::create(d->guiConfig, d->meetingConfig, d->delegate);
    d->attachPresenter();
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

bool KLUISDKMeetingMainWindow::performUserAction(KLUISDKUserAction action, const QString &argument)
{
    return d->meetingWindow && d->meetingWindow->performUserAction(action, argument);
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
