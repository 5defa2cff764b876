#pragma once

#include <KelvoUISDK/KLSDKDispatch.h>

#include "runtime/KLDispatchQueue.h"
#include "runtime/KLSDKGCDTimer.h"

#include <QVariant>

#include <atomic>
#include <memory>

/// The dispatcher's two serial queues: "com.vantora.kelvo.serial.queue" for timed tasks and
/// "com.vantora.kelvo.io.queue" for the local logger. Every immediate task is counted and
/// timed; the serial queue logs its figures after each task.
class KLSDKDispatcher {
public:
    static KLSDKDispatcher &sharedDispatcher();

    static void syncRunOnMainQueueWithoutDeadlocking(KLBlock block);
    static void asyncRunOnSerialQueue(KLBlock block);
    static void asyncRunOnSerialQueue(KLBlock block, double delaySeconds);
    static void asyncRunOnIoQueue(KLBlock block);
    static void asyncRunOnIoQueue(KLBlock block, double delaySeconds);

    /// A started timer on the serial queue; see KLSDKGCDTimer for target and selector.
    static std::shared_ptr<KLSDKGCDTimer> scheduledTimerOnSerialQueueWithTimeInterval(
        double interval, std::shared_ptr<void> target, KLBlock selector, const QVariant &userInfo,
        bool repeats);
    static std::shared_ptr<KLSDKGCDTimer> scheduledTimerOnIoQueueWithTimeInterval(
        double interval, std::shared_ptr<void> target, KLBlock selector, const QVariant &userInfo,
        bool repeats);

    KLDispatchQueue &serialQueue() { return m_serialQueue; }
    KLDispatchQueue &ioQueue() { return m_ioQueue; }

    qint64 serialTaskId() const { return m_serialTaskId.load(std::memory_order_relaxed); }
    qint64 serialLastTimeCost() const { return m_serialLastTimeCost.load(std::memory_order_relaxed); }
    qint64 serialMaxTimeCost() const { return m_serialMaxTimeCost.load(std::memory_order_relaxed); }
    qint64 ioTaskId() const { return m_ioTaskId.load(std::memory_order_relaxed); }
    qint64 ioLastTimeCost() const { return m_ioLastTimeCost.load(std::memory_order_relaxed); }
    qint64 ioMaxTimeCost() const { return m_ioMaxTimeCost.load(std::memory_order_relaxed); }

private:
    KLSDKDispatcher();

    struct TaskFigures {
        std::atomic<qint64> &taskId;
        std::atomic<qint64> &lastCost;
        std::atomic<qint64> &maxCost;
    };
    static void runTimed(const KLBlock &block, TaskFigures figures);
    void runSerialTask(const KLBlock &block);
    void runIoTask(const KLBlock &block);

    KLDispatchQueue m_serialQueue;
    KLDispatchQueue m_ioQueue;
    // Written only from their own queue; atomics so that the cross-queue read in the serial
    // task's log line is well defined.
    std::atomic<qint64> m_serialTaskId{0};
    std::atomic<qint64> m_serialLastTimeCost{0};
    std::atomic<qint64> m_serialMaxTimeCost{0};
    std::atomic<qint64> m_ioTaskId{0};
    std::atomic<qint64> m_ioLastTimeCost{0};
    std::atomic<qint64> m_ioMaxTimeCost{0};
};
