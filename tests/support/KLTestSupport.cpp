#include "KLTestSupport.h"

#include "runtime/KLSDKDispatcher.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

namespace kltest {

bool waitUntil(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return done();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}

void drainLogger()
{
    KLSDKDispatcher::sharedDispatcher().ioQueue().sync([]() {});
}

} // namespace kltest
