#include "media/builtin/KLBuiltinMediaConnection.h"

#include "media/KLRTCMediaLogging.h"
#include "media/builtin/KLBuiltinMediaStream.h"
#include "media/builtin/KLBuiltinMessageManager.h"
#include "media/builtin/KLBuiltinStableHash.h"
#include "runtime/KLDispatchQueue.h"
#include "runtime/KLHttpSession.h"
#include "runtime/KLWebSocketClose.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QWebSocket>

#include <utility>

namespace {

constexpr qint64 kMaxMessageBytes = 4 * 1024 * 1024;

QString text(const QJsonObject &object, const char *key)
{
    return object.value(QLatin1String(key)).toString();
}

QString ssrcOf(const QString &trackId)
{
    return QString::number(KLBuiltinStableHash(trackId) & 0x7fffffffu);
}

QString compact(const QJsonObject &object)
{
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

/// Why a socket went: a close frame's code (1009 for a frame too large) says more than the
/// socket error that comes with it, which is "unknown" for a clean close.
QString dropReason(const QWebSocket &socket)
{
    if (socket.closeCode() != QWebSocketProtocol::CloseCodeNormal
        || socket.error() == QAbstractSocket::UnknownSocketError) {
        return QStringLiteral("closed with code %1 %2").arg(int(socket.closeCode())).arg(socket.closeReason());
    }
    return socket.errorString();
}

/// The message without its "type": the payload of the dictionary events.
QJsonObject payloadOf(QJsonObject message)
{
    message.remove(QStringLiteral("type"));
    return message;
}

} // namespace

std::shared_ptr<KLBuiltinMediaConnection>
KLBuiltinMediaConnection::create(const QJsonObject &connectionParam, bool openDataChannel, bool useSimulcast,
                                 std::weak_ptr<KLRTCMediaConnectionDelegate> delegate,
                                 std::shared_ptr<KLDispatchQueue> engineQueue,
                                 std::shared_ptr<KLBuiltinMessageManager> messages)
{
    return std::shared_ptr<KLBuiltinMediaConnection>(new KLBuiltinMediaConnection(
        connectionParam, openDataChannel, useSimulcast, std::move(delegate), std::move(engineQueue),
        std::move(messages)));
}

static QString chooseDisplayName(const QJsonObject &param)
{
    const QJsonObject regInfo = param.value(QLatin1String("rtcWsRegInfo")).toObject().value(QLatin1String("regInfo")).toObject();
    const QJsonObject bizInfo = param.value(QLatin1String("bizInfo")).toObject();
    for (const QString &candidate : {text(param, "displayName"), text(bizInfo, "display"),
                                     text(bizInfo, "displayName"),
                                     text(regInfo, "displayName"), text(regInfo, "memberUuid")}) {
        if (!candidate.isEmpty())
            return candidate;
    }
    return QString();
}

KLBuiltinMediaConnection::KLBuiltinMediaConnection(const QJsonObject &param, bool openDataChannel,
                                                   bool useSimulcast,
                                                   std::weak_ptr<KLRTCMediaConnectionDelegate> delegate,
                                                   std::shared_ptr<KLDispatchQueue> engineQueue,
                                                   std::shared_ptr<KLBuiltinMessageManager> messages)
    : KLMediaConnectionBase(std::move(delegate), QStringLiteral("com.kelvo.media.connection")),
      m_url(param.value(QLatin1String("rtcWsRegInfo")).toObject().value(QLatin1String("signalingServer")).toString()),
      m_caFile(text(param, "caFile")),
      m_regInfo(param.value(QLatin1String("rtcWsRegInfo")).toObject().value(QLatin1String("regInfo")).toObject()),
      m_bizInfo(param.value(QLatin1String("bizInfo")).toObject()),
      m_displayName(chooseDisplayName(param)),
      m_openDataChannel(openDataChannel),
      m_useSimulcast(useSimulcast),
      m_multiScreen(param.value(QLatin1String("isMultiScreen")).toBool()),
      m_engineQueue(std::move(engineQueue)),
      m_messages(std::move(messages))
{
}

KLBuiltinMediaConnection::~KLBuiltinMediaConnection()
{
    QWebSocket *socket = m_socket;
    if (!socket)
        return;
    if (m_queue->isCurrent()) {
        // Possibly inside one of the socket's own signals: it goes when the queue is idle.
        socket->disconnect();
        socket->deleteLater();
    } else {
        m_queue->sync([socket] { delete socket; });
    }
}

QString KLBuiltinMediaConnection::memberUuid() const
{
    return text(m_regInfo, "memberUuid");
}

void KLBuiltinMediaConnection::setAecDumpFlagForTest(bool enabled)
{
    KL_ENGINE_LOG(4, QStringLiteral("echo-cancellation dump %1 (nothing to dump: the audio is synthetic)")
                         .arg(enabled ? QStringLiteral("on") : QStringLiteral("off")));
}

void KLBuiltinMediaConnection::connect()
{
    onQueue([](KLBuiltinMediaConnection &c) { c.openSocket(false); });
}

void KLBuiltinMediaConnection::connectIceRestart()
{
    onQueue([](KLBuiltinMediaConnection &c) {
        if (c.m_released)
            return;
        if (c.m_socket && c.m_socket->state() == QAbstractSocket::ConnectedState && c.m_registered) {
            c.m_webrtcUp = false;
            c.send({{QStringLiteral("type"), QStringLiteral("iceRestart")}});
        } else if (c.connecting()) {
            // The socket being opened registers and republishes: that is the restart.
            KL_ENGINE_LOG(4, QStringLiteral("ICE restart: the media server connection is being made already"));
        } else {
            // Also cuts a reconnect back-off short: the waiting attempt no longer counts.
            c.openSocket(true);
        }
    });
}

void KLBuiltinMediaConnection::openSocket(bool restart)
{
    if (m_released)
        return;
    if (!m_url.isValid() || m_url.scheme() != QLatin1String("wss")) {
        KL_ENGINE_LOG(8, QStringLiteral("media server address %1 is not a wss URL").arg(m_url.toString()));
        raise(KLRTCMediaEventIceFailed, KLRTCMediaEventInfo::fromDictionary(
                                            {{QStringLiteral("reason"), QStringLiteral("no media server address")}}));
        return;
    }
    const quint64 generation = ++m_generation;
    if (m_socket) {
        m_socket->disconnect();
        m_socket->abort();
        m_socket->deleteLater();
    }
    m_registered = false;
    m_webrtcUp = false;
    m_socket = new QWebSocket(QString(), QWebSocketProtocol::VersionLatest);
    m_socket->setMaxAllowedIncomingMessageSize(kMaxMessageBytes);
    m_socket->setSslConfiguration(KLHttpSession::shared().tlsConfiguration(m_caFile));
    std::weak_ptr<KLBuiltinMediaConnection> weak = self();
    QWebSocket *socket = m_socket;
    QObject::connect(socket, &QWebSocket::connected, socket, [weak, generation] {
        if (auto c = weak.lock())
            c->didOpen(generation);
    });
    QObject::connect(socket, &QWebSocket::textMessageReceived, socket, [weak, generation](const QString &text) {
        if (auto c = weak.lock())
            c->didReceive(generation, text);
    });
    QObject::connect(socket, &QWebSocket::binaryMessageReceived, socket, [](const QByteArray &data) {
        KL_ENGINE_LOG(2, QStringLiteral("binary media server frame of %1 bytes ignored").arg(data.size()));
    });
    QObject::connect(socket, &QWebSocket::disconnected, socket, [weak, generation, socket] {
        if (auto c = weak.lock())
            c->didDrop(generation, dropReason(*socket));
    });
    QObject::connect(socket, qOverload<QAbstractSocket::SocketError>(&QWebSocket::error), socket, [weak, generation, socket] {
        if (auto c = weak.lock())
            c->didDrop(generation, dropReason(*socket));
    });
    QObject::connect(socket, &QWebSocket::sslErrors, socket, [](const QList<QSslError> &errors) {
        for (const QSslError &error : errors)
            KL_ENGINE_LOG(8, QStringLiteral("media server TLS: %1").arg(error.errorString()));
    });
    KL_ENGINE_LOG(4, QStringLiteral("%1 media server %2").arg(restart ? QStringLiteral("reconnecting to")
                                                                       : QStringLiteral("connecting to"),
                                                               m_url.toString()));
    socket->open(m_url);
}

void KLBuiltinMediaConnection::didOpen(quint64 generation)
{
    if (generation != m_generation || m_released)
        return;
    sendRegister();
}

void KLBuiltinMediaConnection::sendRegister()
{
    send({{QStringLiteral("type"), QStringLiteral("register")},
          {QStringLiteral("regInfo"), m_regInfo},
          {QStringLiteral("bizInfo"), m_bizInfo},
          {QStringLiteral("displayName"), m_displayName},
          {QStringLiteral("openDataChannel"), m_openDataChannel},
          {QStringLiteral("simulcast"), m_useSimulcast}});
}

void KLBuiltinMediaConnection::didDrop(quint64 generation, const QString &why)
{
    // An error and the close that follows it are one loss.
    if (generation != m_generation || m_released || m_droppedGeneration == generation)
        return;
    m_droppedGeneration = generation;
    KL_ENGINE_LOG(8, QStringLiteral("media server connection lost: %1").arg(why));
    m_registered = false;
    m_webrtcUp = false;
    // The server forgets a connection's subscriptions with it; the streams it announces again
    // after the next registration are subscribed anew.
    for (const auto &stream : std::as_const(m_remote))
        stream->setSubscribed(false);
    m_withdrawn.clear();
    if (m_channelOpen) {
        m_channelOpen = false;
        raise(KLRTCMediaEventMediaSignalingState,
              KLRTCMediaEventInfo::fromDictionary({{QStringLiteral("action"), QStringLiteral("networkAction")},
                                                   {QStringLiteral("isOpen"), false}}));
    }
    // One loss is one ICE failure; the attempts to win it back fail quietly until they give up.
    if (!m_reconnecting)
        raise(KLRTCMediaEventIceFailed, KLRTCMediaEventInfo::fromDictionary({{QStringLiteral("reason"), why}}));
    // A connection that was never registered is the meeting's to retry (it refreshes).
    if (m_everConnected)
        scheduleReconnect();
}

void KLBuiltinMediaConnection::didReceive(quint64 generation, const QString &text)
{
    if (generation != m_generation || m_released)
        return;
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8(), &error);
    if (!document.isObject()) {
        KL_ENGINE_LOG(8, QStringLiteral("media server frame is not a JSON object (%1)").arg(error.errorString()));
        return;
    }
    handle(document.object());
}

