#pragma once

// TLS HTTP/1.1 server on loopback. Lives on one thread (the simulator's); every function is
// called on that thread. Requests are handed to one handler, which decides the answer and
// whether it goes out now, later, never (until released) or not at all (connection closed).

#include "SimHttpMessage.h"

#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QSslConfiguration>

#include <functional>

class QSslServer;
class QSslSocket;

namespace kelvosim {

class SimHttpConnection;

/// What to do with the answer of one request.
struct SimDispatch {
    enum class Action { Reply, Hold, Delay, Close };
    Action action = Action::Reply;
    SimHttpResponse response;
    int delayMs = 0;
};

class SimHttpServer : public QObject
{
public:
    using RequestHandler = std::function<SimDispatch(const SimHttpRequest &request)>;
    /// Called with a socket whose head reads "Upgrade: websocket". The head (and anything
    /// after it) is still unread in the socket, as QWebSocketServer::handleConnection() wants
    /// it. Returning true hands the socket over: the server forgets it (the handler owns it,
    /// its parent is cleared). Returning false answers 501 and closes.
    using UpgradeHandler = std::function<bool(QSslSocket *socket, const SimHttpRequest &head)>;

    explicit SimHttpServer(QObject *parent = nullptr);
    ~SimHttpServer() override;

    void setRequestHandler(RequestHandler handler) { m_handler = std::move(handler); }
    void setUpgradeHandler(UpgradeHandler handler) { m_upgradeHandler = std::move(handler); }

    /// Listens on 127.0.0.1:`port` (0 picks a free port).
    bool listen(const QSslConfiguration &tls, const QHostAddress &address, quint16 port, QString *error);
    quint16 port() const;

    /// Sends the held answers of requests for `path` (all held answers when empty).
    void releaseHeld(const QString &path);
    /// Stops listening and drops every connection, held ones included, without answering.
    void shutdown();

    // Used by connections.
    SimDispatch handle(const SimHttpRequest &request);
    bool upgrade(QSslSocket *socket, const SimHttpRequest &head);
    void hold(SimHttpConnection *connection, const QString &path, const SimHttpResponse &response);

private:
    void acceptPending();

    struct Held {
        QPointer<SimHttpConnection> connection;
        QString path;
        SimHttpResponse response;
    };

    QSslServer *m_server = nullptr;
    RequestHandler m_handler;
    UpgradeHandler m_upgradeHandler;
    QList<Held> m_held;
};

} // namespace kelvosim
