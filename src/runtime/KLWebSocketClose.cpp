#include "runtime/KLWebSocketClose.h"

#include "runtime/KLDispatchQueue.h"
#include "runtime/KLSDKLog.h"
#include "runtime/KLTimeScale.h"

#include <QWebSocket>

#include <utility>

namespace KLWebSocketClose {

namespace {

struct Closing {
    QWebSocket *socket = nullptr;
    std::shared_ptr<KLDispatchQueue> queue;
    QString tag;
    std::function<void(int, const QString &)> closed;
    bool done = false;

    // Runs on the queue's thread only. The socket is deleted by the queue's loop (at the
    // latest when its thread ends), and the queue let go last: once this was its last owner,
    // the main thread takes it down.
    void finish(bool inTime)
    {
        if (done)
            return;
        done = true;
        if (!inTime) {
            KL_LOG_WARN(tag, QStringLiteral("the close of %1 did not get out within %2 s, connection dropped")
                                 .arg(socket->requestUrl().toString())
                                 .arg(kCloseWaitSeconds));
            socket->abort();
        }
        socket->deleteLater();
        if (auto report = std::exchange(closed, nullptr))
            report(int(socket->closeCode()), socket->closeReason());
        queue.reset();
    }
};

} // namespace

void closeAndRelease(QWebSocket *socket, std::shared_ptr<KLDispatchQueue> queue, const QString &reason,
                     const QString &tag, std::function<void(int code, const QString &reason)> closed)
{
    if (!socket)
        return;
    QObject::disconnect(socket, nullptr, nullptr, nullptr);
    if (socket->state() != QAbstractSocket::ConnectedState) {
        // Still connecting: it ends here. Already closed: its end was reported when it came.
        const bool wasUnderWay = socket->state() != QAbstractSocket::UnconnectedState;
        socket->abort();
        socket->deleteLater();
        if (closed && wasUnderWay)
            closed(int(socket->closeCode()), socket->closeReason());
        return;
    }
    auto closing = std::make_shared<Closing>();
    closing->socket = socket;
    closing->queue = std::move(queue);
    closing->tag = tag;
    closing->closed = std::move(closed);
    // The socket's own connection holds the state (and so the queue) until the socket goes.
    QObject::connect(socket, &QWebSocket::disconnected, socket, [closing] { closing->finish(true); });
    socket->close(QWebSocketProtocol::CloseCodeNormal, reason);
    if (closing->done)
        return; // the connection was gone already: closed on the spot
    // The time limit holds the state weakly: a pending timer must not keep the queue alive.
    std::weak_ptr<Closing> weak = closing;
    closing->queue->asyncAfter(KLTimeScale::scaledMilliseconds(kCloseWaitSeconds), [weak] {
        if (auto pending = weak.lock())
            pending->finish(false);
    });
}

} // namespace KLWebSocketClose
