#include "runtime/KLSDKDispatcher.h"

#include "runtime/KLMainThread.h"
#include "runtime/KLSDKLog.h"
#include "runtime/KLTimeScale.h"

#include <QDateTime>

KLSDKDispatcher &KLSDKDispatcher::sharedDispatcher()
{
    // Deliberately never destroyed: queues must outlive every static that may still log.
    static KLSDKDispatcher *instance = new KLSDKDispatcher;
    return *instance;
}

KLSDKDispatcher::KLSDKDispatcher()
    : m_serialQueue(QStringLiteral("com.vantora.kelvo.serial.queue")),
      m_ioQueue(QStringLiteral("com.vantora.kelvo.io.queue"))
{
}

void KLSDKDispatcher::syncRunOnMainQueueWithoutDeadlocking(KLBlock block)
{
    KLPerformBlockSyncOnMainThread(std::move(block));
}

void KLSDKDispatcher::runTimed(const KLBlock &block, TaskFigures figures)
{
    figures.taskId.fetch_add(1, std::memory_order_relaxed);
    const qint64 start = QDateTime::currentMSecsSinceEpoch();
    if (block)
        block();
    const qint64 cost = QDateTime::currentMSecsSinceEpoch() - start;
    figures.lastCost.store(cost, std::memory_order_relaxed);
    if (cost > figures.maxCost.load(std::memory_order_relaxed))
        figures.maxCost.store(cost, std::memory_order_relaxed);
}

void KLSDKDispatcher::runSerialTask(const KLBlock &block)
{
    runTimed(block, {m_serialTaskId, m_serialLastTimeCost, m_serialMaxTimeCost});
    KL_LOG_DEBUG("KLSDKDispatcher",
                 QString::asprintf("SeiralTask[%lld]: timeCost = %lld, maxTimeCost = %lld",
                                   serialTaskId(), serialLastTimeCost(), serialMaxTimeCost()));
    KL_LOG_DEBUG("KLSDKDispatcher",
                 QString::asprintf("IoTask[%lld]: timeCost = %lld, maxTimeCost = %lld", ioTaskId(),
                                   ioLastTimeCost(), ioMaxTimeCost()));
}

void KLSDKDispatcher::runIoTask(const KLBlock &block)
{
    runTimed(block, {m_ioTaskId, m_ioLastTimeCost, m_ioMaxTimeCost});
}

void KLSDKDispatcher::asyncRunOnSerialQueue(KLBlock block)
{
    KLSDKDispatcher &self = sharedDispatcher();
    self.m_serialQueue.async([&self, block = std::move(block)]() { self.runSerialTask(block); });
}

void KLSDKDispatcher::asyncRunOnSerialQueue(KLBlock block, double delaySeconds)
{
    sharedDispatcher().m_serialQueue.asyncAfter(KLTimeScale::scaledMilliseconds(delaySeconds),
                                                std::move(block));
}

void KLSDKDispatcher::asyncRunOnIoQueue(KLBlock block)
{
    KLSDKDispatcher &self = sharedDispatcher();
    self.m_ioQueue.async([&self, block = std::move(block)]() { self.runIoTask(block); });
}

void KLSDKDispatcher::asyncRunOnIoQueue(KLBlock block, double delaySeconds)
{
    sharedDispatcher().m_ioQueue.asyncAfter(KLTimeScale::scaledMilliseconds(delaySeconds),
                                            std::move(block));
}

std::shared_ptr<KLSDKGCDTimer> KLSDKDispatcher::scheduledTimerOnSerialQueueWithTimeInterval(
    double interval, std::shared_ptr<void> target, KLBlock selector, const QVariant &userInfo,
    bool repeats)
{
    return KLSDKGCDTimer::scheduledTimerWithTimeInterval(interval, std::move(target),
                                                         std::move(selector),
                                                         &sharedDispatcher().m_serialQueue,
                                                         userInfo, repeats);
}

std::shared_ptr<KLSDKGCDTimer> KLSDKDispatcher::scheduledTimerOnIoQueueWithTimeInterval(
    double interval, std::shared_ptr<void> target, KLBlock selector, const QVariant &userInfo,
    bool repeats)
{
    return KLSDKGCDTimer::scheduledTimerWithTimeInterval(interval, std::move(target),
                                                         std::move(selector),
                                                         &sharedDispatcher().m_ioQueue, userInfo,
                                                         repeats);
}
