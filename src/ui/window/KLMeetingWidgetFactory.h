#pragma once

// The widget library's meeting-view factory: draws each meeting window with KLMeetingWindowWidget.
// `install()` makes it the process-wide factory the entry object uses when the host set no
// presenter; the shared SDK library calls it when it loads.

#include "window/KLMeetingViewFactory.h"

class KLMeetingWindowWidget;

class KLMeetingWidgetFactory final : public KLMeetingViewFactory {
public:
    /// Views of a new window; empty (with a log line) when the application is not a
    /// QApplication, since widgets cannot exist without one.
    KLMeetingViews createViews(const std::shared_ptr<KLUISDKMeetingWindow> &meetingWindow) override;

    /// The window drawn for `meetingWindow`, while it exists.
    static KLMeetingWindowWidget *windowFor(const KLUISDKMeetingWindow *meetingWindow);

    static void install();
};
