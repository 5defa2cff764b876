#pragma once

#include <KelvoUISDK/KLSDKDispatch.h>

#include "runtime/KLDispatchQueue.h"

#include <QThread>
#include <QThreadPool>

#include <deque>
#include <mutex>

/// The conference work queues: the serial queue "com.tandu.conf.serial" and the concurrent
/// queue "com.tandu.conf.concurrent", a thread pool of the SDK's own (never the host's
/// global pool).
class KLUtility {
public:
    static KLUtility &shareInstance();

    void dispatch_async_serial(KLBlock block);
    /// Runs the block on a pool thread. High-priority blocks run before normal ones that are
    /// still waiting; blocks of one priority start in the order they were queued. The block
    /// reaches its pool thread through a std::mutex of ours, never through the pool's own
    /// (uninstrumented) queue, so that what it captures is ordered for ThreadSanitizer.
    void dispatch_async_concurrent(KLBlock block, QThread::Priority priority = QThread::InheritPriority);

    KLDispatchQueue &serialQueue() { return m_serialQueue; }
    /// The pool itself, to wait for it (waitForDone); blocks go through dispatch_async_concurrent.
    QThreadPool &concurrentQueue() { return m_concurrentQueue; }

private:
    KLUtility();

    enum Lane { Normal, High, LaneCount };
    /// What the pool runs: no state of its own, it takes the oldest block of its lane.
    class LaneRunner : public QRunnable {
    public:
        explicit LaneRunner(Lane lane) : m_lane(lane) { setAutoDelete(false); }
        void run() override;

    private:
        const Lane m_lane; // written once, before the pool ever sees the runner
    };
    void runNext(Lane lane);

    KLDispatchQueue m_serialQueue;
    QThreadPool m_concurrentQueue;
    std::mutex m_mutex;
    std::deque<KLBlock> m_waiting[LaneCount];
    LaneRunner m_normalRunner{Normal};
    LaneRunner m_highRunner{High};
};
