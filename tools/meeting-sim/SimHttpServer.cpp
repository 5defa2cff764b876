#include "SimHttpServer.h"

#include "SimLog.h"
#include "SimRecorder.h"

#include <QJsonObject>
#include <QSslServer>
#include <QSslSocket>
#include <QTimer>

namespace kelvosim {

Q_LOGGING_CATEGORY(lcSim, "kelvo.sim")

namespace {

SimHttpResponse errorResponse(int status, const QString &message)
{
    SimHttpResponse response = SimHttpResponse::json(
        {{QStringLiteral("success"), false}, {QStringLiteral("errorCode"), QString::number(status)},
         {QStringLiteral("errorMsg"), message}},
        status);
    response.close = true;
    return response;
}

} // namespace

// One client connection: reads requests one after the other (answers go out in request
// order, so a held answer also holds the requests pipelined behind it).
class SimHttpConnection : public QObject
{
public:
    SimHttpConnection(SimHttpServer *server, QSslSocket *socket)
        : QObject(server), m_server(server), m_socket(socket)
    {
        socket->setParent(this);
        connect(socket, &QSslSocket::readyRead, this, [this] { process(); });
        connect(socket, &QSslSocket::disconnected, this, [this] { finish(); });
        connect(socket, &QSslSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
            if (error != QAbstractSocket::RemoteHostClosedError)
                qCInfo(lcSim) << "connection error:" << m_socket->errorString();
        });
        if (socket->state() != QAbstractSocket::ConnectedState)
            finish();
    }

    void process()
    {
        while (m_socket && !m_busy && !m_closing) {
            if (!m_haveHead) {
                if (!readHead())
                    return;
            }
            if (!m_socket)
                return;
            const qsizetype missing = m_contentLength - m_request.body.size();
            if (missing > 0) {
                m_request.body += m_socket->read(missing);
                if (m_request.body.size() < m_contentLength)
                    return;
            }
            m_haveHead = false;
            m_busy = true;
            const SimHttpRequest request = std::move(m_request);
            m_request = {};
            m_keepAlive = request.keepAlive();
            dispatch(request);
        }
    }

    void send(const SimHttpResponse &response)
    {
        if (!m_socket || m_closing)
            return;
        simRecord("http", response.contentType + '\n' + response.body);
        m_socket->write(response.serialize(m_keepAlive));
        m_busy = false;
        if (response.close || !m_keepAlive) {
            m_closing = true;
            m_socket->disconnectFromHost();
            return;
        }
        if (m_socket->bytesAvailable() > 0)
            QTimer::singleShot(0, this, [this] { process(); });
    }

    void drop()
    {
        if (!m_socket)
            return;
        m_closing = true;
        m_socket->abort();
        finish();
    }

private:
    // Peeks at the buffered bytes for a complete head; consumes it unless it is a WebSocket
    // upgrade, which is handed over with the head still unread.
    bool readHead()
    {
        const QByteArray buffered = m_socket->peek(qMin<qint64>(m_socket->bytesAvailable(), kSimMaxHeadBytes + 4));
        if (buffered.isEmpty())
            return false;
        qsizetype headLength = 0;
        QString error;
        SimHttpRequest head;
        switch (parseRequestHead(buffered, &headLength, &head, &error)) {
        case SimHeadParse::NeedMore:
            return false;
        case SimHeadParse::Malformed:
            qCWarning(lcSim) << "bad request from" << m_socket->peerAddress().toString() << ":" << error;
            reject(error.contains(QLatin1String("larger")) ? 431 : 400, error);
            return false;
        case SimHeadParse::Complete:
            break;
        }
        if (head.isWebSocketUpgrade()) {
            QSslSocket *socket = m_socket;
            socket->disconnect(this);
            socket->setParent(nullptr);
            m_socket = nullptr;
            if (m_server->upgrade(socket, head)) {
                deleteLater();
                return false;
            }
            // Nobody took it: take it back and refuse.
            m_socket = socket;
            socket->setParent(this);
            connect(socket, &QSslSocket::disconnected, this, [this] { finish(); });
            m_socket->read(headLength);
            reject(501, QStringLiteral("WebSocket upgrade is not served on %1").arg(head.path));
            return false;
        }
        if (head.hasHeader("transfer-encoding")) {
            qCWarning(lcSim) << "request" << head.method << head.path << "uses Transfer-Encoding; only Content-Length bodies are read";
            reject(501, QStringLiteral("Transfer-Encoding is not supported; send Content-Length"));
            return false;
        }
        qint64 length = 0;
        if (head.hasHeader("content-length")) {
            bool ok = false;
            const QByteArray text = head.header("content-length");
            length = text.toLongLong(&ok);
            if (!ok || length < 0 || text.contains('+') || text.contains(',')) {
                qCWarning(lcSim) << "bad Content-Length" << text << "in" << head.method << head.path;
                reject(400, QStringLiteral("bad Content-Length"));
                return false;
            }
            if (length > kSimMaxBodyBytes) {
                qCWarning(lcSim) << "body of" << length << "bytes refused for" << head.path;
                reject(413, QStringLiteral("body larger than %1 bytes").arg(kSimMaxBodyBytes));
                return false;
            }
        }
        m_socket->read(headLength);
        m_request = head;
        m_contentLength = length;
        m_haveHead = true;
        return true;
    }