void KLBuiltinMediaConnection::receiveFrameForTest(const QString &text)
{
    m_queue->sync([this, &text] { didReceive(m_generation, text); });
}

void KLBuiltinMediaConnection::send(const QJsonObject &message)
{
    if (!m_socket || m_socket->state() != QAbstractSocket::ConnectedState) {
        KL_ENGINE_LOG(2, QStringLiteral("media server not connected, %1 dropped").arg(text(message, "type")));
        return;
    }
    m_socket->sendTextMessage(compact(message));
}

void KLBuiltinMediaConnection::handle(const QJsonObject &message)
{
    const QString type = text(message, "type");
    const QString streamId = text(message, "streamId");
    if (type == QLatin1String("registered")) {
        m_registered = true;
        if (m_reconnecting)
            KL_ENGINE_LOG(4, QStringLiteral("media server registration won back after %1 attempt(s)")
                                 .arg(m_reconnectAttempts));
        m_reconnecting = false;
        m_reconnectAttempts = 0;
        m_mediaSessionId = text(message, "mediaSessionId");
        const bool first = !m_everConnected;
        m_everConnected = true;
        if (first)
            raise(KLRTCMediaEventConnected);
        if (!m_channelOpen) {
            m_channelOpen = true;
            raise(KLRTCMediaEventMediaSignalingState,
                  KLRTCMediaEventInfo::fromDictionary({{QStringLiteral("action"), QStringLiteral("networkAction")},
                                                       {QStringLiteral("isOpen"), true}}));
        }
        if (!m_mediaSessionId.isEmpty())
            raise(KLRTCMediaEventMediaSessionId, KLRTCMediaEventInfo::fromDictionary(
                                                     {{QStringLiteral("mediaSessionId"), m_mediaSessionId}}));
        // Streams published before (or across a reconnect) go out now.
        for (const auto &stream : std::as_const(m_published))
            sendPublish(stream);
    } else if (type == QLatin1String("published")) {
        const auto stream = m_published.value(streamId);
        if (!stream) {
            KL_ENGINE_LOG(2, QStringLiteral("published %1: not ours").arg(streamId));
            return;
        }
        // A meeting's path is up with its camera or placeholder; a cast sends only the screen.
        if ((!stream->hasScreen() || m_multiScreen) && !m_webrtcUp) {
            m_webrtcUp = true;
            raise(KLRTCMediaEventIceGatheringStage, KLRTCMediaEventInfo::fromValue(QStringLiteral("complete")));
            raise(KLRTCMediaEventWebrtcUp);
        }
    } else if (type == QLatin1String("iceRestarted")) {
        if (!m_webrtcUp && !m_published.isEmpty()) {
            m_webrtcUp = true;
            raise(KLRTCMediaEventWebrtcUp);
        }
    } else if (type == QLatin1String("unpublished")) {
        KL_ENGINE_LOG(4, QStringLiteral("unpublished %1").arg(streamId));
    } else if (type == QLatin1String("streamAdded")) {
        handleStreamAdded(message);
    } else if (type == QLatin1String("streamRemoved")) {
        const auto stream = m_remote.take(streamId);
        if (!stream)
            return;
        // Its media stops now; the subscription ends when the server confirms the
        // unsubscription the SDK answers a removal with.
        stream->setSubscribed(false);
        m_withdrawn.insert(streamId, stream);
        raise(KLRTCMediaEventStreamRemoved, KLRTCMediaEventInfo::fromStream(stream));
    } else if (type == QLatin1String("subscribed") || type == QLatin1String("unsubscribed")) {
        const bool subscribed = type == QLatin1String("subscribed");
        // A withdrawn stream's unsubscription is answered for the withdrawn object, even when
        // a stream of the same id was announced again meanwhile.
        const auto withdrawn = subscribed ? nullptr : m_withdrawn.take(streamId);
        const auto stream = withdrawn ? withdrawn : remote(streamId);
        if (!stream) {
            KL_ENGINE_LOG(2, QStringLiteral("%1 %2: no such stream").arg(type, streamId));
            return;
        }
        stream->setSubscribed(subscribed);
        raise(subscribed ? KLRTCMediaEventStreamSubscribed : KLRTCMediaEventStreamUnsubscribed,
              KLRTCMediaEventInfo::fromStream(stream));
    } else if (type == QLatin1String("videoOn") || type == QLatin1String("videoOff")) {
        const bool on = type == QLatin1String("videoOn");
        if (const auto stream = remote(streamId))
            stream->setServerVideo(on);
        raise(on ? KLRTCMediaEventServerVideoOn : KLRTCMediaEventServerVideoOff,
              KLRTCMediaEventInfo::fromStreamId(streamId));
    } else if (type == QLatin1String("grade")) {
        raise(KLRTCMediaEventNetworkGrade, KLRTCMediaEventInfo::fromDictionary(payloadOf(message)));
    } else if (type == QLatin1String("weakNetwork")) {
        raise(KLRTCMediaEventWeakNetwork, KLRTCMediaEventInfo::fromDictionary(payloadOf(message)));
    } else if (type == QLatin1String("data")) {
        if (!message.value(QLatin1String("data")).isObject()) {
            KL_ENGINE_LOG(8, QStringLiteral("data message without a dictionary ignored"));
            return;
        }
        raise(KLRTCMediaEventDataChannelMessage,
              KLRTCMediaEventInfo::fromDictionary(message.value(QLatin1String("data")).toObject()));
    } else if (type == QLatin1String("hangup")) {
        raise(KLRTCMediaEventHangupCause, KLRTCMediaEventInfo::fromDictionary(payloadOf(message)));
    } else if (type == QLatin1String("error")) {
        raise(KLRTCMediaEventMediaSignalingError, KLRTCMediaEventInfo::fromDictionary(payloadOf(message)));
    } else if (type == QLatin1String("signalError")) {
        raise(KLRTCMediaEventSignalError, KLRTCMediaEventInfo::fromDictionary(payloadOf(message)));
    } else if (type == QLatin1String("iceFailed")) {
        m_webrtcUp = false;
        raise(KLRTCMediaEventIceFailed, KLRTCMediaEventInfo::fromDictionary(payloadOf(message)));
    } else if (type == QLatin1String("channelState")) {
        raise(KLRTCMediaEventMediaSignalingState, KLRTCMediaEventInfo::fromDictionary(payloadOf(message)));
    } else if (type == QLatin1String("iceGatheringStage")) {
        const QJsonValue stage = message.value(QLatin1String("stage"));
        raise(KLRTCMediaEventIceGatheringStage,
              stage.isUndefined() ? KLRTCMediaEventInfo::none() : KLRTCMediaEventInfo::fromValue(stage));
    } else if (type == QLatin1String("mediaSession")) {
        m_mediaSessionId = text(message, "mediaSessionId");
        raise(KLRTCMediaEventMediaSessionId, KLRTCMediaEventInfo::fromDictionary(payloadOf(message)));
    } else if (type == QLatin1String("engineMessage") || type == QLatin1String("rtcLog") ||
               type == QLatin1String("mediaError")) {
        handleEngineMessage(type, message);
    } else {
        KL_ENGINE_LOG(2, QStringLiteral("media server message %1 ignored").arg(type));
    }
}

