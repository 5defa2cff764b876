// The video render view: frames from other threads are drawn on the main thread, only the
// latest waiting frame is drawn (the others count as dropped), pixels are never copied, the
// picture keeps its aspect on black, bad frames are refused and a view outliving its widget
// is harmless.

#include "media/KLRTCMediaVideoRenderView.h"
#include "ui/video/KLVideoRenderWidget.h"

#include "KLTestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QThread>

#include <thread>

namespace {

KLRTCMediaVideoFrame solidFrame(int width, int height, QRgb colour)
{
    KLRTCMediaVideoFrame frame;
    frame.width = width;
    frame.height = height;
    frame.format = KLRTCMediaVideoFrame::FormatRGB32;
    frame.bytesPerLine = width * 4;
    frame.pixels = QByteArray(frame.bytesPerLine * height, Qt::Uninitialized);
    auto *words = reinterpret_cast<quint32 *>(frame.pixels.data());
    std::fill(words, words + width * height, colour);
    return frame;
}

class VideoRenderView : public ::testing::Test {
protected:
    void SetUp() override
    {
        widget = std::make_unique<KLVideoRenderWidget>();
        widget->resize(320, 180);
        widget->show();
        kltest::pumpEvents(20);
    }
    std::unique_ptr<KLVideoRenderWidget> widget;
};

TEST_F(VideoRenderView, FramesWaitingTogetherAreDrawnOnceAndTheRestCountAsDropped)
{
    const auto view = widget->renderView();
    EXPECT_TRUE(view->isVideoRenderer());
    view->setRenderStreamId(QStringLiteral("stream-1"));
    EXPECT_EQ(view->renderStreamId(), QStringLiteral("stream-1"));

    // Five frames from an engine thread before the main thread turns: one repaint, the last frame.
    std::thread engine([&] {
        for (QRgb c : {0xff101010u, 0xff202020u, 0xff303030u, 0xff404040u, 0xffff0000u})
            view->renderFrame(solidFrame(64, 36, c));
    });
    engine.join();
    ASSERT_TRUE(kltest::waitUntil([&] { return widget->counters().drawn == 1; }));
    kltest::pumpEvents(30);
    auto counters = widget->counters();
    EXPECT_EQ(counters.received, 5u);
    EXPECT_EQ(counters.drawn, 1u);
    EXPECT_EQ(counters.dropped, 4u);
    EXPECT_EQ(counters.offMainThreadPaints, 0u);
    EXPECT_EQ(widget->framePixel(QPoint(10, 10)), QColor(Qt::red));

    // Frames that arrive one at a time are each drawn.
    for (int i = 0; i < 3; ++i) {
        view->renderFrame(solidFrame(64, 36, 0xff00ff00u));
        ASSERT_TRUE(kltest::waitUntil([&, i] { return widget->counters().drawn == 2u + i; }));
    }
    counters = widget->counters();
    EXPECT_EQ(counters.received, 8u);
    EXPECT_EQ(counters.dropped, 4u);
}

TEST_F(VideoRenderView, ManyThreadsNeverLoseCountOrPaintOffTheMainThread)
{
    const auto view = widget->renderView();
    const KLRTCMediaVideoFrame frame = solidFrame(32, 18, 0xff0000ffu);
    std::vector<std::thread> engines;
    for (int t = 0; t < 4; ++t)
        engines.emplace_back([&] {
            for (int i = 0; i < 200; ++i)
                view->renderFrame(frame);
        });
    // The main thread paints while they deliver.
    kltest::waitUntil([&] { return widget->counters().received == 800u; }, 5000);
    for (auto &engine : engines)
        engine.join();
    kltest::pumpEvents(50);
    const auto counters = widget->counters();
    EXPECT_EQ(counters.received, 800u);
    EXPECT_GE(counters.drawn, 1u);
    // Every frame was either drawn or replaced; none is still waiting once the loop has turned.
    EXPECT_EQ(counters.drawn + counters.dropped, 800u);
    EXPECT_EQ(counters.offMainThreadPaints, 0u);
}

TEST_F(VideoRenderView, ThePictureSharesTheFramesBufferAndKeepsItsAspectOnBlack)
{
    KLRTCMediaVideoFrame frame = solidFrame(160, 90, 0xffff0000u);
    const QByteArray pixels = frame.pixels; // a second owner of the same buffer
    widget->resize(400, 100);              // much wider than 16:9
    kltest::pumpEvents(20);
    widget->renderView()->renderFrame(frame);
    ASSERT_TRUE(kltest::waitUntil([&] { return widget->counters().drawn == 1; }));
    EXPECT_EQ(widget->frameSize(), QSize(160, 90));
    // Still the engine's buffer: drawing made no copy of it.
    EXPECT_TRUE(pixels.isSharedWith(frame.pixels));

    const QImage shot = widget->grab().toImage();
    const int scale = qRound(shot.width() / 400.0);
    // 16:9 in 100 px high is about 178 px wide, centred: black on both sides, red in the middle.
    EXPECT_EQ(QColor(shot.pixel(5 * scale, 50 * scale)), QColor(Qt::black));
    EXPECT_EQ(QColor(shot.pixel(395 * scale, 50 * scale)), QColor(Qt::black));
    EXPECT_EQ(QColor(shot.pixel(200 * scale, 50 * scale)), QColor(Qt::red));
    EXPECT_EQ(QColor(shot.pixel(200 * scale, 2 * scale)), QColor(Qt::red));

    // Forgetting the frame shows black again.
    widget->clearFrame();
    EXPECT_FALSE(widget->hasFrame());
    EXPECT_EQ(QColor(widget->grab().toImage().pixel(200 * scale, 50 * scale)), QColor(Qt::black));
}

TEST_F(VideoRenderView, BadFramesAreRefusedAndAViewOutlivingItsWidgetDropsFrames)
{
    const auto view = widget->renderView();
    KLRTCMediaVideoFrame shortFrame = solidFrame(64, 36, 0xff00ff00u);
    shortFrame.pixels.truncate(100);
    view->renderFrame(shortFrame);
    KLRTCMediaVideoFrame noFormat = solidFrame(64, 36, 0xff00ff00u);
    noFormat.format = KLRTCMediaVideoFrame::FormatInvalid;
    view->renderFrame(noFormat);
    kltest::pumpEvents(30);
    auto counters = widget->counters();
    EXPECT_EQ(counters.rejected, 2u);
    EXPECT_EQ(counters.received, 0u);
    EXPECT_FALSE(widget->hasFrame());

    // A frame waits, then the widget goes before the loop turns: nothing is drawn, nothing breaks.
    view->setRenderStreamId(QStringLiteral("stream-2"));
    view->renderFrame(solidFrame(64, 36, 0xff00ff00u));
    widget.reset();
    kltest::pumpEvents(30);
    view->renderFrame(solidFrame(64, 36, 0xff00ff00u));
    kltest::pumpEvents(30);
    // The engine's side still answers (an engine may call it until it hears stopPlay).
    EXPECT_EQ(view->renderStreamId(), QStringLiteral("stream-2"));
    EXPECT_TRUE(view->isVideoRenderer());
}

} // namespace
