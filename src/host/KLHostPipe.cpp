#include "host/KLHostPipe.h"

#include "runtime/KLDispatchQueue.h"
#include "runtime/KLSDKLog.h"
#include "runtime/KLTimeScale.h"

#include <QLocalSocket>
#include <QTimer>
#include <QtEndian>

#include <algorithm>
#include <cmath>

namespace {
const QString kTag = QStringLiteral("KLHostPipe");
}

KLHostPipe::KLHostPipe(KLDispatchQueue &queue, std::function<QString()> pipeName)
    : KLHostPipe(queue, std::move(pipeName), Options())
{
}

KLHostPipe::KLHostPipe(KLDispatchQueue &queue, std::function<QString()> pipeName, Options options)
    : m_queue(queue), m_pipeName(std::move(pipeName)), m_options(options)
{
    m_options.maxBacklog = std::max(m_options.maxBacklog, 1);
    m_options.maxConnectAttempts = std::max(m_options.maxConnectAttempts, 1);
}

KLHostPipe::~KLHostPipe()
{
    m_queue.sync([this]() {
        quint64 unwritten = 0;
        if (m_socket) {
            QObject::disconnect(m_socket, nullptr, nullptr, nullptr);
            if (m_state == State::Connected) {
                // Hand the kernel what it takes now; never wait for the host.
                const qint64 before = m_socket->bytesToWrite();
                m_socket->flush();
                qint64 written = before - m_socket->bytesToWrite() + m_writtenOfFront;
                while (!m_unwritten.empty() && written >= m_unwritten.front()) {
                    written -= m_unwritten.front();
                    m_unwritten.pop_front();
                    ++m_delivered;
                }
            }
            unwritten = m_unwritten.size();
            m_unwritten.clear();
        }
        const quint64 waiting = m_backlog.size() + unwritten;
        m_backlog.clear();
        if (waiting > 0)
            drop(waiting, QStringLiteral("the host pipe is closing"));
        delete m_retryTimer;
        m_retryTimer = nullptr;
        delete m_socket;
        m_socket = nullptr;
    });
}

QByteArray KLHostPipe::frame(const QByteArray &message)
{
    QByteArray framed(4, Qt::Uninitialized);
    qToBigEndian<quint32>(static_cast<quint32>(message.size()), framed.data());
    framed.append(message);
    return framed;
}

void KLHostPipe::send(QByteArray message)
{
    m_queue.async([this, message = std::move(message)]() { enqueue(message); });
}

void KLHostPipe::enqueue(QByteArray message)
{
    if (message.size() > m_options.maxMessageBytes) {
        drop(1, QStringLiteral("a message of %1 bytes exceeds the limit of %2 bytes")
                    .arg(message.size())
                    .arg(m_options.maxMessageBytes));
        return;
    }
    if (m_backlog.size() >= static_cast<size_t>(m_options.maxBacklog)) {
        drop(1, QStringLiteral("the backlog of %1 messages is full").arg(m_backlog.size()));
        return;
    }
    ensureObjects();
    m_backlog.push_back(std::move(message));
    switch (m_state) {
    case State::Idle:
        m_attempts = 0;
        connectToHost();
        break;
    case State::Connected:
        pump();
        break;
    case State::Connecting:
    case State::WaitingToRetry:
        break;
    }
}

void KLHostPipe::ensureObjects()
{
    if (m_socket)
        return;
    m_socket = new QLocalSocket;
    m_retryTimer = new QTimer;
    m_retryTimer->setSingleShot(true);
    m_retryTimer->setTimerType(Qt::CoarseTimer);

    QObject::connect(m_retryTimer, &QTimer::timeout, m_retryTimer, [this]() {
        if (m_state == State::WaitingToRetry)
            connectToHost();
    });
    QObject::connect(m_socket, &QLocalSocket::connected, m_socket, [this]() {
        if (m_state == State::Connecting)
            onConnected();
    });
    // A failed attempt reports an error, a closed connection a state change; either may come
    // first or alone, so both lead here and the state decides.
    const auto unconnected = [this]() {
        if (m_state == State::Connecting)
            onConnectFailed();
        else if (m_state == State::Connected)
            onConnectionLost();
    };
    QObject::connect(m_socket, &QLocalSocket::errorOccurred, m_socket,
                     [this, unconnected](QLocalSocket::LocalSocketError error) {
                         // Errors while connected that leave the socket open change nothing.
                         if (m_state == State::Connected
                             && m_socket->state() == QLocalSocket::ConnectedState
                             && error != QLocalSocket::PeerClosedError)
                             return;
                         unconnected();
                     });
    QObject::connect(m_socket, &QLocalSocket::stateChanged, m_socket,
                     [unconnected](QLocalSocket::LocalSocketState state) {
                         if (state == QLocalSocket::UnconnectedState)
                             unconnected();
                     });
    QObject::connect(m_socket, &QLocalSocket::bytesWritten, m_socket,
                     [this](qint64 bytes) { onBytesWritten(bytes); });
    // The host never talks back; anything it sends is discarded.
    QObject::connect(m_socket, &QLocalSocket::readyRead, m_socket,
                     [this]() { m_socket->readAll(); });
}

