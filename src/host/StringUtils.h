#pragma once

#include <QString>

/// Text checks and shortening for the views. Lengths and positions are in UTF-16 units (QChar),
/// patterns must match the whole text, and every operation is safe from any thread.
///
/// Display width: an ASCII unit (below 128) is one column wide, every other unit two, so a CJK
/// character counts two and an emoji written as a surrogate pair four.
///
/// Shortening never cuts a surrogate pair in half: where a cut would fall between the two halves
/// it moves one unit to the left, so the result stays valid text.
class StringUtils {
public:
    /// True when the text starts with "http://" or "https://" (a page the views may load).
    static bool isWebAddress(const QString &text);
    /// True for no text and for text of length 0.
    static bool isEmpty(const QString &text);
    static bool isNotEmpty(const QString &text);

    /// True when `subString` occurs in `text`; an empty `subString` never occurs.
    static bool stringA(const QString &text, const QString &subString);

    /// True when, after removing all blanks and line ends, the length is a multiple of 4 and
    /// only Base64 letters, digits, "+", "/" and "=" are left (so an empty text is true).
    static bool isBase64Data(const QString &text);

    /// Non-empty and only CJK ideographs U+4E00..U+9FA5.
    static bool inputShouldChinese(const QString &text);
    /// Non-empty and only ASCII digits.
    static bool inputShouldNumber(const QString &text);
    /// Non-empty, digits, optionally a point and one or two more digits ("12", "12.5", "0.25").
    static bool inputShouldDecimal(const QString &text);
    /// Non-empty and only ASCII letters.
    static bool inputShouldLetter(const QString &text);
    /// Non-empty and only ASCII letters, digits, blanks and the marks , ( ) .
    static bool inputShouldLetterOrNum(const QString &text);

    /// True when some unit lies within U+4E01..U+9FFE.
    static bool isChinese(const QString &text);

    /// The display width of the whole text (see above).
    static qsizetype unicodeLengthOfString(const QString &text);
    /// The longest leading part whose display width does not exceed `bit`, then "...". The
    /// ellipsis is always added, also when the whole text fits.
    static QString subString(const QString &text, qsizetype bit);
    /// The text itself when its display width is at most `bitWidth`, else
    /// subString(text, bitWidth - 3); an empty string for no text.
    static QString stringWithAvailableBitWidth(const QString &text, qsizetype bitWidth);
    /// At most `width` units (`width` + 10 when inputShouldLetterOrNum holds), then "..." when
    /// something was cut; an empty string rather than no text.
    static QString stringWithAvailableWidth(const QString &text, qsizetype width);
    /// At most 17 units when inputShouldLetterOrNum holds, else 8, then "..." when something was
    /// cut.
    static QString stringWithAvailableWidth(const QString &text);

    /// Blanks and line ends removed at both ends.
    static QString trim(const QString &text);
};