void KLBuiltinMediaConnection::handleStreamAdded(const QJsonObject &message)
{
    const std::optional<KLBuiltinStreamDescription> description = KLBuiltinStreamDescription::fromJson(message);
    if (!description) {
        KL_ENGINE_LOG(8, QStringLiteral("streamAdded without a stream id ignored"));
        return;
    }
    if (m_published.contains(description->streamId))
        return; // our own stream, echoed
    std::shared_ptr<KLBuiltinMediaStream> stream = m_remote.value(description->streamId);
    if (!stream) {
        stream = KLBuiltinMediaStream::createRemote(m_engineQueue, *description);
        m_remote.insert(description->streamId, stream);
    }
    raise(KLRTCMediaEventStreamAdded, KLRTCMediaEventInfo::fromStream(stream));
}

void KLBuiltinMediaConnection::handleEngineMessage(const QString &type, const QJsonObject &message)
{
    if (!m_messages)
        return;
    if (type == QLatin1String("engineMessage"))
        m_messages->deliverMessage(message.value(QLatin1String("msgType")).toInt());
    else if (type == QLatin1String("rtcLog"))
        m_messages->deliverRTCLog(text(message, "line"));
    else
        m_messages->deliverMediaError(message.value(QLatin1String("code")).toInt(),
                                      message.value(QLatin1String("reason")).toInt());
}

