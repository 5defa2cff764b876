#include "media/webrtc/KLWebRtcMediaConnection.h"

#include "media/KLRTCMediaLogging.h"
#include "media/webrtc/KLWebRtcMediaStream.h"
#include "media/webrtc/KLWebRtcPeer.h"
#include "runtime/KLDispatchQueue.h"
#include "runtime/KLHttpSession.h"
#include "runtime/KLTimeScale.h"

#include <QJsonDocument>
#include <QWebSocket>
#include <QWebSocketHandshakeOptions>

#include <utility>

namespace {

constexpr qint64 kMaxMessageBytes = 4 * 1024 * 1024;

QString text(const QJsonObject &object, const char *key)
{
    return object.value(QLatin1String(key)).toString();
}

QJsonObject obj(const QJsonObject &object, const char *key)
{
    return object.value(QLatin1String(key)).toObject();
}

/// Janus ids are numbers, or texts with string ids configured: feeds are always texts here.
QString feedText(const QJsonValue &value)
{
    return value.isString() ? value.toString() : QString::number(value.toInteger());
}

QJsonObject error(int code, const QString &reason)
{
    return {{QStringLiteral("responseCode"), code}, {QStringLiteral("reason"), reason}};
}

} // namespace

std::shared_ptr<KLWebRtcMediaConnection>
KLWebRtcMediaConnection::create(const QJsonObject &param, bool openDataChannel,
                                std::weak_ptr<KLRTCMediaConnectionDelegate> delegate,
                                std::shared_ptr<KLWebRtcDeviceMonitor> devices)
{
    return std::shared_ptr<KLWebRtcMediaConnection>(
        new KLWebRtcMediaConnection(param, openDataChannel, std::move(delegate), std::move(devices)));
}

static QString chooseDisplayName(const QJsonObject &param, const QJsonObject &regInfo)
{
    const QJsonObject bizInfo = obj(param, "bizInfo");
    for (const QString &candidate : {text(param, "displayName"), text(bizInfo, "display"), text(bizInfo, "displayName"),
                                     text(regInfo, "displayName"), text(regInfo, "memberUuid")}) {
        if (!candidate.isEmpty())
            return candidate;
    }
    return QString();
}

KLWebRtcMediaConnection::KLWebRtcMediaConnection(const QJsonObject &param, bool openDataChannel,
                                                 std::weak_ptr<KLRTCMediaConnectionDelegate> delegate,
                                                 std::shared_ptr<KLWebRtcDeviceMonitor> devices)
    : KLMediaConnectionBase(std::move(delegate), QStringLiteral("com.kelvo.media.webrtc")),
      m_url(obj(param, "rtcWsRegInfo").value(QLatin1String("signalingServer")).toString()),
      m_caFile(text(param, "caFile")),
      m_room(text(obj(obj(param, "rtcWsRegInfo"), "regInfo"), "appointmentId")),
      m_token(text(obj(obj(param, "rtcWsRegInfo"), "regInfo"), "token")),
      m_uuid(text(obj(obj(param, "rtcWsRegInfo"), "regInfo"), "memberUuid")),
      m_displayName(chooseDisplayName(param, obj(obj(param, "rtcWsRegInfo"), "regInfo"))),
      m_iceServers(param.value(QLatin1String("iceServices")).toArray()),
      m_loopbackOnly(KLWebRtcPeer::isLoopbackHost(m_url.host())),
      m_relayOnly(text(param, "iceTransportPolicy") == QLatin1String("relay")),
      m_openDataChannel(openDataChannel),
      m_devices(std::move(devices))
{
}

KLWebRtcMediaConnection::~KLWebRtcMediaConnection()
{
    for (const Handle &h : std::as_const(m_handles))
        if (h.peer && !h.publisher)
            h.peer->stop();
    QWebSocket *socket = m_socket;
    if (!socket)
        return;
    if (m_queue->isCurrent()) {
        socket->disconnect();
        socket->deleteLater();
    } else {
        m_queue->sync([socket] { delete socket; });
    }
}

void KLWebRtcMediaConnection::setAecDumpFlagForTest(bool enabled)
{
    KL_ENGINE_LOG(4, QStringLiteral("echo-cancellation dump %1: not written by this engine").arg(enabled ? 1 : 0));
}

// ---- The WebSocket and the Janus session --------------------------------------------------------

void KLWebRtcMediaConnection::connect()
{
    onQueue([](KLWebRtcMediaConnection &c) { c.openSocket(); });
}

