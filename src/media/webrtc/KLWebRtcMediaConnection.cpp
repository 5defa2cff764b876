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
                                std::weak_ptr<KLRTCMediaConnectionDelegate> delegate)
{
    return std::shared_ptr<KLWebRtcMediaConnection>(
        new KLWebRtcMediaConnection(param, openDataChannel, std::move(delegate)));
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
                                                 std::weak_ptr<KLRTCMediaConnectionDelegate> delegate)
    : m_url(obj(param, "rtcWsRegInfo").value(QLatin1String("signalingServer")).toString()),
      m_caFile(text(param, "caFile")),
      m_room(text(obj(obj(param, "rtcWsRegInfo"), "regInfo"), "appointmentId")),
      m_token(text(obj(obj(param, "rtcWsRegInfo"), "regInfo"), "token")),
      m_uuid(text(obj(obj(param, "rtcWsRegInfo"), "regInfo"), "memberUuid")),
      m_displayName(chooseDisplayName(param, obj(obj(param, "rtcWsRegInfo"), "regInfo"))),
      m_iceServers(param.value(QLatin1String("iceServices")).toArray()),
      m_loopbackOnly(KLWebRtcPeer::isLoopbackHost(m_url.host())),
      m_relayOnly(text(param, "iceTransportPolicy") == QLatin1String("relay")),
      m_openDataChannel(openDataChannel),
      m_delegate(std::move(delegate)),
      m_queue(KLDispatchQueue::makeShared(QStringLiteral("com.kelvo.media.webrtc")))
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

std::shared_ptr<KLWebRtcMediaConnection> KLWebRtcMediaConnection::self()
{
    return std::static_pointer_cast<KLWebRtcMediaConnection>(shared_from_this());
}

void KLWebRtcMediaConnection::onQueue(std::function<void(KLWebRtcMediaConnection &)> work)
{
    std::weak_ptr<KLWebRtcMediaConnection> weak = self();
    m_queue->async([weak, work = std::move(work)] {
        if (auto c = weak.lock())
            work(*c);
    });
}

