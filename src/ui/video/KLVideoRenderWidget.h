#pragma once

// A stream's video drawn on the main thread. The engine hands frames to renderView() on its own
// threads; the view keeps only the latest one (its pixel buffer is shared, never copied), asks
// for one repaint on the main thread, and a frame that arrives while one still waits to be drawn
// replaces it and counts as dropped. The picture is scaled with its aspect kept, on black.

#include "media/KLRTCMediaTypes.h"

#include <QImage>
#include <QWidget>

#include <memory>

class KLRTCMediaVideoRenderView;
class KLVideoRenderSink;

class KLVideoRenderWidget : public QWidget {
    Q_OBJECT
public:
    explicit KLVideoRenderWidget(QWidget *parent = nullptr);
    ~KLVideoRenderWidget() override;

    /// The engine's side of this widget: give it to playWithView/preVideoWithView. It outlives
    /// the widget safely (frames for a widget that is gone are dropped).
    std::shared_ptr<KLRTCMediaVideoRenderView> renderView() const;

    struct Counters {
        quint64 received = 0;   ///< valid frames handed in
        quint64 drawn = 0;      ///< frames painted
        quint64 dropped = 0;    ///< frames replaced (or discarded) before they were painted
        quint64 rejected = 0;   ///< frames that were not valid
        quint64 offMainThreadPaints = 0; ///< paints outside the main thread (must stay 0)
    };
    Counters counters() const;

    /// Forgets the frame shown and any waiting one (the view is about to show another stream).
    void clearFrame();
    /// True once a frame has been drawn since the last clearFrame.
    bool hasFrame() const { return !m_image.isNull(); }
    /// Size of the frame last drawn; empty without one.
    QSize frameSize() const { return m_image.size(); }
    /// The colour of the frame shown at a point of the frame (for checks); invalid without one.
    QColor framePixel(const QPoint &point) const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    std::shared_ptr<KLVideoRenderSink> m_sink;
    KLRTCMediaVideoFrame m_frame; ///< keeps the pixels m_image points into
    QImage m_image;
};
