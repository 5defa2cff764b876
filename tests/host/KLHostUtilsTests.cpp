#include "host/KLHostUtils.h"

#include "clientconfig/KLClientConfigManager.h"
#include "runtime/KLNotificationCenter.h"
#include "runtime/KLNotificationNames.h"
#include "KLTestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

/// Writes each file under `root`, creating the folders on the way.
void writeFiles(const QTemporaryDir &root, std::initializer_list<std::pair<QString, QByteArray>> files)
{
    for (const auto &[relative, content] : files) {
        const QString path = root.filePath(relative);
        ASSERT_TRUE(QDir().mkpath(QFileInfo(path).absolutePath()));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
}

const QByteArray kRouteHeader =
    "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n";

} // namespace

TEST(KLHostUtils, IpAddressPrefersTheLastNonLoopbackIPv4)
{
    const auto a = [](const char *address, bool loopback) {
        return KLHostUtils::InterfaceAddress{QHostAddress(QString::fromLatin1(address)), loopback};
    };
    const auto loopback = a("127.0.0.1", true), v6 = a("fe80::1", false);
    EXPECT_EQ(KLHostUtils::ipAddress({loopback, a("192.168.1.20", false), a("10.8.0.2", false), v6, loopback}), "10.8.0.2");
    EXPECT_EQ(KLHostUtils::ipAddress({a("127.0.1.1", true), v6}), "127.0.1.1");
    EXPECT_EQ(KLHostUtils::ipAddress({}), "127.0.0.1");
    EXPECT_EQ(QHostAddress(KLHostUtils::ipAddress()).protocol(), QAbstractSocket::IPv4Protocol);
}

TEST(KLHostUtils, BatteryLevelComesFromTheFirstSystemBattery)
{
    QTemporaryDir root;
    const QString supplies = QStringLiteral("sys/class/power_supply/");
    EXPECT_EQ(KLHostUtils::systemBatteryLevel(root.path()), 100); // no power supplies at all
    writeFiles(root, {{supplies + "AC/type", "Mains\n"}, {supplies + "AAmouse/type", "Battery\n"},
                      {supplies + "AAmouse/scope", "Device\n"}, {supplies + "AAmouse/capacity", "12\n"}});
    EXPECT_EQ(KLHostUtils::systemBatteryLevel(root.path()), 100); // a desktop with a mouse
    writeFiles(root, {{supplies + "BAT0/type", "Battery\n"}, {supplies + "BAT0/capacity", "57\n"},
                      {supplies + "BAT1/type", "Battery\n"}, {supplies + "BAT1/capacity", "90\n"}});
    EXPECT_EQ(KLHostUtils::systemBatteryLevel(root.path()), 57);
    writeFiles(root, {{supplies + "BAT0/capacity", "unknown\n"}});
    EXPECT_EQ(KLHostUtils::systemBatteryLevel(root.path()), 100);
}

TEST(KLHostUtils, HardwareAddressOfTheDefaultRouteInterface)
{
    QTemporaryDir root;
    EXPECT_EQ(KLHostUtils::wiFiInterface(root.path()), QString()); // no route table
    writeFiles(root, {{"proc/net/route", kRouteHeader + "docker0\t000011AC\t00000000\t0001\t0\t0\t0\t0000FFFF\t0\t0\t0\n"},
                      {"sys/class/net/docker0/address", "02:42:ac:11:00:01\n"}});
    EXPECT_EQ(KLHostUtils::wiFiInterface(root.path()), QString()); // no default route
    writeFiles(root, {{"proc/net/route", kRouteHeader + "wlan0\t00000000\t0101A8C0\t0003\t0\t0\t600\t00000000\t0\t0\t0\n"
                                                        "eth0\t00000000\t0100A8C0\t0003\t0\t0\t100\t00000000\t0\t0\t0\n"
                                                        "tun0\t00000000\t00000000\t0000\t0\t0\t1\t00000000\t0\t0\t0\n"},
                      {"sys/class/net/wlan0/address", "f0:9f:c2:00:00:01\n"},
                      {"sys/class/net/eth0/address", "0C:C4:7A:0B:E:FF\n"}});
    EXPECT_EQ(KLHostUtils::wiFiInterface(root.path()), "0c:c4:7a:0b:0e:ff");
    writeFiles(root, {{"sys/class/net/eth0/address", "00:00:00:00:00:00\n"}});
    EXPECT_EQ(KLHostUtils::wiFiInterface(root.path()), QString());
}

