// A share's video from the screen capture. The capture keeps its newest frame; a periodic tick
// of GStreamer's system clock (at the share's frame rate) hands that frame to an appsrc,
// stamped with the pipeline's running time. The pixels are not copied: the buffer wraps the
// frame's implicitly shared array and holds a reference to it until the encoder is done.
//
// The encoder is set up once, with the size of the first frame sent (fitted into 1920×1080).
// A frame of another size later (the user picked another screen) is scaled to that size, with
// black borders where the shape differs, so the negotiated stream never changes.

#include "media/webrtc/KLWebRtcPeer.h"

#include "media/KLRTCMediaLogging.h"
#include "media/capture/KLScreenCapture.h"
#include "media/webrtc/KLWebRtcPeerGlib.h"

#include <gst/app/gstappsrc.h>
#include <gst/gst.h>

#include <QtGlobal>

#include <algorithm>
#include <cstring>

using namespace kl_webrtc_peer_detail;

namespace {

constexpr int kMaxShareWidth = 1920;
constexpr int kMaxShareHeight = 1080;
/// Ticks the first captured picture is waited for before black is sent, in seconds.
constexpr int kFirstPictureWaitS = 2;

/// GStreamer's name of a frame's pixel layout; null for one it does not carry.
const char *gstFormat(KLRTCMediaVideoFrame::Format format)
{
    const bool little = Q_BYTE_ORDER == Q_LITTLE_ENDIAN;
    switch (format) {
    case KLRTCMediaVideoFrame::FormatRGB32:
        return little ? "BGRx" : "xRGB";
    case KLRTCMediaVideoFrame::FormatARGB32:
        return little ? "BGRA" : "ARGB";
    case KLRTCMediaVideoFrame::FormatRGBA8888:
        return "RGBA";
    case KLRTCMediaVideoFrame::FormatInvalid:
        break;
    }
    return nullptr;
}

/// The size the encoder is set up with: the frame's, fitted into 1920×1080, even.
std::pair<int, int> encodedSize(int width, int height)
{
    const double scale = std::min({1.0, double(kMaxShareWidth) / width, double(kMaxShareHeight) / height});
    return {std::max(16, int(width * scale) & ~1), std::max(16, int(height * scale) & ~1)};
}

void releaseArray(gpointer data)
{
    delete static_cast<QByteArray *>(data);
}

/// The frame's pixels as a buffer: the shared array itself when its rows are packed, else
/// one copy into packed rows.
GstBuffer *wrapFrame(const KLRTCMediaVideoFrame &frame)
{
    const int row = frame.width * 4;
    QByteArray *pixels = nullptr;
    if (frame.bytesPerLine == row) {
        pixels = new QByteArray(frame.pixels);
    } else {
        pixels = new QByteArray(qsizetype(row) * frame.height, Qt::Uninitialized);
        for (int y = 0; y < frame.height; ++y)
            std::memcpy(pixels->data() + qsizetype(y) * row, frame.pixels.constData() + qsizetype(y) * frame.bytesPerLine, row);
    }
    const gsize size = gsize(row) * gsize(frame.height);
    return gst_buffer_new_wrapped_full(GST_MEMORY_FLAG_READONLY, const_cast<char *>(pixels->constData()), size, 0,
                                       size, pixels, releaseArray);
}

gboolean screenTick(GstClock *, GstClockTime, GstClockID, gpointer data)
{
    if (auto peer = lockPeer(data))
        peer->onScreenTick();
    return TRUE;
}

} // namespace

QString KLWebRtcPeer::screenSource() const
{
    return QStringLiteral("appsrc name=screen is-live=true format=time do-timestamp=true block=false"
                          " max-buffers=2 leaky-type=downstream"
                          " ! videoconvert ! videoscale add-borders=true"
                          " ! capsfilter name=screensize caps=\"video/x-raw,format=I420,pixel-aspect-ratio=1/1,framerate=%1/1\"")
        .arg(std::max(1, m_config.fps));
}

void KLWebRtcPeer::wireScreen()
{
    if (!m_config.screen || !m_config.capture)
        return;
    if ((m_screenSrc = gst_bin_get_by_name(GST_BIN(m_pipeline), "screen")))
        gst_object_unref(m_screenSrc); // the pipeline keeps it
    if ((m_screenSize = gst_bin_get_by_name(GST_BIN(m_pipeline), "screensize")))
        gst_object_unref(m_screenSize);
}

