#include "media/capture/KLPipeWireCapture.h"

#include "runtime/KLSDKLog.h"

#include <QElapsedTimer>

#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <gst/video/video.h>

#include <atomic>
#include <mutex>

namespace {
const char *const kTag = "KLPipeWireCapture";

/// What the pipeline's threads write and readers read; alive as long as the pipeline needs it.
struct CaptureState {
    explicit CaptureState(QString text) : description(std::move(text)) { clock.start(); }

    const QString description;
    QElapsedTimer clock;
    qint64 lastUs = 0; // streaming thread only
    mutable std::mutex mutex;
    KLRTCMediaVideoFrame frame; // under mutex
    QString failure;            // under mutex
    std::atomic<qint64> taken{0};
    std::atomic<bool> stopped{false};
    /// Held while a sample is looked at and kept, and while stopping: no frame is kept after
    /// the stop has been reported.
    std::mutex sampling;
    /// Held by the state change under way: a stop waits for a start still waiting on PipeWire.
    std::mutex lifecycle;

    // GStreamer's threads: no state changes here, only notes.
    static GstBusSyncReply onBusMessage(GstBus *, GstMessage *message, gpointer data)
    {
        auto &self = **static_cast<std::shared_ptr<CaptureState> *>(data);
        if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR) {
            GError *error = nullptr;
            gst_message_parse_error(message, &error, nullptr);
            const QString text = error ? QString::fromUtf8(error->message) : QStringLiteral("unknown error");
            if (error)
                g_error_free(error);
            bool first = false;
            {
                std::lock_guard lock(self.mutex);
                first = self.failure.isEmpty();
                if (first)
                    self.failure = text;
            }
            if (first && !self.stopped.load())
                KL_LOG_WARN(kTag, QStringLiteral("capture of %1 failed: %2; the share keeps its last picture")
                                      .arg(self.description, text));
        } else if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS && !self.stopped.load()) {
            KL_LOG_WARN(kTag, QStringLiteral("capture of %1 ended by the desktop").arg(self.description));
        }
        gst_message_unref(message);
        return GST_BUS_DROP;
    }

    static GstFlowReturn onSample(GstAppSink *sink, gpointer data)
    {
        auto &self = **static_cast<std::shared_ptr<CaptureState> *>(data);
        GstSample *sample = gst_app_sink_pull_sample(sink);
        if (!sample)
            return GST_FLOW_OK;
        const qint64 now = self.clock.nsecsElapsed() / 1000;
        const auto period = static_cast<qint64>(1e6 / KLPipeWireCapture::kFramesPerSecond);
        {
            std::lock_guard lock(self.sampling);
            if (!self.stopped.load() && (self.taken.load() == 0 || now - self.lastUs >= period)) {
                self.lastUs = now;
                self.keep(sample, now);
            }
        }
        gst_sample_unref(sample);
        return GST_FLOW_OK;
    }

    static void release(gpointer data) { delete static_cast<std::shared_ptr<CaptureState> *>(data); }

    void keep(GstSample *sample, qint64 timestampUs)
    {
        GstVideoInfo info;
        GstBuffer *buffer = gst_sample_get_buffer(sample);
        if (!buffer || !gst_video_info_from_caps(&info, gst_sample_get_caps(sample)))
            return;
        GstMapInfo map;
        if (!gst_buffer_map(buffer, &map, GST_MAP_READ))
            return;
        KLRTCMediaVideoFrame next;
        next.width = GST_VIDEO_INFO_WIDTH(&info);
        next.height = GST_VIDEO_INFO_HEIGHT(&info);
        next.bytesPerLine = GST_VIDEO_INFO_PLANE_STRIDE(&info, 0);
        // BGRA bytes are 0xAARRGGBB words on the little-endian machines this runs on.
        next.format = KLRTCMediaVideoFrame::FormatARGB32;
        next.pixels = QByteArray(reinterpret_cast<const char *>(map.data),
                                 static_cast<qsizetype>(std::min<gsize>(map.size, gsize(next.bytesPerLine) * next.height)));
        next.timestampUs = timestampUs;
        gst_buffer_unmap(buffer, &map);
        if (!next.isValid())
            return;
        if (taken.load() == 0)
            KL_LOG_INFO(kTag, QStringLiteral("first picture of %1: %2x%3").arg(description).arg(next.width).arg(next.height));
        {
            std::lock_guard lock(mutex);
            frame = std::move(next);
        }
        ++taken;
    }
};

class PipeWireCapture final : public KLScreenCaptureSource {
public:
    PipeWireCapture(std::shared_ptr<CaptureState> state, GstElement *pipeline, std::function<void()> onStop)
        : m_state(std::move(state)), m_pipeline(pipeline), m_onStop(std::move(onStop))
    {
    }
    ~PipeWireCapture() override { stop(); }

