// The connection's peers: publishing a local stream, subscribing to remote feeds, restarting
// ICE and letting everything go.

#include "media/webrtc/KLWebRtcMediaConnection.h"

#include "media/KLRTCMediaLogging.h"
#include "media/webrtc/KLWebRtcMediaStream.h"
#include "media/webrtc/KLWebRtcPeer.h"
#include "runtime/KLDispatchQueue.h"
#include "runtime/KLTimeScale.h"

#include <QJsonDocument>
#include <QWebSocket>

#include <utility>

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
        // A microphone chosen on the connection after the stream was made is the one sent.
        const QString input = c.getSpeakerDeviceStatus().value(QLatin1String("micDeviceId")).toString();
        if (!local->hasScreen() && !input.isEmpty() && local->publisherConfig().micId != input)
            local->switchMicrophone(input);
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
