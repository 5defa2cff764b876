// The peer's media: decoded pads, frames, the data channel, muting, bus messages and statistics.

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

#include <cmath>
#include <mutex>
#include <vector>

using namespace kl_webrtc_peer_detail;

namespace {

QJsonValue jsonOf(const GValue *value)
{
    if (G_VALUE_HOLDS_UINT(value))
        return double(g_value_get_uint(value));
    if (G_VALUE_HOLDS_INT(value))
        return g_value_get_int(value);
    if (G_VALUE_HOLDS_UINT64(value))
        return double(g_value_get_uint64(value));
    if (G_VALUE_HOLDS_INT64(value))
        return double(g_value_get_int64(value));
    if (G_VALUE_HOLDS_DOUBLE(value))
        return g_value_get_double(value);
    if (G_VALUE_HOLDS_BOOLEAN(value))
        return bool(g_value_get_boolean(value));
    if (G_VALUE_HOLDS_STRING(value))
        return QString::fromUtf8(g_value_get_string(value));
    if (G_VALUE_HOLDS_ENUM(value))
        return g_value_get_enum(value);
    return QJsonValue(QJsonValue::Undefined);
}

QJsonObject jsonOf(const GstStructure *structure)
{
    QJsonObject object;
    const int n = gst_structure_n_fields(structure);
    for (int i = 0; i < n; ++i) {
        const char *name = gst_structure_nth_field_name(structure, guint(i));
        const QJsonValue value = jsonOf(gst_structure_get_value(structure, name));
        if (!value.isUndefined())
            object.insert(QString::fromUtf8(name), value);
    }
    return object;
}

} // namespace

static void dataString(GstWebRTCDataChannel *, gchar *text, gpointer data)
{
    if (auto peer = lockPeer(data))
        peer->onDataString(text);
}

static GstFlowReturn newSample(GstAppSink *sink, gpointer data)
{
    if (auto peer = lockPeer(data))
        peer->onSample(sink);
    return GST_FLOW_OK;
}

void KLWebRtcPeer::addAppSink(GstElement *sink, GstPad *)
{
    GstAppSinkCallbacks callbacks{};
    callbacks.new_sample = newSample;
    gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, weakOf(shared_from_this()), freeWeak);
}

void KLWebRtcPeer::openDataChannel()
{
    {
        std::lock_guard lock(m_mutex);
        if (m_channel || !m_webrtc || m_stopped)
            return;
    }
    GstWebRTCDataChannel *channel = nullptr;
    g_signal_emit_by_name(m_webrtc, "create-data-channel", "kelvo", nullptr, &channel);
    if (channel) {
        watchChannel(channel);
        g_object_unref(channel);
    } else {
        KL_ENGINE_LOG(2, QStringLiteral("no data channel could be made"));
    }
}

void KLWebRtcPeer::onPadAdded(GstPad *pad)
{
    if (GST_PAD_DIRECTION(pad) != GST_PAD_SRC || stopped())
        return;
    GstCaps *caps = gst_pad_get_current_caps(pad);
    if (!caps)
        caps = gst_pad_query_caps(pad, nullptr);
    const GstStructure *s = caps ? gst_caps_get_structure(caps, 0) : nullptr;
    const QString media = s ? QString::fromUtf8(gst_structure_get_string(s, "media")) : QString();
    const QString encoding = s ? QString::fromUtf8(gst_structure_get_string(s, "encoding-name")).toUpper() : QString();
    if (caps)
        gst_caps_unref(caps);
    QString description;
    if (media == QLatin1String("video") && encoding == QLatin1String("VP8")) {
        description = QStringLiteral("queue ! rtpvp8depay ! vp8dec ! videoconvert ! video/x-raw,format=BGRA"
                                     " ! appsink name=frames sync=false max-buffers=2 drop=true");
    } else if (media == QLatin1String("audio") && encoding == QLatin1String("OPUS")) {
        // The speaker takes the placeholder's place once the chain is made (attachSpeaker).
        description = QStringLiteral("queue ! rtpopusdepay ! opusdec ! audioconvert"
                                     " ! level interval=100000000 post-messages=true ! volume name=pvol"
                                     " ! audioconvert ! audioresample name=pout ! fakesink name=speaker");
    } else {
        description = QStringLiteral("fakesink");
        KL_ENGINE_LOG(2, QStringLiteral("received %1 %2 discarded").arg(media, encoding));
    }
    GError *error = nullptr;
    GstElement *bin = gst_parse_bin_from_description(description.toUtf8().constData(), TRUE, &error);
    if (!bin) {
        KL_ENGINE_LOG(8, QStringLiteral("receive chain: %1").arg(error ? QString::fromUtf8(error->message) : QString()));
        g_clear_error(&error);
        return;
    }
    gst_bin_add(GST_BIN(m_pipeline), bin);
    if (GstElement *sink = gst_bin_get_by_name(GST_BIN(bin), "frames")) {
        addAppSink(sink, nullptr);
        gst_object_unref(sink);
    }
    if (GstElement *volume = gst_bin_get_by_name(GST_BIN(bin), "pvol")) {
        m_audioVolume = volume;
        gst_object_unref(volume);
        attachSpeaker(bin);
    }
    gst_element_sync_state_with_parent(bin);
    GstPad *sinkPad = gst_element_get_static_pad(bin, "sink");
    if (gst_pad_link(pad, sinkPad) != GST_PAD_LINK_OK)
        KL_ENGINE_LOG(8, QStringLiteral("received %1 cannot be decoded").arg(media));
    gst_object_unref(sinkPad);
}

