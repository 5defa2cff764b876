// Version mapping and the display / camera probes, on controlled inputs.
#include "platform/KLFakePlatform.h"
#include "platform/KLLinuxDisplayProbes.h"
#include "platform/KLLinuxPlatform.h"

#include <QDir>
#include <QFile>
#include <QSysInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

void writeFile(const QString &path, const QByteArray &content = {})
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
}

/// A Linux platform that can reach no bus, whatever the environment says.
KLLinuxPlatform::Options unreachableBuses(const QString &root)
{
    KLLinuxPlatform::Options options;
    options.buses = {QStringLiteral("unix:path=%1/no-session").arg(root), QStringLiteral("unix:path=%1/no-system").arg(root)};
    options.systemRoot = root;
    options.sandboxed = false;
    return options;
}

} // namespace

TEST(PlatformVersion, ParsesLeadingNumbersAndMapsDistributionBeforeKernel)
{
    EXPECT_EQ(KLOSVersion::parse(QStringLiteral("12")), (KLOSVersion{12, 0, 0}));
    EXPECT_EQ(KLOSVersion::parse(QStringLiteral("22.04")), (KLOSVersion{22, 4, 0}));
    EXPECT_EQ(KLOSVersion::parse(QStringLiteral("6.1.0-13-amd64")), (KLOSVersion{6, 1, 0}));
    EXPECT_FALSE(KLOSVersion::parse(QString()));
    EXPECT_FALSE(KLOSVersion::parse(QStringLiteral("unknown")));
    EXPECT_FALSE(KLOSVersion::parse(QStringLiteral("99999999999")));
    EXPECT_EQ(KLOSVersion::parse(QStringLiteral("10.9"))->toString(), QStringLiteral("10.9"));

    EXPECT_EQ(KLLinuxPlatform::mapVersion(QStringLiteral("12"), QStringLiteral("6.1.0-13-amd64")), (KLOSVersion{12, 0, 0}));
    // Rolling distributions have no version of their own: the kernel's stands in.
    EXPECT_EQ(KLLinuxPlatform::mapVersion(QStringLiteral("unknown"), QStringLiteral("6.5.3-arch1")), (KLOSVersion{6, 5, 3}));
    EXPECT_FALSE(KLLinuxPlatform::mapVersion(QString(), QString()));
}

TEST(PlatformVersion, IsAtLeastComparesNumberByNumberAndTreatsUnknownAsOld)
{
    KLFakePlatform platform;
    platform.setOsVersion(KLOSVersion{10, 13, 6});
    EXPECT_FALSE(platform.isAtLeast(10, 14));
    platform.setOsVersion(KLOSVersion{10, 14, 0});
    EXPECT_TRUE(platform.isAtLeast(10, 14));
    EXPECT_FALSE(platform.isAtLeast(10, 15));
    platform.setOsVersion(KLOSVersion{10, 9, 0}); // 10.9 is older than 10.14, unlike the decimals
    EXPECT_FALSE(platform.isAtLeast(10, 14));
    platform.setOsVersion(KLOSVersion{11, 0, 0});
    EXPECT_TRUE(platform.isAtLeast(10, 15));
    platform.setOsVersion(std::nullopt);
    EXPECT_FALSE(platform.isAtLeast(0, 0));
}

TEST(PlatformVersion, Debian12PassesTheNewerSystemChecks)
{
    if (QSysInfo::productType() != QLatin1String("debian") || QSysInfo::productVersion() != QLatin1String("12"))
        GTEST_SKIP() << "not Debian 12";
    QTemporaryDir root;
    KLLinuxPlatform platform(unreachableBuses(root.path()));
    EXPECT_TRUE(platform.isAtLeast(10, 14));
    EXPECT_TRUE(platform.isAtLeast(10, 15));
}

