#include "ui/multiprojector/KLMultiProjectorWidgetFactory.h"

#include "runtime/KLSDKLog.h"
#include "ui/multiprojector/KLMultiProjectorWindowWidget.h"

#include <QApplication>
#include <QPointer>

namespace {
const char *const kTag = "KLMultiProjectorWidgetFactory";
QPointer<KLMultiProjectorWindowWidget> g_window; // main thread
} // namespace

std::shared_ptr<KLMultiProjectorWindowView> KLMultiProjectorWidgetFactory::createView(bool sender)
{
    if (!qobject_cast<QApplication *>(QCoreApplication::instance())) {
        KL_LOG_WARN(kTag, QStringLiteral("no multi-projector window: the application is not a QApplication"));
        return nullptr;
    }
    auto *window = new KLMultiProjectorWindowWidget(sender);
    g_window = window;
    window->show();
    return window->view();
}

KLMultiProjectorWindowWidget *KLMultiProjectorWidgetFactory::openWindow()
{
    return g_window.data();
}

void KLMultiProjectorWidgetFactory::install()
{
    KLMultiProjectorViewFactory::install(std::make_shared<KLMultiProjectorWidgetFactory>());
}
