#pragma once

// The window's look in one place: the colours, radii and fonts every widget draws with, and
// the project's own icons (SVG resources named by their icon keys, drawn sharp at any scale).
// Widgets add the constants they need here rather than writing colours inline.

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QPixmap>
#include <QString>

namespace KLTheme {

/// "#RRGGBB" with a separate alpha (0..1), as colours are given throughout the meeting.
QColor color(const QString &hex, double alpha = 1.0);

// Window and text
inline const QString kWindowBackground = QStringLiteral("#FFFFFF");
inline const QString kMeetingBackground = QStringLiteral("#1B1E24");
inline const QString kTextDark = QStringLiteral("#1F3858");
inline const QString kTextLight = QStringLiteral("#FFFFFF");
inline const QString kAccentBlue = QStringLiteral("#177EE6");

/// The interface font at `pixelSize`, with CJK fallbacks so both languages render.
QFont font(int pixelSize, bool bold = false);

/// The icon named by its key ("conf_network_signal_good"), or a null icon when none is drawn.
QIcon icon(const QString &key);
/// The icon rendered at `size` logical pixels for `devicePixelRatio` (sharp on HiDPI screens).
QPixmap iconPixmap(const QString &key, const QSize &size, qreal devicePixelRatio = 1.0);
/// True when resources/icons has an SVG for `key`.
bool hasIcon(const QString &key);

} // namespace KLTheme
