#include "SoakLatencyProxy.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <deque>

namespace soak {

/// One direction of one connection: chunks wait `delayMs` in order, then go out.
class DelayedPipe : public QObject {
public:
    DelayedPipe(QTcpSocket *from, QTcpSocket *to, int delayMs, QObject *parent)
        : QObject(parent), m_from(from), m_to(to), m_delayMs(delayMs)
    {
        m_clock.start();
        m_timer.setSingleShot(true);
        m_timer.setTimerType(Qt::PreciseTimer);
        connect(&m_timer, &QTimer::timeout, this, [this] { flush(); });
        connect(from, &QTcpSocket::readyRead, this, [this] { take(); });
    }
    /// The source ended: whatever waits still goes out, then the other side is closed.
    void sourceEnded()
    {
        take();
        m_ended = true;
        flush();
    }

private:
    void take()
    {
        if (!m_from)
            return;
        const QByteArray bytes = m_from->readAll();
        if (bytes.isEmpty())
            return;
        m_chunks.push_back({m_clock.elapsed() + m_delayMs, bytes});
        if (!m_timer.isActive())
            m_timer.start(int(std::max<qint64>(0, m_chunks.front().due - m_clock.elapsed())));
    }
    void flush()
    {
        const qint64 now = m_clock.elapsed();
        while (!m_chunks.empty() && m_chunks.front().due <= now) {
            if (m_to)
                m_to->write(m_chunks.front().bytes);
            m_chunks.pop_front();
        }
        if (!m_chunks.empty())
            m_timer.start(int(m_chunks.front().due - now));
        else if (m_ended && m_to)
            m_to->disconnectFromHost();
    }

    struct Chunk {
        qint64 due;
        QByteArray bytes;
    };
    QPointer<QTcpSocket> m_from, m_to;
    const int m_delayMs;
    QElapsedTimer m_clock;
    QTimer m_timer;
    std::deque<Chunk> m_chunks;
    bool m_ended = false;
};

class LatencyRelay : public QObject {
public:
    bool listen()
    {
        connect(&m_server, &QTcpServer::newConnection, this, [this] { accept(); });
        return m_server.listen(QHostAddress::LocalHost, 0);
    }
    quint16 port() const { return m_server.serverPort(); }
    std::atomic<quint16> targetPort{0};
    std::atomic<int> delayMs{0};
    std::atomic<int> connections{0};

private:
    void accept()
    {
        while (QTcpSocket *client = m_server.nextPendingConnection()) {
            ++connections;
            // One holder per connection; both sockets and both pipes go with it.
            auto *holder = new QObject(this);
            client->setParent(holder);
            auto *server = new QTcpSocket(holder);
            auto *up = new DelayedPipe(client, server, delayMs, holder);
            auto *down = new DelayedPipe(server, client, delayMs, holder);
            auto ended = std::make_shared<int>(0);
            const auto endOf = [holder, ended](DelayedPipe *pipe) {
                pipe->sourceEnded();
                // Both sides gone: the holder goes once the delayed bytes had their time.
                if (++*ended == 2)
                    QTimer::singleShot(1000, holder, [holder] { holder->deleteLater(); });
            };
            connect(client, &QTcpSocket::disconnected, holder, [endOf, up] { endOf(up); });
            connect(server, &QTcpSocket::disconnected, holder, [endOf, down] { endOf(down); });
            connect(server, &QTcpSocket::errorOccurred, holder, [server, client](QAbstractSocket::SocketError) {
                if (server->state() != QAbstractSocket::ConnectedState)
                    client->abort();
            });
            server->connectToHost(QHostAddress::LocalHost, targetPort);
        }
    }

    // A child, so that it moves to the relay's thread with it.
    QTcpServer m_server{this};
};

LatencyProxy::LatencyProxy() = default;

LatencyProxy::~LatencyProxy()
{
    if (!m_thread)
        return;
    QMetaObject::invokeMethod(m_relay, [relay = m_relay] { delete relay; }, Qt::BlockingQueuedConnection);
    m_thread->quit();
    m_thread->wait();
    delete m_thread;
}

bool LatencyProxy::listen()
{
    m_thread = new QThread();
    m_thread->setObjectName(QStringLiteral("soak-latency"));
    m_thread->start();
    m_relay = new LatencyRelay();
    m_relay->moveToThread(m_thread);
    bool listening = false;
    QMetaObject::invokeMethod(m_relay, [this, &listening] {
        listening = m_relay->listen();
        m_port = m_relay->port();
    }, Qt::BlockingQueuedConnection);
    return listening;
}

void LatencyProxy::forwardTo(quint16 targetPort, int delayMs)
{
    m_relay->targetPort = targetPort;
    m_relay->delayMs = delayMs;
}

int LatencyProxy::connections() const
{
    return m_relay ? m_relay->connections.load() : 0;
}

} // namespace soak
