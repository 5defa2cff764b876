#pragma once

// How the core opens a drawn meeting window without linking a widget library: the drawing
// layer installs one process-wide factory (the shared SDK library does so when it loads; a
// test installs it itself), and the entry object asks it for the views of each meeting window
// when the host set no presenter. Without a factory the meeting runs with no window at all.
//
// Threads: install and create on the main thread.

#include <memory>

class KLChatBubbleView;
class KLDialogView;
class KLMeetingLayoutView;
class KLMeetingWindowView;
class KLPresenterBridge;
class KLToastView;
class KLUISDKMeetingWindow;

/// The views of one meeting window. Any of them may be null (nothing drawn for it).
struct KLMeetingViews {
    std::shared_ptr<KLMeetingWindowView> window;
    std::shared_ptr<KLMeetingLayoutView> layout;
    std::shared_ptr<KLDialogView> dialogs;
    std::shared_ptr<KLToastView> toasts;
    std::shared_ptr<KLChatBubbleView> chatBubble;

    bool isEmpty() const { return !window && !layout && !dialogs && !toasts && !chatBubble; }
    /// These views, each also telling `bridge` what it shows, so a host that observes the
    /// drawn window hears every dialog, notice, chat message and the closing. Visibility
    /// questions are answered by the drawn views.
    KLMeetingViews alongside(const std::shared_ptr<KLPresenterBridge> &bridge) const;
};

class KLMeetingViewFactory {
public:
    virtual ~KLMeetingViewFactory() = default;

    /// Draws the window of `meetingWindow` (its controllers already exist) and returns its
    /// views; empty views when nothing can be drawn (no widget application, for instance).
    virtual KLMeetingViews createViews(const std::shared_ptr<KLUISDKMeetingWindow> &meetingWindow) = 0;

    /// The process-wide factory; installing null removes it.
    static void install(std::shared_ptr<KLMeetingViewFactory> factory);
    static std::shared_ptr<KLMeetingViewFactory> installed();
};
