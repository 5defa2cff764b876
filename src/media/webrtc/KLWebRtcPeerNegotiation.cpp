// The peer's negotiation: offers and answers, the remote description, ICE candidates and the
// ICE states that follow from them.

#include "media/webrtc/KLWebRtcPeer.h"

#include "media/KLRTCMediaLogging.h"
#include "media/webrtc/KLWebRtcPeerGlib.h"

#include <QStringList>

#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <gst/sdp/sdp.h>
#include <gst/video/video.h>
#define GST_USE_UNSTABLE_API
#include <gst/webrtc/webrtc.h>

#include <mutex>

using namespace kl_webrtc_peer_detail;

static bool loopbackCandidate(const QString &candidate)
{
    // candidate:<foundation> <component> <transport> <priority> <address> <port> typ ...
    const QStringList fields = QString(candidate).remove(QStringLiteral("a=")).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    return fields.size() > 5 && KLWebRtcPeer::isLoopbackHost(fields.at(4));
}

QString KLWebRtcPeer::loopbackCandidatesOnly(const QString &sdp)
{
    QStringList kept;
    const QStringList lines = sdp.split(QStringLiteral("\r\n"));
    for (const QString &line : lines) {
        if (line.startsWith(QLatin1String("a=candidate:")) && !loopbackCandidate(line))
            continue;
        kept << line;
    }
    return kept.join(QStringLiteral("\r\n"));
}

void KLWebRtcPeer::onCaps()
{
    if (++m_capsSeen < m_capsExpected)
        return;
    onNegotiationReady();
}

void KLWebRtcPeer::createOffer(bool iceRestart)
{
    {
        std::lock_guard lock(m_mutex);
        m_offerWanted = true;
        m_offerRestart = iceRestart;
    }
    if (m_capsSeen.load() >= m_capsExpected)
        onNegotiationReady();
}

static void offerCreated(GstPromise *promise, gpointer data)
{
    if (auto peer = lockPeer(data))
        peer->onOfferCreated(promise);
    gst_promise_unref(promise);
}

static void answerCreated(GstPromise *promise, gpointer data)
{
    if (auto peer = lockPeer(data))
        peer->onAnswerCreated(promise);
    gst_promise_unref(promise);
}

void KLWebRtcPeer::onNegotiationReady()
{
    {
        std::lock_guard lock(m_mutex);
        if (!m_offerWanted || m_stopped)
            return;
        m_offerWanted = false;
    }
    GstPromise *promise = gst_promise_new_with_change_func(offerCreated, weakOf(shared_from_this()), freeWeak);
    g_signal_emit_by_name(m_webrtc, "create-offer", nullptr, promise);
}

static QString takeDescription(GstPromise *promise, const char *field, GstElement *webrtc, const char *setter)
{
    if (gst_promise_wait(promise) != GST_PROMISE_RESULT_REPLIED)
        return {};
    const GstStructure *reply = gst_promise_get_reply(promise);
    GstWebRTCSessionDescription *description = nullptr;
    if (!reply || !gst_structure_get(reply, field, GST_TYPE_WEBRTC_SESSION_DESCRIPTION, &description, nullptr)
        || !description)
        return {};
    g_signal_emit_by_name(webrtc, setter, description, nullptr);
    gchar *text = gst_sdp_message_as_text(description->sdp);
    const QString sdp = QString::fromUtf8(text);
    g_free(text);
    gst_webrtc_session_description_free(description);
    return sdp;
}

void KLWebRtcPeer::onOfferCreated(GstPromise *promise)
{
    const QString sdp = takeDescription(promise, "offer", m_webrtc, "set-local-description");
    if (sdp.isEmpty()) {
        KL_ENGINE_LOG(8, QStringLiteral("no offer could be made"));
        if (const auto cb = callbacks(); cb.error)
            cb.error(QStringLiteral("no offer"));
        return;
    }
    if (const auto cb = callbacks(); cb.localDescription)
        cb.localDescription(QStringLiteral("offer"), sdp);
}

void KLWebRtcPeer::onAnswerCreated(GstPromise *promise)
{
    const QString sdp = takeDescription(promise, "answer", m_webrtc, "set-local-description");
    if (sdp.isEmpty()) {
        KL_ENGINE_LOG(8, QStringLiteral("no answer could be made"));
        if (const auto cb = callbacks(); cb.error)
            cb.error(QStringLiteral("no answer"));
        return;
    }
    if (const auto cb = callbacks(); cb.localDescription)
        cb.localDescription(QStringLiteral("answer"), sdp);
}

