// Entry of the widget suite: like the other suites' entry, but with a widget application
// object (widgets need one), on the offscreen platform unless the caller chose another.
#include "runtime/KLDispatchQueue.h"

#include "KLTestSupport.h"

#include <QApplication>
#include <QTemporaryDir>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>

int main(int argc, char **argv)
{
    QTemporaryDir settingsHome;
    qputenv("XDG_CONFIG_HOME", settingsHome.path().toUtf8());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QCoreApplication::setOrganizationName(QStringLiteral("KelvoTests"));
    QCoreApplication::setApplicationName(QStringLiteral("kelvo-ui-tests"));
    QApplication app(argc, argv);
    testing::InitGoogleMock(&argc, argv);
    const int result = RUN_ALL_TESTS();
    if (!kltest::waitUntil([] { return KLDispatchQueue::meetingQueuesAlive() == 0; }, 5000))
        std::fprintf(stderr, "%d meeting queues still alive at exit\n", KLDispatchQueue::meetingQueuesAlive());
    return result;
}
