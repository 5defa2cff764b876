// The connection's controls (speaker, video, devices, data) and its statistics.

#include "media/webrtc/KLWebRtcMediaConnection.h"

#include "media/KLRTCMediaLogging.h"
#include "media/webrtc/KLWebRtcDeviceMonitor.h"
#include "media/webrtc/KLWebRtcMediaStream.h"
#include "media/webrtc/KLWebRtcPeer.h"
#include "runtime/KLDispatchQueue.h"
#include "runtime/KLTimeScale.h"

#include <QJsonDocument>

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
    {
        std::lock_guard lock(m_mutex);
        m_audioInput = deviceId;
    }
    // The published streams' publishers swap their source; nothing is negotiated again.
    onQueue([deviceId](KLWebRtcMediaConnection &c) {
        for (const auto &stream : std::as_const(c.m_published))
            if (!stream->hasScreen())
                stream->switchMicrophone(deviceId);
    });
}

void KLWebRtcMediaConnection::changeAudioOutputDevice(const QString &deviceId)
{
    {
        std::lock_guard lock(m_mutex);
        m_audioOutput = deviceId;
    }
    if (m_devices)
        m_devices->rememberSpeaker(deviceId); // the settings' test sound plays there too
    onQueue([deviceId](KLWebRtcMediaConnection &c) {
        for (const Handle &h : std::as_const(c.m_handles))
            if (h.peer && !h.publisher)
                h.peer->switchSpeaker(deviceId);
    });
}

QString KLWebRtcMediaConnection::speakerChoice() const
{
    {
        std::lock_guard lock(m_mutex);
        if (!m_audioOutput.isEmpty())
            return m_audioOutput;
    }
    for (const auto &stream : std::as_const(m_published))
        if (!stream->hasScreen())
            return stream->publisherConfig().speakerId;
    return QString();
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
        // A publisher's own entries are found by the SSRCs it sends with: the codec an outbound
        // entry names does not tell audio from video reliably in this GStreamer.
        auto find = [&](const QString &kind, quint32 ownSsrc) {
            for (const QJsonValue &v : rtp) {
                const QJsonObject entry = v.toObject();
                if (h.publisher ? entry.value(QLatin1String("ssrc")).toInteger() == ownSsrc
                                : entry.value(QLatin1String("kind")).toString() == kind)
                    return entry;
            }
            return QJsonObject();
        };
        const QJsonObject a = find(QStringLiteral("audio"), h.peer->audioSsrc());
        const QJsonObject v = find(QStringLiteral("video"), h.peer->videoSsrc());
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
                const quint64 size = h.frameSize->load();
                entry.insert(QStringLiteral("frameWidth"), qint64(size >> 32));
                entry.insert(QStringLiteral("frameHeight"), qint64(size & 0xffffffffu));
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
