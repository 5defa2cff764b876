#include "SimMediaServer.h"

#include "SimLog.h"
#include "SimRecorder.h"
#include "SimScenario.h"

#include <QJsonDocument>
#include <QSslSocket>
#include <QWebSocket>
#include <QWebSocketServer>

namespace kelvosim {

namespace {

constexpr int kAbnormalClose = 1006;

QString str(const QJsonObject &object, const char *key)
{
    return SimScenario::text(object.value(QLatin1String(key)));
}

QJsonObject cameraStream(const QJsonObject &participant)
{
    const QString uuid = str(participant, "memberUUID");
    const QJsonObject callState = participant.value(QLatin1String("callState")).toObject();
    const bool audio = callState.value(QLatin1String("mute")).toInt(-1) == 0;
    const bool video = callState.value(QLatin1String("hasVideo")).toInt(-1) == 1 &&
                       callState.value(QLatin1String("vmute")).toInt(-1) == 0;
    return {{QStringLiteral("streamId"), uuid},
            {QStringLiteral("display"), str(participant, "displayName")},
            {QStringLiteral("screen"), false},
            {QStringLiteral("audio"), audio},
            {QStringLiteral("video"), video},
            {QStringLiteral("audioTrackId"), QStringLiteral("audio-") + uuid},
            {QStringLiteral("videoTrackId"), QStringLiteral("video-") + uuid}};
}

QJsonObject shareStream(const QString &streamId, const QString &display)
{
    return {{QStringLiteral("streamId"), streamId},
            {QStringLiteral("display"), display},
            {QStringLiteral("screen"), true},
            {QStringLiteral("audio"), false},
            {QStringLiteral("video"), true},
            {QStringLiteral("videoTrackId"), QStringLiteral("video-") + streamId}};
}

} // namespace

void SimMediaRecord::opened()
{
    std::lock_guard lock(m_mutex);
    ++m_open;
    ++m_total;
}

void SimMediaRecord::closed()
{
    std::lock_guard lock(m_mutex);
    --m_open;
}

void SimMediaRecord::recordClose(int id, int code)
{
    std::lock_guard lock(m_mutex);
    m_closeCodes.insert(id, code);
}

QMap<int, int> SimMediaRecord::closeCodes() const
{
    std::lock_guard lock(m_mutex);
    QMap<int, int> codes = m_closeCodes;
    codes.detach(); // copied here, under the lock (see frames())
    return codes;
}

void SimMediaRecord::record(const SimMediaFrame &frame)
{
    std::lock_guard lock(m_mutex);
    m_frames.append(frame);
}

int SimMediaRecord::openClients() const
{
    std::lock_guard lock(m_mutex);
    return m_open;
}

int SimMediaRecord::clientsSoFar() const
{
    std::lock_guard lock(m_mutex);
    return m_total;
}

void SimMediaRecord::refused()
{
    std::lock_guard lock(m_mutex);
    ++m_refused;
}

int SimMediaRecord::refusedSoFar() const
{
    std::lock_guard lock(m_mutex);
    return m_refused;
}

QList<SimMediaFrame> SimMediaRecord::frames(int connection) const
{
    // A list of its own, never one sharing its block with m_frames: a caller's copy that
    // detaches reads the shared elements while the server thread, told by a relaxed reference
    // count that the block is its own again, moves them as it grows the list.
    std::lock_guard lock(m_mutex);
    QList<SimMediaFrame> selected;
    for (const SimMediaFrame &frame : m_frames)
        if (connection < 0 || frame.connection == connection)
            selected.append(frame);
    return selected;
}

void SimMediaRecord::clear()
{
    std::lock_guard lock(m_mutex);
    m_frames.clear();
}

SimMediaServer::SimMediaServer(SimMediaRecord *record, QObject *parent) : QObject(parent), m_record(record)
{
    // The HTTPS server has terminated TLS already; the handshake runs over the plain stream.
    m_server = new QWebSocketServer(QStringLiteral("kelvo-meeting-sim media"), QWebSocketServer::NonSecureMode, this);
    connect(m_server, &QWebSocketServer::newConnection, this, [this] { adoptPending(); });
}

SimMediaServer::~SimMediaServer()
{
    shutdown();
}

bool SimMediaServer::accept(QSslSocket *socket, const SimHttpRequest &head)
{
    if (m_stopped || head.path != path())
        return false;
    if (m_refusing) {
        qCInfo(lcSim) << "media connection refused";
        m_record->refused();
        socket->abort();
        socket->deleteLater();
        return true;
    }
    socket->setParent(this);
    m_server->handleConnection(socket);
    return true;
}

void SimMediaServer::adoptPending()
{
    while (m_server->hasPendingConnections()) {
        QWebSocket *socket = m_server->nextPendingConnection();
        if (!socket)
            continue;
        socket->setParent(this);
        m_record->opened();
        const int id = m_record->clientsSoFar();
        Client client;
        client.socket = socket;
        m_clients.insert(id, client);
        qCInfo(lcSim) << "media connection" << id << "opened";
        connect(socket, &QWebSocket::textMessageReceived, this, [this, id](const QString &text) { receive(id, text); });
        connect(socket, &QWebSocket::binaryMessageReceived, this, [id](const QByteArray &data) {
            qCWarning(lcSim) << "media connection" << id << ": binary frame of" << data.size() << "bytes ignored";
        });
        // A close frame, the client's or ours, puts the socket into its closing handshake;
        // a connection that just drops never gets there.
        connect(socket, &QWebSocket::aboutToClose, this, [this, id] {
            if (const auto it = m_clients.find(id); it != m_clients.end())
                it->closing = true;
        });
        connect(socket, &QWebSocket::disconnected, this, [this, id] { forget(id); });
        if (socket->state() != QAbstractSocket::ConnectedState)
            forget(id);
    }
}

void SimMediaServer::forget(int id)
{
    const auto it = m_clients.find(id);
    if (it == m_clients.end())
        return;
    const Client client = *it;
    m_clients.erase(it);
    m_record->closed();
    const int code = client.closing && client.socket ? int(client.socket->closeCode()) : kAbnormalClose;
    m_record->recordClose(id, code);
    qCInfo(lcSim) << "media connection" << id << "closed, code" << code;
    if (client.registered) {
        for (const QJsonObject &description : client.published)
            for (int peer : peers(client.room, id))
                send(peer, streamMessage(QStringLiteral("streamRemoved"), description));
    }
    if (client.socket) {
        client.socket->disconnect(this);
        client.socket->deleteLater();
    }
}

void SimMediaServer::receive(int id, const QString &text)
{
    SimMediaFrame frame;
    frame.connection = id;
    frame.text = text.toUtf8();
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(frame.text, &error);
    if (document.isObject())
        frame.message = document.object();
    m_record->record(frame);
    if (!document.isObject()) {
        qCWarning(lcSim) << "media connection" << id << ": frame is not a JSON object" << frame.text.left(120);
        return;
    }
    process(id, frame.message);
}

void SimMediaServer::send(int id, const QJsonObject &message)
{
    const auto it = m_clients.constFind(id);
    if (it == m_clients.constEnd() || !it->socket)
        return;
    const QByteArray payload = QJsonDocument(message).toJson(QJsonDocument::Compact);
    simRecord("media", payload);
    it->socket->sendTextMessage(QString::fromUtf8(payload));
}

QList<int> SimMediaServer::peers(const QString &room, int except) const
{
    QList<int> ids;
    for (auto it = m_clients.constBegin(); it != m_clients.constEnd(); ++it)
        if (it.key() != except && it->registered && it->room == room)
            ids.append(it.key());
    return ids;
}

QJsonObject SimMediaServer::streamMessage(const QString &type, const QJsonObject &description)
{
    QJsonObject message = description;
    message.insert(QStringLiteral("type"), type);
    return message;
}

QJsonObject SimMediaServer::scenarioMeeting(const QString &room) const
{
    for (const QJsonValue &value : m_scenario.value(QLatin1String("meetings")).toArray()) {
        const QJsonObject meeting = value.toObject();
        if (str(meeting.value(QLatin1String("meetingInfo")).toObject(), "roomid") == room ||
            str(meeting, "appointmentId") == room)
            return meeting;
    }
    return {};
}

QList<QJsonObject> SimMediaServer::visibleStreams(const QString &room, const QString &memberUuid, int id) const
{
    QList<QJsonObject> streams;
    auto add = [&](const QJsonObject &description) {
        const QString streamId = str(description, "streamId");
        if (streamId.isEmpty() || m_removed.contains(streamId) || streamId == memberUuid ||
            streamId == QStringLiteral("screen-") + memberUuid)
            return;
        streams.append(description);
    };
    const QJsonObject meeting = scenarioMeeting(room);
    QMap<QString, QString> names;
    for (const char *list : {"members", "rooms"}) {
        for (const QJsonValue &value : meeting.value(QLatin1String(list)).toArray()) {
            const QJsonObject participant = value.toObject();
            names.insert(str(participant, "memberUUID"), str(participant, "displayName"));
            if (participant.value(QLatin1String("callState")).toObject().value(QLatin1String("online")).toInt() == 1)
                add(cameraStream(participant));
        }
    }
    const QString sharer = str(meeting, "mediaShareMemberUUID");
    if (!sharer.isEmpty())
        add(shareStream(QStringLiteral("screen-") + sharer,
                        QString::fromLatin1(names.value(sharer, sharer).toUtf8().toBase64())));
    for (const QJsonObject &description : m_extraStreams)
        add(description);
    for (auto it = m_clients.constBegin(); it != m_clients.constEnd(); ++it)
        if (it.key() != id && it->registered && it->room == room)
            for (const QJsonObject &description : it->published)
                streams.append(description);
    return streams;
}

void SimMediaServer::registerClient(int id, const QJsonObject &message)
{
    Client &client = m_clients[id];
    const QJsonObject regInfo = message.value(QLatin1String("regInfo")).toObject();
    client.memberUuid = str(regInfo, "memberUuid");
    client.room = str(regInfo, "appointmentId");
    if (client.memberUuid.isEmpty()) {
        send(id, {{QStringLiteral("type"), QStringLiteral("error")},
                  {QStringLiteral("responseCode"), 400},
                  {QStringLiteral("reason"), QStringLiteral("regInfo has no memberUuid")}});
        return;
    }
    client.registered = true;
    const QString session = QStringLiteral("sim-media-session-%1").arg(++m_nextSession);
    send(id, {{QStringLiteral("type"), QStringLiteral("registered")}, {QStringLiteral("mediaSessionId"), session}});
    for (const QJsonObject &description : visibleStreams(client.room, client.memberUuid, id))
        send(id, streamMessage(QStringLiteral("streamAdded"), description));
}

void SimMediaServer::process(int id, const QJsonObject &message)
{
    const auto it = m_clients.find(id);
    if (it == m_clients.end())
        return;
    const QString type = str(message, "type");
    const QString streamId = str(message, "streamId");
    if (type == QLatin1String("register")) {
        registerClient(id, message);
        return;
    }
    if (!it->registered) {
        send(id, {{QStringLiteral("type"), QStringLiteral("error")},
                  {QStringLiteral("responseCode"), 401},
                  {QStringLiteral("reason"), QStringLiteral("%1 before register").arg(type)}});
        return;
    }
    const QString room = it->room;
    if (type == QLatin1String("publish")) {
        if (streamId.isEmpty())
            return;
        QJsonObject description = message;
        description.remove(QStringLiteral("type"));
        it->published.insert(streamId, description);
        send(id, {{QStringLiteral("type"), QStringLiteral("published")}, {QStringLiteral("streamId"), streamId}});
        for (int peer : peers(room, id))
            send(peer, streamMessage(QStringLiteral("streamAdded"), description));
    } else if (type == QLatin1String("unpublish")) {
        const QJsonObject description = it->published.take(streamId);
        send(id, {{QStringLiteral("type"), QStringLiteral("unpublished")}, {QStringLiteral("streamId"), streamId}});
        if (!description.isEmpty())
            for (int peer : peers(room, id))
                send(peer, streamMessage(QStringLiteral("streamRemoved"), description));
    } else if (type == QLatin1String("subscribe") || type == QLatin1String("unsubscribe")) {
        send(id, {{QStringLiteral("type"), type + QLatin1String("d")}, {QStringLiteral("streamId"), streamId}});
    } else if (type == QLatin1String("streamVideo")) {
        const bool enabled = message.value(QLatin1String("enabled")).toBool();
        send(id, {{QStringLiteral("type"), enabled ? QStringLiteral("videoOn") : QStringLiteral("videoOff")},
                  {QStringLiteral("streamId"), streamId}});
    } else if (type == QLatin1String("data")) {
        const QJsonObject relayed{{QStringLiteral("type"), QStringLiteral("data")},
                                  {QStringLiteral("from"), it->memberUuid},
                                  {QStringLiteral("data"), message.value(QLatin1String("data"))}};
        for (int peer : peers(room, id))
            send(peer, relayed);
    } else if (type == QLatin1String("iceRestart")) {
        send(id, {{QStringLiteral("type"), QStringLiteral("iceRestarted")}});
    } else if (type == QLatin1String("bye") || type == QLatin1String("hdVideo") ||
               type == QLatin1String("layers") || type == QLatin1String("config")) {
        // Recorded only.
    } else {
        qCInfo(lcSim) << "media connection" << id << ": unknown message" << type;
    }
}

void SimMediaServer::pushToAll(const QJsonObject &message)
{
    for (auto it = m_clients.constBegin(); it != m_clients.constEnd(); ++it)
        if (it->registered)
            send(it.key(), message);
}

void SimMediaServer::pushRawToAll(const QByteArray &payload)
{
    const QString text = QString::fromUtf8(payload);
    for (auto it = m_clients.constBegin(); it != m_clients.constEnd(); ++it)
        if (it->registered && it->socket)
            it->socket->sendTextMessage(text);
}

void SimMediaServer::addRemoteStream(const QString &streamId, const QString &display, bool screen)
{
    QJsonObject description;
    if (screen) {
        description = shareStream(streamId, display);
    } else {
        description = cameraStream({{QStringLiteral("memberUUID"), streamId},
                                    {QStringLiteral("displayName"), display},
                                    {QStringLiteral("callState"),
                                     QJsonObject{{QStringLiteral("mute"), 0},
                                                 {QStringLiteral("hasVideo"), 1},
                                                 {QStringLiteral("vmute"), 0}}}});
    }
    m_removed.remove(streamId);
    m_extraStreams.removeIf([&](const QJsonObject &known) { return str(known, "streamId") == streamId; });
    m_extraStreams.append(description);
    pushToAll(streamMessage(QStringLiteral("streamAdded"), description));
}

void SimMediaServer::removeRemoteStream(const QString &streamId)
{
    m_extraStreams.removeIf([&](const QJsonObject &known) { return str(known, "streamId") == streamId; });
    m_removed.insert(streamId);
    pushToAll({{QStringLiteral("type"), QStringLiteral("streamRemoved")}, {QStringLiteral("streamId"), streamId}});
}

void SimMediaServer::closeAll(int code)
{
    const QList<Client> open = m_clients.values();
    for (const Client &client : open) {
        if (!client.socket)
            continue;
        if (code == kAbnormalClose)
            client.socket->abort();
        else
            client.socket->close(QWebSocketProtocol::CloseCode(code), QStringLiteral("closed by the simulator"));
    }
}

void SimMediaServer::shutdown()
{
    if (m_stopped)
        return;
    m_stopped = true;
    const QList<int> ids = m_clients.keys();
    for (int id : ids) {
        QPointer<QWebSocket> socket = m_clients.value(id).socket;
        forget(id);
        if (socket)
            socket->abort();
    }
    m_server->close();
}

} // namespace kelvosim
