// The offline-notification throttle with a hand-stepped clock: one announcement at once, the
// rest one per tick of the check timer, and the timer only while members wait.

#include "KLSignalEventFixture.h"

namespace {

using namespace kltest;

TEST_F(SignalEventTest, OfflineNoticesAreSpacedAndDrainedInOrder)
{
    auto a = feed("a", {{"online", 1}});
    auto b = feed("b", {{"online", 1}});
    auto c = feed("c", {{"online", 1}});
    auto &throttle = handler->offlineThrottle();
    const auto offlineNotices = [this] {
        return ctx->takeActions().filter("post OnlineOfflineChangeNotification");
    };
    for (const auto &uuid : {"a", "b", "c"}) {
        push(KLSignalingEvent::Offline, uuid, {{"callState", QJsonObject{{"online", 0}}}});
        clock = clock.addMSecs(300);
    }
    EXPECT_EQ(offlineNotices(), QStringList{"post OnlineOfflineChangeNotification a"});
    EXPECT_EQ(throttle.waitingMembers(), (QList<FeedPtrT>{b, c}));
    EXPECT_TRUE(throttle.isCheckTimerRunning());

    throttle.checkOfflineState();
    EXPECT_EQ(offlineNotices(), QStringList{"post OnlineOfflineChangeNotification b"});
    EXPECT_TRUE(throttle.isCheckTimerRunning());
    throttle.checkOfflineState();
    EXPECT_EQ(offlineNotices(), QStringList{"post OnlineOfflineChangeNotification c"});
    EXPECT_FALSE(throttle.isCheckTimerRunning());

    // Within 2 s of the last notice a member still waits; after them it is announced at once.
    clock = clock.addMSecs(2000);
    throttle.offlineMessageBalance(a);
    EXPECT_TRUE(offlineNotices().isEmpty());
    throttle.checkOfflineState();
    EXPECT_EQ(offlineNotices().size(), 1);
    clock = clock.addMSecs(2001);
    throttle.offlineMessageBalance(b);
    EXPECT_EQ(offlineNotices(), QStringList{"post OnlineOfflineChangeNotification b"});
    EXPECT_FALSE(throttle.isCheckTimerRunning());

    // A tick with nobody waiting just stops the timer; stop() forgets the waiting members.
    throttle.offlineMessageBalance(c);
    throttle.stop();
    EXPECT_TRUE(throttle.waitingMembers().isEmpty());
    throttle.checkOfflineState();
    EXPECT_TRUE(offlineNotices().isEmpty());
}

} // namespace
