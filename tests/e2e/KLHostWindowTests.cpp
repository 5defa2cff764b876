// The sample host with the drawn meeting window (no --headless, on the offscreen platform): the
// window observes the same meeting, so the event and control lines work as they do headless.

#include "KLHostProcess.h"

#include <gtest/gtest.h>

namespace e2e {
namespace {

TEST(HostWindow, TheDrawnWindowKeepsEveryEventAndControlLine)
{
    HostProcess host;
    ASSERT_TRUE(host.start({"--sim", "--events", "-", "--control", "-", "--language", "en"},
                           {{"QT_QPA_PLATFORM", "offscreen"}}));
    ASSERT_TRUE(host.waitFor(typeIs(QStringLiteral("joined")))) << host.transcript();

    // The leave button's dialog reaches the host as it is drawn; the host answers it.
    host.send({{"cmd", "leave"}});
    const auto dialog = host.waitFor(typeIs(QStringLiteral("dialog")));
    ASSERT_TRUE(dialog) << host.transcript();
    EXPECT_EQ(dialog->value(QLatin1String("title")).toString(), QStringLiteral("LEAVE_ROOM_OTHER_TOAST_DIALOG"));
    host.send({{"cmd", "dialog"}, {"id", dialog->value(QLatin1String("id"))}, {"button", 1}});

    ASSERT_TRUE(host.waitFor(finishWith(0))) << host.transcript();
    ASSERT_TRUE(host.waitForExit()) << host.transcript();
    EXPECT_TRUE(host.exitedCleanly()) << host.transcript();
    EXPECT_EQ(host.events().last().value(QLatin1String("type")).toString(), QStringLiteral("closed"));
}

} // namespace
} // namespace e2e
