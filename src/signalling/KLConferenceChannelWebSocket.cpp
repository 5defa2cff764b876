#include "signalling/KLConferenceChannelWebSocket.h"

#include "runtime/KLDispatchQueue.h"
#include "runtime/KLHttpSession.h"
#include "runtime/KLMainThread.h"
#include "runtime/KLSDKLog.h"
#include "runtime/KLTimer.h"
#include "runtime/KLWebSocketClose.h"

#include <QJsonDocument>
#include <QJsonParseError>
#include <QWebSocket>

#include <utility>

namespace {

const QString kLogTag = QStringLiteral("KLConferenceChannelWebSocket");
constexpr double kReconnectDelaySeconds = 0.5;
// Far above any real frame (a member list of thousands is well under a megabyte): a larger one
// closes the connection with 1009 before it is buffered whole, and the usual reconnect follows.
constexpr qint64 kMaxFrameBytes = 4 * 1024 * 1024;

} // namespace

std::optional<QJsonObject> KLConferenceChannelWebSocket::parseFrame(const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    if (utf8.isEmpty())
        return std::nullopt;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(utf8, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    return document.object();
}

std::shared_ptr<KLConferenceChannelWebSocket>
KLConferenceChannelWebSocket::create(const QVariantMap &transportParam,
                                     std::weak_ptr<KLConferenceChannelDelegate> appDelegate,
                                     const QString &bizType)
{
    return std::shared_ptr<KLConferenceChannelWebSocket>(
        new KLConferenceChannelWebSocket(transportParam, std::move(appDelegate), bizType));
}

KLConferenceChannelWebSocket::KLConferenceChannelWebSocket(
    const QVariantMap &transportParam, std::weak_ptr<KLConferenceChannelDelegate> appDelegate,
    const QString &bizType)
    : m_url(transportParam.value(QStringLiteral("signalingServer")).toString())
    , m_caFile(transportParam.value(QStringLiteral("caFile")).toString())
    , m_bizType(bizType)
    , m_appDelegate(std::move(appDelegate))
    , m_queue(KLDispatchQueue::makeShared(QStringLiteral("com.kelvo.conferencechannel.ws")))
{
}

KLConferenceChannelWebSocket::~KLConferenceChannelWebSocket()
{
    m_reconnectTimer.reset();
    QWebSocket *socket = m_socket;
    if (!socket)
        return;
    if (!m_queue->isCurrent()) {
        m_queue->sync([socket] { delete socket; });
        return;
    }
    // The last owner let go inside one of the socket's own signals (on the queue's thread):
    // deleting the socket now would pull it out from under Qt while it is still emitting. It
    // goes in a later turn of the queue, which the task keeps alive until then.
    QObject::disconnect(socket, nullptr, nullptr, nullptr);
    std::shared_ptr<KLDispatchQueue> queue = m_queue;
    queue->async([socket, queue] { delete socket; });
}

void KLConferenceChannelWebSocket::connect()
{
    if (m_isClosed.load())
        return;
    KL_LOG_INFO(kLogTag, QStringLiteral("%1 connecting websocket").arg(m_bizType));
    const quint64 generation = ++m_generation;
    std::weak_ptr<KLConferenceChannelWebSocket> weak = weak_from_this();
    m_queue->async([weak, generation] {
        if (auto self = weak.lock())
            self->openSocket(generation);
    });
}

void KLConferenceChannelWebSocket::openSocket(quint64 generation)
{
    // A disconnect that came after the connect but before this turn of the queue wins: the
    // socket would otherwise open after the user has left and keep the queue busy.
    if (m_isClosed.load() || generation != m_generation.load())
        return;
    // The previous client is dropped without a close call; its late signals are ignored.
    delete m_socket;
    m_socket = new QWebSocket(QString(), QWebSocketProtocol::VersionLatest, m_queue->context());
    m_socket->setSslConfiguration(KLHttpSession::shared().tlsConfiguration(m_caFile));
    m_socket->setMaxAllowedIncomingFrameSize(kMaxFrameBytes);
    m_socket->setMaxAllowedIncomingMessageSize(kMaxFrameBytes);
    std::weak_ptr<KLConferenceChannelWebSocket> weak = weak_from_this();
    QWebSocket *socket = m_socket;
    QObject::connect(socket, &QWebSocket::connected, socket, [weak, generation] {
        if (auto self = weak.lock())
            self->webSocketDidOpen(generation);
    });
    QObject::connect(socket, &QWebSocket::textMessageReceived, socket,
                     [weak, generation](const QString &text) {
                         if (auto self = weak.lock())
                             self->didReceiveText(generation, text);
                     });
    QObject::connect(socket, &QWebSocket::binaryMessageReceived, socket, [weak, generation] {
        if (auto self = weak.lock())
            self->didReceiveMessage(generation, std::nullopt);
    });
    QObject::connect(socket, qOverload<QAbstractSocket::SocketError>(&QWebSocket::error), socket, [weak, generation, socket] {
        if (auto self = weak.lock())
            self->didFailWithError(generation, socket->errorString());
    });
    QObject::connect(socket, &QWebSocket::disconnected, socket, [weak, generation, socket] {
        if (auto self = weak.lock())
            self->didCloseWithCode(generation, socket->closeCode(), socket->closeReason());
    });
    socket->open(m_url);
}

void KLConferenceChannelWebSocket::sendMessage(const QJsonObject &message, const QString &)
{
    const QString text =
        QString::fromUtf8(QJsonDocument(message).toJson(QJsonDocument::Indented));
    KL_LOG_INFO(kLogTag, QStringLiteral("%1 %2").arg(m_bizType, text));
    std::weak_ptr<KLConferenceChannelWebSocket> weak = weak_from_this();
    m_queue->async([weak, text] {
        auto self = weak.lock();
        if (!self)
            return;
        if (!self->m_socket || self->m_socket->state() != QAbstractSocket::ConnectedState) {
            KL_LOG_INFO(kLogTag, QStringLiteral("%1 websocket not open, message dropped")
                                     .arg(self->m_bizType));
            return;
        }
        self->m_socket->sendTextMessage(text);
    });
}

void KLConferenceChannelWebSocket::disconnect()
{
    KL_LOG_INFO(kLogTag, QStringLiteral("%1 websocket disconnect for user").arg(m_bizType));
    m_isClosed.store(true);
    // The block keeps the transport: its owner usually lets go right after this call, and the
    // frames queued before (and then the close) must still go out. The socket is handed to a
    // closing of its own, which ends once the server has answered it, so the close never falls back
    // to the socket's destructor (code 1001) or to the process's exit (no close at all).
    m_queue->async([self = shared_from_this()] {
        QWebSocket *socket = std::exchange(self->m_socket, nullptr);
        if (!socket)
            return;
        // The close is reported like any other (state 1 once); being closed, it ends there.
        const quint64 generation = self->m_generation.load();
        std::weak_ptr<KLConferenceChannelWebSocket> weak = self;
        KLWebSocketClose::closeAndRelease(socket, self->m_queue, QStringLiteral("close by client"), kLogTag,
                                          [weak, generation](int code, const QString &reason) {
                                              if (auto transport = weak.lock())
                                                  transport->didCloseWithCode(generation, code, reason);
                                          });
    });
}

void KLConferenceChannelWebSocket::setState(qint64 state)
{
    if (m_state.exchange(state) == state)
        return;
    if (auto delegate = lockDelegate())
        delegate->didChangeState(state);
}

std::weak_ptr<KLConferenceChannelDelegate> KLConferenceChannelWebSocket::appDelegate() const
{
    std::lock_guard<std::mutex> lock(m_delegateMutex);
    return m_appDelegate;
}

void KLConferenceChannelWebSocket::setAppDelegate(std::weak_ptr<KLConferenceChannelDelegate> delegate)
{
    std::lock_guard<std::mutex> lock(m_delegateMutex);
    m_appDelegate = std::move(delegate);
}

std::shared_ptr<KLConferenceChannelDelegate> KLConferenceChannelWebSocket::lockDelegate() const
{
    return appDelegate().lock();
}

void KLConferenceChannelWebSocket::webSocketDidOpen(quint64 generation)
{
    if (generation != m_generation.load())
        return;
    setState(KLConferenceChannelStateOpen);
    KL_LOG_INFO(kLogTag, QStringLiteral("%1 websocket did open").arg(m_bizType));
}

void KLConferenceChannelWebSocket::didReceiveMessage(quint64 generation,
                                                     const std::optional<QJsonObject> &message)
{
    if (generation != m_generation.load())
        return;
    if (auto delegate = lockDelegate())
        delegate->didReceiveAppMessage(message);
}

void KLConferenceChannelWebSocket::didReceiveText(quint64 generation, const QString &text)
{
    if (generation != m_generation.load())
        return;
    if (auto delegate = lockDelegate())
        deliverFrame(*delegate, text);
}

void KLConferenceChannelWebSocket::deliverFrame(KLConferenceChannelDelegate &delegate,
                                                const QString &text)
{
    delegate.didReceiveAppFrame(text, parseFrame(text));
}

void KLConferenceChannelWebSocket::didFailWithError(quint64 generation, const QString &error)
{
    if (generation != m_generation.load())
        return;
    KL_LOG_ERROR(kLogTag, QStringLiteral("%1 websocket closed imeditate reconnect (%2)")
                              .arg(m_bizType, error));
    onFailed(generation);
}

void KLConferenceChannelWebSocket::didCloseWithCode(quint64 generation, int code,
                                                    const QString &reason)
{
    if (generation != m_generation.load())
        return;
    KL_LOG_ERROR(kLogTag, QStringLiteral("%1 websocket closed with code:%2, reason:%3")
                              .arg(m_bizType)
                              .arg(code)
                              .arg(reason));
    setState(KLConferenceChannelStateDisconnected);
    onFailed(generation);
}

void KLConferenceChannelWebSocket::onFailed(quint64)
{
    KL_LOG_INFO(kLogTag, QStringLiteral("%1 websocket disconnected").arg(m_bizType));
    if (m_isClosed.load())
        return;
    setState(KLConferenceChannelStateDisconnected);
    KL_LOG_INFO(kLogTag, QStringLiteral("%1 trying to reconnect for  now").arg(m_bizType));
    // One timer: an error followed by a close of the same connection reconnects once.
    std::weak_ptr<KLConferenceChannelWebSocket> weak = weak_from_this();
    KLMainThread::post([weak] {
        auto self = weak.lock();
        if (!self)
            return;
        if (!self->m_reconnectTimer)
            self->m_reconnectTimer = std::make_unique<KLTimer>(kReconnectDelaySeconds, false, [weak] {
                if (auto again = weak.lock())
                    again->connect();
            });
        self->m_reconnectTimer->startTimer();
    });
}
