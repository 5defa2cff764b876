#include "KLRecordingPrinter.h"
#include "KLTestSupport.h"

#include "runtime/KLDispatchQueue.h"
#include "runtime/KLSDKDispatcher.h"
#include "runtime/KLTimeScale.h"
#include "runtime/KLUtility.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <latch>
#include <mutex>
#include <thread>

namespace {

/// Entries added from queue threads; read once the queues have been waited for.
struct OrderLog {
    void add(const QString &entry) { std::lock_guard lock(mutex); entries << entry; }
    std::mutex mutex;
    QStringList entries;
};

QString currentThreadName() { return QThread::currentThread()->objectName(); }

} // namespace

TEST(DispatcherQueues, SerialTasksRunInSubmissionOrderOnTheirNamedThread)
{
    OrderLog log;
    QStringList expected;
    for (int i = 0; i < 50; ++i) {
        expected << QString::number(i);
        KLSDKDispatcher::asyncRunOnSerialQueue([&log, i]() { log.add(QString::number(i)); });
    }
    QString threadName;
    KLSDKDispatcher::sharedDispatcher().serialQueue().sync([&]() { threadName = currentThreadName(); });
    EXPECT_EQ(log.entries, expected);
    EXPECT_EQ(threadName, QStringLiteral("com.vantora.kelvo.serial.queue"));
}

TEST(DispatcherQueues, AsyncFromOwnQueueRunsInlineAheadOfQueuedWork)
{
    OrderLog log;
    KLSDKDispatcher::asyncRunOnSerialQueue([&log]() {
        log.add("outer-start");
        KLSDKDispatcher::asyncRunOnSerialQueue([&log]() { log.add("queued"); });
        ASYNC_RUN_ON_SERIAL_QUEUE([&log]() { log.add("inline"); });
        log.add("outer-end");
    });
    KLSDKDispatcher::asyncRunOnIoQueue([&log]() {
        KLSDKDispatcher::asyncRunOnIoQueue([&log]() { log.add("io-queued"); });
        ASYNC_RUN_ON_IO_QUEUE([&log]() { log.add("io-inline"); });
    });
    KLDispatchQueue &serial = KLSDKDispatcher::sharedDispatcher().serialQueue();
    serial.sync([]() {});
    serial.sync([]() {});
    kltest::drainLogger();
    kltest::drainLogger();

    const QStringList entries = log.entries;
    const QStringList serialOrder = entries.filter(QRegularExpression("^(outer|queued|inline)"));
    EXPECT_EQ(serialOrder, QStringList({"outer-start", "inline", "outer-end", "queued"}));
    EXPECT_LT(entries.indexOf("io-inline"), entries.indexOf("io-queued"));
}

TEST(DispatcherQueues, SerialTaskRecordsItsCostAndLogsBothQueuesFigures)
{
    auto printer = kltest::RecordingPrinter::install();
    KLSDKDispatcher &dispatcher = KLSDKDispatcher::sharedDispatcher();
    const qint64 idBefore = dispatcher.serialTaskId();

    KLSDKDispatcher::asyncRunOnSerialQueue([]() { QThread::msleep(150); });
    dispatcher.serialQueue().sync([]() {});
    kltest::drainLogger();
    kltest::RecordingPrinter::uninstall();

    EXPECT_EQ(dispatcher.serialTaskId(), idBefore + 1);
    EXPECT_GE(dispatcher.serialLastTimeCost(), 150);
    EXPECT_LT(dispatcher.serialLastTimeCost(), 2000);
    EXPECT_GE(dispatcher.serialMaxTimeCost(), dispatcher.serialLastTimeCost());

    const QString serialLine = QString::asprintf("SeiralTask[%lld]: timeCost = %lld, maxTimeCost = %lld",
                                                 dispatcher.serialTaskId(), dispatcher.serialLastTimeCost(),
                                                 dispatcher.serialMaxTimeCost());
    const auto lines = printer->linesWithTag("KLSDKDispatcher");
    ASSERT_GE(lines.size(), 2u);
    const auto &last = lines[lines.size() - 2];
    EXPECT_EQ(last.kind, "debug");
    EXPECT_TRUE(last.text.startsWith("(KLSDKDispatcher.cpp:")) << last.text.toStdString();
    EXPECT_TRUE(last.text.endsWith("): " + serialLine)) << last.text.toStdString();
    EXPECT_TRUE(lines.back().text.contains(QRegularExpression(
        R"(\): IoTask\[\d+\]: timeCost = \d+, maxTimeCost = \d+$)")));
}

TEST(DispatcherQueues, DelayedTasksHonourTheTimeScaleAndAreNotCounted)
{
    KLTimeScale::setFactor(0.01);
    KLSDKDispatcher &dispatcher = KLSDKDispatcher::sharedDispatcher();
    const qint64 idBefore = dispatcher.serialTaskId();
    std::atomic<bool> ran{false};
    KLSDKDispatcher::asyncRunOnSerialQueue([&ran]() { ran = true; }, 10.0); // 100 ms scaled
    KLSDKDispatcher::asyncRunOnSerialQueue(KLBlock(), 0.5);                  // skipped quietly
    EXPECT_TRUE(kltest::waitUntil([&ran]() { return ran.load(); }, 3000));
    KLTimeScale::setFactor(1.0);
    EXPECT_EQ(dispatcher.serialTaskId(), idBefore);
}

