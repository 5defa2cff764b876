// The Linux platform against no bus at all, and against a private bus with stand-ins for the
// screen saver and logind registered in-process.
#include "KLPrivateSessionBus.h"
#include "KLRecordingPrinter.h"

#include "platform/KLLinuxPlatform.h"
#include "runtime/KLNotificationCenter.h"
#include "runtime/KLNotificationNames.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace platformtest {

/// Stand-in for the desktop's screen saver.
class FakeScreenSaver : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")
public:
    std::vector<std::pair<QString, QString>> inhibits; // application, reason
    std::vector<uint> unInhibits;

public Q_SLOTS:
    uint Inhibit(const QString &application, const QString &reason)
    {
        inhibits.emplace_back(application, reason);
        return 41 + uint(inhibits.size()); // 42, 43, ...
    }
    void UnInhibit(uint cookie) { unInhibits.push_back(cookie); }
};

/// Stand-in for logind's manager: hands out the write end of a pipe per inhibitor, so that the
/// test sees the inhibitor released when every copy of that end is closed.
class FakeLogind : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")
public:
    struct Lock {
        QString what, who, why, mode;
        int readEnd = -1;
    };
    std::vector<Lock> locks;

    ~FakeLogind() override
    {
        for (const Lock &lock : locks)
            ::close(lock.readEnd);
    }
    bool released(size_t index) const
    {
        pollfd descriptor{locks.at(index).readEnd, POLLIN, 0};
        return ::poll(&descriptor, 1, 0) == 1 && (descriptor.revents & POLLHUP);
    }

public Q_SLOTS:
    QDBusUnixFileDescriptor Inhibit(const QString &what, const QString &who, const QString &why, const QString &mode)
    {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0)
            return QDBusUnixFileDescriptor();
        locks.push_back({what, who, why, mode, ends[0]});
        QDBusUnixFileDescriptor handedOut(ends[1]); // keeps a duplicate
        ::close(ends[1]);
        return handedOut;
    }
};

class LinuxPlatformOnPrivateBus : public testing::Test {
protected:
    void SetUp() override
    {
        if (!bus.start(QStringLiteral("kltest-services")))
            GTEST_SKIP() << "dbus-daemon not available";
        printer = kltest::RecordingPrinter::install();
    }
    void TearDown() override
    {
        platform.reset();
        if (printer)
            kltest::RecordingPrinter::uninstall();
    }
    void offerScreenSaver()
    {
        ASSERT_TRUE(bus.service->registerObject(QStringLiteral("/org/freedesktop/ScreenSaver"), &screenSaver,
                                            QDBusConnection::ExportAllSlots));
        ASSERT_TRUE(bus.service->registerService(QStringLiteral("org.freedesktop.ScreenSaver")));
    }
    void offerLogind()
    {
        ASSERT_TRUE(bus.service->registerObject(QStringLiteral("/org/freedesktop/login1"), &logind,
                                            QDBusConnection::ExportAllSlots));
        ASSERT_TRUE(bus.service->registerService(QStringLiteral("org.freedesktop.login1")));
    }
    void createPlatform()
    {
        KLLinuxPlatform::Options options;
        options.buses = {bus.address, bus.address}; // one bus plays both parts
        platform = std::make_unique<KLLinuxPlatform>(options);
    }
    void prepareForSleep(bool start)
    {
        QDBusMessage signal = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/login1"),
                                                         QStringLiteral("org.freedesktop.login1.Manager"),
                                                         QStringLiteral("PrepareForSleep"));
        signal << start;
        ASSERT_TRUE(bus.service->send(signal));
    }
    bool logged(const char *kind, const QString &fragment, int times = 1)
    {
        return kltest::waitUntil([&] { return printer->count(kind, fragment) >= times; });
    }

    kltest::PrivateSessionBus bus;
    FakeScreenSaver screenSaver;
    FakeLogind logind;
    std::shared_ptr<kltest::RecordingPrinter> printer;
    std::unique_ptr<KLLinuxPlatform> platform;
};

} // namespace platformtest

