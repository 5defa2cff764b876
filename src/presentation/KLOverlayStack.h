#pragma once

// What floats over the bottom of the big view, stacked so that nothing covers anything else:
// at the bottom the name of whom the big view shows, above it the last chat message's bubble
// on the left, and above both the toast area (the transient toast, the permanent notice and
// the network toast 40 points higher, as the toast manager places them). Without a bubble the
// toast area keeps its usual place, which already clears the name. Pure geometry, no widgets.

#include <QPoint>
#include <QRect>
#include <QSize>

#include <optional>

namespace KLOverlayStack {

/// The band at the big view's foot kept for the name label (its margin, the label, a gap).
constexpr int kNameBand = 44;
/// The bubble's distance from the big view's left edge.
constexpr int kBubbleMargin = 16;
/// The space between the bubble's top and the toast area's origin.
constexpr int kGap = 10;
/// The toast area's origin above the big view's bottom edge while no bubble is up.
constexpr int kToastAboveBottom = 60;
/// The tallest notice of the toast area, kept inside the big view when it is very short.
constexpr int kToastHeight = 34;

/// Where a bubble of `bubble` size goes over `bigView` (both in the same coordinates).
QRect bubbleRect(const QRect &bigView, const QSize &bubble);

/// The toast area's origin (the notices' common bottom edge, centred) over `bigView`, above
/// `bubble` while one is shown.
QPoint toastOrigin(const QRect &bigView, const std::optional<QRect> &bubble);

} // namespace KLOverlayStack