void KLWebRtcPeer::watchChannel(GstWebRTCDataChannel *channel)
{
    {
        std::lock_guard lock(m_mutex);
        if (!m_channel)
            m_channel = GST_WEBRTC_DATA_CHANNEL(g_object_ref(channel));
    }
    g_signal_connect_data(channel, "on-message-string", G_CALLBACK(dataString), weakOf(shared_from_this()),
                          freeWeakClosure, GConnectFlags(0));
}

void KLWebRtcPeer::onDataChannel(GstWebRTCDataChannel *channel)
{
    // The server's channel towards us (labelled with the publisher's feed): listen only.
    g_signal_connect_data(channel, "on-message-string", G_CALLBACK(dataString), weakOf(shared_from_this()),
                          freeWeakClosure, GConnectFlags(0));
}

void KLWebRtcPeer::onDataString(const char *text)
{
    if (const auto cb = callbacks(); cb.dataMessage)
        cb.dataMessage(QString::fromUtf8(text));
}

bool KLWebRtcPeer::sendData(const QString &text)
{
    GstWebRTCDataChannel *channel = nullptr;
    {
        std::lock_guard lock(m_mutex);
        if (m_channel)
            channel = GST_WEBRTC_DATA_CHANNEL(g_object_ref(m_channel));
    }
    if (!channel)
        return false;
    GstWebRTCDataChannelState state = GST_WEBRTC_DATA_CHANNEL_STATE_CLOSED;
    g_object_get(channel, "ready-state", &state, nullptr);
    const bool open = state == GST_WEBRTC_DATA_CHANNEL_STATE_OPEN;
    if (open)
        g_signal_emit_by_name(channel, "send-string", text.toUtf8().constData());
    g_object_unref(channel);
    return open;
}

void KLWebRtcPeer::setOverlayText(const QString &text)
{
    std::lock_guard lock(m_mutex);
    if (!m_pipeline)
        return;
    if (GstElement *overlay = gst_bin_get_by_name(GST_BIN(m_pipeline), "overlay")) {
        g_object_set(overlay, "text", text.toUtf8().constData(), nullptr);
        gst_object_unref(overlay);
    }
}

void KLWebRtcPeer::setAudioMuted(bool muted)
{
    if (m_audioVolume && m_config.publisher)
        g_object_set(m_audioVolume, "mute", gboolean(muted), nullptr);
    if (muted)
        m_level = 0;
}

void KLWebRtcPeer::setPlaybackMuted(bool muted)
{
    if (m_audioVolume && !m_config.publisher)
        g_object_set(m_audioVolume, "mute", gboolean(muted), nullptr);
}

void KLWebRtcPeer::setVideoMuted(bool muted)
{
    if (m_videoValve)
        g_object_set(m_videoValve, "drop", gboolean(muted), nullptr);
}

void KLWebRtcPeer::onBusMessage(GstMessage *message)
{
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_ELEMENT: {
        const GstStructure *s = gst_message_get_structure(message);
        if (!s || !gst_structure_has_name(s, "level"))
            return;
        const GValue *rms = gst_structure_get_value(s, "rms");
        double db = -100.0;
        if (rms && g_strcmp0(G_VALUE_TYPE_NAME(rms), "GValueArray") == 0) {
            G_GNUC_BEGIN_IGNORE_DEPRECATIONS
            auto *array = static_cast<GValueArray *>(g_value_get_boxed(rms));
            for (guint i = 0; array && i < array->n_values; ++i)
                db = std::max(db, g_value_get_double(g_value_array_get_nth(array, i)));
            G_GNUC_END_IGNORE_DEPRECATIONS
        }
        const double linear = std::isfinite(db) ? std::pow(10.0, db / 20.0) : 0.0;
        m_level = int(std::clamp(linear * 32767.0, 0.0, 32767.0));
        return;
    }
    case GST_MESSAGE_ERROR: {
        GError *error = nullptr;
        gchar *debug = nullptr;
        gst_message_parse_error(message, &error, &debug);
        const QString text = QStringLiteral("%1: %2").arg(QString::fromUtf8(GST_OBJECT_NAME(message->src)),
                                                          error ? QString::fromUtf8(error->message) : QString());
        g_clear_error(&error);
        g_free(debug);
        KL_ENGINE_LOG(8, QStringLiteral("media pipeline error %1").arg(text));
        recoverAudioDevice(message);
        if (const auto cb = callbacks(); cb.error)
            cb.error(text);
        return;
    }
    default:
        return;
    }
}