std::shared_ptr<KLBuiltinMediaStream> KLBuiltinMediaConnection::remote(const QString &streamId) const
{
    return m_remote.value(streamId);
}

void KLBuiltinMediaConnection::disconnect()
{
    // The block keeps the connection: the meeting lets go of it right after this call, and
    // the goodbye must still be said. The socket then closes on its own (KLWebSocketClose),
    // keeping the queue until the server has answered, so neither the destructor (code 1001)
    // nor the host's exit cuts the "bye" and the close off.
    m_queue->async([self = self()] {
        KLBuiltinMediaConnection &c = *self;
        if (c.m_released)
            return;
        c.m_released = true;
        ++c.m_generation; // nothing the socket says from now on counts
        if (c.m_socket && c.m_socket->state() == QAbstractSocket::ConnectedState)
            c.send({{QStringLiteral("type"), QStringLiteral("bye")}});
        KLWebSocketClose::closeAndRelease(std::exchange(c.m_socket, nullptr), c.m_queue,
                                          QStringLiteral("disconnect"), QStringLiteral("KLBuiltinMediaConnection"));
        for (const auto &stream : std::as_const(c.m_remote))
            stream->setSubscribed(false);
        c.m_remote.clear();
        c.m_withdrawn.clear();
        c.m_published.clear();
        c.raise(KLRTCMediaEventConnectionReleased);
    });
}

