#include "host/KLDateUtils.h"

#include "runtime/KLLocalization.h"

#include <gtest/gtest.h>

namespace {

QDateTime local(int y, int mo, int d, int h, int mi, int s = 0, int ms = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s, ms), Qt::LocalTime);
}

class KLDateUtilsTest : public testing::Test {
protected:
    void TearDown() override { KLLocalization::setLanguage(saved); }
    const KLLocalization::Language saved = KLLocalization::language();
    const QDateTime now = local(2024, 3, 15, 10, 0); // a Friday
};

} // namespace

TEST_F(KLDateUtilsTest, FormateTimeString)
{
    KLLocalization::setLanguage(KLLocalization::Language::Chinese);
    const std::pair<const char *, const char *> chinese[] = {
        {"03-15 14:05:00", "下午 14:05:00"},  {"03-15 09:59:59", "上午 09:59:59"},
        {"03-14 08:00:00", "昨天 08:00:00"},  {"03-13 08:00:00", "前天 08:00:00"},
        {"03-16 08:00:00", "明天 08:00:00"},  {"03-17 08:00:00", "后天 08:00:00"},
        {"02-14 08:00:00", "昨天 08:00:00"}, // only the day of the month is compared
        {"03-10 08:00:00", "03-10 08:00:00"}, {"garbage", "garbage "}};
    for (const auto &[given, expected] : chinese)
        EXPECT_EQ(KLDateUtils::formateTimeString(given, now), QString::fromUtf8(expected)) << given;

    KLLocalization::setLanguage(KLLocalization::Language::English);
    EXPECT_EQ(KLDateUtils::formateTimeString("03-15 12:00:00", now), "PM 12:00:00");
    EXPECT_EQ(KLDateUtils::formateTimeString("03-14 08:00:00", now), "03-14 08:00:00");
}

TEST_F(KLDateUtilsTest, MeetingSpanText)
{
    const QTimeZone beijing(8 * 3600);
    const auto at = [&](int y, int mo, int d, int h, int mi, int ms = 0) {
        return QString::number(QDateTime(QDate(y, mo, d), QTime(h, mi), beijing).toMSecsSinceEpoch() + ms);
    };
    const auto span = [&](const QString &start, const QString &end, const QTimeZone &zone = QTimeZone(8 * 3600)) {
        return KLDateUtils::timeStringWithStartTime(start, end, zone);
    };
    EXPECT_EQ(span(at(2024, 3, 15, 9, 0), at(2024, 3, 15, 10, 30)), "2024-03-15  09:00 ~ 10:30(UTC+8)");
    EXPECT_EQ(span(at(2024, 3, 15, 23, 0), at(2024, 3, 16, 1, 0)), "2024-03-15 23:00 ~ 03-16 01:00(UTC+8)");
    EXPECT_EQ(span(at(2024, 12, 31, 23, 0), at(2025, 1, 1, 1, 0)), "2024-12-31 23:00 ~ 2025-01-01 01:00(UTC+8)");
    // Milliseconds are cut, not rounded; other offsets keep their sign and minutes.
    const QString start = at(2024, 3, 15, 17, 0, 59999);
    EXPECT_EQ(span(start, start, QTimeZone(-5 * 3600)), "2024-03-15  04:00 ~ 04:00(UTC-5)");
    EXPECT_EQ(span(start, start, QTimeZone(5 * 3600 + 1800)), "2024-03-15  14:30 ~ 14:30(UTC+5:30)");
    EXPECT_EQ(span("x", "", QTimeZone(0)), "1970-01-01  00:00 ~ 00:00(UTC+0)");
}

TEST_F(KLDateUtilsTest, FormatsAndConversions)
{
    KLLocalization::setLanguage(KLLocalization::Language::English);
    EXPECT_EQ(KLDateUtils::dateString("2024-03-15", "yyyy-MM-dd", "dd/MM/yyyy EEEE"), "15/03/2024 Friday");
    EXPECT_EQ(KLDateUtils::dateString(local(2024, 3, 15, 14, 5), "'at' HH:mm a"), "at 14:05 PM");
    EXPECT_TRUE(KLDateUtils::dateString("15.03.2024", "yyyy-MM-dd", "dd").isNull());
    KLLocalization::setLanguage(KLLocalization::Language::Chinese);
    EXPECT_EQ(KLDateUtils::dateString(local(2024, 3, 15, 14, 5), "EEEE"), QStringLiteral("星期五"));
    EXPECT_EQ(KLDateUtils::dateIdentifierNow(local(2024, 3, 5, 14, 5, 6, 7)), "20240305140506007");

    // From UTC text to local text and back lands on the same instant in any local zone.
    const QString localText = KLDateUtils::convertToDateTimeWithString("2024-03-15 12:34:56", "yyyy-MM-dd HH:mm:ss");
    EXPECT_EQ(KLDateUtils::stringToDate(localText, "yyyy-MM-dd HH:mm:ss").toUTC(),
              QDateTime(QDate(2024, 3, 15), QTime(12, 34, 56), Qt::UTC));
    EXPECT_TRUE(KLDateUtils::convertToDateTimeWithString("2024-03-15T12:34:56").isNull());
}

TEST_F(KLDateUtilsTest, DayDifferencesAndShortDates)
{
    const auto diff = [](const QDateTime &a, const QDateTime &b) {
        const KLDateUtils::DayDifference d = KLDateUtils::differsDaysFromDate(a, b);
        return std::make_pair(d.weekOfMonth, d.day);
    };
    EXPECT_EQ(diff(local(2024, 3, 6, 23, 0), local(2024, 3, 15, 1, 0)), std::make_pair(1LL, 2LL));
    EXPECT_EQ(diff(local(2024, 3, 14, 23, 59), local(2024, 3, 15, 0, 1)), std::make_pair(0LL, 1LL));
    EXPECT_EQ(KLDateUtils::shortDate(local(2024, 3, 15, 18, 30)), local(2024, 3, 15, 0, 0));

    KLLocalization::setLanguage(KLLocalization::Language::English);
    const std::pair<QDateTime, QString> shortDates[] = {
        {local(2024, 3, 15, 8, 30), "08:30"}, {local(2024, 3, 14, 23, 59), "昨天 23:59"},
        {local(2024, 3, 12, 10, 0), "Tuesday 10:00"}, {local(2024, 3, 8, 10, 0), "2024年03月08日 10:00"}};
    for (const auto &[date, expected] : shortDates)
        EXPECT_EQ(KLDateUtils::localizedShortDateString(date, now), expected);

    const double sinceReference = QDateTime(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC).msecsTo(local(2024, 3, 15, 7, 45)) / 1000.0;
    EXPECT_EQ(KLDateUtils::localizedShortDateStringFromInterval(sinceReference, now), "07:45");
    EXPECT_TRUE(KLDateUtils::localizedShortDateStringFromInterval(1.0 / 0.0, now).isNull());
}
