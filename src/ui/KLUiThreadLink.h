#pragma once

// A way back to a widget from any thread. Notifications and engine callbacks arrive on the
// meeting's threads, while a widget may only be touched on the main thread and may be gone by
// the time work reaches it. The widget owns one link and detaches it in its destructor; work
// posted through the link runs on the main thread while the widget lives and is dropped after.

#include <QObject>

#include <functional>
#include <memory>
#include <mutex>

class KLUiThreadLink {
public:
    static std::shared_ptr<KLUiThreadLink> create(QObject *target)
    {
        return std::shared_ptr<KLUiThreadLink>(new KLUiThreadLink(target));
    }

    /// Queues `work` for the target's thread; nothing happens once detached. A target deleted
    /// before the work runs drops it (Qt removes events posted to a deleted object).
    void post(std::function<void()> work)
    {
        std::lock_guard lock(m_mutex);
        if (m_target)
            QMetaObject::invokeMethod(m_target, std::move(work), Qt::QueuedConnection);
    }

    /// Cuts the link; call it from the target's destructor.
    void detach()
    {
        std::lock_guard lock(m_mutex);
        m_target = nullptr;
    }

private:
    explicit KLUiThreadLink(QObject *target) : m_target(target) {}
    std::mutex m_mutex;
    QObject *m_target;
};
