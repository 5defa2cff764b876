#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>
#include <deque>
#include <functional>

class KLDispatchQueue;
class QLocalSocket;
class QTimer;

/// Carries composed host messages to the host application over a local socket
/// (`QLocalSocket`, a Unix domain socket), whose name the host stores in the persistent data.
///
/// Each message travels as one frame: a 4-byte big-endian length followed by that many bytes
/// of UTF-8 JSON. The connection is opened when there is something to send and kept open;
/// while the host end is missing, messages wait in a bounded backlog and connection attempts
/// are repeated with a growing delay. Messages reach the host in the order `send` was called.
/// What cannot be delivered (no pipe name, backlog full, host unreachable after the last
/// attempt, connection lost with data still unwritten) is dropped with a log line.
///
/// The socket lives on the given queue's thread; `send` may be called from any thread and only
/// queues work there. docs/host-pipe.md describes the protocol for host developers.
class KLHostPipe {
public:
    struct Options {
        /// Messages that may wait for the host; a message arriving at a full backlog is
        /// dropped (the older ones keep their place).
        int maxBacklog = 256;
        /// Bytes handed to the socket but not yet written out; beyond this, messages wait in
        /// the backlog (a host that stops reading cannot grow memory without bound).
        qint64 maxUnwrittenBytes = 1 << 20;
        /// Largest message accepted; longer ones are dropped.
        qint64 maxMessageBytes = 16 << 20;
        /// Delay before the second attempt; it doubles up to `maxRetrySeconds`.
        double firstRetrySeconds = 0.25;
        double maxRetrySeconds = 4.0;
        /// Attempts in one round; when they all fail the backlog is dropped. The next message
        /// starts a new round.
        int maxConnectAttempts = 10;
    };

    /// `pipeName` is asked (on the queue) for the socket name each time a connection is
    /// opened; an empty answer means the host has not named a pipe.
    KLHostPipe(KLDispatchQueue &queue, std::function<QString()> pipeName);
    KLHostPipe(KLDispatchQueue &queue, std::function<QString()> pipeName, Options options);
    /// Waits for the queue to handle what was sent before, writes out what the socket takes
    /// without waiting, and closes the connection; messages still waiting are counted dropped.
    ~KLHostPipe();
    KLHostPipe(const KLHostPipe &) = delete;
    KLHostPipe &operator=(const KLHostPipe &) = delete;

    /// Queues one message; never blocks.
    void send(QByteArray message);

    /// The frame for one message: 4-byte big-endian length, then the bytes.
    static QByteArray frame(const QByteArray &message);

    /// Messages fully written to the socket so far.
    quint64 deliveredCount() const { return m_delivered.load(); }
    /// Messages dropped so far.
    quint64 droppedCount() const { return m_dropped.load(); }

private:
    enum class State { Idle, Connecting, WaitingToRetry, Connected };

    void enqueue(QByteArray message);
    void ensureObjects();
    void connectToHost();
    void onConnected();
    void onConnectFailed();
    void onConnectionLost();
    void scheduleRetry();
    void pump();
    void onBytesWritten(qint64 bytes);
    void dropBacklog(const QString &reason);
    void drop(quint64 count, const QString &reason);

    KLDispatchQueue &m_queue;
    std::function<QString()> m_pipeName;
    Options m_options;

    // Queue thread only.
    State m_state = State::Idle;
    QLocalSocket *m_socket = nullptr;
    QTimer *m_retryTimer = nullptr;
    QString m_connectedName;
    int m_attempts = 0;
    std::deque<QByteArray> m_backlog;
    /// Frame sizes handed to the socket and not yet fully written, oldest first.
    std::deque<qint64> m_unwritten;
    qint64 m_writtenOfFront = 0;

    std::atomic<quint64> m_delivered{0};
    std::atomic<quint64> m_dropped{0};
};
