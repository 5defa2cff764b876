#pragma once

// At most one "member went offline" notification every two seconds: when several members
// leave at once (a room empties, a network drop), the member list redraws once per member
// instead of in a burst. The first offline member is announced at once; members leaving
// while the last announcement is recent wait in a queue that a repeating main-thread timer
// drains, one member per tick.

#include <QDateTime>
#include <QList>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>

class KLFeedClient;
class KLTimer;

class KLOfflineNotificationThrottle
    : public std::enable_shared_from_this<KLOfflineNotificationThrottle> {
public:
    using FeedPtr = std::shared_ptr<KLFeedClient>;
    /// Posts the notification for one member (called outside the throttle's lock).
    using Announce = std::function<void(const FeedPtr &member)>;
    using Clock = std::function<QDateTime()>;

    /// Seconds between two announcements (scaled by KLTimeScale like every SDK delay).
    static constexpr double kIntervalSeconds = 2.0;

    /// `clock` defaults to the current time; tests pass their own to step time by hand.
    static std::shared_ptr<KLOfflineNotificationThrottle> create(Announce announce,
                                                                 Clock clock = {});
    ~KLOfflineNotificationThrottle();
    KLOfflineNotificationThrottle(const KLOfflineNotificationThrottle &) = delete;
    KLOfflineNotificationThrottle &operator=(const KLOfflineNotificationThrottle &) = delete;

    /// Announces `member` now when nothing was announced recently and nobody waits;
    /// otherwise queues it (starting the check timer for the first waiting member).
    void offlineMessageBalance(const FeedPtr &member);
    /// One tick of the check timer: announces the first waiting member and stops the timer
    /// once the queue is empty.
    void checkOfflineState();
    /// Stops the timer and forgets waiting members (the meeting is over).
    void stop();

    /// Members waiting, in order (a copy).
    QList<FeedPtr> waitingMembers() const;
    bool isCheckTimerRunning() const;

private:
    KLOfflineNotificationThrottle(Announce announce, Clock clock);
    QDateTime now() const;
    bool isRecent(const QDateTime &at) const;
    void startOfflineMessageCheckTimer();
    void stopOfflineMessageCheckTimer();

    const Announce m_announce;
    const Clock m_clock;
    mutable std::mutex m_mutex;
    std::optional<QDateTime> m_offlineMessageNotificationTime;
    QList<FeedPtr> m_offlineMessageCacheArray;
    std::unique_ptr<KLTimer> m_offlineMessageCheckTimer;
    bool m_timerRunning = false;
};
