#include "host/StringUtils.h"

#include <QRegularExpression>

namespace {

const QString kEllipsis = QStringLiteral("...");

bool matchesWhole(const QString &text, const QRegularExpression &pattern)
{
    return pattern.match(text).hasMatch();
}

QRegularExpression wholeText(const QString &pattern)
{
    return QRegularExpression(QRegularExpression::anchoredPattern(pattern));
}

constexpr qsizetype unitWidth(QChar unit)
{
    return unit.unicode() < 128 ? 1 : 2;
}

/// `length` moved one unit to the left when it would separate the halves of a surrogate pair.
qsizetype safeCut(const QString &text, qsizetype length)
{
    if (length > 0 && length < text.size() && text.at(length - 1).isHighSurrogate() &&
        text.at(length).isLowSurrogate())
        return length - 1;
    return length;
}

QString cutToLength(const QString &text, qsizetype limit)
{
    if (text.size() <= limit)
        return text;
    return text.left(safeCut(text, qMax<qsizetype>(limit, 0))) + kEllipsis;
}

} // namespace

bool StringUtils::isEmpty(const QString &text)
{
    return text.isEmpty();
}

bool StringUtils::isNotEmpty(const QString &text)
{
    return !isEmpty(text);
}

bool StringUtils::stringA(const QString &text, const QString &subString)
{
    return !subString.isEmpty() && text.contains(subString);
}

bool StringUtils::isBase64Data(const QString &text)
{
    static const QString alphabet =
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/=");
    qsizetype length = 0;
    for (const QChar unit : text) {
        if (unit.isSpace())
            continue;
        if (!alphabet.contains(unit))
            return false;
        ++length;
    }
    return length % 4 == 0;
}

bool StringUtils::inputShouldChinese(const QString &text)
{
    static const QRegularExpression pattern = wholeText(QStringLiteral("[\\x{4E00}-\\x{9FA5}]+"));
    return !text.isEmpty() && matchesWhole(text, pattern);
}

bool StringUtils::inputShouldNumber(const QString &text)
{
    static const QRegularExpression pattern = wholeText(QStringLiteral("[0-9]*"));
    return !text.isEmpty() && matchesWhole(text, pattern);
}

bool StringUtils::inputShouldDecimal(const QString &text)
{
    static const QRegularExpression pattern = wholeText(QStringLiteral("[0-9]+(\\.[0-9]{1,2})?"));
    return !text.isEmpty() && matchesWhole(text, pattern);
}

bool StringUtils::inputShouldLetter(const QString &text)
{
    static const QRegularExpression pattern = wholeText(QStringLiteral("[a-zA-Z]*"));
    return !text.isEmpty() && matchesWhole(text, pattern);
}

bool StringUtils::inputShouldLetterOrNum(const QString &text)
{
    static const QRegularExpression pattern = wholeText(QStringLiteral("[a-zA-Z0-9 ,().]*"));
    return !text.isEmpty() && matchesWhole(text, pattern);
}

bool StringUtils::isChinese(const QString &text)
{
    for (const QChar unit : text) {
        if (unit.unicode() >= 0x4E01 && unit.unicode() <= 0x9FFE)
            return true;
    }
    return false;
}

qsizetype StringUtils::unicodeLengthOfString(const QString &text)
{
    qsizetype width = 0;
    for (const QChar unit : text)
        width += unitWidth(unit);
    return width;
}

QString StringUtils::subString(const QString &text, qsizetype bit)
{
    qsizetype width = 0;
    qsizetype length = 0;
    while (length < text.size() && width + unitWidth(text.at(length)) <= bit) {
        width += unitWidth(text.at(length));
        ++length;
    }
    return text.left(safeCut(text, length)) + kEllipsis;
}

QString StringUtils::stringWithAvailableBitWidth(const QString &text, qsizetype bitWidth)
{
    if (text.isNull())
        return QStringLiteral("");
    if (unicodeLengthOfString(text) <= bitWidth)
        return text;
    return subString(text, bitWidth - 3);
}

QString StringUtils::stringWithAvailableWidth(const QString &text, qsizetype width)
{
    const qsizetype limit = inputShouldLetterOrNum(text) ? width + 10 : width;
    const QString result = cutToLength(text, limit);
    return result.isEmpty() ? QStringLiteral("") : result;
}

QString StringUtils::stringWithAvailableWidth(const QString &text)
{
    return cutToLength(text, inputShouldLetterOrNum(text) ? 17 : 8);
}

QString StringUtils::trim(const QString &text)
{
    return text.trimmed();
}

bool StringUtils::isWebAddress(const QString &text)
{
    return text.startsWith(QLatin1String("http://")) || text.startsWith(QLatin1String("https://"));
}
