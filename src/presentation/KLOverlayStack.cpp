#include "presentation/KLOverlayStack.h"

#include <algorithm>

namespace KLOverlayStack {

QRect bubbleRect(const QRect &bigView, const QSize &bubble)
{
    const int bottom = bigView.bottom() - kNameBand;
    // A view too short for both keeps the bubble inside its top rather than above it.
    const int top = std::max(bigView.top(), bottom - bubble.height() + 1);
    return QRect(QPoint(bigView.left() + kBubbleMargin, top), bubble);
}

QPoint toastOrigin(const QRect &bigView, const std::optional<QRect> &bubble)
{
    int y = bigView.bottom() - kToastAboveBottom;
    if (bubble && bubble->isValid())
        y = std::min(y, bubble->top() - kGap);
    y = std::max(y, bigView.top() + kToastHeight);
    return QPoint(bigView.center().x(), y);
}

} // namespace KLOverlayStack