void KLWebRtcMediaConnection::openSocket()
{
    if (m_released)
        return;
    if (!m_url.isValid() || m_url.scheme() != QLatin1String("wss")) {
        KL_ENGINE_LOG(8, QStringLiteral("media server address %1 is not a wss URL").arg(m_url.toString()));
        raise(KLRTCMediaEventIceFailed,
              KLRTCMediaEventInfo::fromDictionary({{QStringLiteral("reason"), QStringLiteral("no media server address")}}));
        return;
    }
    const quint64 generation = ++m_generation;
    if (m_socket) {
        m_socket->disconnect();
        m_socket->abort();
        m_socket->deleteLater();
    }
    m_session = 0;
    m_mainHandle = 0;
    m_joined = false;
    m_pending.clear();
    m_socket = new QWebSocket(QString(), QWebSocketProtocol::VersionLatest);
    m_socket->setMaxAllowedIncomingMessageSize(kMaxMessageBytes);
    m_socket->setSslConfiguration(KLHttpSession::shared().tlsConfiguration(m_caFile));
    std::weak_ptr<KLWebRtcMediaConnection> weak = self();
    QWebSocket *socket = m_socket;
    QObject::connect(socket, &QWebSocket::connected, socket, [weak, generation] {
        if (auto c = weak.lock())
            c->didOpen(generation);
    });
    QObject::connect(socket, &QWebSocket::textMessageReceived, socket, [weak, generation](const QString &message) {
        if (auto c = weak.lock())
            c->didReceive(generation, message);
    });
    QObject::connect(socket, &QWebSocket::disconnected, socket, [weak, generation, socket] {
        if (auto c = weak.lock())
            c->didDrop(generation, socket->closeReason().isEmpty() ? socket->errorString() : socket->closeReason());
    });
    QObject::connect(socket, &QWebSocket::sslErrors, socket, [](const QList<QSslError> &errors) {
        for (const QSslError &e : errors)
            KL_ENGINE_LOG(8, QStringLiteral("media server TLS: %1").arg(e.errorString()));
    });
    QWebSocketHandshakeOptions options;
    options.setSubprotocols({QStringLiteral("janus-protocol")});
    KL_ENGINE_LOG(4, QStringLiteral("connecting to the media server %1, room %2").arg(m_url.toString(), m_room));
    socket->open(QNetworkRequest(m_url), options);
}

void KLWebRtcMediaConnection::didOpen(quint64 generation)
{
    if (generation != m_generation || m_released)
        return;
    request({{QStringLiteral("janus"), QStringLiteral("create")}}, [](KLWebRtcMediaConnection &c, const QJsonObject &reply) {
        c.m_session = obj(reply, "data").value(QLatin1String("id")).toInteger();
        c.keepalive(c.m_generation);
        c.sampleStatistics(c.m_generation);
        c.attach([](KLWebRtcMediaConnection &c, qint64 handle) {
            c.m_mainHandle = handle;
            c.m_handles[handle].feed = c.m_uuid;
            c.m_handles[handle].publisher = true;
            c.joinRoom(handle);
        });
    });
}

void KLWebRtcMediaConnection::joinRoom(qint64 handle)
{
    sendToHandle(handle, {{QStringLiteral("request"), QStringLiteral("join")},
                          {QStringLiteral("ptype"), QStringLiteral("publisher")},
                          {QStringLiteral("room"), m_room},
                          {QStringLiteral("id"), m_uuid},
                          {QStringLiteral("display"), m_displayName}});
}

void KLWebRtcMediaConnection::didDrop(quint64 generation, const QString &why)
{
    if (generation != m_generation || m_released)
        return;
    if (m_restartPending) {
        // The old session's socket closing during a restart is part of it.
        m_restartPending = false;
        openSocket();
        return;
    }
    ++m_generation; // a dropped socket says nothing more
    KL_ENGINE_LOG(8, QStringLiteral("media server connection lost: %1").arg(why));
    const bool wasJoined = m_joined;
    m_joined = false;
    m_webrtcUp = false;
    for (const Handle &h : std::as_const(m_handles))
        if (h.peer && !h.publisher)
            h.peer->stop();
    m_handles.clear();
    if (wasJoined)
        raise(KLRTCMediaEventMediaSignalingState,
              KLRTCMediaEventInfo::fromDictionary({{QStringLiteral("action"), QStringLiteral("networkAction")},
                                                   {QStringLiteral("isOpen"), false}}));
    raise(KLRTCMediaEventIceFailed, KLRTCMediaEventInfo::fromDictionary({{QStringLiteral("reason"), why}}));
    if (!m_everJoined)
        failRegistration(why, 0);
}