void KLWebRtcPeer::onSample(GstAppSink *sink)
{
    GstSample *sample = gst_app_sink_pull_sample(sink);
    if (!sample)
        return;
    GstVideoInfo info;
    GstBuffer *buffer = gst_sample_get_buffer(sample);
    GstMapInfo map;
    if (buffer && gst_video_info_from_caps(&info, gst_sample_get_caps(sample))
        && gst_buffer_map(buffer, &map, GST_MAP_READ)) {
        KLRTCMediaVideoFrame frame;
        frame.width = GST_VIDEO_INFO_WIDTH(&info);
        frame.height = GST_VIDEO_INFO_HEIGHT(&info);
        frame.format = KLRTCMediaVideoFrame::FormatARGB32; // BGRA bytes are 0xAARRGGBB words here
        frame.bytesPerLine = GST_VIDEO_INFO_PLANE_STRIDE(&info, 0);
        const qsizetype bytes = qsizetype(frame.bytesPerLine) * frame.height;
        // The views keep frames beyond this call, so the pixels leave the mapped buffer once,
        // into the shared array every view then holds.
        frame.pixels = QByteArray(reinterpret_cast<const char *>(map.data), std::min<qsizetype>(bytes, qsizetype(map.size)));
        frame.timestampUs = GST_BUFFER_PTS_IS_VALID(buffer) ? qint64(GST_BUFFER_PTS(buffer) / 1000) : g_get_monotonic_time();
        gst_buffer_unmap(buffer, &map);
        ++m_frames;
        if (const auto cb = callbacks(); cb.videoFrame)
            cb.videoFrame(frame);
    }
    gst_sample_unref(sample);
}

static void statsReady(GstPromise *promise, gpointer data)
{
    if (gst_promise_wait(promise) == GST_PROMISE_RESULT_REPLIED) {
        if (auto peer = lockPeer(data))
            peer->onStats(gst_promise_get_reply(promise));
    }
    gst_promise_unref(promise);
}

void KLWebRtcPeer::requestStats()
{
    if (!m_webrtc || stopped())
        return;
    GstPromise *promise = gst_promise_new_with_change_func(statsReady, weakOf(shared_from_this()), freeWeak);
    g_signal_emit_by_name(m_webrtc, "get-stats", nullptr, promise);
}

void KLWebRtcPeer::onStats(const GstStructure *reply)
{
    if (!reply)
        return;
    QJsonArray outbound, inbound, remoteInbound;
    QJsonObject codecs;
    const int n = gst_structure_n_fields(reply);
    std::vector<QJsonObject> rtp;
    for (int i = 0; i < n; ++i) {
        const GValue *value = gst_structure_get_value(reply, gst_structure_nth_field_name(reply, guint(i)));
        if (!value || !GST_VALUE_HOLDS_STRUCTURE(value))
            continue;
        const GstStructure *entry = gst_value_get_structure(value);
        GstWebRTCStatsType type = GST_WEBRTC_STATS_CODEC;
        if (!gst_structure_get(entry, "type", GST_TYPE_WEBRTC_STATS_TYPE, &type, nullptr))
            continue;
        QJsonObject object = jsonOf(entry);
        if (type == GST_WEBRTC_STATS_CODEC)
            codecs.insert(object.value(QLatin1String("id")).toString(), object.value(QLatin1String("mime-type")));
        else if (type == GST_WEBRTC_STATS_OUTBOUND_RTP || type == GST_WEBRTC_STATS_INBOUND_RTP
                 || type == GST_WEBRTC_STATS_REMOTE_INBOUND_RTP)
            rtp.push_back(object);
    }
    for (QJsonObject object : rtp) {
        const QString mime = codecs.value(object.value(QLatin1String("codec-id")).toString()).toString();
        object.insert(QStringLiteral("kind"), mime.startsWith(QLatin1String("audio")) ? QStringLiteral("audio")
                                                                                       : QStringLiteral("video"));
        const int type = object.value(QLatin1String("type")).toInt();
        if (type == GST_WEBRTC_STATS_OUTBOUND_RTP)
            outbound.append(object);
        else if (type == GST_WEBRTC_STATS_INBOUND_RTP)
            inbound.append(object);
        else
            remoteInbound.append(object);
    }
    std::lock_guard lock(m_mutex);
    m_stats = {{QStringLiteral("outbound"), outbound},
               {QStringLiteral("inbound"), inbound},
               {QStringLiteral("remoteInbound"), remoteInbound}};
}

QJsonObject KLWebRtcPeer::stats() const
{
    std::lock_guard lock(m_mutex);
    return m_stats;
}