void KLBuiltinMediaConnection::sendPublish(const std::shared_ptr<KLBuiltinMediaStream> &stream)
{
    if (!m_registered)
        return; // sent once registered
    QJsonObject message = stream->description().toJson();
    message.insert(QStringLiteral("type"), QStringLiteral("publish"));
    send(message);
}

void KLBuiltinMediaConnection::publishStream(const std::shared_ptr<KLRTCMediaStream> &stream)
{
    auto local = std::dynamic_pointer_cast<KLBuiltinMediaStream>(stream);
    if (!local || !local->isLocal()) {
        KL_ENGINE_LOG(8, QStringLiteral("publishStream: not a local stream of this engine"));
        return;
    }
    onQueue([local](KLBuiltinMediaConnection &c) {
        if (c.m_released)
            return;
        const QString uuid = c.memberUuid();
        const QString id = local->hasScreen() ? QStringLiteral("screen-") + uuid : uuid;
        // A share carries its publisher's name in Base64, as the receivers expect.
        const QString display = local->hasScreen() ? QString::fromLatin1(c.m_displayName.toUtf8().toBase64())
                                                   : c.m_displayName;
        local->assignPublication(id, display);
        c.m_published.insert(id, local);
        c.sendPublish(local);
    });
}

void KLBuiltinMediaConnection::unPublishStream(const std::shared_ptr<KLRTCMediaStream> &stream)
{
    if (!stream)
        return;
    const QString id = stream->getID();
    onQueue([id](KLBuiltinMediaConnection &c) {
        if (!c.m_published.remove(id))
            return;
        c.send({{QStringLiteral("type"), QStringLiteral("unpublish")}, {QStringLiteral("streamId"), id}});
    });
}

