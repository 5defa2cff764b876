#include "runtime/KLMainThread.h"

#include <QCoreApplication>
#include <QThread>

bool KLMainThread::isAvailable()
{
    return QCoreApplication::instance() != nullptr;
}

bool KLMainThread::isCurrent()
{
    const QCoreApplication *app = QCoreApplication::instance();
    return app && app->thread() == QThread::currentThread();
}