using platformtest::LinuxPlatformOnPrivateBus;

TEST(LinuxPlatformWithoutBus, EveryCallIsALoggedNoOp)
{
    QTemporaryDir dir;
    // Before the first use of the standard buses in this process.
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    qunsetenv("DISPLAY");
    qputenv("XDG_RUNTIME_DIR", dir.path().toUtf8());
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", QStringLiteral("unix:path=%1/no-such-socket").arg(dir.path()).toUtf8());
    auto printer = kltest::RecordingPrinter::install();
    int sleeps = 0;
    int owner = 0;
    KLNotificationCenter::defaultCenter().addObserver(&owner, KLNotificationNames::SystemWillSleep,
                                                      [&](const KLNotification &) { ++sleeps; });
    {
        KLLinuxPlatform::Options options;
        options.display = KLDisplayEnvironment();
        options.systemRoot = dir.path();
        options.sandboxed = true; // so that the camera request has to try the portal
        KLLinuxPlatform platform(options);

        const KLDisplaySleepHandle handle = platform.preventDisplaySleep(QStringLiteral("Meeting in progress"));
        EXPECT_NE(handle, 0u);
        platform.allowDisplaySleep(handle);
        platform.startMonitoringSleep();
        EXPECT_EQ(platform.authorizationStatusForMediaType(KLMediaType::Video), KLAuthorizationStatusNotDetermined);
        std::optional<bool> granted;
        platform.requestAccessForMediaType(KLMediaType::Video, [&](bool answer) {
            EXPECT_EQ(QThread::currentThread(), qApp->thread());
            granted = answer;
        });
        ASSERT_TRUE(kltest::waitUntil([&] { return granted.has_value(); }));
        EXPECT_TRUE(*granted);
        EXPECT_EQ(platform.authorizationStatusForMediaType(KLMediaType::Video), KLAuthorizationStatusAuthorized);

        EXPECT_TRUE(kltest::waitUntil([&] {
            return printer->count("warn", QStringLiteral("display sleep not prevented for \"Meeting in progress\"")) == 1;
        }));
        EXPECT_TRUE(kltest::waitUntil([&] { return printer->count("warn", QStringLiteral("system sleep not watched: no system bus")) == 1; }));
        EXPECT_TRUE(kltest::waitUntil([&] { return platform.portalProbeFinished(); }));
        EXPECT_EQ(printer->count("info", QStringLiteral("camera access granted without asking: no session bus")), 1);
        EXPECT_FALSE(platform.canRecordScreen());
        EXPECT_EQ(platform.authorizationStatusForMediaType(KLMediaType::Screen), KLAuthorizationStatusRestricted);
        EXPECT_EQ(platform.authorizationStatusForMediaType(KLMediaType::Audio), KLAuthorizationStatusAuthorized);
        // Nothing more is said about the handle given back.
        EXPECT_EQ(printer->count("warn", QStringLiteral("handle")), 0);
    }
    EXPECT_EQ(sleeps, 0);
    KLNotificationCenter::defaultCenter().removeObserver(&owner);
    kltest::RecordingPrinter::uninstall();
}

TEST_F(LinuxPlatformOnPrivateBus, ScreenSaverInhibitCarriesTheReasonAndUnInhibitTheCookie)
{
    offerScreenSaver();
    createPlatform();
    const KLDisplaySleepHandle handle = platform->preventDisplaySleep(QStringLiteral("Meeting in progress"));
    ASSERT_TRUE(logged("info", QStringLiteral("display kept awake (ScreenSaver cookie 42)")));
    ASSERT_EQ(screenSaver.inhibits.size(), 1u);
    EXPECT_EQ(screenSaver.inhibits[0].first, QCoreApplication::applicationName());
    EXPECT_EQ(screenSaver.inhibits[0].second, QStringLiteral("Meeting in progress"));
    EXPECT_TRUE(screenSaver.unInhibits.empty());

    platform->allowDisplaySleep(handle);
    ASSERT_TRUE(kltest::waitUntil([&] { return !screenSaver.unInhibits.empty(); }));
    EXPECT_EQ(screenSaver.unInhibits, std::vector<uint>{42});

    platform->allowDisplaySleep(handle); // twice: nothing more reaches the service
    platform->allowDisplaySleep(9999);   // never handed out
    kltest::pumpEvents(50);
    EXPECT_EQ(screenSaver.unInhibits.size(), 1u);
}