void KLBuiltinMediaConnection::subscribe(const std::shared_ptr<KLRTCMediaStream> &stream)
{
    if (!stream)
        return;
    const QString id = stream->getID();
    onQueue([id](KLBuiltinMediaConnection &c) {
        if (!c.m_remote.contains(id)) {
            KL_ENGINE_LOG(2, QStringLiteral("subscribe %1: no such remote stream").arg(id));
            return;
        }
        c.send({{QStringLiteral("type"), QStringLiteral("subscribe")}, {QStringLiteral("streamId"), id}});
    });
}

void KLBuiltinMediaConnection::unsubscribe(const std::shared_ptr<KLRTCMediaStream> &stream)
{
    if (!stream)
        return;
    const QString id = stream->getID();
    onQueue([id](KLBuiltinMediaConnection &c) {
        // A stream the server removed is unsubscribed too, so that the server can let go of
        // what it kept for it; its answer ends the subscription here.
        if (!c.m_remote.contains(id) && !c.m_withdrawn.contains(id)) {
            KL_ENGINE_LOG(2, QStringLiteral("unsubscribe %1: no such remote stream").arg(id));
            return;
        }
        c.send({{QStringLiteral("type"), QStringLiteral("unsubscribe")}, {QStringLiteral("streamId"), id}});
    });
}

