#include "runtime/KLUtility.h"

#include <QThread>

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

void KLUtility::dispatch_async_concurrent(KLBlock block)
{
    if (block)
        m_concurrentQueue.start(std::move(block));
}
