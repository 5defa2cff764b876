#include "runtime/KLTaskMailbox.h"

#include <QMetaObject>
#include <QThread>

#include <semaphore>

KLTaskMailbox::KLTaskMailbox(QThread *target)
{
    if (target && target != thread())
        moveToThread(target);
}

KLTaskMailbox::~KLTaskMailbox()
{
    // Taking the lock orders this destruction after the target thread's last drain, which a
    // join through QThread::wait alone does not show to ThreadSanitizer.
    std::deque<KLBlock> unrun;
    std::lock_guard lock(m_mutex);
    unrun.swap(m_blocks);
}

void KLTaskMailbox::post(KLBlock block)
{
    if (!block)
        return;
    bool needsDrain = false;
    {
        std::lock_guard lock(m_mutex);
        m_blocks.push_back(std::move(block));
        needsDrain = !m_drainScheduled;
        m_drainScheduled = true;
    }
    if (needsDrain)
        scheduleDrain();
}

void KLTaskMailbox::postAndWait(KLBlock block)
{
    if (!block)
        return;
    std::binary_semaphore done{0};
    post([&block, &done]() {
        block();
        done.release();
    });
    done.acquire();
}

void KLTaskMailbox::scheduleDrain()
{
    QMetaObject::invokeMethod(this, "drain", Qt::QueuedConnection);
}

void KLTaskMailbox::drain()
{
    size_t budget;
    {
        std::lock_guard lock(m_mutex);
        budget = m_blocks.size();
    }
    for (; budget > 0; --budget) {
        KLBlock block;
        {
            std::lock_guard lock(m_mutex);
            block = std::move(m_blocks.front());
            m_blocks.pop_front();
        }
        block();
    }
    bool more;
    {
        std::lock_guard lock(m_mutex);
        more = !m_blocks.empty();
        m_drainScheduled = more;
    }
    if (more)
        scheduleDrain(); // behind the thread's other pending events
}
