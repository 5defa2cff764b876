#include "conference/events/KLOfflineNotificationThrottle.h"

#include "conference/registry/KLFeedClient.h"
#include "runtime/KLSDKLog.h"
#include "runtime/KLTimeScale.h"
#include "runtime/KLTimer.h"

namespace {
const QString kTag = QStringLiteral("KLOfflineNotificationThrottle");
}

std::shared_ptr<KLOfflineNotificationThrottle>
KLOfflineNotificationThrottle::create(Announce announce, Clock clock)
{
    std::shared_ptr<KLOfflineNotificationThrottle> throttle(
        new KLOfflineNotificationThrottle(std::move(announce), std::move(clock)));
    // The timer's block holds the throttle weakly: a tick that outlives it does nothing.
    std::weak_ptr<KLOfflineNotificationThrottle> weak = throttle;
    throttle->m_offlineMessageCheckTimer = std::make_unique<KLTimer>(kIntervalSeconds, true, [weak] {
        if (auto self = weak.lock())
            self->checkOfflineState();
    });
    return throttle;
}

KLOfflineNotificationThrottle::KLOfflineNotificationThrottle(Announce announce, Clock clock)
    : m_announce(std::move(announce)), m_clock(std::move(clock))
{
}

KLOfflineNotificationThrottle::~KLOfflineNotificationThrottle()
{
    if (m_offlineMessageCheckTimer)
        m_offlineMessageCheckTimer->stopTimer();
}

QDateTime KLOfflineNotificationThrottle::now() const
{
    return m_clock ? m_clock() : QDateTime::currentDateTimeUtc();
}

bool KLOfflineNotificationThrottle::isRecent(const QDateTime &at) const
{
    return at.msecsTo(now()) <= KLTimeScale::scaledMilliseconds(kIntervalSeconds);
}

void KLOfflineNotificationThrottle::offlineMessageBalance(const FeedPtr &member)
{
    if (!member)
        return;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const bool nobodyWaits = m_offlineMessageCacheArray.isEmpty();
        if (!m_offlineMessageNotificationTime
            || (nobodyWaits && !isRecent(*m_offlineMessageNotificationTime))) {
            m_offlineMessageNotificationTime = now();
        } else {
            if (nobodyWaits)
                startOfflineMessageCheckTimer();
            m_offlineMessageCacheArray.append(member);
            KL_LOG_DEBUG(kTag, QStringLiteral("offline notice of %1 waits (%2 waiting)")
                                   .arg(member->uuid())
                                   .arg(m_offlineMessageCacheArray.size()));
            return;
        }
    }
    if (m_announce)
        m_announce(member);
}

void KLOfflineNotificationThrottle::checkOfflineState()
{
    FeedPtr member;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_offlineMessageCacheArray.isEmpty()) {
            stopOfflineMessageCheckTimer();
            return;
        }
        member = m_offlineMessageCacheArray.takeFirst();
        m_offlineMessageNotificationTime = now();
        if (m_offlineMessageCacheArray.isEmpty())
            stopOfflineMessageCheckTimer();
    }
    if (m_announce)
        m_announce(member);
}

void KLOfflineNotificationThrottle::stop()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_offlineMessageCacheArray.clear();
    stopOfflineMessageCheckTimer();
}

QList<KLOfflineNotificationThrottle::FeedPtr> KLOfflineNotificationThrottle::waitingMembers() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_offlineMessageCacheArray;
}

bool KLOfflineNotificationThrottle::isCheckTimerRunning() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_timerRunning;
}

// Both run under m_mutex; KLTimer itself is safe from any thread.
void KLOfflineNotificationThrottle::startOfflineMessageCheckTimer()
{
    m_timerRunning = true;
    m_offlineMessageCheckTimer->startTimer();
}

void KLOfflineNotificationThrottle::stopOfflineMessageCheckTimer()
{
    m_timerRunning = false;
    m_offlineMessageCheckTimer->stopTimer();
}