TEST(KLHostUtils, JsonConversions)
{
    const QJsonObject object{{"a b", "c d\ne"}, {"n", 1}};
    EXPECT_EQ(KLHostUtils::convertToJsonData(object), R"({"ab":"cd\ne","n":1})");
    EXPECT_EQ(KLHostUtils::objectToJson(QJsonArray{object}), R"([{"a b":"c d\ne","n":1}])");
    EXPECT_TRUE(KLHostUtils::convertToJsonData(QJsonValue(3)).isNull());
    EXPECT_TRUE(KLHostUtils::objectToJson(QJsonValue()).isNull());

    EXPECT_EQ(KLHostUtils::dictionaryWithJsonString(R"({"k":[1,2]})")["k"].toArray().size(), 2);
    for (const char *bad : {"", R"({"k":)", "42"})
        EXPECT_TRUE(KLHostUtils::dictionaryWithJsonString(bad).isUndefined()) << bad;
}

TEST(KLHostUtils, TextPredicates)
{
    EXPECT_TRUE(KLHostUtils::isWhiteSpaceString(" \t\r\n"));
    EXPECT_FALSE(KLHostUtils::isWhiteSpaceString(" a "));
    EXPECT_TRUE(KLHostUtils::isPositiveInteger("0042"));
    for (const char *text : {"", "12\n", "-1", "1.5", "١٢"})
        EXPECT_FALSE(KLHostUtils::isPositiveInteger(text)) << text;

    // Judged per user-perceived character, so sequences count by their first two units.
    for (const char *yes : {"\u00A9", "hi \U0001F600", "1\uFE0F\u20E3", "#\u20E3", "\u2764\uFE0F",
                            "\U0001F1E8\U0001F1F3", "\u2B50", "\u3030"})
        EXPECT_TRUE(KLHostUtils::isEmojiCharacter(yes)) << yes;
    for (const char *no : {"Hello, 世界", "", "e\u0301", "\U0001FA70", "\u2B1A"})
        EXPECT_FALSE(KLHostUtils::isEmojiCharacter(no)) << no;
    EXPECT_FALSE(KLHostUtils::isEmojiCharacter(QString(QChar(0xD83D)))); // a lone half
}

TEST(KLHostUtils, RunCommandReturnsStandardOutput)
{
    EXPECT_EQ(KLHostUtils::runCommand("printf 'h\\303\\251llo\\n'; echo oops >&2; exit 3"), "héllo\n");
    EXPECT_EQ(KLHostUtils::runCommand("cat"), QString()); // stdin is closed
    EXPECT_EQ(KLHostUtils::runCommand("echo \"$0\""), "/bin/sh\n");
}

TEST(KLHostUtils, CloseAppPostsOnTheMainThread)
{
    std::atomic<int> posts{0};
    std::atomic<bool> onMain{true};
    int owner = 0;
    auto &center = KLNotificationCenter::defaultCenter();
    center.addObserver(&owner, KLNotificationNames::KLHostUtilsCloseAppNotify, [&](const KLNotification &) {
        onMain = onMain && QThread::currentThread() == QCoreApplication::instance()->thread();
        ++posts;
    });
    KLClientConfigManager::sharedInstance().setIsStaff(true);
    std::thread([] { KLHostUtils::closeApp(); }).join();
    EXPECT_EQ(posts.load(), 0); // queued for the main thread, not delivered on the worker
    EXPECT_TRUE(kltest::waitUntil([&] { return posts.load() == 1; }));

    KLClientConfigManager::sharedInstance().setIsStaff(false);
    KLHostUtils::closeApp();
    EXPECT_EQ(posts.load(), 2);
    EXPECT_TRUE(onMain.load());
    center.removeObserver(&owner);
}
