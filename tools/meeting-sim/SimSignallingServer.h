#pragma once

// The signalling WebSocket endpoint ("/nimbrameeting/websocket/channelwithauth", wss on the
// simulator's port). SimHttpServer hands over every upgrade request with the TLS socket;
// QWebSocketServer does the handshake; this class keeps the connections (ids 1, 2, ...),
// records every frame, lets SimSignallingProtocol decide the answers, applies the faults and
// the register mode a test set, and sends pushes. A member's first registered connection in a
// meeting makes it online for the others there, and its last one closing makes it offline
// (unless it had already left). Lives on the simulator thread.

#include "SimControl.h"
#include "SimHttpMessage.h"
#include "SimSignallingProtocol.h"

#include <QJsonObject>
#include <QMap>
#include <QObject>
#include <QPointer>

#include <memory>
#include <optional>

class QSslSocket;
class QWebSocket;
class QWebSocketServer;

namespace kelvosim {

class SimMeetingApi;

class SimSignallingServer : public QObject
{
public:
    static QString path() { return QStringLiteral("/nimbrameeting/websocket/channelwithauth"); }

    explicit SimSignallingServer(SimControl *control, QObject *parent = nullptr);
    ~SimSignallingServer() override;

    /// The live meeting state the answers come from (owned by the caller).
    void setApi(SimMeetingApi *api);

    /// Takes an upgrade request for the signalling path (false for any other path).
    bool accept(QSslSocket *socket, const SimHttpRequest &head);

    /// Pushes event `eventId` about `memberUUID` to the meeting's registered connections, except
    /// those registered as `exceptMember` when it is set.
    void pushEvent(int eventId, const QString &memberUUID, const QJsonObject &fields, const QString &meetingUUID,
                   const QString &exceptMember = {});
    void pushSummary(const QString &sessionId, const QJsonObject &fields, const QString &meetingUUID);
    /// The member goes online or offline in the live state, then the matching event is pushed.
    void setMemberOnline(const QString &memberUUID, bool online, const QString &meetingUUID);
    /// The live state of the meeting (the first when `meetingUUID` is empty).
    QJsonObject liveMeeting(const QString &meetingUUID) const { return meeting(meetingUUID); }
    void pushFrame(const QByteArray &payload, bool binary);
    /// Closes every open connection; 1006 aborts it without a close frame.
    void closeAll(int code, const QString &reason);
    void releaseHeldRegisters();
    void releaseHeld(const QString &messageType);
    /// Closes every connection (going away), drops held answers and stops taking connections.
    void shutdown();

private:
    struct Connection {
        QPointer<QWebSocket> socket;
        SimSignallingPeer peer;
        bool closing = false; ///< a close frame went either way
    };
    struct HeldAnswer {
        int connection = 0;
        QString messageType;
        QByteArray payload;
        std::optional<SimSignallingBinding> bind;
    };
    struct HeldRegister {
        int connection = 0;
        QJsonObject message;
    };

    void adoptPending();
    void receive(int id, const QByteArray &payload, bool binary);
    void process(int id, const QJsonObject &message);
    void deliver(int id, const SimSignallingOutcome &outcome);
    void send(int id, const QByteArray &payload, const std::optional<SimSignallingBinding> &bind = std::nullopt);
    void sendPush(const SimSignallingPush &push);
    void forget(int id);
    /// Whether a connection other than `except` is registered as `memberUUID` in `meetingUUID`.
    bool present(const QString &meetingUUID, const QString &memberUUID, int except) const;
    /// Tells the other registered connections of the meeting that `memberUUID` came online
    /// (or went offline), as the service does for every member.
    void announcePresence(const QString &meetingUUID, const QString &memberUUID, bool online);
    /// The meeting `meetingUUID` names, or the scenario's first meeting when it is empty.
    QJsonObject meeting(const QString &meetingUUID) const;

    SimControl *m_control;
    SimMeetingApi *m_api = nullptr;
    std::unique_ptr<SimSignallingProtocol> m_protocol;
    QWebSocketServer *m_server = nullptr;
    QMap<int, Connection> m_connections; ///< open connections by id
    QList<HeldAnswer> m_held;
    QList<HeldRegister> m_heldRegisters;
    int m_sentence = 0;
    bool m_stopped = false;
};

} // namespace kelvosim
