#include "KLTestSupport.h"

#include "runtime/KLDispatchQueue.h"
#include "runtime/KLSDKGCDTimer.h"
#include "runtime/KLTimeScale.h"
#include "runtime/KLTimer.h"

#include <QCoreApplication>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

/// Shrinks every timer for the duration of one test.
class TimeScaled : public ::testing::Test {
protected:
    void SetUp() override { KLTimeScale::setFactor(0.01); }
    void TearDown() override { KLTimeScale::setFactor(1.0); }
};

struct Counter { void tick() { ++ticks; } std::atomic<int> ticks{0}; };

} // namespace

using MainThreadTimer = TimeScaled;
using QueueTimer = TimeScaled;

TEST_F(MainThreadTimer, StartingTwiceLeavesExactlyOneTimer)
{
    std::atomic<int> fires{0};
    KLTimer timer(5.0, false, [&fires]() { ++fires; }); // 50 ms scaled
    timer.startTimer();
    timer.startTimer();
    EXPECT_TRUE(kltest::waitUntil([&]() { return fires.load() > 0; }));
    kltest::pumpEvents(200);
    EXPECT_EQ(fires.load(), 1); // one-shot, and not restarted by itself
}

TEST_F(MainThreadTimer, RepeatsOnTheMainThreadUntilStopped)
{
    std::atomic<int> fires{0};
    std::atomic<bool> offMain{false};
    QThread *mainThread = QThread::currentThread();
    KLTimer timer(2.0, true, [&]() { offMain = offMain || QThread::currentThread() != mainThread; ++fires; });
    std::thread([&timer]() { timer.startTimer(); }).join(); // started from another thread
    EXPECT_TRUE(kltest::waitUntil([&]() { return fires.load() >= 3; }));
    timer.stopTimer();
    timer.stopTimer(); // safe when already stopped
    const int atStop = fires.load();
    kltest::pumpEvents(120);
    EXPECT_EQ(fires.load(), atStop);
    EXPECT_FALSE(offMain.load());
}

TEST_F(MainThreadTimer, DestroyedTimerNeverFires)
{
    std::atomic<int> fires{0};
    {
        KLTimer timer(1.0, true, [&fires]() { ++fires; });
        timer.startTimer();
    }
    kltest::pumpEvents(100);
    EXPECT_EQ(fires.load(), 0);
}

TEST_F(QueueTimer, RepeatingTimerStopsOnceItsOwnerIsGone)
{
    KLDispatchQueue queue(QStringLiteral("test.timer.queue"));
    auto target = std::make_shared<Counter>();
    std::weak_ptr<Counter> weakTarget = target;
    auto timer = KLSDKGCDTimer::scheduledTimerWithTimeInterval(2.0, target, &Counter::tick, &queue, QVariant(), true);
    target.reset(); // the timer keeps its target alive
    EXPECT_TRUE(kltest::waitUntil([&]() { auto live = weakTarget.lock(); return live && live->ticks.load() >= 3; }));
    timer.reset(); // the owner lets go
    queue.sync([]() {});
    EXPECT_TRUE(weakTarget.expired());
}

TEST_F(QueueTimer, FiresOnItsQueueAndOneShotFiresOnce)
{
    KLDispatchQueue queue(QStringLiteral("test.oneshot.queue"));
    std::atomic<int> fires{0};
    std::atomic<bool> onQueue{true};
    const auto tick = [&]() { onQueue = onQueue && queue.isCurrent(); ++fires; };
    auto timer = KLSDKGCDTimer::scheduledTimerWithTimeInterval(1.0, nullptr, tick, &queue, QVariant(), false);
    EXPECT_TRUE(kltest::waitUntil([&]() { return fires.load() == 1; }));
    kltest::pumpEvents(80);
    EXPECT_EQ(fires.load(), 1);
    EXPECT_TRUE(onQueue.load());

    timer->resume(); // a one-shot can be started again
    EXPECT_TRUE(kltest::waitUntil([&]() { return fires.load() == 2; }));
    timer->invalidate();
    queue.sync([]() {});
}

TEST_F(QueueTimer, InvalidateStopsARepeatingTimer)
{
    KLDispatchQueue queue(QStringLiteral("test.invalidate.queue"));
    std::atomic<int> fires{0};
    auto timer = KLSDKGCDTimer::scheduledTimerWithTimeInterval(1.0, nullptr, [&]() { ++fires; }, &queue, QVariant(), true);
    EXPECT_TRUE(kltest::waitUntil([&]() { return fires.load() >= 2; }));
    timer->invalidate();
    queue.sync([]() {});
    const int atInvalidate = fires.load();
    kltest::pumpEvents(80);
    EXPECT_EQ(fires.load(), atInvalidate);
}
