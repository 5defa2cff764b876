// The production scheduler over KLTimer: blocks run on the main thread, cancelled ones never.

#include "collab/KLDelayScheduler.h"
#include "runtime/KLMainThread.h"
#include "runtime/KLTimeScale.h"

#include "KLTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>

TEST(TimerScheduler, RunsDueBlocksOnTheMainThreadAndNeverCancelledOnes)
{
    const double previousFactor = KLTimeScale::factor();
    KLTimeScale::setFactor(0.01);
    auto scheduler = KLDelayScheduler::timerScheduler();
    std::atomic<int> ran{0};
    std::atomic<bool> onMain{false};
    std::atomic<bool> cancelledRan{false};
    const auto cancelled = scheduler->schedule(0.5, [&] { cancelledRan = true; });
    scheduler->schedule(1.0, [&] {
        onMain = KLMainThread::isCurrent();
        ++ran;
    });
    scheduler->cancel(cancelled);
    scheduler->cancel(cancelled); // spent tokens are ignored
    EXPECT_TRUE(kltest::waitUntil([&] { return ran.load() == 1; }));
    kltest::pumpEvents(50);
    EXPECT_TRUE(onMain);
    EXPECT_FALSE(cancelledRan);
    EXPECT_EQ(ran, 1);
    KLTimeScale::setFactor(previousFactor);
}