static void remoteSet(GstPromise *promise, gpointer data)
{
    gst_promise_unref(promise);
    if (auto peer = lockPeer(data))
        peer->onRemoteOfferSet();
}

void KLWebRtcPeer::setRemoteDescription(const QString &type, const QString &sdpText)
{
    if (!m_webrtc || stopped())
        return;
    const QString sdpIn = m_config.loopbackOnly ? loopbackCandidatesOnly(sdpText) : sdpText;
    GstSDPMessage *sdp = nullptr;
    gst_sdp_message_new(&sdp);
    const QByteArray bytes = sdpIn.toUtf8();
    if (gst_sdp_message_parse_buffer(reinterpret_cast<const guint8 *>(bytes.constData()), guint(bytes.size()), sdp)
        != GST_SDP_OK) {
        gst_sdp_message_free(sdp);
        KL_ENGINE_LOG(8, QStringLiteral("the media server's %1 is not SDP").arg(type));
        if (const auto cb = callbacks(); cb.error)
            cb.error(QStringLiteral("bad SDP"));
        return;
    }
    const bool offer = type == QLatin1String("offer");
    GstWebRTCSessionDescription *description =
        gst_webrtc_session_description_new(offer ? GST_WEBRTC_SDP_TYPE_OFFER : GST_WEBRTC_SDP_TYPE_ANSWER, sdp);
    GstPromise *promise = offer ? gst_promise_new_with_change_func(remoteSet, weakOf(shared_from_this()), freeWeak)
                                : nullptr;
    g_signal_emit_by_name(m_webrtc, "set-remote-description", description, promise);
    gst_webrtc_session_description_free(description);
}

void KLWebRtcPeer::onRemoteOfferSet()
{
    // The media server relays data to a subscriber only once the subscriber has opened a
    // channel of its own.
    if (m_config.dataChannel)
        openDataChannel();
    GstPromise *promise = gst_promise_new_with_change_func(answerCreated, weakOf(shared_from_this()), freeWeak);
    g_signal_emit_by_name(m_webrtc, "create-answer", nullptr, promise);
}

void KLWebRtcPeer::addRemoteCandidate(int mlineIndex, const QString &candidate)
{
    if (!m_webrtc || candidate.isEmpty() || stopped())
        return;
    if (m_config.loopbackOnly && !loopbackCandidate(candidate)) {
        KL_ENGINE_LOG(16, QStringLiteral("remote candidate dropped (not loopback): %1").arg(candidate));
        return;
    }
    g_signal_emit_by_name(m_webrtc, "add-ice-candidate", guint(std::max(0, mlineIndex)), candidate.toUtf8().constData());
}

void KLWebRtcPeer::onIceCandidate(unsigned mline, const char *candidate)
{
    const QString text = QString::fromUtf8(candidate);
    if (m_config.loopbackOnly && !loopbackCandidate(text))
        return;
    if (const auto cb = callbacks(); cb.localCandidate)
        cb.localCandidate(int(mline), text);
}

void KLWebRtcPeer::onGatheringState()
{
    GstWebRTCICEGatheringState state = GST_WEBRTC_ICE_GATHERING_STATE_NEW;
    g_object_get(m_webrtc, "ice-gathering-state", &state, nullptr);
    if (const auto cb = callbacks(); state == GST_WEBRTC_ICE_GATHERING_STATE_COMPLETE && cb.localCandidate)
        cb.localCandidate(-1, QString());
}

void KLWebRtcPeer::onIceConnectionState()
{
    GstWebRTCICEConnectionState state = GST_WEBRTC_ICE_CONNECTION_STATE_NEW;
    g_object_get(m_webrtc, "ice-connection-state", &state, nullptr);
    const char *name = nullptr;
    switch (state) {
    case GST_WEBRTC_ICE_CONNECTION_STATE_CONNECTED: name = "connected"; break;
    case GST_WEBRTC_ICE_CONNECTION_STATE_COMPLETED: name = "completed"; break;
    case GST_WEBRTC_ICE_CONNECTION_STATE_FAILED: name = "failed"; break;
    case GST_WEBRTC_ICE_CONNECTION_STATE_DISCONNECTED: name = "disconnected"; break;
    case GST_WEBRTC_ICE_CONNECTION_STATE_CLOSED: name = "closed"; break;
    default: break;
    }
    if (const auto cb = callbacks(); name && cb.iceState)
        cb.iceState(QString::fromLatin1(name));
}