TEST(PlatformDisplayProbes, FindsWaylandThenX11SocketsAndRemoteDisplays)
{
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("run/wayland-0")));
    writeFile(dir.filePath(QStringLiteral("x11/X0")));
    KLDisplayEnvironment env;
    env.runtimeDir = dir.filePath(QStringLiteral("run"));
    env.x11SocketDir = dir.filePath(QStringLiteral("x11"));

    env.display = QStringLiteral(":0.0");
    EXPECT_EQ(KLLinuxDisplayProbes::detect(env).session, KLDisplaySession::X11);
    env.waylandDisplay = QStringLiteral("wayland-0");
    EXPECT_EQ(KLLinuxDisplayProbes::detect(env).session, KLDisplaySession::Wayland);
    env.waylandDisplay = QStringLiteral("wayland-9"); // stale variable, no socket
    EXPECT_EQ(KLLinuxDisplayProbes::detect(env).session, KLDisplaySession::X11);
    env.display = QStringLiteral(":1");
    EXPECT_EQ(KLLinuxDisplayProbes::detect(env).session, KLDisplaySession::None);
    env.display = QStringLiteral("thinclient:0");
    EXPECT_EQ(KLLinuxDisplayProbes::detect(env).session, KLDisplaySession::X11);
    env.display = QStringLiteral("garbage");
    EXPECT_EQ(KLLinuxDisplayProbes::detect(env).session, KLDisplaySession::None);
}

TEST(PlatformDisplayProbes, ScreenAnswersFollowTheDisplaySession)
{
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("run/wayland-0")));
    writeFile(dir.filePath(QStringLiteral("x11/X0")));
    KLDisplayEnvironment env;
    env.runtimeDir = dir.filePath(QStringLiteral("run"));
    env.x11SocketDir = dir.filePath(QStringLiteral("x11"));

    const auto platformWith = [&](const QString &display, const QString &wayland) {
        KLLinuxPlatform::Options options = unreachableBuses(dir.path());
        env.display = display;
        env.waylandDisplay = wayland;
        options.display = env;
        return std::make_unique<KLLinuxPlatform>(options);
    };
    auto x11 = platformWith(QStringLiteral(":0"), QString());
    EXPECT_TRUE(x11->canRecordScreen());
    EXPECT_TRUE(x11->recordScreenFromCreateStream());
    EXPECT_EQ(x11->authorizationStatusForMediaType(KLMediaType::Screen), KLAuthorizationStatusAuthorized);

    // Wayland without a ScreenCast portal: there is a display, but nobody may capture it unasked.
    auto wayland = platformWith(QString(), QStringLiteral("wayland-0"));
    EXPECT_FALSE(wayland->canRecordScreen());
    EXPECT_TRUE(wayland->recordScreenFromCreateStream());
    EXPECT_EQ(wayland->authorizationStatusForMediaType(KLMediaType::Screen), KLAuthorizationStatusAuthorized);

    auto headless = platformWith(QString(), QString());
    EXPECT_FALSE(headless->canRecordScreen());
    EXPECT_FALSE(headless->recordScreenFromCreateStream());
    EXPECT_EQ(headless->authorizationStatusForMediaType(KLMediaType::Screen), KLAuthorizationStatusRestricted);
}

TEST(PlatformDisplayProbes, ListsEachCameraOnceInDeviceOrder)
{
    QTemporaryDir root;
    const QString v4l = root.filePath(QStringLiteral("sys/class/video4linux/"));
    EXPECT_TRUE(KLLinuxDisplayProbes::videoCaptureDevices(root.path()).isEmpty());
    KLLinuxPlatform empty(unreachableBuses(root.path()));
    EXPECT_FALSE(empty.hasVideoCaptureDevice());

    writeFile(v4l + QStringLiteral("video0/index"), "0\n");
    writeFile(v4l + QStringLiteral("video0/name"), "Integrated Camera\n");
    writeFile(v4l + QStringLiteral("video1/index"), "1\n"); // its metadata node
    writeFile(v4l + QStringLiteral("video1/name"), "Integrated Camera\n");
    writeFile(v4l + QStringLiteral("video10/index"), "0\n");
    writeFile(v4l + QStringLiteral("video10/name"), "USB Camera\n");
    writeFile(v4l + QStringLiteral("video2/index"), "0\n");
    writeFile(v4l + QStringLiteral("video2/name"), "Capture Card\n");
    EXPECT_EQ(KLLinuxDisplayProbes::videoCaptureDevices(root.path()),
              (QStringList{QStringLiteral("Integrated Camera"), QStringLiteral("Capture Card"), QStringLiteral("USB Camera")}));
    KLLinuxPlatform withCameras(unreachableBuses(root.path()));
    EXPECT_TRUE(withCameras.hasVideoCaptureDevice());
}