void KLWebRtcPeer::startScreen()
{
    if (!m_screenSrc || !m_screenSize || stopped())
        return;
    GstClock *clock = gst_system_clock_obtain();
    GstClockID tick = gst_clock_new_periodic_id(clock, gst_clock_get_time(clock),
                                                GST_SECOND / guint64(std::max(1, m_config.fps)));
    gst_object_unref(clock);
    {
        std::lock_guard lock(m_screenMutex);
        m_screenTick = tick;
    }
    if (gst_clock_id_wait_async(tick, screenTick, weakOf(shared_from_this()), freeWeak) != GST_CLOCK_OK)
        KL_ENGINE_LOG(8, QStringLiteral("the screen share's frame tick cannot start: nothing is sent"));
    KL_ENGINE_LOG(4, QStringLiteral("screen share sends %1 at %2 fps").arg(m_config.capture->describe()).arg(m_config.fps));
}

void KLWebRtcPeer::stopScreen()
{
    GstClockID tick = nullptr;
    {
        std::lock_guard lock(m_screenMutex);
        tick = std::exchange(m_screenTick, nullptr);
        if (m_screenCaps)
            gst_caps_unref(std::exchange(m_screenCaps, nullptr));
    }
    if (tick) {
        gst_clock_id_unschedule(tick);
        gst_clock_id_unref(tick);
    }
}

void KLWebRtcPeer::onScreenTick()
{
    std::lock_guard lock(m_screenMutex);
    if (!m_screenTick)
        return;
    const int fps = std::max(1, m_config.fps);
    KLRTCMediaVideoFrame frame;
    const bool captured = m_config.capture->latestFrame(frame) && frame.isValid();
    if (captured && !gstFormat(frame.format))
        return; // isValid() knows every format this maps
    if (!captured) {
        // The offer waits for the encoder's caps: a capture that never gives a picture must not
        // hold the share back for ever.
        if (!m_screenSized && ++m_screenTicksWithoutFrame < kFirstPictureWaitS * fps)
            return;
        if (!m_screenSized)
            KL_ENGINE_LOG(2, QStringLiteral("the screen capture gave no picture in %1 s: black is sent until it does")
                                 .arg(kFirstPictureWaitS));
        frame.width = m_config.width;
        frame.height = m_config.height;
        frame.format = KLRTCMediaVideoFrame::FormatRGB32;
        frame.bytesPerLine = frame.width * 4;
        frame.pixels = QByteArray(qsizetype(frame.bytesPerLine) * frame.height, '\0');
    }
    if (!m_screenSized) {
        const auto [width, height] = encodedSize(frame.width, frame.height);
        GstCaps *size = gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "I420", "width", G_TYPE_INT, width,
                                            "height", G_TYPE_INT, height, "pixel-aspect-ratio", GST_TYPE_FRACTION, 1, 1,
                                            "framerate", GST_TYPE_FRACTION, fps, 1, nullptr);
        g_object_set(m_screenSize, "caps", size, nullptr);
        gst_caps_unref(size);
        m_screenSized = true;
        KL_ENGINE_LOG(4, QStringLiteral("screen share encoded at %1x%2 (the screen is %3x%4)")
                             .arg(width).arg(height).arg(frame.width).arg(frame.height));
    }
    GstCaps *caps = gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, gstFormat(frame.format), "width",
                                        G_TYPE_INT, frame.width, "height", G_TYPE_INT, frame.height,
                                        "pixel-aspect-ratio", GST_TYPE_FRACTION, 1, 1, "framerate", GST_TYPE_FRACTION,
                                        fps, 1, nullptr);
    if (!m_screenCaps || !gst_caps_is_equal(caps, m_screenCaps)) {
        // Another screen (or layout): the scaler in front of the encoder takes the new caps.
        if (m_screenCaps) {
            KL_ENGINE_LOG(4, QStringLiteral("the shared screen is now %1x%2: scaled to the size sent")
                                 .arg(frame.width).arg(frame.height));
            gst_caps_unref(m_screenCaps);
        }
        gst_app_src_set_caps(GST_APP_SRC(m_screenSrc), caps);
        m_screenCaps = caps;
    } else {
        gst_caps_unref(caps);
    }
    gst_app_src_push_buffer(GST_APP_SRC(m_screenSrc), wrapFrame(frame));
}
