#include "media/builtin/KLBuiltinMessageManager.h"

#include "runtime/KLDispatchQueue.h"

KLBuiltinMessageManager::KLBuiltinMessageManager(std::shared_ptr<KLDispatchQueue> queue)
    : m_queue(std::move(queue))
{
}

void KLBuiltinMessageManager::initWithDelegate(std::weak_ptr<KLRTCCommonWebRtcMsgManagerDelegate> delegate)
{
    std::lock_guard lock(m_mutex);
    m_delegate = std::move(delegate);
}

void KLBuiltinMessageManager::startRTCLogWithMaxBytes(qint64 maxBytes)
{
    std::lock_guard lock(m_mutex);
    m_logRunning = true;
    m_logBudget = maxBytes;
}

void KLBuiltinMessageManager::stopRTCLog()
{
    std::lock_guard lock(m_mutex);
    m_logRunning = false;
}

std::weak_ptr<KLRTCCommonWebRtcMsgManagerDelegate> KLBuiltinMessageManager::delegate() const
{
    std::lock_guard lock(m_mutex);
    return m_delegate;
}

void KLBuiltinMessageManager::deliverMessage(qint32 type)
{
    m_queue->async([receiver = delegate(), type] {
        if (auto target = receiver.lock())
            target->IncomingCommonWebRtcMsg(type);
    });
}

void KLBuiltinMessageManager::deliverRTCLog(const QString &line)
{
    {
        std::lock_guard lock(m_mutex);
        const qint64 bytes = line.toUtf8().size();
        if (!m_logRunning || line.isEmpty() || bytes > m_logBudget)
            return;
        m_logBudget -= bytes;
    }
    m_queue->async([receiver = delegate(), line] {
        if (auto target = receiver.lock())
            target->didGetRTCLog(line);
    });
}

void KLBuiltinMessageManager::deliverMediaError(qint32 code, qint32 reason)
{
    m_queue->async([receiver = delegate(), code, reason] {
        if (auto target = receiver.lock())
            target->didGetMediaError(code, reason);
    });
}