void KLWebRtcMediaConnection::failRegistration(const QString &why, int code)
{
    // The room could not be entered (no such room, a token refused, no server): the meeting
    // treats it as a registration that failed.
    raise(KLRTCMediaEventHangupCause, KLRTCMediaEventInfo::fromDictionary({{QStringLiteral("causeCode"), 10001},
                                                                            {QStringLiteral("janusCode"), code},
                                                                            {QStringLiteral("reason"), why}}));
}

void KLWebRtcMediaConnection::request(QJsonObject message, Reply reply)
{
    if (!m_socket || m_socket->state() != QAbstractSocket::ConnectedState) {
        KL_ENGINE_LOG(2, QStringLiteral("media server not connected, %1 dropped").arg(text(message, "janus")));
        return;
    }
    const QString transaction = QString::number(++m_transaction);
    message.insert(QStringLiteral("transaction"), transaction);
    if (!m_token.isEmpty())
        message.insert(QStringLiteral("token"), m_token);
    if (m_session && !message.contains(QLatin1String("session_id")) && text(message, "janus") != QLatin1String("create"))
        message.insert(QStringLiteral("session_id"), m_session);
    if (reply)
        m_pending.insert(transaction, std::move(reply));
    m_socket->sendTextMessage(QString::fromUtf8(QJsonDocument(message).toJson(QJsonDocument::Compact)));
}

void KLWebRtcMediaConnection::sendToHandle(qint64 handle, const QJsonObject &body, const QJsonObject &jsep, Reply reply)
{
    QJsonObject message{{QStringLiteral("janus"), QStringLiteral("message")},
                        {QStringLiteral("handle_id"), handle},
                        {QStringLiteral("body"), body}};
    if (!jsep.isEmpty())
        message.insert(QStringLiteral("jsep"), jsep);
    request(message, std::move(reply));
}

void KLWebRtcMediaConnection::attach(std::function<void(KLWebRtcMediaConnection &, qint64)> then)
{
    request({{QStringLiteral("janus"), QStringLiteral("attach")}, {QStringLiteral("plugin"), QStringLiteral("janus.plugin.videoroom")}},
            [then](KLWebRtcMediaConnection &c, const QJsonObject &reply) {
                const qint64 handle = obj(reply, "data").value(QLatin1String("id")).toInteger();
                c.m_handles[handle].id = handle;
                then(c, handle);
            });
}

void KLWebRtcMediaConnection::keepalive(quint64 generation)
{
    if (generation != m_generation || m_released)
        return;
    if (m_session)
        request({{QStringLiteral("janus"), QStringLiteral("keepalive")}});
    std::weak_ptr<KLWebRtcMediaConnection> weak = self();
    m_queue->asyncAfter(KLTimeScale::scaledMilliseconds(kKeepaliveSeconds), [weak, generation] {
        if (auto c = weak.lock())
            c->keepalive(generation);
    });
}

void KLWebRtcMediaConnection::didReceive(quint64 generation, const QString &message)
{
    if (generation != m_generation || m_released)
        return;
    const QJsonDocument document = QJsonDocument::fromJson(message.toUtf8());
    if (!document.isObject()) {
        KL_ENGINE_LOG(8, QStringLiteral("media server frame is not a JSON object"));
        return;
    }
    handle(document.object());
}

