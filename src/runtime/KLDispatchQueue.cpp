#include "runtime/KLDispatchQueue.h"

#include "runtime/KLMainThread.h"

#include "runtime/KLTaskMailbox.h"

#include <QEventLoop>
#include <QObject>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <semaphore>

namespace {

std::atomic<int> g_meetingQueuesAlive{0};

/// The queue's thread. Its event loop exists before the constructor of the queue returns, so
/// a queue made just before the application object goes away still has a working loop.
class KLQueueThread : public QThread {
public:
    void startAndWaitForLoop()
    {
        start();
        m_loopReady.acquire();
    }

protected:
    void run() override
    {
        QEventLoop loop;
        m_loopReady.release();
        loop.exec();
    }

private:
    std::binary_semaphore m_loopReady{0};
};

} // namespace

KLDispatchQueue::KLDispatchQueue(const QString &label)
    : m_label(label), m_thread(new KLQueueThread), m_mailbox(new KLTaskMailbox(m_thread))
{
    m_thread->setObjectName(label);
    m_mailbox->setObjectName(label);
    static_cast<KLQueueThread *>(m_thread)->startAndWaitForLoop();
}

std::shared_ptr<KLDispatchQueue> KLDispatchQueue::makeShared(const QString &label, Lifetime lifetime)
{
    const bool counted = lifetime == Lifetime::Meeting;
    if (counted)
        ++g_meetingQueuesAlive;
    auto takeDown = [counted](KLDispatchQueue *queue) {
        delete queue;
        if (counted)
            --g_meetingQueuesAlive;
    };
    return std::shared_ptr<KLDispatchQueue>(new KLDispatchQueue(label), [takeDown](KLDispatchQueue *queue) {
        if (!queue->isCurrent()) {
            takeDown(queue);
            return;
        }
        // On its own thread: the main thread joins it. Without an application object the
        // queue is left to the end of the process rather than destroyed from inside itself.
        KLMainThread::post([queue, takeDown] { takeDown(queue); });
    });
}

int KLDispatchQueue::meetingQueuesAlive()
{
    return g_meetingQueuesAlive.load();
}

std::shared_ptr<void> KLDispatchQueue::holdForMeeting()
{
    struct Hold {
        Hold() { ++g_meetingQueuesAlive; }
        ~Hold() { --g_meetingQueuesAlive; }
        Hold(const Hold &) = delete;
        Hold &operator=(const Hold &) = delete;
    };
    return std::make_shared<Hold>();
}

KLDispatchQueue::~KLDispatchQueue()
{
    m_thread->quit();
    if (!isCurrent())
        m_thread->wait();
    delete m_mailbox; // blocks still waiting are dropped with the queue
    delete m_thread;
}

QObject *KLDispatchQueue::context() const
{
    return m_mailbox;
}

bool KLDispatchQueue::isCurrent() const
{
    return QThread::currentThread() == m_thread;
}

void KLDispatchQueue::async(KLBlock block)
{
    if (!block)
        return;
    m_mailbox->post(std::move(block));
}

void KLDispatchQueue::asyncAfter(qint64 milliseconds, KLBlock block)
{
    QObject *context = m_mailbox;
    async([context, milliseconds, block = std::move(block)]() {
        QTimer::singleShot(milliseconds, Qt::PreciseTimer, context, [block]() {
            if (block)
                block();
        });
    });
}

void KLDispatchQueue::sync(KLBlock block)
{
    if (!block)
        return;
    if (isCurrent()) {
        block();
        return;
    }
    m_mailbox->postAndWait(std::move(block));
}
