#pragma once

#include <KelvoUISDK/KLSDKDispatch.h>

#include <QObject>

#include <deque>
#include <mutex>

class QThread;

/// The hand-over of blocks to one thread's event loop. Blocks wait in a list guarded by a
/// std::mutex and one queued call drains them, so that:
/// - a burst of blocks costs one wake-up of the target thread, not one per block;
/// - the hand-over is visible to ThreadSanitizer (Qt's own event queue is not instrumented,
///   and the wake-up carries no data of ours), so what a block captures is never reported as
///   racing with the thread that posted it;
/// - blocks run in the order they were posted.
/// A drain runs only the blocks present when it starts, so the thread's other events (timers,
/// sockets) are never starved by a steady stream of blocks.
///
/// The mailbox is a QObject living on the target thread; it may be destroyed only on that
/// thread or once that thread has stopped.
class KLTaskMailbox : public QObject {
    Q_OBJECT
public:
    explicit KLTaskMailbox(QThread *target);
    ~KLTaskMailbox() override;

    /// Thread-safe; an empty block is ignored.
    void post(KLBlock block);
    /// Posts the block and waits until it has run. The caller must not be the target thread.
    void postAndWait(KLBlock block);

private:
    Q_INVOKABLE void drain();
    void scheduleDrain();

    std::mutex m_mutex;
    std::deque<KLBlock> m_blocks;
    bool m_drainScheduled = false;
};
