#include "runtime/KLWebSocketClose.h"

#include "runtime/KLDispatchQueue.h"
#include "runtime/KLSDKLog.h"
#include "runtime/KLTimeScale.h"

#include <QAbstractSocket>
#include <QRandomGenerator>
#include <QWebSocket>
#include <QtEndian>

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
            KL_LOG_WARN(tag, QStringLiteral("the close of %1 was not answered within %2 s, connection dropped")
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

// A client's close frame: final, opcode 8, masked, the code in network order and the reason
// (at most 123 bytes, so that the frame stays a control frame of at most 125).
QByteArray closeFrame(quint16 code, const QString &reason)
{
    QByteArray payload(2, Qt::Uninitialized);
    qToBigEndian(code, payload.data());
    payload += reason.toUtf8().left(123);
    const quint32 key = QRandomGenerator::global()->generate();
    QByteArray frame;
    frame.append(char(0x88));
    frame.append(char(0x80 | payload.size()));
    for (int shift = 24; shift >= 0; shift -= 8)
        frame.append(char((key >> shift) & 0xff));
    for (qsizetype i = 0; i < payload.size(); ++i)
        frame.append(char(payload.at(i) ^ char((key >> (8 * (3 - i % 4))) & 0xff)));
    return frame;
}

// The connection under the WebSocket: Qt makes it a child of the socket.
QAbstractSocket *transportOf(QWebSocket *socket)
{
    auto *transport = socket->findChild<QAbstractSocket *>(QString(), Qt::FindDirectChildrenOnly);
    return transport && transport->state() == QAbstractSocket::ConnectedState ? transport : nullptr;
}

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
    if (QAbstractSocket *transport = transportOf(socket)) {
        // QWebSocket::close() would end the TCP connection right after its close frame, while
        // the server may still be sending (answers to the last requests); those bytes, unread,
        // make the end a reset, and the server loses the close frame with it. So the close
        // frame goes out on the connection (after every frame sent before) and the socket
        // keeps reading until the server has answered it: Qt then ends the connection.
        transport->write(closeFrame(QWebSocketProtocol::CloseCodeNormal, reason));
        transport->flush();
    } else {
        socket->close(QWebSocketProtocol::CloseCodeNormal, reason);
    }
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