void KLBuiltinMediaConnection::muteSpeaker(bool muted)
{
    onQueue([muted](KLBuiltinMediaConnection &c) { c.m_speakerMuted = muted; });
}

void KLBuiltinMediaConnection::enableHDVideo(const QString &streamId)
{
    onQueue([streamId](KLBuiltinMediaConnection &c) {
        c.send({{QStringLiteral("type"), QStringLiteral("hdVideo")}, {QStringLiteral("streamId"), streamId}});
    });
}

void KLBuiltinMediaConnection::streamVideo(const std::shared_ptr<KLRTCMediaStream> &stream, bool enabled)
{
    if (!stream)
        return;
    const QString id = stream->getID();
    onQueue([id, enabled](KLBuiltinMediaConnection &c) {
        c.send({{QStringLiteral("type"), QStringLiteral("streamVideo")},
                {QStringLiteral("streamId"), id},
                {QStringLiteral("enabled"), enabled}});
    });
}

void KLBuiltinMediaConnection::changeAudioInputDevice(const QString &deviceId)
{
    std::lock_guard lock(m_mutex);
    m_audioInput = deviceId;
}

void KLBuiltinMediaConnection::changeAudioOutputDevice(const QString &deviceId)
{
    std::lock_guard lock(m_mutex);
    m_audioOutput = deviceId;
}

void KLBuiltinMediaConnection::changeVideoInputDevice(const QString &deviceId, int width, int height)
{
    KL_ENGINE_LOG(4, QStringLiteral("camera %1 at %2x%3").arg(deviceId).arg(width).arg(height));
    std::lock_guard lock(m_mutex);
    m_videoInput = deviceId;
}

void KLBuiltinMediaConnection::sendData(const QJsonObject &data)
{
    onQueue([data](KLBuiltinMediaConnection &c) {
        if (!c.m_openDataChannel) {
            KL_ENGINE_LOG(2, QStringLiteral("sendData without a data channel dropped"));
            return;
        }
        c.send({{QStringLiteral("type"), QStringLiteral("data")}, {QStringLiteral("data"), data}});
    });
}

void KLBuiltinMediaConnection::videoStreamActionWithMain(bool main, bool small, bool hasScreen,
                                                         const QJsonValue &screen)
{
    onQueue([=](KLBuiltinMediaConnection &c) {
        c.send({{QStringLiteral("type"), QStringLiteral("layers")},
                {QStringLiteral("main"), main},
                {QStringLiteral("small"), small},
                {QStringLiteral("hasScreen"), hasScreen},
                {QStringLiteral("screen"), screen}});
    });
}

void KLBuiltinMediaConnection::setConfigIntVar(int variable, int value)
{
    onQueue([variable, value](KLBuiltinMediaConnection &c) {
        c.send({{QStringLiteral("type"), QStringLiteral("config")},
                {QStringLiteral("variable"), variable},
                {QStringLiteral("value"), value}});
    });
}

QJsonObject KLBuiltinMediaConnection::getSpeakerDeviceStatus()
{
    std::lock_guard lock(m_mutex);
    return {{QStringLiteral("micDeviceId"), m_audioInput},
            {QStringLiteral("speakerDeviceId"), m_audioOutput},
            {QStringLiteral("cameraDeviceId"), m_videoInput}};
}

void KLBuiltinMediaConnection::getStatusForMedia(const QString &media, KLRTCMediaStatusHandler completionHandler)
{
    if (!completionHandler)
        return;
    std::weak_ptr<KLBuiltinMediaConnection> weak = self();
    m_queue->async([weak, media, completionHandler] {
        auto c = weak.lock();
        completionHandler(c ? c->statistics(media) : QJsonObject());
    });
}

