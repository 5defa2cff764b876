#include "presentation/KLOverlayStack.h"

#include <gtest/gtest.h>

namespace {

// The name label's band at the foot of a view, and a toast area's notice of `width` at
// `origin` raised by `offset` (0 for the toast and the permanent notice, -40 for the network
// toast).
QRect nameBand(const QRect &view)
{
    return QRect(view.left(), view.bottom() - KLOverlayStack::kNameBand + 1, view.width(), KLOverlayStack::kNameBand);
}
QRect notice(const QPoint &origin, int width, int offset)
{
    return QRect(origin.x() - width / 2, origin.y() - KLOverlayStack::kToastHeight + offset, width,
                 KLOverlayStack::kToastHeight);
}

} // namespace

TEST(OverlayStack, BubbleNameAndNoticesNeverOverlapAtAnyViewSize)
{
    for (const QSize size : {QSize(516, 680), QSize(1028, 680), QSize(320, 240), QSize(1600, 900)}) {
        const QRect view(QPoint(0, 44), size);
        for (const QSize bubbleSize : {QSize(300, 44), QSize(300, 64), QSize(120, 44)}) {
            const QRect bubble = KLOverlayStack::bubbleRect(view, bubbleSize);
            EXPECT_EQ(bubble.size(), bubbleSize);
            EXPECT_TRUE(view.contains(bubble)) << size.width() << "x" << size.height();
            EXPECT_FALSE(bubble.intersects(nameBand(view))) << "the bubble sits above the name";
            const QPoint origin = KLOverlayStack::toastOrigin(view, bubble);
            EXPECT_EQ(origin.x(), view.center().x());
            for (int offset : {0, -40}) {
                const QRect pill = notice(origin, 260, offset);
                EXPECT_FALSE(pill.intersects(bubble)) << size.width() << "x" << size.height() << " offset " << offset;
                EXPECT_FALSE(pill.intersects(nameBand(view)));
            }
        }
    }
}

TEST(OverlayStack, WithoutABubbleTheNoticesKeepTheirPlaceAboveTheName)
{
    const QRect view(0, 44, 1028, 680);
    const QPoint origin = KLOverlayStack::toastOrigin(view, std::nullopt);
    EXPECT_EQ(origin, QPoint(view.center().x(), view.bottom() - KLOverlayStack::kToastAboveBottom));
    EXPECT_FALSE(notice(origin, 400, 0).intersects(nameBand(view)));
    // An empty bubble rectangle counts as none; a shown bubble pushes the notices up.
    EXPECT_EQ(KLOverlayStack::toastOrigin(view, QRect()), origin);
    const QRect tall = KLOverlayStack::bubbleRect(view, QSize(200, 120));
    EXPECT_EQ(KLOverlayStack::toastOrigin(view, tall).y(), tall.top() - KLOverlayStack::kGap);
    // A view too short for the whole stack keeps the notices inside it.
    const QRect tiny(0, 0, 200, 90);
    EXPECT_GE(KLOverlayStack::toastOrigin(tiny, KLOverlayStack::bubbleRect(tiny, QSize(150, 60))).y() -
                  KLOverlayStack::kToastHeight,
              tiny.top());
}
