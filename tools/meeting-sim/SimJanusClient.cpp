#include "SimJanusClient.h"

#include "SimLog.h"

#include <QFile>
#include <QJsonDocument>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QWebSocket>
#include <QWebSocketHandshakeOptions>

namespace kelvosim {

SimJanusClient::SimJanusClient(QString url, QString caFile, QString token, QObject *parent)
    : QObject(parent), m_url(std::move(url)), m_caFile(std::move(caFile)), m_token(std::move(token))
{
    // Janus drops a session after a minute without traffic.
    m_keepAlive.setInterval(25000);
    connect(&m_keepAlive, &QTimer::timeout, this, [this] {
        if (m_session)
            send({{QStringLiteral("janus"), QStringLiteral("keepalive")}}, {});
    });
}

SimJanusClient::~SimJanusClient()
{
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->close();
    }
}

void SimJanusClient::open()
{
    m_socket = new QWebSocket(QString(), QWebSocketProtocol::VersionLatest, this);
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    QFile ca(m_caFile);
    if (ca.open(QIODevice::ReadOnly))
        tls.addCaCertificates(QSslCertificate::fromData(ca.readAll(), QSsl::Pem));
    tls.setPeerVerifyMode(QSslSocket::VerifyPeer);
    m_socket->setSslConfiguration(tls);
    connect(m_socket, &QWebSocket::textMessageReceived, this, &SimJanusClient::received);
    connect(m_socket, &QWebSocket::disconnected, this, [this] {
        if (m_session)
            qCWarning(lcSim) << "janus feeds: the media server closed the session";
        m_session = m_handle = 0;
        m_keepAlive.stop();
    });
    connect(m_socket, &QWebSocket::connected, this, [this] {
        send({{QStringLiteral("janus"), QStringLiteral("create")}}, [this](const QJsonObject &created) {
            m_session = created.value(QLatin1String("data")).toObject().value(QLatin1String("id")).toInteger();
            if (!m_session)
                return fail(QStringLiteral("no session: ") + QString::fromUtf8(QJsonDocument(created).toJson(QJsonDocument::Compact)));
            m_keepAlive.start();
            send({{QStringLiteral("janus"), QStringLiteral("attach")}, {QStringLiteral("plugin"), QStringLiteral("janus.plugin.videoroom")}},
                 [this](const QJsonObject &attached) {
                     m_handle = attached.value(QLatin1String("data")).toObject().value(QLatin1String("id")).toInteger();
                     if (!m_handle)
                         return fail(QStringLiteral("cannot attach to the VideoRoom"));
                     auto queued = std::move(m_queued);
                     m_queued.clear();
                     for (auto &[body, answer] : queued)
                         request(body, std::move(answer));
                 });
        });
    });
    QWebSocketHandshakeOptions options;
    options.setSubprotocols({QStringLiteral("janus-protocol")});
    m_socket->open(QUrl(m_url), options);
}

void SimJanusClient::request(const QJsonObject &body, Answer answer)
{
    if (!m_handle) {
        m_queued.emplace_back(body, std::move(answer));
        return;
    }
    send({{QStringLiteral("janus"), QStringLiteral("message")}, {QStringLiteral("handle_id"), m_handle},
          {QStringLiteral("body"), body}},
         [answer = std::move(answer)](const QJsonObject &reply) {
             const QJsonObject data = reply.value(QLatin1String("plugindata")).toObject().value(QLatin1String("data")).toObject();
             QString error = reply.value(QLatin1String("error")).toObject().value(QLatin1String("reason")).toString();
             if (error.isEmpty() && data.contains(QLatin1String("error")))
                 error = data.value(QLatin1String("error")).toString();
             if (answer)
                 answer(error.isEmpty() ? data : QJsonObject(), error);
         });
}

void SimJanusClient::send(QJsonObject message, std::function<void(const QJsonObject &)> reply)
{
    const QString transaction = QStringLiteral("sim-%1").arg(++m_nextTransaction);
    message.insert(QStringLiteral("transaction"), transaction);
    message.insert(QStringLiteral("token"), m_token);
    if (m_session)
        message.insert(QStringLiteral("session_id"), m_session);
    if (reply)
        m_waiting[transaction] = std::move(reply);
    m_socket->sendTextMessage(QString::fromUtf8(QJsonDocument(message).toJson(QJsonDocument::Compact)));
}

void SimJanusClient::received(const QString &text)
{
    const QJsonObject message = QJsonDocument::fromJson(text.toUtf8()).object();
    const QString kind = message.value(QLatin1String("janus")).toString();
    // "ack" only says a request was queued; its answer comes later with the same transaction.
    if (kind == QLatin1String("ack"))
        return;
    const auto it = m_waiting.find(message.value(QLatin1String("transaction")).toString());
    if (it == m_waiting.end()) {
        if (kind == QLatin1String("event") && m_events)
            m_events(message.value(QLatin1String("plugindata")).toObject().value(QLatin1String("data")).toObject());
        return;
    }
    auto reply = std::move(it->second);
    m_waiting.erase(it);
    if (kind == QLatin1String("error") && !m_handle && !message.contains(QLatin1String("plugindata")))
        return fail(message.value(QLatin1String("error")).toObject().value(QLatin1String("reason")).toString());
    reply(message);
}

void SimJanusClient::fail(const QString &why)
{
    qCWarning(lcSim) << "janus feeds:" << why;
    m_queued.clear();
}

} // namespace kelvosim
