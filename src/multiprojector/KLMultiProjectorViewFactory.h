#pragma once

// Who draws a multi-projector window. The widget layer installs a factory (as it does for the
// meeting window); the public entry object asks it for the window of a new session. Without a
// factory (no widget library, or a host drawing everything itself) the session runs undrawn.

#include "multiprojector/KLMultiProjectorView.h"

#include <memory>

class KLDialogView;
class KLMultiProjectorSession;
class KLToastView;

/// The drawn window: what the session tells it, plus what the entry object needs of it.
class KLMultiProjectorWindowView : public KLMultiProjectorView {
public:
    /// The session the window shows and hands its user actions to (main thread, once).
    virtual void attachSession(const std::shared_ptr<KLMultiProjectorSession> &session) = 0;
    /// Closes the window without asking the session (it has ended already). Main thread.
    virtual void closeWindow() = 0;
    /// The window's dialog and toast views (the queue and manager are process-wide).
    virtual std::shared_ptr<KLDialogView> dialogView() = 0;
    virtual std::shared_ptr<KLToastView> toastView() = 0;
};

class KLMultiProjectorViewFactory {
public:
    virtual ~KLMultiProjectorViewFactory() = default;
    /// A window for a sender or a receiver; null when nothing can be drawn.
    virtual std::shared_ptr<KLMultiProjectorWindowView> createView(bool sender) = 0;

    /// The process-wide factory; installing null removes it. Any thread.
    static void install(std::shared_ptr<KLMultiProjectorViewFactory> factory);
    static std::shared_ptr<KLMultiProjectorViewFactory> installed();
};