TEST_F(LinuxPlatformOnPrivateBus, HandleGivenBackBeforeTheCookieArrivesIsStillReleased)
{
    offerScreenSaver();
    createPlatform();
    // The service answers only when this thread runs its events, so the give-back reaches the
    // platform while the Inhibit call is still in flight.
    platform->allowDisplaySleep(platform->preventDisplaySleep(QStringLiteral("short meeting")));
    ASSERT_TRUE(kltest::waitUntil([&] { return !screenSaver.unInhibits.empty(); }));
    EXPECT_EQ(screenSaver.unInhibits, std::vector<uint>{42});
    EXPECT_EQ(printer->count("info", QStringLiteral("display kept awake")), 0);
}

TEST_F(LinuxPlatformOnPrivateBus, WithoutScreenSaverAnIdleInhibitorIsHeldUntilGivenBack)
{
    offerLogind();
    createPlatform();
    const KLDisplaySleepHandle handle = platform->preventDisplaySleep(QStringLiteral("Meeting in progress"));
    ASSERT_TRUE(logged("info", QStringLiteral("display kept awake (logind idle inhibitor)")));
    ASSERT_EQ(logind.locks.size(), 1u);
    EXPECT_EQ(logind.locks[0].what, QStringLiteral("idle"));
    EXPECT_EQ(logind.locks[0].mode, QStringLiteral("block"));
    EXPECT_EQ(logind.locks[0].why, QStringLiteral("Meeting in progress"));
    kltest::pumpEvents(20);
    EXPECT_FALSE(logind.released(0));

    platform->allowDisplaySleep(handle);
    EXPECT_TRUE(kltest::waitUntil([&] { return logind.released(0); }));
}

TEST_F(LinuxPlatformOnPrivateBus, SleepIsAnnouncedOnTheMainThreadBeforeTheDelayLockGoes)
{
    offerLogind();
    createPlatform();
    int owner = 0;
    std::vector<bool> lockHeldWhenDelivered;
    bool onMainThread = false;
    KLNotificationCenter::defaultCenter().addObserver(&owner, KLNotificationNames::SystemWillSleep,
                                                      [&](const KLNotification &) {
                                                          onMainThread = QThread::currentThread() == qApp->thread();
                                                          lockHeldWhenDelivered.push_back(!logind.released(0));
                                                      });
    platform->startMonitoringSleep();
    platform->startMonitoringSleep(); // a second start takes no second lock
    ASSERT_TRUE(logged("info", QStringLiteral("watching system sleep")));
    ASSERT_EQ(logind.locks.size(), 1u);
    EXPECT_EQ(logind.locks[0].what, QStringLiteral("sleep"));
    EXPECT_EQ(logind.locks[0].mode, QStringLiteral("delay"));

    prepareForSleep(true);
    ASSERT_TRUE(kltest::waitUntil([&] { return logind.released(0); }));
    EXPECT_EQ(lockHeldWhenDelivered, std::vector<bool>{true});
    EXPECT_TRUE(onMainThread);

    // Waking up takes the lock for the next sleep.
    prepareForSleep(false);
    ASSERT_TRUE(kltest::waitUntil([&] { return logind.locks.size() == 2; }));
    ASSERT_TRUE(logged("info", QStringLiteral("watching system sleep"), 2));
    EXPECT_FALSE(logind.released(1));

    platform->stopMonitoringSleep();
    EXPECT_TRUE(kltest::waitUntil([&] { return logind.released(1); }));
    prepareForSleep(true);
    kltest::pumpEvents(50);
    EXPECT_EQ(lockHeldWhenDelivered.size(), 1u);
    KLNotificationCenter::defaultCenter().removeObserver(&owner);
}

#include "KLLinuxPlatformBusTests.moc"
