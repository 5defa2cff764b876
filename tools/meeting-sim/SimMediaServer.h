#pragma once

// The media server ("/kelvo-media/signaling", wss on the simulator's port): the peer of the
// SDK's built-in media engine. It registers media clients, takes their publications and
// subscriptions, announces the remote participants' streams of the scenario (a camera stream
// per online member or room, and a screen share for the member named by the meeting's
// "mediaShareMemberUUID"), relays data-channel messages between the clients of a meeting, and
// sends whatever a test pushes (grades, weak network, server video on/off, hang-up causes,
// errors, channel states, engine messages). The wire protocol is in
// docs/media-server-protocol.md. Lives on the simulator thread, except SimMediaRecord.

#include "SimHttpMessage.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QSet>

#include <mutex>

class QSslSocket;
class QWebSocket;
class QWebSocketServer;

namespace kelvosim {

/// One text frame a media client sent.
struct SimMediaFrame {
    int connection = 0;
    QJsonObject message; ///< empty when the frame was not a JSON object
    QByteArray text;
};

/// What the media server received, readable from any thread.
class SimMediaRecord
{
public:
    void opened();
    void closed();
    /// Connection `id` ended with `code` (1006: without a close frame).
    void recordClose(int id, int code);
    QMap<int, int> closeCodes() const;
    void record(const SimMediaFrame &frame);
    int openClients() const;
    int clientsSoFar() const;
    /// A media connection was dropped unanswered while the server refused.
    void refused();
    int refusedSoFar() const;
    QList<SimMediaFrame> frames(int connection = -1) const;
    void clear();

private:
    mutable std::mutex m_mutex;
    int m_open = 0;
    int m_total = 0;
    int m_refused = 0;
    QList<SimMediaFrame> m_frames;
    QMap<int, int> m_closeCodes;
};

class SimMediaServer : public QObject
{
public:
    static QString path() { return QStringLiteral("/kelvo-media/signaling"); }

    SimMediaServer(SimMediaRecord *record, QObject *parent = nullptr);
    ~SimMediaServer() override;

    void setScenario(const QJsonObject &scenario) { m_scenario = scenario; }
    /// Takes an upgrade request for the media path (false for any other path).
    bool accept(QSslSocket *socket, const SimHttpRequest &head);

    /// Sends `message` to every registered client.
    void pushToAll(const QJsonObject &message);
    /// Sends `payload` as it is in one text frame to every registered client (an oversized or
    /// malformed frame, say).
    void pushRawToAll(const QByteArray &payload);
    /// While refusing, every new media connection is dropped before its upgrade is answered,
    /// as by a media server that is down; connections already open stay.
    void setRefusing(bool refusing) { m_refusing = refusing; }
    /// A stream of a remote participant for every meeting, announced now and to later clients.
    void addRemoteStream(const QString &streamId, const QString &display, bool screen);
    void removeRemoteStream(const QString &streamId);
    /// Closes every connection; 1006 aborts it without a close frame.
    void closeAll(int code);
    void shutdown();

private:
    struct Client {
        QPointer<QWebSocket> socket;
        bool registered = false;
        QString memberUuid;
        QString room; ///< regInfo "appointmentId"
        QMap<QString, QJsonObject> published; ///< stream descriptions by id
        bool closing = false; ///< a close frame went either way
    };

    void adoptPending();
    void receive(int id, const QString &text);
    void process(int id, const QJsonObject &message);
    void registerClient(int id, const QJsonObject &message);
    void forget(int id);
    void send(int id, const QJsonObject &message);
    /// Every registered client in `room` but `except`.
    QList<int> peers(const QString &room, int except) const;
    /// The streams a client of `room` sees when it registers (its own excluded).
    QList<QJsonObject> visibleStreams(const QString &room, const QString &memberUuid, int id) const;
    QJsonObject scenarioMeeting(const QString &room) const;
    static QJsonObject streamMessage(const QString &type, const QJsonObject &description);

    SimMediaRecord *m_record;
    QJsonObject m_scenario;
    QWebSocketServer *m_server = nullptr;
    QMap<int, Client> m_clients;
    QList<QJsonObject> m_extraStreams;
    QSet<QString> m_removed;
    int m_nextSession = 0;
    bool m_stopped = false;
    bool m_refusing = false;
};

} // namespace kelvosim