    void dispatch(const SimHttpRequest &request)
    {
        const SimDispatch what = m_server->handle(request);
        switch (what.action) {
        case SimDispatch::Action::Reply:
            send(what.response);
            break;
        case SimDispatch::Action::Delay: {
            QPointer<SimHttpConnection> self(this);
            QTimer::singleShot(qMax(0, what.delayMs), this, [self, response = what.response] {
                if (self)
                    self->send(response);
            });
            break;
        }
        case SimDispatch::Action::Hold:
            m_server->hold(this, request.path, what.response);
            break;
        case SimDispatch::Action::Close:
            drop();
            break;
        }
    }

    void reject(int status, const QString &message)
    {
        m_keepAlive = false;
        m_busy = false;
        send(errorResponse(status, message));
    }

    void finish()
    {
        m_closing = true;
        deleteLater();
    }

    SimHttpServer *m_server;
    QSslSocket *m_socket;
    SimHttpRequest m_request;
    qint64 m_contentLength = 0;
    bool m_haveHead = false;
    bool m_busy = false;
    bool m_closing = false;
    bool m_keepAlive = true;
};

SimHttpServer::SimHttpServer(QObject *parent) : QObject(parent) {}

SimHttpServer::~SimHttpServer()
{
    shutdown();
}

bool SimHttpServer::listen(const QSslConfiguration &tls, const QHostAddress &address, quint16 port,
                           QString *error)
{
    if (m_server) {
        if (error)
            *error = QStringLiteral("already listening");
        return false;
    }
    m_server = new QSslServer(this);
    m_server->setSslConfiguration(tls);
    // QSslServer queues a socket once its handshake is done and says so with
    // pendingConnectionAvailable; newConnection comes earlier, with nothing queued yet.
    connect(m_server, &QSslServer::pendingConnectionAvailable, this, [this] { acceptPending(); });
    connect(m_server, &QSslServer::sslErrors, this, [](QSslSocket *socket, const QList<QSslError> &errors) {
        for (const QSslError &e : errors)
            qCInfo(lcSim) << "TLS error with" << socket->peerAddress().toString() << ":" << e.errorString();
    });
    connect(m_server, &QSslServer::errorOccurred, this, [](QSslSocket *socket, QAbstractSocket::SocketError) {
        qCInfo(lcSim) << "TLS handshake with" << socket->peerAddress().toString()
                      << "failed:" << socket->errorString();
    });
    connect(m_server, &QSslServer::alertReceived, this,
            [](QSslSocket *, QSsl::AlertLevel, QSsl::AlertType, const QString &description) {
                qCInfo(lcSim) << "TLS alert from client:" << description;
            });
    if (!address.isLoopback() || !m_server->listen(address, port)) {
        if (error)
            *error = QStringLiteral("cannot listen on %1:%2: %3")
                         .arg(address.toString())
                         .arg(port)
                         .arg(address.isLoopback() ? m_server->errorString() : QStringLiteral("not a loopback address"));
        delete m_server;
        m_server = nullptr;
        return false;
    }
    return true;
}

quint16 SimHttpServer::port() const
{
    return m_server ? m_server->serverPort() : 0;
}

void SimHttpServer::acceptPending()
{
    while (m_server && m_server->hasPendingConnections()) {
        auto *socket = qobject_cast<QSslSocket *>(m_server->nextPendingConnection());
        if (!socket)
            continue;
        // Small answers and WebSocket frames go out at once: with Nagle's algorithm each new
        // WebSocket's first frame waited for the client's delayed acknowledgement (~40 ms).
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        auto *connection = new SimHttpConnection(this, socket);
        if (socket->bytesAvailable() > 0)
            QTimer::singleShot(0, connection, [connection] { connection->process(); });
    }
}

SimDispatch SimHttpServer::handle(const SimHttpRequest &request)
{
    if (!m_handler) {
        SimDispatch none;
        none.response = errorResponse(503, QStringLiteral("no handler"));
        return none;
    }
    return m_handler(request);
}

bool SimHttpServer::upgrade(QSslSocket *socket, const SimHttpRequest &head)
{
    // Hook for the signalling side: a later change passes the socket on to a
    // QWebSocketServer (handleConnection) from the upgrade handler.
    if (!m_upgradeHandler) {
        qCInfo(lcSim) << "WebSocket upgrade for" << head.path << "refused: no WebSocket service";
        return false;
    }
    return m_upgradeHandler(socket, head);
}

void SimHttpServer::hold(SimHttpConnection *connection, const QString &path, const SimHttpResponse &response)
{
    m_held.append({connection, path, response});
}

void SimHttpServer::releaseHeld(const QString &path)
{
    QList<Held> release;
    for (auto it = m_held.begin(); it != m_held.end();) {
        if (path.isEmpty() || it->path == path) {
            release.append(*it);
            it = m_held.erase(it);
        } else {
            ++it;
        }
    }
    for (const Held &held : release) {
        if (held.connection)
            held.connection->send(held.response);
    }
}

void SimHttpServer::shutdown()
{
    m_held.clear();
    if (m_server) {
        m_server->close();
        delete m_server;
        m_server = nullptr;
    }
    const auto connections = findChildren<SimHttpConnection *>(Qt::FindDirectChildrenOnly);
    for (SimHttpConnection *connection : connections) {
        connection->drop();
        delete connection;
    }
}

} // namespace kelvosim
