#include "runtime/KLUtility.h"

KLUtility &KLUtility::shareInstance()
{
    // Never destroyed: late blocks from other threads must always find their queue.
    static KLUtility *instance = new KLUtility;
    return *instance;
}

KLUtility::KLUtility() : m_serialQueue(QStringLiteral("com.tandu.conf.serial"))
{
    m_concurrentQueue.setObjectName(QStringLiteral("com.tandu.conf.concurrent"));
    m_concurrentQueue.setMaxThreadCount(qMax(2, QThread::idealThreadCount()));
}

void KLUtility::dispatch_async_serial(KLBlock block)
{
    m_serialQueue.async(std::move(block));
}

void KLUtility::dispatch_async_concurrent(KLBlock block, QThread::Priority priority)
{
    if (!block)
        return;
    const Lane lane = priority >= QThread::HighPriority && priority != QThread::InheritPriority ? High : Normal;
    {
        std::lock_guard lock(m_mutex);
        m_waiting[lane].push_back(std::move(block));
    }
    // One start per block: the pool runs the lane's runner once for each, so every block runs
    // exactly once. The runner is shared (not deleted by the pool) and holds nothing that the
    // pool thread would read before taking the lock.
    if (lane == High)
        m_concurrentQueue.start(&m_highRunner, QThread::HighPriority);
    else
        m_concurrentQueue.start(&m_normalRunner);
}

void KLUtility::LaneRunner::run()
{
    KLUtility::shareInstance().runNext(m_lane);
}

void KLUtility::runNext(Lane lane)
{
    KLBlock block;
    {
        std::lock_guard lock(m_mutex);
        if (m_waiting[lane].empty())
            return;
        block = std::move(m_waiting[lane].front());
        m_waiting[lane].pop_front();
    }
    block();
}
