// The device manager's sound file playback (the settings' speaker test): a playbin of its own
// whose audio ends in the element of the speaker a meeting chose last, let go on the engine
// queue once the file has ended or failed.

#include "media/webrtc/KLWebRtcDeviceMonitor.h"

#include "media/KLRTCMediaLogging.h"
#include "runtime/KLDispatchQueue.h"

#include <QFileInfo>
#include <QUrl>

#include <gst/gst.h>

namespace {

using WeakMonitor = std::weak_ptr<KLWebRtcDeviceMonitor>;

void freeWeakMonitor(gpointer data)
{
    delete static_cast<WeakMonitor *>(data);
}

} // namespace

void KLWebRtcDeviceMonitor::rememberSpeaker(const QString &speakerId)
{
    std::lock_guard lock(m_mutex);
    m_speakerChoice = speakerId;
}

void KLWebRtcDeviceMonitor::startPlayingFile(const QString &path)
{
    if (!QFileInfo(path).isFile()) {
        KL_ENGINE_LOG(8, QStringLiteral("cannot play %1: no such file").arg(path));
        return;
    }
    QString choice;
    {
        std::lock_guard lock(m_mutex);
        choice = m_speakerChoice;
    }
    KLRTCMediaDevice used;
    GstElement *sink = createElement(KLRTCMediaDeviceTypeSpeaker, choice, &used);
    if (!sink) {
        KL_ENGINE_LOG(2, QStringLiteral("no speaker: %1 is not played").arg(path));
        return;
    }
    GstElement *player = gst_element_factory_make("playbin", nullptr);
    if (!player) {
        gst_object_unref(gst_object_ref_sink(sink));
        KL_ENGINE_LOG(8, QStringLiteral("cannot play %1: no playbin").arg(path));
        return;
    }
    GstElement *noVideo = gst_element_factory_make("fakesink", nullptr);
    g_object_set(player, "uri", QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toEncoded().constData(),
                 "audio-sink", sink, "video-sink", noVideo, nullptr);
    GstBus *bus = gst_element_get_bus(player);
    gst_bus_set_sync_handler(bus, reinterpret_cast<GstBusSyncHandler>(&KLWebRtcDeviceMonitor::playerMessage),
                             new WeakMonitor(weak_from_this()), freeWeakMonitor);
    gst_object_unref(bus);
    GstElement *previous = nullptr;
    {
        std::lock_guard lock(m_mutex);
        previous = std::exchange(m_player, GST_ELEMENT(gst_object_ref_sink(player)));
    }
    if (previous) {
        gst_element_set_state(previous, GST_STATE_NULL);
        gst_object_unref(previous);
    }
    KL_ENGINE_LOG(4, QStringLiteral("playing %1 on %2 (%3)").arg(path, used.deviceName, used.deviceId));
    if (gst_element_set_state(player, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE)
        finishPlaying(player, QStringLiteral("cannot start"));
}

int KLWebRtcDeviceMonitor::playerMessage(GstBus *, GstMessage *message, void *data)
{
    QString outcome;
    if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS) {
        outcome = QStringLiteral("played");
    } else if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR) {
        GError *error = nullptr;
        gst_message_parse_error(message, &error, nullptr);
        outcome = QStringLiteral("failed: %1").arg(error ? QString::fromUtf8(error->message) : QString());
        g_clear_error(&error);
    } else {
        return GST_BUS_DROP;
    }
    auto monitor = static_cast<WeakMonitor *>(data)->lock();
    if (!monitor)
        return GST_BUS_DROP;
    // Let go on the engine queue: a pipeline is never stopped from its own streaming thread.
    auto *player = GST_ELEMENT(gst_object_ref(GST_MESSAGE_SRC(message)));
    while (GST_OBJECT_PARENT(player)) {
        auto *parent = GST_ELEMENT(gst_object_get_parent(GST_OBJECT(player)));
        gst_object_unref(player);
        player = parent;
    }
    WeakMonitor weak = monitor;
    monitor->m_queue->async([weak, player, outcome] {
        if (auto self = weak.lock())
            self->finishPlaying(player, outcome);
        gst_object_unref(player);
    });
    return GST_BUS_DROP;
}

void KLWebRtcDeviceMonitor::finishPlaying(GstElement *player, const QString &outcome)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_player != player)
            return; // replaced (and stopped) by a later call
        m_player = nullptr;
    }
    gst_element_set_state(player, GST_STATE_NULL);
    KL_ENGINE_LOG(outcome == QLatin1String("played") ? 4 : 8, QStringLiteral("sound file %1").arg(outcome));
    gst_object_unref(player);
}
