// The offline-notification throttle with a hand-stepped clock: one announcement at once, the
// rest one per tick of the check timer, and the timer only while members wait.

#include "KLSignalEventFixture.h"

#include "KLTestSupport.h"
#include "runtime/KLTimeScale.h"

#include <QElapsedTimer>

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

// The same rule on the real clock and the real timer: the waiting members come out one per
// period (2 s, scaled), neither faster nor slower, and the timer stops with the queue.
TEST_F(SignalEventTest, OfflineNoticesComeOutOnePeriodApartOnTheRealTimer)
{
    KLTimeScale::setFactor(0.2); // the 2 s period in 400 ms
    QElapsedTimer elapsed;
    elapsed.start();
    QStringList announced;
    QList<qint64> at;
    auto throttle = KLOfflineNotificationThrottle::create([&](const FeedPtrT &member) {
        announced << member->uuid();
        at << elapsed.elapsed();
    });
    for (const auto &uuid : {"a", "b", "c"})
        throttle->offlineMessageBalance(feed(uuid, {{"online", 0}}));
    EXPECT_EQ(announced, QStringList{"a"});
    EXPECT_TRUE(waitUntil([&] { return announced.size() == 3; }, 3000));
    KLTimeScale::setFactor(1.0);
    EXPECT_EQ(announced, (QStringList{"a", "b", "c"}));
    ASSERT_EQ(at.size(), 3);
    for (const int i : {1, 2}) {
        EXPECT_GE(at[i] - at[i - 1], 370) << "notice " << i;
        EXPECT_LT(at[i] - at[i - 1], 580) << "notice " << i;
    }
    EXPECT_FALSE(throttle->isCheckTimerRunning());
}

} // namespace