    /// Asks the pipeline to play on one of GStreamer's own threads: a PipeWire remote that does
    /// not answer holds that state change for as long as PipeWire waits (tens of seconds).
    void play()
    {
        struct Work {
            std::shared_ptr<CaptureState> state;
        };
        gst_element_call_async(
            m_pipeline,
            [](GstElement *pipeline, gpointer data) {
                CaptureState &state = *static_cast<Work *>(data)->state;
                std::lock_guard lock(state.lifecycle);
                if (state.stopped.load() || gst_element_set_state(pipeline, GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE)
                    return;
                QString failure;
                {
                    std::lock_guard frameLock(state.mutex);
                    failure = state.failure;
                }
                KL_LOG_WARN(kTag, QStringLiteral("capture of %1 did not start%2; the share shows the synthetic pattern")
                                      .arg(state.description, failure.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(failure)));
            },
            new Work{m_state}, [](gpointer data) { delete static_cast<Work *>(data); });
    }

    QString describe() const override { return m_state->description; }

    bool latestFrame(KLRTCMediaVideoFrame &frame) const override
    {
        std::lock_guard lock(m_state->mutex);
        if (!m_state->frame.isValid())
            return false;
        frame = m_state->frame;
        return true;
    }

    qint64 framesTaken() const override { return m_state->taken.load(); }

    void stop() override
    {
        {
            std::lock_guard lock(m_state->sampling);
            if (m_state->stopped.exchange(true))
                return;
        }
        KL_LOG_INFO(kTag, QStringLiteral("capture of %1 ended after %2 frames").arg(m_state->description).arg(m_state->taken.load()));
        if (m_onStop)
            m_onStop();
        m_onStop = nullptr;
        // Taken down on GStreamer's thread, after a start that may still be waiting.
        GstElement *pipeline = m_pipeline;
        m_pipeline = nullptr;
        struct Work {
            std::shared_ptr<CaptureState> state;
        };
        gst_element_call_async(
            pipeline,
            [](GstElement *element, gpointer data) {
                std::lock_guard lock(static_cast<Work *>(data)->state->lifecycle);
                gst_element_set_state(element, GST_STATE_NULL);
            },
            new Work{m_state}, [](gpointer data) { delete static_cast<Work *>(data); });
        gst_object_unref(pipeline); // the call holds its own reference until it has run
    }

private:
    const std::shared_ptr<CaptureState> m_state;
    GstElement *m_pipeline;
    std::function<void()> m_onStop;
};
} // namespace

QString KLPipeWireCapture::portalSource(int fd, quint32 node)
{
    return QStringLiteral("pipewiresrc fd=%1 path=%2 do-timestamp=true").arg(fd).arg(node);
}

KLScreenCaptureResult KLPipeWireCapture::open(const QString &sourceElement, const QString &describe, std::function<void()> onStop)
{
    KLScreenCaptureResult result;
    const auto fail = [&](const QString &why) {
        result.why = why;
        if (onStop)
            onStop();
        return result;
    };
    GError *error = nullptr;
    if (!gst_init_check(nullptr, nullptr, &error)) {
        const QString why = QStringLiteral("GStreamer cannot start (%1)").arg(error ? QString::fromUtf8(error->message) : QString());
        if (error)
            g_error_free(error);
        return fail(why);
    }
    const QString description =
        QStringLiteral("%1 ! videoconvert ! videoscale ! "
                       "video/x-raw,format=BGRA,width=[1,%2],height=[1,%3],pixel-aspect-ratio=1/1 ! "
                       "appsink name=sink max-buffers=1 drop=true sync=false")
            .arg(sourceElement)
            .arg(kMaxWidth)
            .arg(kMaxHeight);
    GstElement *pipeline = gst_parse_launch(description.toUtf8().constData(), &error);
    if (error || !pipeline) {
        const QString why = QStringLiteral("GStreamer cannot build the capture (%1)").arg(error ? QString::fromUtf8(error->message) : QString());
        if (error)
            g_error_free(error);
        if (pipeline)
            gst_object_unref(pipeline);
        return fail(why);
    }
    auto state = std::make_shared<CaptureState>(describe);
    GstBus *bus = gst_element_get_bus(pipeline);
    gst_bus_set_sync_handler(bus, &CaptureState::onBusMessage, new std::shared_ptr<CaptureState>(state), &CaptureState::release);
    gst_object_unref(bus);
    GstElement *sink = gst_bin_get_by_name(GST_BIN(pipeline), "sink");
    GstAppSinkCallbacks callbacks{};
    callbacks.new_sample = &CaptureState::onSample;
    gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, new std::shared_ptr<CaptureState>(state), &CaptureState::release);
    gst_object_unref(sink);
    auto capture = std::make_shared<PipeWireCapture>(state, pipeline, std::move(onStop));
    capture->play();
    result.source = std::move(capture);
    return result;
}
