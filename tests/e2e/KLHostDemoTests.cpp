// The demo (the README's first command): the sample host with its own simulator plays the whole
// demo meeting and ends on its own. Time runs twenty times faster here.

#include "KLHostProcess.h"

#include <QJsonArray>

#include <gtest/gtest.h>

namespace e2e {
namespace {

TEST(HostDemo, PlaysTheMeetingAndEndsOnItsOwn)
{
    HostProcess host;
    // On the simulated media server: the timeline runs twenty times faster here, which real
    // media cannot (a member's chat line travels on its data channel, open only once the
    // subscription is up). The members' real media are tested in the WebRTC suite.
    ASSERT_TRUE(host.start({"--sim", "demo", "--headless", "--events", "-", "--language", "en"},
                           {{"KELVO_TIME_SCALE", "0.05"}, {"KELVO_DEMO_MEDIA", "simulated"}}));
    ASSERT_TRUE(host.waitForExit()) << host.transcript();
    EXPECT_TRUE(host.exitedCleanly()) << host.transcript();

    const auto textOf = [&](qsizetype index) {
        return host.events().at(index).value(QLatin1String("text")).toString();
    };
    // The narration runs to its end, and the meeting reacts to what it narrates.
    const qsizetype over = host.indexOf([](const QJsonObject &event) {
        return event.value(QLatin1String("type")) == QLatin1String("demo")
               && event.value(QLatin1String("text")).toString().startsWith(QLatin1String("The demo is over"));
    });
    ASSERT_GE(over, 0) << host.transcript();
    const QString zhaoXue = QStringLiteral("D4E5F6A7-1B2C-4D3E-8F90-3B4C5D6E7F03");
    const qsizetype dropped = host.indexOf(userStatus(1, zhaoXue));
    ASSERT_GE(dropped, 0) << host.transcript();
    EXPECT_GT(host.indexOf(userStatus(0, zhaoXue), dropped), dropped) << host.transcript();
    const qsizetype chat = host.indexOf(typeIs(QStringLiteral("chat")));
    ASSERT_GE(chat, 0) << host.transcript();
    EXPECT_TRUE(textOf(chat).endsWith(QLatin1String("Let's start with the release plan."))) << host.transcript();
    const auto toastOfKind = [](int kind) {
        return [kind](const QJsonObject &event) {
            return event.value(QLatin1String("type")) == QLatin1String("toast")
                   && event.value(QLatin1String("kind")).toInt() == kind;
        };
    };
    const qsizetype shareStarted = host.indexOf(toastOfKind(8));
    ASSERT_GE(shareStarted, 0) << host.transcript();
    EXPECT_GT(host.indexOf(toastOfKind(9), shareStarted), shareStarted) << host.transcript();

    // Then the demo closes the window: no finish, no error, "closed" last.
    EXPECT_EQ(host.count(typeIs(QStringLiteral("finish"))) + host.count(typeIs(QStringLiteral("error"))), 0)
        << host.transcript();
    ASSERT_FALSE(host.events().isEmpty());
    EXPECT_EQ(host.events().last().value(QLatin1String("type")).toString(), QStringLiteral("closed"));
}

} // namespace
} // namespace e2e
