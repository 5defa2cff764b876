#pragma once

// The widget library's multi-projector window factory: `install()` makes it the process-wide
// one the public entry object uses when the host set no presenter.

#include "multiprojector/KLMultiProjectorViewFactory.h"

class KLMultiProjectorWindowWidget;

class KLMultiProjectorWidgetFactory final : public KLMultiProjectorViewFactory {
public:
    /// A new window, shown; null (with a log line) when the application is not a QApplication.
    std::shared_ptr<KLMultiProjectorWindowView> createView(bool sender) override;
    /// The multi-projector window open now, if any.
    static KLMultiProjectorWindowWidget *openWindow();
    static void install();
};
