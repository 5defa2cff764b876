// Test entry: a real application object on the main thread, so main-thread dispatch,
// timers and Qt networking behave as in a host.
#include "runtime/KLDispatchQueue.h"

#include "KLTestSupport.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>

int main(int argc, char **argv)
{
    // Persistent data written by tests goes to a throw-away settings folder.
    QTemporaryDir settingsHome;
    qputenv("XDG_CONFIG_HOME", settingsHome.path().toUtf8());
    QCoreApplication::setOrganizationName(QStringLiteral("KelvoTests"));
    QCoreApplication::setApplicationName(QStringLiteral("kelvo-tests"));
    QCoreApplication app(argc, argv);
    testing::InitGoogleMock(&argc, argv);
    const int result = RUN_ALL_TESTS();
    // A meeting's threads end shortly after the meeting lets go, some of them joined by the
    // main thread; a host's event loop keeps turning meanwhile, and so does this one, so that
    // no such thread is still at work while the process tears down Qt's statics.
    if (!kltest::waitUntil([] { return KLDispatchQueue::meetingQueuesAlive() == 0; }, 5000))
        std::fprintf(stderr, "%d meeting queues still alive at exit\n", KLDispatchQueue::meetingQueuesAlive());
    return result;
}
