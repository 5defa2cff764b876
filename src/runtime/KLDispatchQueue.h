#pragma once

#include <KelvoUISDK/KLSDKDispatch.h>

#include <QString>

#include <memory>

class KLTaskMailbox;
class QObject;
class QThread;

/// A serial queue: one dedicated thread with its own event loop, named after the label.
/// Blocks run one at a time in submission order. Qt objects that must live on the queue
/// (timers, sockets) use `context()` as their parent.
class KLDispatchQueue {
public:
    explicit KLDispatchQueue(const QString &label);
    /// Whom a shared queue's thread serves: one meeting (its connections), or the whole process
    /// (the media engine's own thread, kept for the next meeting).
    enum class Lifetime { Meeting, Process };
    /// A queue shared by the objects that run work on it. The last owner may let go on the
    /// queue's own thread (inside one of its blocks), where a queue cannot be destroyed; such a
    /// queue is handed to the main thread to be taken down there.
    static std::shared_ptr<KLDispatchQueue> makeShared(const QString &label,
                                                       Lifetime lifetime = Lifetime::Meeting);
    /// Meeting queues not yet taken down: their threads may still be at work. One released on
    /// its own thread counts until the main thread has joined it. Work held with
    /// holdForMeeting() counts as one queue each.
    static int meetingQueuesAlive();
    /// Meeting work under way outside the meeting's queues (an upload on the process-wide
    /// network queue) that a quitting host must wait for: counted in meetingQueuesAlive()
    /// until the returned token is released. Whoever holds it bounds how long.
    static std::shared_ptr<void> holdForMeeting();
    ~KLDispatchQueue();
    KLDispatchQueue(const KLDispatchQueue &) = delete;
    KLDispatchQueue &operator=(const KLDispatchQueue &) = delete;

    const QString &label() const { return m_label; }
    /// True when the caller runs on this queue's thread.
    bool isCurrent() const;
    /// Queues the block; an empty block is ignored.
    void async(KLBlock block);
    /// Queues the block after `milliseconds` (already scaled by the caller); an empty block is
    /// skipped when the time comes.
    void asyncAfter(qint64 milliseconds, KLBlock block);
    /// Runs the block on the queue and waits for it; inline when already on the queue.
    void sync(KLBlock block);
    /// An object living on the queue's thread.
    QObject *context() const;

private:
    QString m_label;
    QThread *m_thread;
    KLTaskMailbox *m_mailbox; // lives on the queue's thread; doubles as its context object
};
