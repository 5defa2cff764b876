// Two X screens whose outputs carry the same name (as Xvfb's do): each gets a share name of its
// own, and the capture of a picked screen shows that screen, not the first of its name.

#include "ui/share/KLScreens.h"
#include "ui/share/KLX11ScreenCapture.h"

#include "KLTestSupport.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>
#include <QSet>
#include <QWidget>
#include <QWindow>

namespace {

QRgb centreOf(const KLScreenCaptureSource &source)
{
    KLRTCMediaVideoFrame frame;
    if (!source.latestFrame(frame) || frame.format != KLRTCMediaVideoFrame::FormatRGB32)
        return 0;
    const int offset = (frame.height / 2) * frame.bytesPerLine + (frame.width / 2) * 4;
    return *reinterpret_cast<const QRgb *>(frame.pixels.constData() + offset) & 0xFFFFFF;
}

TEST(X11TwoScreens, EachScreenHasANameOfItsOwnAndItsCaptureShowsIt)
{
    const QList<QScreen *> screens = QGuiApplication::screens();
    if (screens.size() < 2)
        GTEST_SKIP() << "needs an X server with two screens";
    const QList<KLScreenInfo> all = KLScreens::all();
    ASSERT_EQ(all.size(), screens.size());
    QSet<QString> names;
    for (const KLScreenInfo &screen : all)
        names.insert(screen.name);
    EXPECT_EQ(names.size(), all.size()) << "two screens share a name";
    EXPECT_EQ(KLScreens::named(all[1].name), screens[1]);
    EXPECT_EQ(KLScreens::named(QStringLiteral("no such screen")), nullptr);

    // The second screen is covered in one colour; the first keeps its black root window.
    QWidget cover(nullptr, Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint);
    cover.setScreen(screens[1]);
    cover.setAutoFillBackground(true);
    QPalette palette = cover.palette();
    palette.setColor(QPalette::Window, QColor(0xD0, 0x30, 0x60));
    cover.setPalette(palette);
    cover.setGeometry(screens[1]->geometry());
    cover.show();
    ASSERT_TRUE(kltest::waitUntil([&] { return cover.windowHandle() && cover.windowHandle()->isExposed(); }));
    ASSERT_EQ(cover.screen(), screens[1]);
    kltest::pumpEvents(200);

    const KLScreenCaptureResult second = KLX11ScreenCapture::open(all[1].name);
    const KLScreenCaptureResult first = KLX11ScreenCapture::open(all[0].name);
    ASSERT_TRUE(second.source && first.source);
    EXPECT_TRUE(kltest::waitUntil([&] { return centreOf(*second.source) == 0xD03060; }, 3000))
        << std::hex << centreOf(*second.source);
    ASSERT_TRUE(kltest::waitUntil([&] { return first.source->framesTaken() > 0; }, 3000));
    EXPECT_NE(centreOf(*first.source), 0xD03060u);
    second.source->stop();
    first.source->stop();
}

} // namespace
