#pragma once

#include <QDateTime>
#include <QString>
#include <QTimeZone>

/// The date and time texts shown to the user, in the local time zone.
///
/// Formats are date patterns in the common Unicode (CLDR) notation, the one designers write:
/// "yyyy-MM-dd HH:mm", "EEEE HH:mm" (weekday name), "SSS" (milliseconds), "a" (AM/PM mark),
/// "z" (zone); text in single quotes and every non-ASCII character stand for themselves. Month and
/// weekday names follow the SDK's interface language.
///
/// Operations that depend on the current time take an optional `now`; an invalid `now` (the
/// default) means the current time.
class KLDateUtils {
public:
    /// Calendar distance between two days, in whole weeks and the days left over (both negative
    /// when the second day comes first): 9 days are 1 week and 2 days.
    struct DayDifference {
        qint64 weekOfMonth = 0;
        qint64 day = 0;
    };

    /// Parses and prints with the patterns above in the local time zone. It holds no mutable
    /// state, so the shared one may be used from any thread.
    class DateFormatter {
    public:
        /// Invalid when `text` does not have the form of `format`.
        QDateTime dateFromString(const QString &text, const QString &format) const;
        /// The date in the local time zone; a null string for an invalid date.
        QString stringFromDate(const QDateTime &date, const QString &format) const;
    };

    /// For "MM-dd HH:mm:ss": today's times read "<AM_TIPS>HH:mm:ss" or "<PM_TIPS>HH:mm:ss" (by the
    /// hour); other days read "MM-dd HH:mm:ss", or in Chinese "昨天 ", "前天 ", "明天 ", "后天 "
    /// for a day of the month one or two before or after today's (months are not compared).
    static QString formateTimeString(const QString &timeString, const QDateTime &now = QDateTime());

    /// The span of a meeting from two millisecond texts (since 1970, cut to whole seconds):
    /// "yyyy-MM-dd  HH:mm ~ HH:mm(UTC+8)" on one day; "yyyy-MM-dd HH:mm ~ MM-dd HH:mm(UTC+8)"
    /// across days of one year; with the year on both sides across years. The zone part is the
    /// zone's offset at the start: "+8", "-5", "+10", "+5:30", "+0" for UTC itself.
    static QString timeStringWithStartTime(const QString &startTime, const QString &endTime,
                                           const QTimeZone &zone = QTimeZone::systemTimeZone());

    /// Reads "yyyy-MM-dd HH:mm:ss" as UTC and prints it in `format` in the local time zone; a
    /// null string when the text is not of that form.
    static QString
    convertToDateTimeWithString(const QString &text,
                                const QString &format = QStringLiteral("yyyy-MM-dd HH:mm"));

    /// The one formatter of the process.
    static const DateFormatter &sharedDateFormatter();
    static QDateTime stringToDate(const QString &text, const QString &format);
    static QString dateString(const QDateTime &date, const QString &format);
    /// Re-writes a date text from one format into another; a null string when it cannot be read.
    static QString dateString(const QString &text, const QString &fromFormat,
                              const QString &toFormat);

    /// The start (local midnight) of the date's local day.
    static QDateTime shortDate(const QDateTime &date);
    /// Calendar days from the day of `from` to the day of `to`, as weeks and days.
    static DayDifference differsDaysFromDate(const QDateTime &from, const QDateTime &to);

    /// Now as "yyyyMMddHHmmssSSS" (17 digits).
    static QString dateIdentifierNow(const QDateTime &now = QDateTime());

    /// The date moved forward by the local zone's offset from UTC at that date.
    static QDateTime localizedDate(const QDateTime &date);

    /// Compared with today: "HH:mm" today; "昨天 HH:mm" yesterday; the weekday name and "HH:mm"
    /// within the same week's distance; "yyyy年MM月dd日 HH:mm" a week or more away.
    static QString localizedShortDateString(const QDateTime &date,
                                            const QDateTime &now = QDateTime());
    /// The same for seconds since 2001-01-01 00:00 UTC.
    static QString localizedShortDateStringFromInterval(double seconds,
                                                        const QDateTime &now = QDateTime());
};