void KLWebRtcMediaConnection::handle(const QJsonObject &message)
{
    const QString kind = text(message, "janus");
    const QString transaction = text(message, "transaction");
    const qint64 sender = message.value(QLatin1String("sender")).toInteger();
    if (kind == QLatin1String("ack"))
        return;
    if (kind == QLatin1String("error")) {
        m_pending.remove(transaction);
        const QJsonObject e = obj(message, "error");
        const int code = e.value(QLatin1String("code")).toInt();
        KL_ENGINE_LOG(8, QStringLiteral("media server error %1: %2").arg(code).arg(text(e, "reason")));
        raise(KLRTCMediaEventMediaSignalingError, KLRTCMediaEventInfo::fromDictionary(error(code, text(e, "reason"))));
        if (!m_joined)
            failRegistration(text(e, "reason"), code);
        return;
    }
    if (kind == QLatin1String("success")) {
        if (const Reply reply = m_pending.take(transaction))
            reply(*this, message);
        return;
    }
    if (kind == QLatin1String("event")) {
        m_pending.remove(transaction);
        handlePluginEvent(sender, obj(obj(message, "plugindata"), "data"), obj(message, "jsep"));
        return;
    }
    auto it = m_handles.find(sender);
    if (kind == QLatin1String("trickle")) {
        const QJsonObject candidate = obj(message, "candidate");
        if (it != m_handles.end() && it->peer && !candidate.value(QLatin1String("completed")).toBool())
            it->peer->addRemoteCandidate(candidate.value(QLatin1String("sdpMLineIndex")).toInt(), text(candidate, "candidate"));
    } else if (kind == QLatin1String("webrtcup")) {
        if (it != m_handles.end() && it->publisher && !m_webrtcUp && it->stream && !it->stream->hasScreen()) {
            m_webrtcUp = true;
            raise(KLRTCMediaEventIceGatheringStage, KLRTCMediaEventInfo::fromValue(QStringLiteral("complete")));
            raise(KLRTCMediaEventWebrtcUp);
        }
    } else if (kind == QLatin1String("media")) {
        if (it != m_handles.end() && !it->publisher && text(message, "type") == QLatin1String("video"))
            raise(message.value(QLatin1String("receiving")).toBool() ? KLRTCMediaEventServerVideoOn : KLRTCMediaEventServerVideoOff,
                  KLRTCMediaEventInfo::fromStreamId(it->feed));
    } else if (kind == QLatin1String("slowlink")) {
        if (it != m_handles.end())
            raise(KLRTCMediaEventWeakNetwork, KLRTCMediaEventInfo::fromDictionary({{QStringLiteral("stream"), it->feed},
                                                                                    {QStringLiteral("weak"), true}}));
    } else if (kind == QLatin1String("hangup")) {
        KL_ENGINE_LOG(4, QStringLiteral("media server hung up handle %1: %2").arg(sender).arg(text(message, "reason")));
        if (it != m_handles.end() && it->publisher && it->id == m_mainHandle) {
            m_webrtcUp = false;
            raise(KLRTCMediaEventIceFailed, KLRTCMediaEventInfo::fromDictionary({{QStringLiteral("reason"), text(message, "reason")}}));
        }
    } else if (kind == QLatin1String("timeout")) {
        raise(KLRTCMediaEventSignalError, KLRTCMediaEventInfo::fromDictionary({{QStringLiteral("reason"), QStringLiteral("session timed out")}}));
    } else if (kind != QLatin1String("detached")) {
        KL_ENGINE_LOG(16, QStringLiteral("media server message %1 ignored").arg(kind));
    }
}

