#include "ui/window/KLMeetingWidgetFactory.h"

#include "runtime/KLSDKLog.h"
#include "ui/dialog/KLDialogWidget.h"
#include "ui/chat/KLChatBubbleWidget.h"
#include "ui/layout/KLMeetingLayoutWidget.h"
#include "ui/multiprojector/KLMultiProjectorWidgetFactory.h"
#include "ui/memberlist/KLMeetingSidePanel.h"
#include "ui/share/KLX11ScreenCapture.h"
#include "ui/toast/KLToastWidget.h"
#include "ui/window/KLMeetingWindowWidget.h"
#include "window/KLUISDKMeetingWindow.h"

#include <QApplication>
#include <QHash>
#include <QPointer>

namespace {
const char *const kTag = "KLMeetingWidgetFactory";
// Main thread only, like the widgets themselves.
QHash<const KLUISDKMeetingWindow *, QPointer<KLMeetingWindowWidget>> g_windows;
} // namespace

KLMeetingViews KLMeetingWidgetFactory::createViews(const std::shared_ptr<KLUISDKMeetingWindow> &meetingWindow)
{
    if (!qobject_cast<QApplication *>(QCoreApplication::instance())) {
        KL_LOG_WARN(kTag, QStringLiteral("the application is not a QApplication: no meeting window is drawn"));
        return {};
    }
    auto *window = new KLMeetingWindowWidget(meetingWindow);
    g_windows.insert(meetingWindow.get(), window);
    QObject::connect(window, &QObject::destroyed, [key = meetingWindow.get()] { g_windows.remove(key); });
    KLMeetingViews views;
    views.window = KLMeetingWindowWidget::viewFor(window);
    views.layout = KLMeetingLayoutWidget::viewFor(window->layoutWidget());
    views.dialogs = KLDialogWidget::viewFor(window->dialogWidget());
    views.toasts = KLToastWidget::viewFor(window->layoutWidget()->toasts());
    if (auto *side = window->layoutWidget()->sidePanel())
        views.chatBubble = KLChatBubbleWidget::viewFor(side->chatBubble());
    return views;
}

KLMeetingWindowWidget *KLMeetingWidgetFactory::windowFor(const KLUISDKMeetingWindow *meetingWindow)
{
    return g_windows.value(meetingWindow);
}

void KLMeetingWidgetFactory::install()
{
    KLMeetingViewFactory::install(std::make_shared<KLMeetingWidgetFactory>());
    KLX11ScreenCapture::install(); // shares show the real screen where an X server is there
    KLMultiProjectorWidgetFactory::install();
}