QJsonObject KLBuiltinMediaConnection::statistics(const QString &media) const
{
    QJsonArray audio, video;
    qint64 sendKbps = 0;
    auto add = [&](const std::shared_ptr<KLBuiltinMediaStream> &stream, bool sending) {
        const KLBuiltinStreamDescription d = stream->description();
        const qint64 ms = stream->mediaMilliseconds();
        if (!d.audioTrackId.isEmpty()) {
            QJsonObject entry{{QStringLiteral("ssrc"), ssrcOf(d.audioTrackId)},
                              {QStringLiteral("trackId"), d.audioTrackId},
                              {QStringLiteral("sendAudio"), sending}};
            if (sending) {
                entry.insert(QStringLiteral("iLevel"), stream->audioLevel());
                entry.insert(QStringLiteral("pktsSent"), d.audio ? ms / 20 : 0);
                entry.insert(QStringLiteral("bytesSent"), d.audio ? ms * 4 : 0);
                sendKbps += d.audio ? 32 : 0;
            } else {
                entry.insert(QStringLiteral("oLevel"), m_speakerMuted ? 0 : stream->audioLevel());
                entry.insert(QStringLiteral("accRate"), 0);
                entry.insert(QStringLiteral("expRate"), 0);
                entry.insert(QStringLiteral("curDelayMs"), 60);
                entry.insert(QStringLiteral("jitBufMs"), 40);
                entry.insert(QStringLiteral("preJitBufMs"), 40);
                entry.insert(QStringLiteral("flushedBuf"), 0);
                entry.insert(QStringLiteral("sndDecRate"), 0);
                entry.insert(QStringLiteral("speechExpRate"), 0);
            }
            audio.append(entry);
        }
        if (!d.videoTrackId.isEmpty()) {
            const int fps = d.video ? 1000 / KLBuiltinMediaStream::kFrameIntervalMs : 0;
            QJsonObject entry{{QStringLiteral("ssrc"), ssrcOf(d.videoTrackId)},
                              {QStringLiteral("trackId"), d.videoTrackId},
                              {QStringLiteral("sendVideo"), sending && !d.screen},
                              {QStringLiteral("sendScreen"), sending && d.screen},
                              {QStringLiteral("width"), KLBuiltinVideoPattern::kWidth},
                              {QStringLiteral("height"), KLBuiltinVideoPattern::kHeight}};
            if (sending) {
                entry.insert(QStringLiteral("sentFR"), fps);
                entry.insert(QStringLiteral("encodeFR"), fps);
                entry.insert(QStringLiteral("pktsSent"), d.video ? ms * fps / 1000 * 3 : 0);
                sendKbps += d.video ? 300 : 0;
            } else {
                entry.insert(QStringLiteral("recvFR"), fps);
                entry.insert(QStringLiteral("decFR"), fps);
                entry.insert(QStringLiteral("outFR"), fps);
                entry.insert(QStringLiteral("curDelayMs"), 80);
                entry.insert(QStringLiteral("jitBufMs"), 50);
                entry.insert(QStringLiteral("syncDelayMs"), 0);
                entry.insert(QStringLiteral("nacksSent"), 0);
            }
            video.append(entry);
        }
    };
    for (const auto &stream : m_published)
        add(stream, true);
    for (const auto &stream : m_remote)
        if (stream->isSubscribed())
            add(stream, false);
    QJsonObject status{{QStringLiteral("videoBwe"),
                        QJsonObject{{QStringLiteral("availableSendBandwidth"), 2500 * 1000},
                                    {QStringLiteral("targetEncBitrate"), sendKbps * 1000},
                                    {QStringLiteral("actualEncBitrate"), sendKbps * 1000},
                                    {QStringLiteral("transmitBitrate"), sendKbps * 1000},
                                    {QStringLiteral("retransmitBitrate"), 0},
                                    {QStringLiteral("bucketDelay"), 0}}},
                       {QStringLiteral("mediaSessionId"), m_mediaSessionId}};
    if (media.isEmpty() || media == QLatin1String("audio"))
        status.insert(QStringLiteral("audio"), audio);
    if (media.isEmpty() || media == QLatin1String("video"))
        status.insert(QStringLiteral("video"), video);
    return status;
}
