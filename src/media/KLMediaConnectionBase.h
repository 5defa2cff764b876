#pragma once

// What every engine's media connection keeps the same way: its own serial queue, the weakly
// held delegate, the released flag after which only the release event is raised, and the
// local and remote streams by id. `Derived` is the engine's connection class, `Stream` its
// stream class. Everything but the constructor is for the derived class, on its queue.

#include "media/KLRTCMediaConnection.h"
#include "runtime/KLDispatchQueue.h"

#include <QMap>
#include <QString>

#include <functional>
#include <memory>

template <typename Derived, typename Stream>
class KLMediaConnectionBase : public KLRTCMediaConnection {
protected:
    KLMediaConnectionBase(std::weak_ptr<KLRTCMediaConnectionDelegate> delegate, const QString &queueLabel)
        : m_delegate(std::move(delegate)), m_queue(KLDispatchQueue::makeShared(queueLabel))
    {
    }

    std::shared_ptr<Derived> self() { return std::static_pointer_cast<Derived>(shared_from_this()); }

    /// Runs `work` on the connection's queue while the connection exists.
    void onQueue(std::function<void(Derived &)> work)
    {
        std::weak_ptr<Derived> weak = self();
        m_queue->async([weak, work = std::move(work)] {
            if (auto connection = weak.lock())
                work(*connection);
        });
    }

    /// Hands `event` to the delegate while it lives; once released, only the release itself.
    void raise(int event, const KLRTCMediaEventInfo &info = KLRTCMediaEventInfo::none())
    {
        if (m_released && event != KLRTCMediaEventConnectionReleased)
            return;
        if (auto delegate = m_delegate.lock())
            delegate->rtcConnection(self(), event, info);
    }

    const std::weak_ptr<KLRTCMediaConnectionDelegate> m_delegate;
    const std::shared_ptr<KLDispatchQueue> m_queue;

    // The connection's queue only.
    bool m_released = false;
    QMap<QString, std::shared_ptr<Stream>> m_published; ///< by stream id
    QMap<QString, std::shared_ptr<Stream>> m_remote;    ///< announced, by stream id
};
