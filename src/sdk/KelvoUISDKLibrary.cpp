// Translation unit of the shared KelvoUISDK library. Everything it exports comes from the
// core and the widgets, linked whole. Loading the library installs the widget factory, so a
// host that sets no presenter gets the drawn meeting window.
#include <KelvoUISDK/KelvoUISDKExport.h>

#include "ui/window/KLMeetingWidgetFactory.h"

namespace {
[[maybe_unused]] const bool g_widgetFactoryInstalled = [] {
    KLMeetingWidgetFactory::install();
    return true;
}();
} // namespace
