// Entry of the web page suite: a widget application on the offscreen platform unless the caller
// chose another. Chromium will not start as root with its sandbox on, so a root run (CI
// containers) turns the sandbox off for this test program only.
#include "runtime/KLDispatchQueue.h"

#include "KLTestSupport.h"

#include <QApplication>
#include <QTemporaryDir>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <unistd.h>

int main(int argc, char **argv)
{
    QTemporaryDir settingsHome;
    qputenv("XDG_CONFIG_HOME", settingsHome.path().toUtf8());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (::geteuid() == 0)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QCoreApplication::setOrganizationName(QStringLiteral("KelvoTests"));
    QCoreApplication::setApplicationName(QStringLiteral("kelvo-web-tests"));
    QApplication app(argc, argv);
    testing::InitGoogleMock(&argc, argv);
    const int result = RUN_ALL_TESTS();
    kltest::waitUntil([] { return KLDispatchQueue::meetingQueuesAlive() == 0; }, 5000);
    return result;
}