void KLHostPipe::connectToHost()
{
    const QString name = m_pipeName ? m_pipeName() : QString();
    if (name.isEmpty()) {
        m_state = State::Idle;
        m_attempts = 0;
        dropBacklog(QStringLiteral("the host has stored no pipe name"));
        return;
    }
    // Reset a socket left over from the previous attempt while our state ignores its signals.
    m_state = State::WaitingToRetry;
    m_socket->abort();
    m_state = State::Connecting;
    m_connectedName = name;
    ++m_attempts;
    m_socket->connectToServer(name, QIODevice::ReadWrite);
}

void KLHostPipe::onConnected()
{
    m_state = State::Connected;
    KL_LOG_INFO(kTag, QStringLiteral("connected to host pipe %1 (attempt %2)")
                          .arg(m_connectedName)
                          .arg(m_attempts));
    m_attempts = 0;
    m_unwritten.clear();
    m_writtenOfFront = 0;
    pump();
}

void KLHostPipe::onConnectFailed()
{
    m_state = State::WaitingToRetry;
    const QString error = m_socket->errorString();
    if (m_attempts >= m_options.maxConnectAttempts) {
        m_state = State::Idle;
        dropBacklog(QStringLiteral("host pipe %1 unreachable after %2 attempts (%3)")
                        .arg(m_connectedName)
                        .arg(m_attempts)
                        .arg(error));
        m_attempts = 0;
        return;
    }
    if (m_attempts == 1) {
        KL_LOG_WARN(kTag, QStringLiteral("host pipe %1 not reachable yet (%2); retrying")
                              .arg(m_connectedName, error));
    }
    scheduleRetry();
}

void KLHostPipe::onConnectionLost()
{
    m_state = State::Idle;
    const quint64 lost = m_unwritten.size();
    m_unwritten.clear();
    m_writtenOfFront = 0;
    if (lost > 0) {
        drop(lost, QStringLiteral("the connection to host pipe %1 was lost before they were "
                                  "written (%2)")
                       .arg(m_connectedName, m_socket->errorString()));
    } else {
        KL_LOG_INFO(kTag, QStringLiteral("host pipe %1 closed").arg(m_connectedName));
    }
    if (!m_backlog.empty()) {
        // Reconnect from the event loop, not from inside the socket's own signal.
        m_state = State::WaitingToRetry;
        m_attempts = 0;
        m_retryTimer->start(0);
    }
}

void KLHostPipe::scheduleRetry()
{
    const double delay = std::min(m_options.firstRetrySeconds * std::pow(2.0, m_attempts - 1),
                                  m_options.maxRetrySeconds);
    m_retryTimer->start(static_cast<int>(
        std::min<qint64>(KLTimeScale::scaledMilliseconds(delay), 24 * 3600 * 1000)));
}

void KLHostPipe::pump()
{
    while (m_state == State::Connected && !m_backlog.empty()
           && m_socket->bytesToWrite() < m_options.maxUnwrittenBytes) {
        const QByteArray framed = frame(m_backlog.front());
        m_backlog.pop_front();
        const qint64 written = m_socket->write(framed);
        if (written != framed.size()) {
            // A partial frame would desynchronise the stream: give the connection up.
            drop(1, QStringLiteral("writing to host pipe %1 failed (%2)")
                        .arg(m_connectedName, m_socket->errorString()));
            m_socket->abort();
            return;
        }
        m_unwritten.push_back(framed.size());
    }
}

void KLHostPipe::onBytesWritten(qint64 bytes)
{
    m_writtenOfFront += bytes;
    while (!m_unwritten.empty() && m_writtenOfFront >= m_unwritten.front()) {
        m_writtenOfFront -= m_unwritten.front();
        m_unwritten.pop_front();
        ++m_delivered;
    }
    pump();
}

void KLHostPipe::dropBacklog(const QString &reason)
{
    const quint64 count = m_backlog.size();
    m_backlog.clear();
    if (count > 0)
        drop(count, reason);
}

void KLHostPipe::drop(quint64 count, const QString &reason)
{
    m_dropped += count;
    KL_LOG_ERROR(kTag, QStringLiteral("dropped %1 host message(s): %2").arg(count).arg(reason));
}
