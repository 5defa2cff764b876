// The joined meeting rendered offscreen and checked the way a person looks at it: the video
// tiles show pictures that differ from one another, the toolbar is there with its red leave
// button, and no text on screen is a localisation key. The checks read the grabbed image's
// pixels, and are shown to fail on a window whose toolbar or video is missing.

#include "KLUIWindowFixture.h"

#include "ui/tiles/KLMeetingBigView.h"
#include "ui/tiles/KLMeetingSmallView.h"
#include "ui/video/KLVideoRenderWidget.h"

#include <QAbstractButton>
#include <QImage>

#include <cmath>

namespace {

using kltest::UIWindowFixture;
using kltest::waitUntil;

int distance(QRgb a, QColor b)
{
    return std::abs(qRed(a) - b.red()) + std::abs(qGreen(a) - b.green()) + std::abs(qBlue(a) - b.blue());
}

/// Pixels of `region` within 30 of `colour` (sum of channel differences).
int pixelsNear(const QImage &image, const QRect &region, const QColor &colour)
{
    int count = 0;
    const QRect r = region.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            count += distance(image.pixel(x, y), colour) <= 30 ? 1 : 0;
    return count;
}

/// The toolbar as a person sees it: a band of light button faces and a red leave button.
bool toolbarDrawn(const QImage &image, const QRect &band)
{
    return pixelsNear(image, band, KLTheme::color("#F03118")) > 200 &&
           pixelsNear(image, band, KLTheme::color("#EDF0F5")) > 600;
}

/// A tile's picture reduced to 16×9 grey levels: enough to tell pictures apart.
std::vector<int> thumbnail(const QImage &image, const QRect &tile)
{
    const QImage small = image.copy(tile).scaled(16, 9, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    std::vector<int> grey;
    for (int y = 0; y < small.height(); ++y)
        for (int x = 0; x < small.width(); ++x)
            grey.push_back(qGray(small.pixel(x, y)));
    return grey;
}

/// A picture, not a flat colour: the grey levels spread.
bool hasPicture(const std::vector<int> &grey)
{
    const auto [lo, hi] = std::minmax_element(grey.begin(), grey.end());
    return *hi - *lo > 40;
}

double difference(const std::vector<int> &a, const std::vector<int> &b)
{
    double sum = 0;
    for (size_t i = 0; i < a.size(); ++i)
        sum += std::abs(a[i] - b[i]);
    return sum / double(a.size());
}

/// Every tile shows a picture and no two tiles show the same one.
bool tilesDistinct(const QImage &image, const std::vector<QRect> &tiles)
{
    std::vector<std::vector<int>> pictures;
    for (const QRect &tile : tiles) {
        pictures.push_back(thumbnail(image, tile));
        if (!hasPicture(pictures.back()))
            return false;
    }
    for (size_t i = 0; i < pictures.size(); ++i)
        for (size_t j = i + 1; j < pictures.size(); ++j)
            if (difference(pictures[i], pictures[j]) < 6.0)
                return false;
    return pictures.size() >= 3;
}

/// Texts on screen that are localisation keys rather than what a key stands for.
QStringList keysOnScreen(QWidget *window)
{
    QStringList keys;
    auto check = [&keys](const QString &text) {
        if (!text.isEmpty() && KLLocalizedString(text) != text)
            keys << text;
    };
    for (auto *label : window->findChildren<QLabel *>()) {
        if (label->isVisibleTo(window)) {
            check(label->text());
            check(label->toolTip());
        }
    }
    for (auto *button : window->findChildren<QAbstractButton *>()) {
        if (button->isVisibleTo(window)) {
            check(button->text());
            check(button->toolTip());
        }
    }
    check(window->windowTitle());
    return keys;
}

class UIScreenshot : public UIWindowFixture {
protected:
    /// Where in the window the tiles with video are.
    static std::vector<QRect> videoTiles()
    {
        std::vector<QRect> tiles;
        auto *area = layout()->videoArea();
        auto add = [&tiles](KLMeetingTileView *tile) {
            if (tile && tile->isVisible() && tile->videoWidget()->hasFrame())
                tiles.push_back(QRect(tile->videoWidget()->mapTo(window(), QPoint(0, 0)), tile->videoWidget()->size()));
        };
        add(area->bigView());
        for (int i = 0; i < area->smallViewsShown(); ++i)
            add(area->smallView(i));
        return tiles;
    }
    static QRect toolbarBand()
    {
        auto *hub = layout()->hubWidget();
        return QRect(hub->mapTo(window(), QPoint(0, 0)), hub->size());
    }
};

TEST_F(UIScreenshot, TheJoinedMeetingShowsDistinctVideoTheToolbarAndNoKeys)
{
    join();
    window()->resize(1280, 800);
    // The simulator's members send their pictures once the media is up.
    ASSERT_TRUE(waitUntil([] { return videoTiles().size() >= 3; }, 15000))
        << "tiles with video: " << videoTiles().size();
    waitUntil([] { return false; }, 300);

    const QImage shot = window()->grab().toImage();
    ASSERT_FALSE(shot.isNull());
    EXPECT_TRUE(toolbarDrawn(shot, toolbarBand()));
    EXPECT_TRUE(tilesDistinct(shot, videoTiles()));
    EXPECT_EQ(keysOnScreen(window()), QStringList());
    EXPECT_FALSE(layout()->timerLabel()->text().isEmpty());

    // The same checks see a missing toolbar and missing video.
    const QRect band = toolbarBand();
    layout()->hubWidget()->hide();
    EXPECT_FALSE(toolbarDrawn(window()->grab().toImage(), band)) << "a window without its toolbar must fail";
    layout()->hubWidget()->show();
    const std::vector<QRect> tiles = videoTiles();
    layout()->videoArea()->hide();
    EXPECT_FALSE(tilesDistinct(window()->grab().toImage(), tiles)) << "a window without video must fail";
    layout()->videoArea()->show();
}

} // namespace
