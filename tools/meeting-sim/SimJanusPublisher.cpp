#include "SimJanusPublisher.h"

#include "SimLog.h"

#include <gst/gst.h>

namespace kelvosim {

namespace {

void ensureGst()
{
    if (!gst_is_initialized())
        gst_init(nullptr, nullptr);
}

template <typename Work>
void onElement(GstElement *pipeline, const char *name, Work work)
{
    if (!pipeline)
        return;
    if (GstElement *element = gst_bin_get_by_name(GST_BIN(pipeline), name)) {
        work(element);
        gst_object_unref(element);
    }
}

// Nobody polls a feed's bus: its messages are dropped as they come, errors after a log line.
GstBusSyncReply dropMessage(GstBus *, GstMessage *message, gpointer)
{
    if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR) {
        GError *error = nullptr;
        gst_message_parse_error(message, &error, nullptr);
        qCWarning(lcSim) << "janus feeds: a feed failed:" << (error ? error->message : "");
        if (error)
            g_error_free(error);
    }
    return GST_BUS_DROP;
}

} // namespace

bool SimJanusPublisher::available(QString *why)
{
    ensureGst();
    for (const char *factory : {"videotestsrc", "textoverlay", "vp8enc", "rtpvp8pay", "audiotestsrc", "opusenc",
                                "rtpopuspay", "udpsink", "valve", "volume"}) {
        GstElementFactory *found = gst_element_factory_find(factory);
        if (!found) {
            if (why)
                *why = QStringLiteral("GStreamer has no %1").arg(QLatin1String(factory));
            return false;
        }
        gst_object_unref(found);
    }
    return true;
}

SimJanusPublisher::SimJanusPublisher(const QString &name, bool screen) : m_name(name), m_screen(screen) {}

SimJanusPublisher::~SimJanusPublisher()
{
    stop();
}

bool SimJanusPublisher::start(int port)
{
    ensureGst();
    stop();
    // Key frames come when Janus asks for one (a new subscriber) and every two seconds.
    const QString description =
        QStringLiteral(
            "videotestsrc is-live=true pattern=%1 ! video/x-raw,format=I420,width=640,height=360,framerate=15/1"
            " ! textoverlay name=overlay valignment=center halignment=center font-desc=\"Sans 40\""
            " ! valve name=video drop=false"
            " ! vp8enc name=encoder deadline=1 cpu-used=8 threads=1 target-bitrate=400000 keyframe-max-dist=30"
            " ! rtpvp8pay pt=96 ssrc=%4 picture-id-mode=15-bit ! udpsink host=127.0.0.1 port=%3 sync=false async=false"
            " audiotestsrc is-live=true wave=sine freq=440 volume=0.3 ! audioconvert ! audioresample"
            " ! audio/x-raw,rate=48000,channels=1 ! volume name=tone volume=%6 ! opusenc bitrate=32000"
            " ! rtpopuspay pt=111 ssrc=%5 ! udpsink host=127.0.0.1 port=%3 sync=false async=false")
            .arg(m_screen ? QStringLiteral("ball") : QStringLiteral("smpte"))
            .arg(port)
            .arg(kVideoSsrc)
            .arg(kAudioSsrc)
            .arg(m_speaking ? 1 : 0);
    GError *error = nullptr;
    GstElement *pipeline = gst_parse_launch(description.toUtf8().constData(), &error);
    if (!pipeline || error) {
        qCWarning(lcSim) << "janus feeds: cannot build the feed of" << m_name << ":" << (error ? error->message : "");
        if (error)
            g_error_free(error);
        if (pipeline)
            gst_object_unref(pipeline);
        return false;
    }
    // The name is set as a property, not parsed: any text (CJK, quotes) shows as it is.
    const QByteArray name = m_name.toUtf8();
    onElement(pipeline, "overlay", [&name](GstElement *overlay) { g_object_set(overlay, "text", name.constData(), nullptr); });
    GstBus *bus = gst_element_get_bus(pipeline);
    gst_bus_set_sync_handler(bus, dropMessage, nullptr, nullptr);
    gst_object_unref(bus);
    if (gst_element_set_state(pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        qCWarning(lcSim) << "janus feeds: the feed of" << m_name << "does not play";
        gst_element_set_state(pipeline, GST_STATE_NULL);
        gst_object_unref(pipeline);
        return false;
    }
    m_pipeline = pipeline;
    return true;
}

void SimJanusPublisher::stop()
{
    if (!m_pipeline)
        return;
    gst_element_set_state(m_pipeline, GST_STATE_NULL);
    gst_object_unref(m_pipeline);
    m_pipeline = nullptr;
}

void SimJanusPublisher::setSpeaking(bool speaking)
{
    m_speaking = speaking;
    onElement(m_pipeline, "tone", [speaking](GstElement *volume) {
        g_object_set(volume, "volume", speaking ? 1.0 : 0.0, nullptr);
    });
}

void SimJanusPublisher::sendKeyFrame()
{
    onElement(m_pipeline, "encoder", [](GstElement *encoder) {
        GstPad *pad = gst_element_get_static_pad(encoder, "src");
        gst_pad_send_event(pad, gst_event_new_custom(GST_EVENT_CUSTOM_UPSTREAM,
                                                     gst_structure_new("GstForceKeyUnit", "all-headers", G_TYPE_BOOLEAN,
                                                                       TRUE, nullptr)));
        gst_object_unref(pad);
    });
}

bool SimJanusPublisher::asksForKeyFrame(const QByteArray &packet)
{
    // Walk the compound packet: payload-specific feedback (206) with format 1 (PLI) or 4 (FIR).
    qsizetype at = 0;
    while (at + 4 <= packet.size()) {
        const auto byte = [&](qsizetype i) { return quint8(packet.at(at + i)); };
        if ((byte(0) >> 6) != 2)
            return false;
        const int format = byte(0) & 0x1f;
        if (byte(1) == 206 && (format == 1 || format == 4))
            return true;
        at += 4 * (qsizetype(byte(2) << 8 | byte(3)) + 1);
    }
    return false;
}

QByteArray SimJanusPublisher::receiverReport()
{
    QByteArray report(8, '\0');
    report[0] = char(0x80); // version 2, no report blocks
    report[1] = char(201);
    report[3] = 1; // length in 32-bit words minus one
    for (int i = 0; i < 4; ++i)
        report[4 + i] = char((kVideoSsrc >> (24 - 8 * i)) & 0xff);
    return report;
}

QByteArray SimJanusPublisher::dataPacket(const QByteArray &message)
{
    QByteArray packet(12, '\0');
    packet[0] = char(0x80);
    for (int i = 0; i < 4; ++i)
        packet[8 + i] = char((kDataSsrc >> (24 - 8 * i)) & 0xff);
    return packet + message;
}

void SimJanusPublisher::setVideo(bool on)
{
    onElement(m_pipeline, "video", [on](GstElement *valve) { g_object_set(valve, "drop", on ? FALSE : TRUE, nullptr); });
}

} // namespace kelvosim
