#include "SimSignallingServer.h"

#include "SimLog.h"
#include "SimMeetingApi.h"
#include "SimRecorder.h"
#include "SimScenario.h"
#include "SimSignallingEvents.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSslSocket>
#include <QTimer>
#include <QWebSocket>
#include <QWebSocketServer>

namespace kelvosim {

namespace {

constexpr quint64 kMaxMessageBytes = 16 * 1024 * 1024;
constexpr int kAbnormalClose = 1006;

QByteArray serialize(const QJsonObject &message)
{
    return QJsonDocument(message).toJson(QJsonDocument::Compact);
}

} // namespace

SimSignallingServer::SimSignallingServer(SimControl *control, QObject *parent)
    : QObject(parent), m_control(control), m_protocol(std::make_unique<SimSignallingProtocol>(nullptr))
{
    // TLS is already up when a socket arrives here (the HTTPS server terminates it), so the
    // WebSocket server itself runs in plain mode over the decrypted stream.
    m_server = new QWebSocketServer(QStringLiteral("kelvo-meeting-sim"), QWebSocketServer::NonSecureMode, this);
    connect(m_server, &QWebSocketServer::newConnection, this, [this] { adoptPending(); });
    connect(m_server, &QWebSocketServer::serverError, this, [this](QWebSocketProtocol::CloseCode code) {
        qCWarning(lcSim) << "signalling handshake failed:" << int(code) << m_server->errorString();
    });
}

SimSignallingServer::~SimSignallingServer()
{
    shutdown();
}

void SimSignallingServer::setApi(SimMeetingApi *api)
{
    m_api = api;
    m_protocol = std::make_unique<SimSignallingProtocol>(api);
}

bool SimSignallingServer::accept(QSslSocket *socket, const SimHttpRequest &head)
{
    if (m_stopped || head.path != path()) {
        qCInfo(lcSim) << "WebSocket upgrade for" << head.path << "refused: signalling lives on" << path();
        return false;
    }
    // Ours until the handshake succeeds (then the WebSocket owns it) or the server drops it.
    socket->setParent(this);
    const QByteArray key = head.header("sec-websocket-key");
    const QByteArray version = head.header("sec-websocket-version");
    if (key.isEmpty() || version.trimmed() != "13") {
        // QWebSocketServer would drop it without a word; say why.
        const QString why = key.isEmpty() ? QStringLiteral("no Sec-WebSocket-Key")
                                          : QStringLiteral("Sec-WebSocket-Version %1, not 13").arg(QString::fromLatin1(version));
        qCWarning(lcSim) << "WebSocket upgrade refused:" << why;
        socket->readAll();
        socket->write(SimHttpResponse::json({{QStringLiteral("success"), false},
                                             {QStringLiteral("errorCode"), QStringLiteral("400")},
                                             {QStringLiteral("errorMsg"), why}},
                                            400)
                          .serialize(false));
        connect(socket, &QSslSocket::disconnected, socket, &QObject::deleteLater);
        socket->disconnectFromHost();
        return true;
    }
    m_server->handleConnection(socket);
    return true;
}

void SimSignallingServer::adoptPending()
{
    while (m_server->hasPendingConnections()) {
        QWebSocket *socket = m_server->nextPendingConnection();
        if (!socket)
            continue;
        socket->setParent(this);
        socket->setMaxAllowedIncomingMessageSize(kMaxMessageBytes);
        const int id = m_control->signallingConnectionOpened();
        Connection connection;
        connection.socket = socket;
        connection.peer.id = id;
        m_connections.insert(id, connection);
        qCInfo(lcSim) << "signalling connection" << id << "opened from" << socket->peerAddress().toString();
        connect(socket, &QWebSocket::textMessageReceived, this,
                [this, id](const QString &text) { receive(id, text.toUtf8(), false); });
        connect(socket, &QWebSocket::binaryMessageReceived, this,
                [this, id](const QByteArray &data) { receive(id, data, true); });
        // A close frame, the client's or ours, puts the socket into its closing handshake;
        // a connection that just drops never gets there.
        connect(socket, &QWebSocket::aboutToClose, this, [this, id] {
            if (const auto it = m_connections.find(id); it != m_connections.end())
                it->closing = true;
        });
        connect(socket, &QWebSocket::disconnected, this, [this, id] { forget(id); });
        if (socket->state() != QAbstractSocket::ConnectedState)
            forget(id);
    }
}

void SimSignallingServer::forget(int id)
{
    const auto it = m_connections.find(id);
    if (it == m_connections.end())
        return;
    QWebSocket *socket = it->socket;
    const bool closing = it->closing;
    const SimSignallingPeer peer = it->peer;
    m_connections.erase(it);
    m_control->signallingConnectionClosed();
    m_control->recordSignallingClose(id, closing && socket ? int(socket->closeCode()) : kAbnormalClose);
    if (socket) {
        qCInfo(lcSim) << "signalling connection" << id << "closed, code" << int(socket->closeCode())
                      << socket->closeReason() << (closing ? "" : "(no close frame)");
        socket->disconnect(this);
        socket->deleteLater();
    }
    if (peer.registered && !present(peer.meetingUUID, peer.memberUUID, id))
        announcePresence(peer.meetingUUID, peer.memberUUID, false);
}

bool SimSignallingServer::present(const QString &meetingUUID, const QString &memberUUID, int except) const
{
    for (auto it = m_connections.cbegin(); it != m_connections.cend(); ++it) {
        const SimSignallingPeer &peer = it->peer;
        if (peer.id != except && peer.registered && peer.meetingUUID == meetingUUID && peer.memberUUID == memberUUID)
            return true;
    }
    return false;
}

void SimSignallingServer::announcePresence(const QString &meetingUUID, const QString &memberUUID, bool online)
{
    const QJsonObject target = meetingUUID.isEmpty() ? QJsonObject() : meeting(meetingUUID);
    if (target.isEmpty() || memberUUID.isEmpty())
        return;
    const QJsonObject who = signalling::participant(target, memberUUID);
    if (who.isEmpty()) {
        qCInfo(lcSim) << "signalling: member" << memberUUID << "is not in meeting" << meetingUUID
                      << "; the others are not told it" << (online ? "joined" : "left");
        return;
    }
    if (!online) {
        // A member that hung up (or was hung up) is offline already and the others were told.
        if (who.value(QLatin1String("callState")).toObject().value(QLatin1String("online")).toInt() != 1)
            return;
        m_api->setOnline(meetingUUID, memberUUID, false);
    }
    SimSignallingPush push;
    push.meetingUUID = meetingUUID;
    push.exceptMember = memberUUID;
    const int eventId = online ? signalling::Online : signalling::Offline;
    push.message = signalling::push(signalling::eventKind(eventId), signalling::eventBody(meeting(meetingUUID), eventId, memberUUID));
    qCInfo(lcSim) << "signalling: member" << memberUUID << (online ? "joined" : "left") << "meeting" << meetingUUID;
    sendPush(push);
}

void SimSignallingServer::receive(int id, const QByteArray &payload, bool binary)
{
    SignallingFrame frame;
    frame.connection = id;
    frame.text = payload;
    frame.binary = binary;
    QJsonParseError error{};
    const QJsonDocument document = binary ? QJsonDocument() : QJsonDocument::fromJson(payload, &error);
    frame.isJson = document.isObject();
    if (frame.isJson)
        frame.json = document.object();
    m_control->recordFrame(frame);

    if (binary) {
        qCWarning(lcSim) << "signalling connection" << id << ": binary frame of" << payload.size()
                         << "bytes ignored (the protocol is JSON text)";
        return;
    }
    if (!frame.isJson) {
        qCWarning(lcSim) << "signalling connection" << id << ": text frame is not a JSON object"
                         << (error.error != QJsonParseError::NoError
                                 ? QStringLiteral("(%1 at offset %2)").arg(error.errorString()).arg(error.offset)
                                 : QStringLiteral("(a JSON array)"))
                         << payload.left(120);
        return;
    }
    process(id, frame.json);
}

void SimSignallingServer::process(int id, const QJsonObject &message)
{
    const auto it = m_connections.constFind(id);
    if (it == m_connections.constEnd())
        return;
    if (SimSignallingProtocol::kind(message) != SimSignallingProtocol::Kind::Other) {
        int refuseCode = 0;
        switch (m_control->registerMode(&refuseCode)) {
        case SignallingRegisterMode::Hold:
            qCInfo(lcSim) << "signalling connection" << id << ": register held";
            m_heldRegisters.append({id, message});
            return;
        case SignallingRegisterMode::Refuse:
            deliver(id, m_protocol->refuse(message, refuseCode));
            return;
        case SignallingRegisterMode::Accept:
            break;
        }
    }
    deliver(id, m_protocol->handle(it->peer, message));
}

void SimSignallingServer::deliver(int id, const SimSignallingOutcome &outcome)
{
    if (outcome.answer) {
        QJsonObject answer = *outcome.answer;
        const std::optional<Fault> fault = m_control->takeSignallingFault(outcome.messageType);
        const bool isReply = answer.contains(QLatin1String("requestId"));
        if (!fault) {
            send(id, serialize(answer), outcome.bind);
        } else {
            switch (fault->kind) {
            case Fault::Kind::ErrorCode:
            case Fault::Kind::ErrorList:
            case Fault::Kind::HttpStatus:
                if (!isReply) {
                    qCInfo(lcSim) << "signalling" << outcome.messageType << ": error fault on an unanswered message; nothing sent";
                    break;
                }
                answer.insert(QStringLiteral("responseCode"),
                              fault->kind == Fault::Kind::HttpStatus ? fault->httpStatus : fault->errorCode.toInt());
                answer.insert(QStringLiteral("responseMsg"), fault->errorMsg);
                answer.insert(QStringLiteral("data"), QJsonObject());
                send(id, serialize(answer));
                break;
            case Fault::Kind::NotJson:
                send(id, "<html>not json</html>");
                break;
            case Fault::Kind::Body:
                send(id, fault->payload);
                break;
            case Fault::Kind::Redirect:
                qCInfo(lcSim) << "signalling" << outcome.messageType << ": a redirect means nothing here; nothing sent";
                break;
            case Fault::Kind::Hold:
                qCInfo(lcSim) << "signalling" << outcome.messageType << "answer held for connection" << id;
                m_held.append({id, outcome.messageType, serialize(answer), outcome.bind});
                break;
            case Fault::Kind::Delay: {
                const QByteArray payload = serialize(answer);
                const std::optional<SimSignallingBinding> bind = outcome.bind;
                QTimer::singleShot(qMax(0, fault->delayMs), this, [this, id, payload, bind] { send(id, payload, bind); });
                break;
            }
            case Fault::Kind::Close:
                if (const auto it = m_connections.constFind(id); it != m_connections.constEnd() && it->socket) {
                    qCInfo(lcSim) << "signalling" << outcome.messageType << ": connection" << id << "closed instead of answering";
                    it->socket->abort();
                }
                break;
            }
        }
    }
    for (const SimSignallingPush &push : outcome.pushes)
        sendPush(push);
}

void SimSignallingServer::send(int id, const QByteArray &payload, const std::optional<SimSignallingBinding> &bind)
{
    const auto it = m_connections.find(id);
    if (it == m_connections.end() || !it->socket) {
        qCInfo(lcSim) << "signalling connection" << id << "is gone; answer dropped";
        return;
    }
    bool joined = false;
    if (bind) {
        const bool again = it->peer.registered && it->peer.meetingUUID == bind->meetingUUID
                           && it->peer.memberUUID == bind->memberUUID;
        joined = !again && !present(bind->meetingUUID, bind->memberUUID, id);
        it->peer.registered = true;
        it->peer.meetingUUID = bind->meetingUUID;
        it->peer.memberUUID = bind->memberUUID;
        qCInfo(lcSim) << "signalling connection" << id << "registered for meeting" << bind->meetingUUID << "as"
                      << bind->memberUUID;
    }
    simRecord("signal", payload);
    it->socket->sendTextMessage(QString::fromUtf8(payload));
    if (joined)
        announcePresence(bind->meetingUUID, bind->memberUUID, true);
}

void SimSignallingServer::sendPush(const SimSignallingPush &push)
{
    const QByteArray payload = serialize(push.message);
    simRecord("signal", payload);
    for (auto it = m_connections.cbegin(); it != m_connections.cend(); ++it) {
        const SimSignallingPeer &peer = it->peer;
        if (!peer.registered || peer.meetingUUID != push.meetingUUID || peer.id == push.skipConnection)
            continue;
        if (!push.onlyMember.isEmpty() && peer.memberUUID != push.onlyMember)
            continue;
        if (!push.exceptMember.isEmpty() && peer.memberUUID == push.exceptMember)
            continue;
        if (it->socket)
            it->socket->sendTextMessage(QString::fromUtf8(payload));
    }
}

QJsonObject SimSignallingServer::meeting(const QString &meetingUUID) const
{
    if (!m_api)
        return {};
    const QJsonObject state = m_api->state();
    if (meetingUUID.isEmpty())
        return state.value(QLatin1String("meetings")).toArray().at(0).toObject();
    return SimScenario::findMeeting(state, meetingUUID, false);
}

void SimSignallingServer::pushEvent(int eventId, const QString &memberUUID, const QJsonObject &fields,
                                    const QString &meetingUUID, const QString &exceptMember)
{
    const QJsonObject target = meeting(meetingUUID);
    if (target.isEmpty()) {
        qCWarning(lcSim) << "pushEvent: no meeting" << meetingUUID;
        return;
    }
    if (eventId == signalling::SummaryLine) {
        pushSummary(signalling::summarySessionId(target, memberUUID), fields, meetingUUID);
        return;
    }
    SimSignallingPush push;
    push.meetingUUID = SimScenario::text(target.value(QLatin1String("meetingUUID")));
    push.message = signalling::push(signalling::eventKind(eventId),
                                    signalling::eventBody(target, eventId, memberUUID, fields));
    push.exceptMember = exceptMember;
    sendPush(push);
}

void SimSignallingServer::setMemberOnline(const QString &memberUUID, bool online, const QString &meetingUUID)
{
    const QJsonObject target = meeting(meetingUUID);
    if (target.isEmpty() || !m_api->setOnline(SimScenario::text(target.value(QLatin1String("meetingUUID"))),
                                              memberUUID, online)) {
        qCWarning(lcSim) << "setMemberOnline: no member" << memberUUID << "in meeting" << meetingUUID;
        return;
    }
    pushEvent(online ? signalling::Online : signalling::Offline, memberUUID, {}, meetingUUID);
}

void SimSignallingServer::pushSummary(const QString &sessionId, const QJsonObject &fields, const QString &meetingUUID)
{
    const QJsonObject target = meeting(meetingUUID);
    if (target.isEmpty()) {
        qCWarning(lcSim) << "pushSummary: no meeting" << meetingUUID;
        return;
    }
    SimSignallingPush push;
    push.meetingUUID = SimScenario::text(target.value(QLatin1String("meetingUUID")));
    push.message = signalling::push(signalling::eventKind(signalling::SummaryLine),
                                    signalling::summaryBody(target, sessionId, ++m_sentence, fields));
    sendPush(push);
}

void SimSignallingServer::pushFrame(const QByteArray &payload, bool binary)
{
    for (const Connection &connection : std::as_const(m_connections)) {
        if (!connection.socket)
            continue;
        if (binary)
            connection.socket->sendBinaryMessage(payload);
        else
            connection.socket->sendTextMessage(QString::fromUtf8(payload));
    }
}

void SimSignallingServer::closeAll(int code, const QString &reason)
{
    // Copy first: an abort reports the disconnection (and forgets the connection) at once.
    const QList<Connection> open = m_connections.values();
    for (const Connection &connection : open) {
        if (!connection.socket)
            continue;
        if (code == kAbnormalClose)
            connection.socket->abort();
        else
            connection.socket->close(QWebSocketProtocol::CloseCode(code), reason);
    }
}

void SimSignallingServer::releaseHeldRegisters()
{
    const QList<HeldRegister> held = std::exchange(m_heldRegisters, {});
    for (const HeldRegister &entry : held) {
        const auto it = m_connections.constFind(entry.connection);
        if (it == m_connections.constEnd()) {
            qCInfo(lcSim) << "held register of connection" << entry.connection << "dropped: the connection is gone";
            continue;
        }
        deliver(entry.connection, m_protocol->handle(it->peer, entry.message));
    }
}

void SimSignallingServer::releaseHeld(const QString &messageType)
{
    QList<HeldAnswer> release;
    for (auto it = m_held.begin(); it != m_held.end();) {
        if (messageType.isEmpty() || it->messageType == messageType) {
            release.append(*it);
            it = m_held.erase(it);
        } else {
            ++it;
        }
    }
    for (const HeldAnswer &held : release)
        send(held.connection, held.payload, held.bind);
}

void SimSignallingServer::shutdown()
{
    if (m_stopped)
        return;
    m_stopped = true;
    m_held.clear();
    m_heldRegisters.clear();
    const QList<int> ids = m_connections.keys();
    for (int id : ids) {
        QWebSocket *socket = m_connections.value(id).socket;
        m_connections.remove(id);
        m_control->signallingConnectionClosed();
        if (!socket)
            continue;
        socket->disconnect(this);
        // The close frame is written out before the socket goes; the simulator does not wait
        // for the client's answer.
        socket->close(QWebSocketProtocol::CloseCodeGoingAway, QStringLiteral("simulator stopping"));
        socket->flush();
        delete socket;
    }
    if (m_server) {
        m_server->close();
        delete m_server;
        m_server = nullptr;
    }
    // Connections already closed whose deferred deletion has not run yet, then the TLS sockets
    // left over (those still in the WebSocket handshake, and those the closed ones ran on).
    const auto closed = findChildren<QWebSocket *>(Qt::FindDirectChildrenOnly);
    for (QWebSocket *socket : closed) {
        socket->disconnect(this);
        delete socket;
    }
    const auto pending = findChildren<QSslSocket *>(Qt::FindDirectChildrenOnly);
    for (QSslSocket *socket : pending) {
        socket->abort();
        delete socket;
    }
}

} // namespace kelvosim
