// Test entry: a real application object on the main thread, so main-thread dispatch,
// timers and Qt networking behave as in a host.
#include <QCoreApplication>
#include <QTemporaryDir>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    // Persistent data written by tests goes to a throw-away settings folder.
    QTemporaryDir settingsHome;
    qputenv("XDG_CONFIG_HOME", settingsHome.path().toUtf8());
    QCoreApplication::setOrganizationName(QStringLiteral("KelvoTests"));
    QCoreApplication::setApplicationName(QStringLiteral("kelvo-tests"));
    QCoreApplication app(argc, argv);
    testing::InitGoogleMock(&argc, argv);
    return RUN_ALL_TESTS();
}