TEST(MainThreadDispatch, BlocksFromOtherThreadsRunOnTheMainThread)
{
    KLPerformBlockOnMainThread(KLBlock()); // no block: nothing happens
    KLPerformBlockSyncOnMainThread(KLBlock());

    QThread *mainThread = QCoreApplication::instance()->thread();
    std::atomic<QThread *> asyncThread{nullptr};
    std::thread([&]() { KLPerformBlockOnMainThread([&]() { asyncThread = QThread::currentThread(); }); }).join();
    EXPECT_TRUE(kltest::waitUntil([&]() { return asyncThread.load() != nullptr; }));
    EXPECT_EQ(asyncThread.load(), mainThread);

    // The caller of the synchronous forms waits for the block; the main loop must be running.
    std::atomic<int> syncRuns{0};
    auto result = std::async(std::launch::async, [&]() {
        QThread *seen = nullptr;
        KLPerformBlockSyncOnMainThread([&]() { seen = QThread::currentThread(); ++syncRuns; });
        const bool firstRanBeforeReturn = syncRuns.load() == 1;
        SYNC_RUN_ON_MAIN_QUEUE_WITHOUT_DEAD_LOCKING([&]() { ++syncRuns; });
        return firstRanBeforeReturn && syncRuns.load() == 2 && seen == mainThread;
    });
    EXPECT_TRUE(kltest::waitUntil([&]() { return result.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }));
    EXPECT_TRUE(result.get());
}

TEST(MainThreadDispatch, SynchronousFormsRunInlineOnTheMainThread)
{
    int runs = 0;
    KLPerformBlockSyncOnMainThread([&runs]() { ++runs; });
    SYNC_RUN_ON_MAIN_QUEUE_WITHOUT_DEAD_LOCKING([&runs]() { ++runs; });
    KLPerformBlockOnMainThread([&runs]() { ++runs; });
    EXPECT_EQ(runs, 3); // all inline: no event loop was needed
}

TEST(UtilityQueues, SerialWorkIsOrderedAndConcurrentWorkOverlapsOffTheMainThread)
{
    OrderLog log;
    for (int i = 0; i < 20; ++i)
        KLPerformBlockOnSerialQueue([&log, i]() { log.add(currentThreadName() + QString::number(i)); });
    KLUtility::shareInstance().serialQueue().sync([]() {});
    ASSERT_EQ(log.entries.size(), 20);
    EXPECT_EQ(log.entries.first(), "com.tandu.conf.serial0");
    EXPECT_EQ(log.entries.last(), "com.tandu.conf.serial19");

    // Two blocks that wait for each other can only finish if they run at the same time.
    std::latch bothStarted(2);
    std::atomic<int> finished{0};
    std::atomic<bool> onMain{false};
    QThread *mainThread = QThread::currentThread();
    for (int i = 0; i < 2; ++i) {
        KLPerformBlockOnConcurrentQueue([&]() {
            onMain = onMain || QThread::currentThread() == mainThread;
            bothStarted.arrive_and_wait();
            ++finished;
        });
    }
    KLPerformBlockOnConcurrentQueue(KLBlock());
    EXPECT_TRUE(kltest::waitUntil([&]() { return finished.load() == 2; }));
    EXPECT_FALSE(onMain.load());
    EXPECT_EQ(QThreadPool::globalInstance()->activeThreadCount(), 0);

    // With one pool thread held, waiting blocks run each once: the high-priority one first,
    // the others in the order they were queued.
    QThreadPool &pool = KLUtility::shareInstance().concurrentQueue();
    const int threads = pool.maxThreadCount();
    pool.setMaxThreadCount(1);
    std::promise<void> release;
    KLUtility::shareInstance().dispatch_async_concurrent([held = release.get_future().share()] { held.wait(); });
    OrderLog waiting;
    for (const char *name : {"a", "b"})
        KLPerformBlockOnConcurrentQueue([&waiting, name] { waiting.add(name); });
    KLUtility::shareInstance().dispatch_async_concurrent([&waiting] { waiting.add("urgent"); }, QThread::HighPriority);
    KLPerformBlockOnConcurrentQueue([&waiting] { waiting.add("c"); });
    release.set_value();
    pool.waitForDone();
    pool.setMaxThreadCount(threads);
    std::lock_guard lock(waiting.mutex);
    EXPECT_EQ(waiting.entries, (QStringList{"urgent", "a", "b", "c"}));
}

TEST(SharedQueues, MeetingQueuesCountUntilTakenDownAndOneReleasedOnItsOwnThreadUntilJoined)
{
    const int before = KLDispatchQueue::meetingQueuesAlive();
    auto onMain = KLDispatchQueue::makeShared("com.kelvo.test.main");
    EXPECT_EQ(KLDispatchQueue::meetingQueuesAlive(), before + 1);
    onMain.reset();
    EXPECT_EQ(KLDispatchQueue::meetingQueuesAlive(), before);
    const auto engineThread = KLDispatchQueue::makeShared("com.kelvo.test.process", KLDispatchQueue::Lifetime::Process);
    EXPECT_EQ(KLDispatchQueue::meetingQueuesAlive(), before);

    // The last owner is a block on the queue itself: the queue stays counted while its thread
    // runs, until the main thread has taken it down.
    auto queue = KLDispatchQueue::makeShared("com.kelvo.test.own");
    std::promise<void> mainLetGo, released;
    queue->async([held = queue, letGo = mainLetGo.get_future().share(), &released]() mutable {
        letGo.wait();
        held.reset();
        released.set_value();
    });
    queue.reset();
    mainLetGo.set_value();
    released.get_future().wait();
    EXPECT_EQ(KLDispatchQueue::meetingQueuesAlive(), before + 1);
    EXPECT_TRUE(kltest::waitUntil([before] { return KLDispatchQueue::meetingQueuesAlive() == before; }));
}
