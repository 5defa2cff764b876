#pragma once

// One Janus session with one VideoRoom handle over the WebSocket transport, for the simulator's
// own use (its members' feeds). TLS is verified against the given CA; every request carries the
// token. Lives on the thread that made it; requests made before the handle is attached wait.

#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <map>
#include <vector>

class QWebSocket;

namespace kelvosim {

class SimJanusClient : public QObject
{
public:
    /// The VideoRoom's synchronous answer ("plugindata"."data"), or an empty object with the
    /// reason when the request failed.
    using Answer = std::function<void(const QJsonObject &data, const QString &error)>;

    SimJanusClient(QString url, QString caFile, QString token, QObject *parent = nullptr);
    ~SimJanusClient() override;

    void open();
    bool ready() const { return m_handle != 0; }
    /// Sends a VideoRoom request (`body`) on the handle; `answer` gets Janus's reply.
    void request(const QJsonObject &body, Answer answer);
    /// Gets what the VideoRoom tells the handle unasked ("plugindata"."data" of events that answer
    /// no request: talking, publishers coming and going, ...).
    void onEvent(std::function<void(const QJsonObject &data)> handler) { m_events = std::move(handler); }

private:
    void send(QJsonObject message, std::function<void(const QJsonObject &)> reply);
    void received(const QString &text);
    void fail(const QString &why);

    QString m_url;
    QString m_caFile;
    QString m_token;
    QWebSocket *m_socket = nullptr;
    QTimer m_keepAlive;
    qint64 m_session = 0;
    qint64 m_handle = 0;
    quint64 m_nextTransaction = 0;
    std::map<QString, std::function<void(const QJsonObject &)>> m_waiting;
    std::vector<std::pair<QJsonObject, Answer>> m_queued;
    std::function<void(const QJsonObject &)> m_events;
};

} // namespace kelvosim