void KLWebRtcMediaConnection::handlePluginEvent(qint64 sender, const QJsonObject &data, const QJsonObject &jsep)
{
    const QString what = text(data, "videoroom");
    auto it = m_handles.find(sender);
    if (it == m_handles.end())
        return;
    if (data.contains(QLatin1String("error_code"))) {
        const int code = data.value(QLatin1String("error_code")).toInt();
        KL_ENGINE_LOG(8, QStringLiteral("room error %1: %2").arg(code).arg(text(data, "error")));
        // Rejoining right after a restart, the old session's publisher may not be gone yet:
        // the join is tried again shortly.
        constexpr int kIdTaken = 436;
        if (code == kIdTaken && m_everJoined && sender == m_mainHandle && m_rejoinAttempts < 10) {
            ++m_rejoinAttempts;
            std::weak_ptr<KLWebRtcMediaConnection> weak = self();
            const quint64 generation = m_generation;
            m_queue->asyncAfter(KLTimeScale::scaledMilliseconds(0.5), [weak, generation, sender] {
                if (auto c = weak.lock(); c && c->m_generation == generation && !c->m_released)
                    c->joinRoom(sender);
            });
            return;
        }
        raise(KLRTCMediaEventMediaSignalingError, KLRTCMediaEventInfo::fromDictionary(error(code, text(data, "error"))));
        if (!m_joined && sender == m_mainHandle)
            failRegistration(text(data, "error"), code);
        return;
    }
    if (what == QLatin1String("joined")) {
        it->joined = true;
        if (sender == m_mainHandle) {
            m_joined = true;
            m_rejoinAttempts = 0;
            const bool first = !m_everJoined;
            m_everJoined = true;
            if (first)
                raise(KLRTCMediaEventConnected);
            raise(KLRTCMediaEventMediaSignalingState,
                  KLRTCMediaEventInfo::fromDictionary({{QStringLiteral("action"), QStringLiteral("networkAction")},
                                                       {QStringLiteral("isOpen"), true}}));
            raise(KLRTCMediaEventMediaSessionId, KLRTCMediaEventInfo::fromDictionary(
                                                     {{QStringLiteral("mediaSessionId"), QString::number(m_session)}}));
            for (const auto &stream : std::as_const(m_published))
                startPublishing(stream);
        } else {
            offerOn(sender);
        }
        handlePublishers(data.value(QLatin1String("publishers")).toArray());
    } else if (what == QLatin1String("event")) {
        if (data.contains(QLatin1String("publishers")))
            handlePublishers(data.value(QLatin1String("publishers")).toArray());
        for (const char *key : {"unpublished", "leaving"}) {
            const QJsonValue gone = data.value(QLatin1String(key));
            if (!gone.isUndefined() && gone.toString() != QLatin1String("ok"))
                removeRemote(feedText(gone));
        }
        if (!jsep.isEmpty() && it->peer && text(jsep, "type") == QLatin1String("answer"))
            it->peer->setRemoteDescription(QStringLiteral("answer"), text(jsep, "sdp"));
        if (text(data, "started") == QLatin1String("ok") && it->stream)
            raise(KLRTCMediaEventStreamSubscribed, KLRTCMediaEventInfo::fromStream(it->stream));
        if (!jsep.isEmpty() && it->peer && text(jsep, "type") == QLatin1String("offer"))
            it->peer->setRemoteDescription(QStringLiteral("offer"), text(jsep, "sdp")); // a renegotiation
    } else if (what == QLatin1String("attached")) {
        if (!it->stream || text(jsep, "type") != QLatin1String("offer"))
            return;
        KLWebRtcPeerConfig config;
        config.publisher = false;
        config.loopbackOnly = m_loopbackOnly;
        config.iceServers = m_iceServers;
        config.relayOnly = m_relayOnly;
        config.dataChannel = m_openDataChannel;
        config.devices = m_devices;
        config.speakerId = speakerChoice();
        std::weak_ptr<KLWebRtcMediaStream> weakStream = it->stream;
        KLWebRtcPeerCallbacks callbacks;
        callbacks.videoFrame = [weakStream, size = it->frameSize](const KLRTCMediaVideoFrame &frame) {
            size->store(quint64(quint32(frame.width)) << 32 | quint32(frame.height));
            if (auto stream = weakStream.lock())
                stream->deliver(frame);
        };
        auto peer = KLWebRtcPeer::create(config, std::move(callbacks));
        it->peer = peer;
        wirePeer(sender, peer);
        if (!peer->start()) {
            raise(KLRTCMediaEventIceFailed, KLRTCMediaEventInfo::fromDictionary({{QStringLiteral("reason"), QStringLiteral("no receive pipeline")}}));
            return;
        }
        it->stream->setPeer(peer);
        if (m_speakerMuted)
            peer->setPlaybackMuted(true);
        peer->setRemoteDescription(QStringLiteral("offer"), text(jsep, "sdp"));
    } else if (what == QLatin1String("destroyed")) {
        raise(KLRTCMediaEventHangupCause, KLRTCMediaEventInfo::fromDictionary({{QStringLiteral("causeCode"), 200},
                                                                                {QStringLiteral("reason"), QStringLiteral("room destroyed")}}));
    }
}

void KLWebRtcMediaConnection::handlePublishers(const QJsonArray &publishers)
{
    for (const QJsonValue &value : publishers) {
        const QJsonObject publisher = value.toObject();
        const QString feed = feedText(publisher.value(QLatin1String("id")));
        if (feed.isEmpty() || m_published.contains(feed) || feed == m_uuid)
            continue;
        bool audio = false, video = false;
        for (const QJsonValue &s : publisher.value(QLatin1String("streams")).toArray()) {
            const QString type = text(s.toObject(), "type");
            audio |= type == QLatin1String("audio");
            video |= type == QLatin1String("video");
        }
        auto stream = m_remote.value(feed);
        if (!stream) {
            stream = KLWebRtcMediaStream::createRemote(feed, text(publisher, "display"), audio, video);
            m_remote.insert(feed, stream);
        }
        raise(KLRTCMediaEventStreamAdded, KLRTCMediaEventInfo::fromStream(stream));
    }
}

void KLWebRtcMediaConnection::removeRemote(const QString &feed)
{
    const auto stream = m_remote.take(feed);
    if (!stream)
        return;
    const qint64 handle = handleOfFeed(feed, false);
    if (handle)
        endHandle(handle);
    stream->setPeer(nullptr);
    raise(KLRTCMediaEventStreamRemoved, KLRTCMediaEventInfo::fromStream(stream));
}

qint64 KLWebRtcMediaConnection::handleOfFeed(const QString &feed, bool publisher) const
{
    for (const Handle &h : m_handles)
        if (h.feed == feed && h.publisher == publisher)
            return h.id;
    return 0;
}

void KLWebRtcMediaConnection::endHandle(qint64 handle)
{
    const Handle h = m_handles.take(handle);
    if (h.peer && !h.publisher)
        h.peer->stop();
    request({{QStringLiteral("janus"), QStringLiteral("detach")}, {QStringLiteral("handle_id"), handle}});
}
