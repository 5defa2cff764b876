#include "runtime/KLNotificationCenter.h"

#include <algorithm>
#include <atomic>

struct KLNotificationCenter::Entry {
    quint64 token = 0;
    const void *owner = nullptr;
    QString name;
    const void *object = nullptr;
    KLNotificationHandler handler;
    std::atomic<bool> active{true};
    // Held while the handler runs. Recursive, so that a handler may remove itself.
    std::recursive_mutex callMutex;
};

KLNotificationCenter &KLNotificationCenter::defaultCenter()
{
    static auto *center = new KLNotificationCenter;
    return *center;
}

quint64 KLNotificationCenter::addObserver(const void *owner, const QString &name,
                                          KLNotificationHandler handler, const void *object)
{
    auto entry = std::make_shared<Entry>();
    entry->owner = owner;
    entry->name = name;
    entry->object = object;
    entry->handler = std::move(handler);
    std::lock_guard lock(m_mutex);
    entry->token = m_nextToken++;
    m_entries.push_back(entry);
    return entry->token;
}

template <typename Predicate>
void KLNotificationCenter::removeWhere(Predicate predicate)
{
    std::vector<std::shared_ptr<Entry>> removed;
    {
        std::lock_guard lock(m_mutex);
        auto keep = std::stable_partition(m_entries.begin(), m_entries.end(),
                                          [&](const auto &entry) { return !predicate(*entry); });
        removed.assign(keep, m_entries.end());
        m_entries.erase(keep, m_entries.end());
    }
    for (const auto &entry : removed) {
        entry->active.store(false);
        // Waits for a delivery running on another thread; re-entrant on this one.
        std::lock_guard wait(entry->callMutex);
    }
}

void KLNotificationCenter::removeObserver(const void *owner)
{
    removeWhere([owner](const Entry &entry) { return entry.owner == owner; });
}

void KLNotificationCenter::removeObserver(const void *owner, const QString &name)
{
    removeWhere([owner, &name](const Entry &entry) {
        return entry.owner == owner && entry.name == name;
    });
}

void KLNotificationCenter::removeObserverWithToken(quint64 token)
{
    removeWhere([token](const Entry &entry) { return entry.token == token; });
}

void KLNotificationCenter::postNotification(const QString &name, const void *object,
                                            const QVariantMap &userInfo)
{
    std::vector<std::shared_ptr<Entry>> targets;
    {
        std::lock_guard lock(m_mutex);
        for (const auto &entry : m_entries) {
            if (entry->name == name && (!entry->object || entry->object == object))
                targets.push_back(entry);
        }
    }
    const KLNotification notification{name, object, userInfo};
    for (const auto &entry : targets) {
        std::lock_guard call(entry->callMutex);
        if (entry->active.load() && entry->handler)
            entry->handler(notification);
    }
}
