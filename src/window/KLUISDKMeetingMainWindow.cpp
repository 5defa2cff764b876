#include <KelvoUISDK/KLUISDKMeetingMainWindow.h>

#include "model/KLHostCodeTranslation.h"
#include "model/KLSDKMeetingConfigInternal.h"
#include "model/KLUISDKGuiConfigInternal.h"
#include "window/KLUISDKMeetingWindow.h"

#include <KelvoUISDK/KLUISDKMeetingEventDelegate.h>

struct KLUISDKMeetingMainWindow::Private {
    std::shared_ptr<KLSDKMeetingConfigInternal> meetingConfig;
    std::shared_ptr<KLUISDKGuiConfigInternal> guiConfig;
    std::shared_ptr<KLUISDKMeetingEventDelegate> delegate;
    std::shared_ptr<KLUISDKMeetingWindow> meetingWindow;
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
    d->meetingWindow->joinMeeting();
}

bool KLUISDKMeetingMainWindow::hasMeetingWindow() const
{
    return d->meetingWindow && !d->meetingWindow->isClosed();
}