void KLWebRtcMediaConnection::raise(int event, const KLRTCMediaEventInfo &info)
{
    if (m_released && event != KLRTCMediaEventConnectionReleased)
        return;
    if (auto delegate = m_delegate.lock())
        delegate->rtcConnection(self(), event, info);
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
        std::weak_ptr<KLWebRtcMediaStream> weakStream = it->stream;
        KLWebRtcPeerCallbacks callbacks;
        callbacks.videoFrame = [weakStream](const KLRTCMediaVideoFrame &frame) {
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

// ---- Peers ------------------------------------------------------------------------------------------

void KLWebRtcMediaConnection::wirePeer(qint64 handle, const std::shared_ptr<KLWebRtcPeer> &peer)
{
    std::weak_ptr<KLWebRtcMediaConnection> weak = self();
    const quint64 generation = m_generation;
    auto later = [weak, generation](std::function<void(KLWebRtcMediaConnection &)> work) {
        if (auto c = weak.lock())
            c->onQueue([generation, work = std::move(work)](KLWebRtcMediaConnection &c) {
                if (c.m_generation == generation && !c.m_released)
                    work(c);
            });
    };
    KLWebRtcPeerCallbacks callbacks;
    callbacks.localDescription = [later, handle](const QString &type, const QString &sdp) {
        later([handle, type, sdp](KLWebRtcMediaConnection &c) {
            const auto it = c.m_handles.constFind(handle);
            if (it == c.m_handles.constEnd())
                return;
            const QJsonObject jsep{{QStringLiteral("type"), type}, {QStringLiteral("sdp"), sdp}};
            if (type == QLatin1String("offer"))
                c.sendToHandle(handle, {{QStringLiteral("request"), QStringLiteral("publish")},
                                        {QStringLiteral("audio"), true},
                                        {QStringLiteral("video"), true},
                                        {QStringLiteral("data"), c.m_openDataChannel},
                                        {QStringLiteral("display"), it->stream ? it->stream->display() : c.m_displayName}},
                               jsep);
            else
                c.sendToHandle(handle, {{QStringLiteral("request"), QStringLiteral("start")}, {QStringLiteral("room"), c.m_room}}, jsep);
        });
    };
    callbacks.localCandidate = [later, handle](int mline, const QString &candidate) {
        later([handle, mline, candidate](KLWebRtcMediaConnection &c) {
            const QJsonObject trickle = candidate.isEmpty()
                ? QJsonObject{{QStringLiteral("completed"), true}}
                : QJsonObject{{QStringLiteral("candidate"), candidate}, {QStringLiteral("sdpMLineIndex"), mline}};
            c.request({{QStringLiteral("janus"), QStringLiteral("trickle")}, {QStringLiteral("handle_id"), handle},
                       {QStringLiteral("candidate"), trickle}});
        });
    };
    callbacks.dataMessage = [later](const QString &message) {
        later([message](KLWebRtcMediaConnection &c) {
            const QJsonDocument document = QJsonDocument::fromJson(message.toUtf8());
            if (!document.isObject()) {
                KL_ENGINE_LOG(2, QStringLiteral("data message that is not a dictionary ignored"));
                return;
            }
            c.raise(KLRTCMediaEventDataChannelMessage, KLRTCMediaEventInfo::fromDictionary(document.object()));
        });
    };
    callbacks.iceState = [later, handle](const QString &state) {
        later([handle, state](KLWebRtcMediaConnection &c) {
            const auto it = c.m_handles.constFind(handle);
            if (it == c.m_handles.constEnd())
                return;
            if (state == QLatin1String("failed"))
                c.raise(KLRTCMediaEventIceFailed, KLRTCMediaEventInfo::fromDictionary({{QStringLiteral("stream"), it->feed},
                                                                                      {QStringLiteral("reason"), QStringLiteral("ICE failed")}}));
            else if (state == QLatin1String("disconnected"))
                c.raise(KLRTCMediaEventWeakNetwork, KLRTCMediaEventInfo::fromDictionary({{QStringLiteral("stream"), it->feed},
                                                                                       {QStringLiteral("weak"), true},
                                                                                       {QStringLiteral("status"), QStringLiteral("DISCONNECTED")}}));
        });
    };
    peer->setSignalling(callbacks);
}

void KLWebRtcMediaConnection::startPublishing(const std::shared_ptr<KLWebRtcMediaStream> &stream)
{
    if (!m_joined)
        return; // published once the room is joined
    const QString id = stream->getID();
    if (!stream->hasScreen()) {
        m_handles[m_mainHandle].stream = stream;
        offerOn(m_mainHandle);
        return;
    }
    // A share is a publisher of its own.
    attach([stream, id](KLWebRtcMediaConnection &c, qint64 handle) {
        Handle &h = c.m_handles[handle];
        h.feed = id;
        h.publisher = true;
        h.stream = stream;
        c.sendToHandle(handle, {{QStringLiteral("request"), QStringLiteral("join")},
                                {QStringLiteral("ptype"), QStringLiteral("publisher")},
                                {QStringLiteral("room"), c.m_room},
                                {QStringLiteral("id"), id},
                                {QStringLiteral("display"), stream->display()}});
    });
}

void KLWebRtcMediaConnection::offerOn(qint64 handle)
{
    auto it = m_handles.find(handle);
    if (it == m_handles.end() || !it->stream)
        return;
    auto peer = it->stream->peer();
    if (!peer) {
        KL_ENGINE_LOG(8, QStringLiteral("stream %1 has no local media to publish").arg(it->feed));
        return;
    }
    it->peer = peer;
    KLWebRtcPeerConfig config = it->stream->publisherConfig();
    config.loopbackOnly = m_loopbackOnly;
    config.iceServers = m_iceServers;
    config.relayOnly = m_relayOnly;
    peer->configureIce(config);
    wirePeer(handle, peer);
    if (m_openDataChannel && handle == m_mainHandle)
        peer->openDataChannel();
    peer->createOffer(false);
}

void KLWebRtcMediaConnection::publishStream(const std::shared_ptr<KLRTCMediaStream> &stream)
{
    auto local = std::dynamic_pointer_cast<KLWebRtcMediaStream>(stream);
    if (!local || !local->isLocal()) {
        KL_ENGINE_LOG(8, QStringLiteral("publishStream: not a local stream of this engine"));
        return;
    }
    onQueue([local](KLWebRtcMediaConnection &c) {
        if (c.m_released)
            return;
        const QString id = local->hasScreen() ? QStringLiteral("screen-") + c.m_uuid : c.m_uuid;
        const QString display = local->hasScreen() ? QString::fromLatin1(c.m_displayName.toUtf8().toBase64()) : c.m_displayName;
        local->assignPublication(id, display);
        c.m_published.insert(id, local);
        c.startPublishing(local);
    });
}

void KLWebRtcMediaConnection::unPublishStream(const std::shared_ptr<KLRTCMediaStream> &stream)
{
    if (!stream)
        return;
    const QString id = stream->getID();
    onQueue([id](KLWebRtcMediaConnection &c) {
        const auto stream = c.m_published.take(id);
        if (!stream)
            return;
        const qint64 handle = c.handleOfFeed(id, true);
        if (!handle)
            return;
        if (handle == c.m_mainHandle) {
            c.sendToHandle(handle, {{QStringLiteral("request"), QStringLiteral("unpublish")}});
            c.m_handles[handle].stream.reset();
            c.m_handles[handle].peer.reset();
        } else {
            c.endHandle(handle);
        }
    });
}

void KLWebRtcMediaConnection::subscribe(const std::shared_ptr<KLRTCMediaStream> &stream)
{
    if (!stream)
        return;
    const QString id = stream->getID();
    onQueue([id](KLWebRtcMediaConnection &c) {
        const auto remote = c.m_remote.value(id);
        if (!remote) {
            KL_ENGINE_LOG(2, QStringLiteral("subscribe %1: no such remote stream").arg(id));
            return;
        }
        if (c.handleOfFeed(id, false))
            return; // already subscribed or on the way
        c.startSubscription(remote);
    });
}

void KLWebRtcMediaConnection::startSubscription(const std::shared_ptr<KLWebRtcMediaStream> &stream)
{
    const QString feed = stream->getID();
    attach([stream, feed](KLWebRtcMediaConnection &c, qint64 handle) {
        Handle &h = c.m_handles[handle];
        h.feed = feed;
        h.publisher = false;
        h.stream = stream;
        c.sendToHandle(handle, {{QStringLiteral("request"), QStringLiteral("join")},
                                {QStringLiteral("ptype"), QStringLiteral("subscriber")},
                                {QStringLiteral("room"), c.m_room},
                                {QStringLiteral("streams"), QJsonArray{QJsonObject{{QStringLiteral("feed"), feed}}}}});
    });
}

void KLWebRtcMediaConnection::unsubscribe(const std::shared_ptr<KLRTCMediaStream> &stream)
{
    if (!stream)
        return;
    const QString id = stream->getID();
    onQueue([id, stream](KLWebRtcMediaConnection &c) {
        const qint64 handle = c.handleOfFeed(id, false);
        if (handle)
            c.endHandle(handle);
        if (auto remote = std::dynamic_pointer_cast<KLWebRtcMediaStream>(stream))
            remote->setPeer(nullptr);
        c.raise(KLRTCMediaEventStreamUnsubscribed, KLRTCMediaEventInfo::fromStream(stream));
    });
}

void KLWebRtcMediaConnection::connectIceRestart()
{
    onQueue([](KLWebRtcMediaConnection &c) {
        if (c.m_released)
            return;
        // A fresh session: the room is joined again, every stream is offered anew on fresh
        // peers and every subscription is made again. What ICE had is gone with the old peers.
        KL_ENGINE_LOG(4, QStringLiteral("media restart: a new session on the media server"));
        for (const Handle &h : std::as_const(c.m_handles))
            if (h.peer && !h.publisher)
                h.peer->stop();
        c.m_handles.clear();
        for (const auto &stream : std::as_const(c.m_published)) {
            stream->renewPeer();
        }
        const auto remotes = c.m_remote;
        c.m_remote.clear();
        for (const auto &stream : remotes) {
            stream->setPeer(nullptr);
            c.raise(KLRTCMediaEventStreamRemoved, KLRTCMediaEventInfo::fromStream(stream));
        }
        // The old session goes first, so that the room lets the same publisher in again.
        if (c.m_session && c.m_socket && c.m_socket->state() == QAbstractSocket::ConnectedState) {
            c.m_restartPending = true;
            auto reopen = [](KLWebRtcMediaConnection &c) {
                if (!c.m_restartPending || c.m_released)
                    return;
                c.m_restartPending = false; // once: the answer, the socket's close or the time-out
                c.openSocket();
            };
            c.request({{QStringLiteral("janus"), QStringLiteral("destroy")}},
                      [reopen](KLWebRtcMediaConnection &c, const QJsonObject &) { reopen(c); });
            std::weak_ptr<KLWebRtcMediaConnection> weak = c.self();
            c.m_queue->asyncAfter(KLTimeScale::scaledMilliseconds(2.0), [weak, reopen] {
                if (auto connection = weak.lock())
                    reopen(*connection);
            });
            return;
        }
        c.openSocket();
    });
}

void KLWebRtcMediaConnection::disconnect()
{
    m_queue->async([self = self()] {
        KLWebRtcMediaConnection &c = *self;
        if (c.m_released)
            return;
        if (c.m_session)
            c.request({{QStringLiteral("janus"), QStringLiteral("destroy")}});
        c.m_released = true;
        ++c.m_generation;
        for (const Handle &h : std::as_const(c.m_handles))
            if (h.peer && !h.publisher)
                h.peer->stop();
        c.m_handles.clear();
        for (const auto &stream : std::as_const(c.m_remote))
            stream->setPeer(nullptr);
        c.m_remote.clear();
        c.m_published.clear();
        if (c.m_socket) {
            c.m_socket->disconnect();
            c.m_socket->close();
            c.m_socket->deleteLater();
            c.m_socket = nullptr;
        }
        c.raise(KLRTCMediaEventConnectionReleased);
    });
}

// ---- Controls ---------------------------------------------------------------------------------------

void KLWebRtcMediaConnection::muteSpeaker(bool muted)
{
    onQueue([muted](KLWebRtcMediaConnection &c) {
        c.m_speakerMuted = muted;
        for (const Handle &h : std::as_const(c.m_handles))
            if (h.peer && !h.publisher)
                h.peer->setPlaybackMuted(muted);
    });
}

void KLWebRtcMediaConnection::enableHDVideo(const QString &streamId)
{
    KL_ENGINE_LOG(16, QStringLiteral("HD video of %1: one layer is sent, nothing to switch").arg(streamId));
}

void KLWebRtcMediaConnection::streamVideo(const std::shared_ptr<KLRTCMediaStream> &stream, bool enabled)
{
    if (!stream)
        return;
    const QString id = stream->getID();
    onQueue([id, enabled](KLWebRtcMediaConnection &c) {
        const qint64 handle = c.handleOfFeed(id, false);
        if (!handle)
            return;
        // Janus stops or resumes relaying the video of this subscription.
        c.sendToHandle(handle, {{QStringLiteral("request"), QStringLiteral("configure")},
                                {QStringLiteral("streams"), QJsonArray{QJsonObject{{QStringLiteral("mid"), QStringLiteral("1")},
                                                                                   {QStringLiteral("send"), enabled}}}}});
    });
}

void KLWebRtcMediaConnection::changeAudioInputDevice(const QString &deviceId)
{
    std::lock_guard lock(m_mutex);
    m_audioInput = deviceId;
}

void KLWebRtcMediaConnection::changeAudioOutputDevice(const QString &deviceId)
{
    std::lock_guard lock(m_mutex);
    m_audioOutput = deviceId;
}

void KLWebRtcMediaConnection::changeVideoInputDevice(const QString &deviceId, int width, int height)
{
    KL_ENGINE_LOG(4, QStringLiteral("camera %1 at %2x%3 (taken by the next stream)").arg(deviceId).arg(width).arg(height));
    std::lock_guard lock(m_mutex);
    m_videoInput = deviceId;
}

void KLWebRtcMediaConnection::sendData(const QJsonObject &data)
{
    onQueue([data](KLWebRtcMediaConnection &c) {
        if (!c.m_openDataChannel) {
            KL_ENGINE_LOG(2, QStringLiteral("sendData without a data channel dropped"));
            return;
        }
        const auto it = c.m_handles.constFind(c.m_mainHandle);
        const QString message = QString::fromUtf8(QJsonDocument(data).toJson(QJsonDocument::Compact));
        if (it == c.m_handles.constEnd() || !it->peer || !it->peer->sendData(message))
            KL_ENGINE_LOG(2, QStringLiteral("data channel not open, message dropped"));
    });
}

void KLWebRtcMediaConnection::videoStreamActionWithMain(bool main, bool small, bool hasScreen, const QJsonValue &)
{
    KL_ENGINE_LOG(16, QStringLiteral("layers main %1 small %2 screen %3: one layer is sent").arg(main).arg(small).arg(hasScreen));
}

void KLWebRtcMediaConnection::setConfigIntVar(int variable, int value)
{
    KL_ENGINE_LOG(16, QStringLiteral("config variable %1 = %2").arg(variable).arg(value));
}

QJsonObject KLWebRtcMediaConnection::getSpeakerDeviceStatus()
{
    std::lock_guard lock(m_mutex);
    return {{QStringLiteral("micDeviceId"), m_audioInput},
            {QStringLiteral("speakerDeviceId"), m_audioOutput},
            {QStringLiteral("cameraDeviceId"), m_videoInput}};
}

// ---- Statistics -------------------------------------------------------------------------------------

int KLWebRtcMediaConnection::gradeFor(double loss, double rtt)
{
    if (loss < 0.02 && rtt < 0.15)
        return 4;
    if (loss < 0.05 && rtt < 0.30)
        return 3;
    if (loss < 0.10 && rtt < 0.50)
        return 2;
    return 1;
}

void KLWebRtcMediaConnection::sampleStatistics(quint64 generation)
{
    if (generation != m_generation || m_released)
        return;
    for (Handle &h : m_handles) {
        if (!h.peer)
            continue;
        const QJsonObject stats = h.peer->stats();
        h.peer->requestStats(); // read on the next round
        double loss = 0, rtt = 0;
        if (h.publisher) {
            for (const QJsonValue &v : stats.value(QLatin1String("remoteInbound")).toArray()) {
                loss = std::max(loss, v.toObject().value(QLatin1String("fraction-lost")).toDouble());
                rtt = std::max(rtt, v.toObject().value(QLatin1String("round-trip-time")).toDouble());
            }
        } else {
            qint64 lost = 0, received = 0;
            for (const QJsonValue &v : stats.value(QLatin1String("inbound")).toArray()) {
                lost += v.toObject().value(QLatin1String("packets-lost")).toInteger();
                received += v.toObject().value(QLatin1String("packets-received")).toInteger();
            }
            const qint64 dl = lost - h.lostBefore, dr = received - h.receivedBefore;
            loss = dl + dr > 0 ? double(std::max<qint64>(0, dl)) / double(dl + dr) : 0.0;
            h.lostBefore = lost;
            h.receivedBefore = received;
        }
        if (stats.isEmpty())
            continue;
        const int grade = gradeFor(loss, rtt);
        if (grade != h.grade) {
            const bool wasWeak = h.grade != 0 && h.grade <= 2;
            h.grade = grade;
            raise(KLRTCMediaEventNetworkGrade, KLRTCMediaEventInfo::fromDictionary({{QStringLiteral("stream"), h.feed},
                                                                                   {QStringLiteral("grade"), grade}}));
            if (wasWeak != (grade <= 2))
                raise(KLRTCMediaEventWeakNetwork, KLRTCMediaEventInfo::fromDictionary({{QStringLiteral("stream"), h.feed},
                                                                                      {QStringLiteral("weak"), grade <= 2}}));
        }
    }
    std::weak_ptr<KLWebRtcMediaConnection> weak = self();
    m_queue->asyncAfter(KLTimeScale::scaledMilliseconds(kStatsIntervalSeconds), [weak, generation] {
        if (auto c = weak.lock())
            c->sampleStatistics(generation);
    });
}

void KLWebRtcMediaConnection::getStatusForMedia(const QString &media, KLRTCMediaStatusHandler completionHandler)
{
    if (!completionHandler)
        return;
    std::weak_ptr<KLWebRtcMediaConnection> weak = self();
    m_queue->async([weak, media, completionHandler] {
        auto c = weak.lock();
        completionHandler(c ? c->statistics(media) : QJsonObject());
    });
}

QJsonObject KLWebRtcMediaConnection::statistics(const QString &media) const
{
    QJsonArray audio, video;
    qint64 sendBytes = 0;
    for (const Handle &h : m_handles) {
        if (!h.peer || !h.stream)
            continue;
        const QJsonObject stats = h.peer->stats();
        const QJsonArray rtp = stats.value(h.publisher ? QLatin1String("outbound") : QLatin1String("inbound")).toArray();
        auto find = [&](const QString &kind) {
            for (const QJsonValue &v : rtp)
                if (v.toObject().value(QLatin1String("kind")).toString() == kind)
                    return v.toObject();
            return QJsonObject();
        };
        const QJsonObject a = find(QStringLiteral("audio")), v = find(QStringLiteral("video"));
        if (!h.stream->audioTrackId().isEmpty()) {
            QJsonObject entry{{QStringLiteral("ssrc"), QString::number(h.publisher ? h.peer->audioSsrc() : a.value(QLatin1String("ssrc")).toInteger())},
                              {QStringLiteral("trackId"), h.stream->audioTrackId()},
                              {QStringLiteral("sendAudio"), h.publisher}};
            if (h.publisher) {
                entry.insert(QStringLiteral("iLevel"), h.stream->audioLevel());
                entry.insert(QStringLiteral("pktsSent"), a.value(QLatin1String("packets-sent")).toInteger());
                entry.insert(QStringLiteral("bytesSent"), a.value(QLatin1String("bytes-sent")).toInteger());
                sendBytes += a.value(QLatin1String("bytes-sent")).toInteger();
            } else {
                entry.insert(QStringLiteral("oLevel"), m_speakerMuted ? 0 : h.stream->audioLevel());
                entry.insert(QStringLiteral("pktsRecv"), a.value(QLatin1String("packets-received")).toInteger());
                entry.insert(QStringLiteral("pktsLost"), a.value(QLatin1String("packets-lost")).toInteger());
            }
            audio.append(entry);
        }
        if (!h.stream->videoTrackId().isEmpty()) {
            QJsonObject entry{{QStringLiteral("ssrc"), QString::number(h.publisher ? h.peer->videoSsrc() : v.value(QLatin1String("ssrc")).toInteger())},
                              {QStringLiteral("trackId"), h.stream->videoTrackId()},
                              {QStringLiteral("sendVideo"), h.publisher && !h.stream->hasScreen()},
                              {QStringLiteral("sendScreen"), h.publisher && h.stream->hasScreen()},
                              {QStringLiteral("framesDelivered"), h.peer->framesDelivered()}};
            if (h.publisher) {
                entry.insert(QStringLiteral("pktsSent"), v.value(QLatin1String("packets-sent")).toInteger());
                sendBytes += v.value(QLatin1String("bytes-sent")).toInteger();
            } else {
                entry.insert(QStringLiteral("pktsRecv"), v.value(QLatin1String("packets-received")).toInteger());
                entry.insert(QStringLiteral("pktsLost"), v.value(QLatin1String("packets-lost")).toInteger());
            }
            video.append(entry);
        }
    }
    QJsonObject status{{QStringLiteral("videoBwe"), QJsonObject{{QStringLiteral("bytesSent"), sendBytes}}},
                       {QStringLiteral("mediaSessionId"), QString::number(m_session)}};
    if (media.isEmpty() || media == QLatin1String("audio"))
        status.insert(QStringLiteral("audio"), audio);
    if (media.isEmpty() || media == QLatin1String("video"))
        status.insert(QStringLiteral("video"), video);
    return status;
}
