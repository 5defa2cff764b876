// The drawn meeting against the simulator: the strip shows four members beside the big view's
// chosen feed, and the frames the engine receives for a member reach the tile that plays it.

#include "KLUITileSimFixture.h"

#include "conference/registry/KLFeedClient.h"
#include "conference/registry/KLParticipantRegistry.h"
#include "media/KLRTCMediaStream.h"
#include "media/KLRTCMediaVideoRenderView.h"
#include "ui/tiles/KLMeetingBigView.h"
#include "ui/tiles/KLMeetingSmallView.h"
#include "ui/video/KLVideoRenderWidget.h"

#include "KLTestSupport.h"
#include "KLUIPictures.h"

#include <gtest/gtest.h>

#include <QSet>

namespace {

class DrawnTiles : public kltest::DrawnMeetingFixture {};

TEST_F(DrawnTiles, TheStripShowsFourTilesBesideTheChosenFeedAndFramesReachTheirTiles)
{
    joinDrawn();
    ASSERT_TRUE(waitEntered());
    // Self, two members, a room and two guests: the big view takes one, the strip four.
    ASSERT_TRUE(kltest::waitUntil([this] { return area->smallViewsShown() == 4; }, 20000))
        << area->smallViewsShown() << " small tiles";
    ASSERT_TRUE(kltest::waitUntil([this] {
        const auto chosen = service->registry().displayingClient();
        return chosen && area->bigView()->feed() && area->bigView()->feed()->uuid() == chosen->uuid();
    }, 10000));
    kltest::pumpEvents(100); // let the last strip refresh land

    // The strip is what the meeting chose, without the big view's feed.
    QSet<QString> strip, chosen;
    for (int i = 0; i < 4; ++i)
        strip.insert(area->smallView(i)->feed()->uuid());
    for (const auto &feed : service->smallClients())
        chosen.insert(feed->uuid());
    EXPECT_EQ(strip, chosen);
    EXPECT_FALSE(strip.contains(area->bigView()->feed()->uuid()));
    EXPECT_EQ(area->smallView(0)->feed()->uuid(), service->publisher()->uuid()); // oneself first
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(area->smallView(i)->isVisible());

    // A guest's frames: the engine plays them into the tile that shows the guest, and they are
    // drawn there; the layout answers the guest's render view with that tile's view.
    KLMeetingTileView *guestTile = nullptr;
    for (int i = 0; i < 4; ++i)
        if (area->smallView(i)->feed()->uuid().startsWith(QLatin1String("guest-")))
            guestTile = area->smallView(i);
    ASSERT_NE(guestTile, nullptr);
    ASSERT_TRUE(kltest::waitUntil([&] { return guestTile->videoWidget()->counters().drawn >= 3; }, 10000))
        << guestTile->videoWidget()->counters().received << " received";
    const auto guest = guestTile->feed();
    EXPECT_EQ(guestTile->renderView()->renderStreamId(), guest->mediaStream()->getID());
    EXPECT_EQ(layoutController->rendererViewForClient(guest), guestTile->renderView());
    EXPECT_TRUE(guestTile->videoWidget()->isVisible());
    EXPECT_EQ(guestTile->videoWidget()->counters().offMainThreadPaints, 0u);
    // What was drawn is the engine's picture, not black.
    const QSize size = guestTile->videoWidget()->frameSize();
    ASSERT_FALSE(size.isEmpty());
    QSet<QRgb> colours;
    for (int x = 0; x < size.width(); x += size.width() / 8)
        colours.insert(guestTile->videoWidget()->framePixel({x, size.height() / 3}).rgb());
    EXPECT_GT(colours.size(), 2);

    kltest::savePictureForReview(window.get(), QStringLiteral("drawn-meeting"));
    // The big view's meeting timer runs once the room is entered.
    EXPECT_TRUE(area->bigView()->isMeetingTimerRunning());

    // Leaving: the tiles let their views go; the layout has no view to give any more.
    area->releaseRenderViews();
    EXPECT_EQ(layoutController->rendererViewForClient(guest), nullptr);
    EXPECT_EQ(area->smallViewsShown(), 0);
}

} // namespace
