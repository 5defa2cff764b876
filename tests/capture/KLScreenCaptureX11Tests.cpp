// The share's screen capture against a real X server (the suite runs under xvfb-run): the
// capture returns what is on the screen and follows it as it changes, the built-in engine's
// share stream sends those pictures, and without a backend the share is the synthetic pattern
// with the reason in the log.

#include "media/builtin/KLBuiltinMediaSDK.h"
#include "media/builtin/KLBuiltinMediaStream.h"
#include "media/KLRTCMediaVideoRenderView.h"
#include "ui/share/KLX11ScreenCapture.h"

#include "KLRecordingPrinter.h"
#include "KLTestSupport.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <mutex>

namespace {

using kltest::waitUntil;

/// The colour at the centre of `frame` (RGB32).
QRgb centre(const KLRTCMediaVideoFrame &frame)
{
    if (!frame.isValid() || frame.format != KLRTCMediaVideoFrame::FormatRGB32)
        return 0;
    const int offset = (frame.height / 2) * frame.bytesPerLine + (frame.width / 2) * 4;
    return *reinterpret_cast<const QRgb *>(frame.pixels.constData() + offset) & 0xFFFFFF;
}

class LastFrame final : public KLRTCMediaVideoRenderView {
public:
    QString renderStreamId() const override { return m_id; }
    void setRenderStreamId(const QString &streamId) override { m_id = streamId; }
    bool isVideoRenderer() const override { return true; }
    void renderFrame(const KLRTCMediaVideoFrame &frame) override
    {
        std::lock_guard lock(m_mutex);
        m_last = frame;
        ++m_count;
    }
    KLRTCMediaVideoFrame last() const
    {
        std::lock_guard lock(m_mutex);
        return m_last;
    }
    int count() const
    {
        std::lock_guard lock(m_mutex);
        return m_count;
    }

private:
    QString m_id;
    mutable std::mutex m_mutex;
    KLRTCMediaVideoFrame m_last;
    int m_count = 0;
};

class X11ScreenCapture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb")) << "this suite needs an X server";
        screen = QGuiApplication::primaryScreen();
        ASSERT_NE(screen, nullptr);
        // A plain colour over the whole screen, with no window manager to decorate it.
        cover = std::make_unique<QWidget>(nullptr, Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint);
        cover->setAutoFillBackground(true);
        paint(QColor(0x20, 0xC0, 0x40));
        cover->setGeometry(screen->geometry());
        cover->show();
        ASSERT_TRUE(waitUntil([this] { return cover->windowHandle() && cover->windowHandle()->isExposed(); }));
        kltest::pumpEvents(200);
    }
    void TearDown() override
    {
        KLScreenCapture::setBackend({});
        cover.reset();
    }
    void paint(const QColor &colour)
    {
        QPalette palette = cover->palette();
        palette.setColor(QPalette::Window, colour);
        cover->setPalette(palette);
        cover->update();
    }
    static QRgb newest(const KLScreenCaptureSource &source)
    {
        KLRTCMediaVideoFrame frame;
        return source.latestFrame(frame) ? centre(frame) : 0;
    }

    QScreen *screen = nullptr;
    std::unique_ptr<QWidget> cover;
};

TEST_F(X11ScreenCapture, TakesWhatIsOnTheScreenAndFollowsIt)
{
    const KLScreenCaptureResult opened = KLX11ScreenCapture::open(QString());
    ASSERT_TRUE(opened.source) << opened.why.toStdString();
    auto source = opened.source;
    ASSERT_TRUE(waitUntil([&] { return newest(*source) == 0x20C040; }, 3000)) << std::hex << newest(*source);
    KLRTCMediaVideoFrame frame;
    ASSERT_TRUE(source->latestFrame(frame));
    // 1024 × 768 is brought within 1280 × 720, keeping its shape.
    EXPECT_EQ(frame.height, KLX11ScreenCapture::kMaxHeight);
    EXPECT_EQ(frame.width, screen->size().width() * KLX11ScreenCapture::kMaxHeight / screen->size().height());
    EXPECT_TRUE(source->describe().contains(screen->name())) << source->describe().toStdString();

    paint(QColor(0x30, 0x40, 0xE0));
    EXPECT_TRUE(waitUntil([&] { return newest(*source) == 0x3040E0; }, 3000)) << "the capture is not live";

    source->stop();
    const qint64 taken = source->framesTaken();
    kltest::pumpEvents(600); // three periods at five frames a second
    EXPECT_EQ(source->framesTaken(), taken) << "a stopped capture goes on grabbing";
    EXPECT_EQ(newest(*source), 0x3040E0u) << "the last picture stays";
}

TEST_F(X11ScreenCapture, TheEnginesShareStreamSendsTheScreen)
{
    KLX11ScreenCapture::install();
    auto engine = std::make_shared<KLBuiltinMediaSDK>();
    auto stream = std::dynamic_pointer_cast<KLBuiltinMediaStream>(engine->createStream({{"screen", true}}, {}));
    ASSERT_TRUE(stream);
    EXPECT_TRUE(stream->capturesScreen());
    auto view = std::make_shared<LastFrame>();
    stream->playWithView(view);
    ASSERT_TRUE(waitUntil([&] { return centre(view->last()) == 0x20C040; }, 3000)) << std::hex << centre(view->last());
    EXPECT_EQ(view->last().height, KLX11ScreenCapture::kMaxHeight);

    paint(QColor(0xE0, 0x80, 0x10));
    EXPECT_TRUE(waitUntil([&] { return centre(view->last()) == 0xE08010; }, 3000));
    stream->stopPlay();
    stream->close();
}

TEST_F(X11ScreenCapture, WithoutACaptureTheShareIsThePatternAndTheLogSaysWhy)
{
    auto printer = kltest::RecordingPrinter::install();
    auto engine = std::make_shared<KLBuiltinMediaSDK>();
    auto stream = std::dynamic_pointer_cast<KLBuiltinMediaStream>(engine->createStream({{"screen", true}}, {}));
    ASSERT_TRUE(stream);
    EXPECT_FALSE(stream->capturesScreen());
    auto view = std::make_shared<LastFrame>();
    stream->playWithView(view);
    ASSERT_TRUE(waitUntil([&] { return view->count() >= 2; }));
    EXPECT_EQ(view->last().width, KLBuiltinVideoPattern::kWidth);
    EXPECT_NE(centre(view->last()), 0x20C040u);
    EXPECT_EQ(printer->count("warn", QStringLiteral("the share shows the synthetic pattern")), 1);
    EXPECT_EQ(printer->count("warn", QStringLiteral("no capture backend")), 1);
    stream->stopPlay();
    stream->close();
    kltest::RecordingPrinter::uninstall();
}

} // namespace
