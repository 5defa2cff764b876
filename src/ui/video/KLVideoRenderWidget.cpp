#include "ui/video/KLVideoRenderWidget.h"

#include "media/KLRTCMediaVideoRenderView.h"
#include "runtime/KLSDKLog.h"

#include <QCoreApplication>
#include <QPainter>
#include <QThread>

#include <atomic>
#include <mutex>
#include <optional>

namespace {
const char *const kTag = "KLVideoRenderWidget";

QImage::Format imageFormat(KLRTCMediaVideoFrame::Format format)
{
    switch (format) {
    case KLRTCMediaVideoFrame::FormatRGB32:
        return QImage::Format_RGB32;
    case KLRTCMediaVideoFrame::FormatARGB32:
        return QImage::Format_ARGB32;
    case KLRTCMediaVideoFrame::FormatRGBA8888:
        return QImage::Format_RGBA8888;
    default:
        return QImage::Format_Invalid;
    }
}
} // namespace

// The engine's side: takes frames on any thread and hands the latest one to the widget. The
// widget pointer is only read under the lock, and the widget clears it under the same lock
// before it goes, so a frame never reaches a widget being destroyed.
class KLVideoRenderSink final : public KLRTCMediaVideoRenderView {
public:
    explicit KLVideoRenderSink(KLVideoRenderWidget *widget) : m_widget(widget) {}

    QString renderStreamId() const override
    {
        std::lock_guard lock(m_mutex);
        return m_streamId;
    }
    void setRenderStreamId(const QString &streamId) override
    {
        std::lock_guard lock(m_mutex);
        m_streamId = streamId;
    }
    bool isVideoRenderer() const override { return true; }

    void renderFrame(const KLRTCMediaVideoFrame &frame) override
    {
        if (!frame.isValid() || imageFormat(frame.format) == QImage::Format_Invalid) {
            if (rejected.fetch_add(1) == 0)
                KL_LOG_WARN(kTag, QStringLiteral("invalid frame %1x%2 (format %3, %4 bytes per line, %5 bytes) not drawn")
                                      .arg(frame.width).arg(frame.height).arg(frame.format)
                                      .arg(frame.bytesPerLine).arg(frame.pixels.size()));
            return;
        }
        std::lock_guard lock(m_mutex);
        ++received;
        if (!m_widget) {
            ++dropped;
            return;
        }
        if (m_pending)
            ++dropped;
        m_pending = frame; // shares the pixel buffer
        if (m_repaintRequested)
            return;
        m_repaintRequested = true;
        // Posted to the widget: Qt discards it if the widget is deleted before it runs.
        QMetaObject::invokeMethod(m_widget, [widget = m_widget] { widget->update(); }, Qt::QueuedConnection);
    }

    /// The frame waiting to be drawn, if any; the next frame asks for a new repaint.
    std::optional<KLRTCMediaVideoFrame> takePending()
    {
        std::lock_guard lock(m_mutex);
        m_repaintRequested = false;
        std::optional<KLRTCMediaVideoFrame> frame;
        frame.swap(m_pending);
        return frame;
    }

    void discardPending()
    {
        std::lock_guard lock(m_mutex);
        if (m_pending)
            ++dropped;
        m_pending.reset();
    }

    void detach()
    {
        std::lock_guard lock(m_mutex);
        if (m_pending)
            ++dropped;
        m_pending.reset();
        m_widget = nullptr;
    }

    std::atomic<quint64> received{0};
    std::atomic<quint64> drawn{0};
    std::atomic<quint64> dropped{0};
    std::atomic<quint64> rejected{0};
    std::atomic<quint64> offMainThreadPaints{0};

private:
    mutable std::mutex m_mutex;
    KLVideoRenderWidget *m_widget;
    QString m_streamId;
    std::optional<KLRTCMediaVideoFrame> m_pending;
    bool m_repaintRequested = false;
};

KLVideoRenderWidget::KLVideoRenderWidget(QWidget *parent)
    : QWidget(parent), m_sink(std::make_shared<KLVideoRenderSink>(this))
{
    // Every pixel is painted (picture and black bars), so Qt need not clear first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
}

KLVideoRenderWidget::~KLVideoRenderWidget()
{
    m_sink->detach();
}

std::shared_ptr<KLRTCMediaVideoRenderView> KLVideoRenderWidget::renderView() const
{
    return m_sink;
}

KLVideoRenderWidget::Counters KLVideoRenderWidget::counters() const
{
    Counters c;
    c.received = m_sink->received;
    c.drawn = m_sink->drawn;
    c.dropped = m_sink->dropped;
    c.rejected = m_sink->rejected;
    c.offMainThreadPaints = m_sink->offMainThreadPaints;
    return c;
}

void KLVideoRenderWidget::clearFrame()
{
    m_sink->discardPending();
    m_image = QImage();
    m_frame = {};
    update();
}

QColor KLVideoRenderWidget::framePixel(const QPoint &point) const
{
    if (m_image.isNull() || !m_image.rect().contains(point))
        return {};
    return m_image.pixelColor(point);
}

void KLVideoRenderWidget::paintEvent(QPaintEvent *)
{
    if (QThread::currentThread() != QCoreApplication::instance()->thread()) {
        ++m_sink->offMainThreadPaints;
        KL_LOG_ERROR(kTag, QStringLiteral("paint outside the main thread skipped"));
        return;
    }
    if (auto frame = m_sink->takePending()) {
        m_frame = std::move(*frame);
        // A view on the shared buffer: no pixel is copied.
        m_image = QImage(reinterpret_cast<const uchar *>(m_frame.pixels.constData()), m_frame.width,
                         m_frame.height, m_frame.bytesPerLine, imageFormat(m_frame.format));
        ++m_sink->drawn;
    }
    QPainter painter(this);
    const QRect area = rect();
    if (m_image.isNull()) {
        painter.fillRect(area, Qt::black);
        return;
    }
    QSize fitted = m_image.size().scaled(area.size(), Qt::KeepAspectRatio);
    const QRect target(area.x() + (area.width() - fitted.width()) / 2,
                       area.y() + (area.height() - fitted.height()) / 2, fitted.width(), fitted.height());
    // Black bars beside the picture only; the picture covers the rest.
    const QRegion bars = QRegion(area).subtracted(target);
    for (const QRect &bar : bars)
        painter.fillRect(bar, Qt::black);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.drawImage(target, m_image);
}
