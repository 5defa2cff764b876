#include "host/KLDateUtils.h"

#include "runtime/KLLocalization.h"

#include <QLocale>

#include <cmath>
#include <limits>

namespace {

QDateTime orNow(const QDateTime &now)
{
    return now.isValid() ? now.toLocalTime() : QDateTime::currentDateTime();
}

QLocale interfaceLocale()
{
    return KLLocalization::language() == KLLocalization::Language::English
               ? QLocale(QLocale::English, QLocale::UnitedStates)
               : QLocale(QLocale::Chinese, QLocale::China);
}

/// A Unicode date pattern rewritten in Qt's notation. Only ASCII letters are pattern letters in
/// both; Qt's own letters that mean something else in the Unicode notation are translated, and
/// letters Qt does not know are kept as quoted text.
QString toQtFormat(const QString &pattern)
{
    QString out;
    qsizetype i = 0;
    while (i < pattern.size()) {
        const QChar c = pattern.at(i);
        if (c == QLatin1Char('\'')) {
            // Quoted text (and '' for a quote) means the same in both notations.
            const qsizetype close = pattern.indexOf(QLatin1Char('\''), i + 1);
            const qsizetype end = close < 0 ? pattern.size() : close + 1;
            out += pattern.mid(i, end - i);
            if (close < 0)
                out += QLatin1Char('\'');
            i = end;
            continue;
        }
        const bool asciiLetter = (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
                                 (c >= QLatin1Char('A') && c <= QLatin1Char('Z'));
        if (!asciiLetter) {
            out += c;
            ++i;
            continue;
        }
        qsizetype run = 1;
        while (i + run < pattern.size() && pattern.at(i + run) == c)
            ++run;
        const auto repeat = [](char letter, qsizetype count) {
            return QString(count, QLatin1Char(letter));
        };
        switch (c.toLatin1()) {
        case 'y':
            out += run == 2 ? repeat('y', 2) : repeat('y', 4);
            break;
        case 'M':
        case 'L':
            out += repeat('M', qMin<qsizetype>(run, 4));
            break;
        case 'd':
        case 'H':
        case 'h':
        case 'm':
        case 's':
            out += repeat(c.toLatin1(), qMin<qsizetype>(run, 2));
            break;
        case 'S':
            out += repeat('z', 3);
            break;
        case 'E':
        case 'c':
            out += run >= 4 ? repeat('d', 4) : repeat('d', 3);
            break;
        case 'a':
            out += QStringLiteral("AP");
            break;
        case 'z':
        case 'Z':
        case 'v':
        case 'V':
        case 'O':
        case 'x':
        case 'X':
            out += QLatin1Char('t');
            break;
        default:
            out += QLatin1Char('\'') + pattern.mid(i, run) + QLatin1Char('\'');
            break;
        }
        i += run;
    }
    return out;
}

/// The leading integer of a text, like a C library reading a number: blanks, a sign, digits,
/// and whatever follows ignored; 0 when there are no digits.
qint64 leadingInteger(const QString &text)
{
    const QString trimmed = text.trimmed();
    qsizetype i = 0;
    bool negative = false;
    if (i < trimmed.size() &&
        (trimmed.at(i) == QLatin1Char('-') || trimmed.at(i) == QLatin1Char('+'))) {
        negative = trimmed.at(i) == QLatin1Char('-');
        ++i;
    }
    qint64 value = 0;
    for (; i < trimmed.size() && trimmed.at(i).isDigit() && trimmed.at(i).unicode() < 128; ++i) {
        const int digit = trimmed.at(i).unicode() - '0';
        if (value > (std::numeric_limits<qint64>::max() - digit) / 10)
            return negative ? std::numeric_limits<qint64>::min()
                            : std::numeric_limits<qint64>::max();
        value = value * 10 + digit;
    }
    return negative ? -value : value;
}

/// "+8", "-5", "+10", "+5:30"; "+0" for UTC.
QString utcOffsetText(int offsetSeconds)
{
    const int minutes = std::abs(offsetSeconds) / 60;
    QString text = QStringLiteral("%1%2")
                       .arg(offsetSeconds < 0 ? QLatin1Char('-') : QLatin1Char('+'))
                       .arg(minutes / 60);
    if (minutes % 60 != 0)
        text += QStringLiteral(":%1").arg(minutes % 60, 2, 10, QLatin1Char('0'));
    return text;
}

} // namespace

QDateTime KLDateUtils::DateFormatter::dateFromString(const QString &text,
                                                     const QString &format) const
{
    return interfaceLocale().toDateTime(text, toQtFormat(format));
}

QString KLDateUtils::DateFormatter::stringFromDate(const QDateTime &date,
                                                   const QString &format) const
{
    if (!date.isValid())
        return QString();
    return interfaceLocale().toString(date.toLocalTime(), toQtFormat(format));
}

QString KLDateUtils::formateTimeString(const QString &timeString, const QDateTime &now)
{
    const QDateTime current = orNow(now);
    const qsizetype blank = timeString.indexOf(QLatin1Char(' '));
    const QString dayPart = blank < 0 ? timeString : timeString.left(blank);
    const QString timePart = blank < 0 ? QString() : timeString.mid(blank + 1);

    if (dayPart == current.toString(QStringLiteral("MM-dd"))) {
        const bool morning = timePart.left(2) < QLatin1String("12");
        return KLLocalizedString(morning ? QStringLiteral("AM_TIPS") : QStringLiteral("PM_TIPS")) +
               timePart;
    }

    QString prefix = dayPart + QLatin1Char(' ');
    if (KLLocalizedString(QStringLiteral("APPLICATION_LANGUAGE_FLAG")) == QStringLiteral("中文")) {
        bool ok = false;
        const int day = dayPart.section(QLatin1Char('-'), 1, 1).toInt(&ok);
        if (ok) {
            switch (day - current.date().day()) {
            case -2:
                prefix = QStringLiteral("前天 ");
                break;
            case -1:
                prefix = QStringLiteral("昨天 ");
                break;
            case 1:
                prefix = QStringLiteral("明天 ");
                break;
            case 2:
                prefix = QStringLiteral("后天 ");
                break;
            default:
                break;
            }
        }
    }
    return prefix + timePart;
}

QString KLDateUtils::timeStringWithStartTime(const QString &startTime, const QString &endTime,
                                             const QTimeZone &zone)
{
    const QTimeZone timeZone = zone.isValid() ? zone : QTimeZone::systemTimeZone();
    const QDateTime start =
        QDateTime::fromSecsSinceEpoch(leadingInteger(startTime) / 1000, timeZone);
    const QDateTime end = QDateTime::fromSecsSinceEpoch(leadingInteger(endTime) / 1000, timeZone);
    if (!start.isValid() || !end.isValid())
        return QString();

    const QString dayAndTime = QStringLiteral("yyyy-MM-dd HH:mm");
    QString text;
    if (start.date() == end.date()) {
        text = QStringLiteral(" %1  %2 ~ %3")
                   .arg(start.toString(QStringLiteral("yyyy-MM-dd")),
                        start.toString(QStringLiteral("HH:mm")),
                        end.toString(QStringLiteral("HH:mm")));
    } else {
        const QString endFormat =
            start.date().year() == end.date().year() ? QStringLiteral("MM-dd HH:mm") : dayAndTime;
        text = QStringLiteral(" %1 ~ %2").arg(start.toString(dayAndTime), end.toString(endFormat));
    }
    text += QStringLiteral("(UTC%1)").arg(utcOffsetText(timeZone.offsetFromUtc(start)));
    return text.trimmed();
}

QString KLDateUtils::convertToDateTimeWithString(const QString &text, const QString &format)
{
    const QDate date =
        QDate::fromString(text.section(QLatin1Char(' '), 0, 0), QStringLiteral("yyyy-MM-dd"));
    const QTime time =
        QTime::fromString(text.section(QLatin1Char(' '), 1), QStringLiteral("HH:mm:ss"));
    if (!date.isValid() || !time.isValid())
        return QString();
    return sharedDateFormatter().stringFromDate(QDateTime(date, time, Qt::UTC), format);
}

const KLDateUtils::DateFormatter &KLDateUtils::sharedDateFormatter()
{
    static const DateFormatter formatter;
    return formatter;
}

QDateTime KLDateUtils::stringToDate(const QString &text, const QString &format)
{
    return sharedDateFormatter().dateFromString(text, format);
}

QString KLDateUtils::dateString(const QDateTime &date, const QString &format)
{
    return sharedDateFormatter().stringFromDate(date, format);
}

QString KLDateUtils::dateString(const QString &text, const QString &fromFormat,
                                const QString &toFormat)
{
    return dateString(stringToDate(text, fromFormat), toFormat);
}

QDateTime KLDateUtils::shortDate(const QDateTime &date)
{
    if (!date.isValid())
        return QDateTime();
    return QDateTime(date.toLocalTime().date(), QTime(0, 0), Qt::LocalTime);
}

KLDateUtils::DayDifference KLDateUtils::differsDaysFromDate(const QDateTime &from,
                                                            const QDateTime &to)
{
    if (!from.isValid() || !to.isValid())
        return {};
    const qint64 days = shortDate(from).date().daysTo(shortDate(to).date());
    return {days / 7, days % 7};
}

QString KLDateUtils::dateIdentifierNow(const QDateTime &now)
{
    return orNow(now).toString(QStringLiteral("yyyyMMddHHmmsszzz"));
}

QDateTime KLDateUtils::localizedDate(const QDateTime &date)
{
    if (!date.isValid())
        return QDateTime();
    return date.addSecs(date.toLocalTime().offsetFromUtc());
}

QString KLDateUtils::localizedShortDateString(const QDateTime &date, const QDateTime &now)
{
    if (!date.isValid())
        return QString();
    const DayDifference difference = differsDaysFromDate(date, orNow(now));
    QString format;
    if (difference.weekOfMonth == 0 && difference.day == 0)
        format = QStringLiteral("HH:mm");
    else if (difference.weekOfMonth == 0 && difference.day == 1)
        format = QStringLiteral("昨天 HH:mm");
    else if (difference.weekOfMonth != 0)
        format = QStringLiteral("yyyy年MM月dd日 HH:mm");
    else
        format = QStringLiteral("EEEE HH:mm");
    return dateString(date, format);
}

QString KLDateUtils::localizedShortDateStringFromInterval(double seconds, const QDateTime &now)
{
    // Far beyond any calendar Qt can hold: refuse rather than overflow.
    constexpr double limit = 1e14;
    if (!std::isfinite(seconds) || std::fabs(seconds) > limit)
        return QString();
    const QDateTime reference(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC);
    return localizedShortDateString(reference.addMSecs(qint64(std::llround(seconds * 1000.0))),
                                    now);
}
