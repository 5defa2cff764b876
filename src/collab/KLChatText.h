#pragma once

// The chat's text rules, free of views and timers.

#include <QSize>
#include <QString>
#include <QStringList>

namespace KLChatText {

/// Longest piece sent in one message, in UTF-16 code units.
inline constexpr int kPieceLength = 113;

/// Whitespace and line breaks trimmed at both ends, then every "\r" and "\n" removed (the
/// bubble has one paragraph, so inner line breaks would only break its layout).
QString normalized(const QString &text);
/// The messages `text` is sent as: nothing for an empty normalized text, else pieces of
/// `kPieceLength` code units cut from the front, the remainder last.
QStringList pieces(const QString &text);
/// The bubble's text: the sender's name, a full-width colon and the message.
QString bubbleText(const QString &senderName, const QString &message);
/// The bubble's size for a text measured at `textWidth` × `textHeight` (the view measures
/// with its font within a width of `kMeasureWidth`): padding around the text plus a little
/// more per line of 17 points.
QSize bubbleSize(int textWidth, int textHeight);
inline constexpr int kMeasureWidth = 240;

} // namespace KLChatText
