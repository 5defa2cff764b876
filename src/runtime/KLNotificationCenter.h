#pragma once

#include <QString>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

/// One posted notification: its name, the optional sender and the user info.
struct KLNotification {
    QString name;
    const void *object = nullptr;
    QVariantMap userInfo;
};

using KLNotificationHandler = std::function<void(const KLNotification &)>;

/// The process-wide publish/subscribe hub. Delivery is synchronous, on the posting thread,
/// in the order observers were added. Observers are grouped by an owner pointer so that an
/// object can drop all of its observers at once (typically in its destructor).
///
/// Removing an observer is safe at any time, also from inside its own handler; once
/// `removeObserver` returns, that observer is never called again, and a delivery of it
/// running on another thread has finished.
class KLNotificationCenter {
public:
    KLNotificationCenter() = default;
    static KLNotificationCenter &defaultCenter();

    /// Observes `name`; when `object` is given, only notifications from that sender.
    /// Returns a token for removing just this observer.
    quint64 addObserver(const void *owner, const QString &name, KLNotificationHandler handler,
                        const void *object = nullptr);
    void removeObserver(const void *owner);
    void removeObserver(const void *owner, const QString &name);
    void removeObserverWithToken(quint64 token);

    void postNotification(const QString &name, const void *object = nullptr,
                          const QVariantMap &userInfo = QVariantMap());

    struct Entry;

private:
    template <typename Predicate>
    void removeWhere(Predicate predicate);

    std::mutex m_mutex;
    std::vector<std::shared_ptr<Entry>> m_entries;
    quint64 m_nextToken = 1;
};
