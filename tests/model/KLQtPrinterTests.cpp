// Failed comparisons of Qt values print readable text. This file includes neither the test
// support header nor the printers: it checks that every test program sees them anyway.
#include <QJsonArray>
#include <QJsonObject>
#include <QStringList>
#include <QVariant>

#include <gtest/gtest.h>

TEST(KLQtPrinters, TextAndBytesPrintAsQuotedStringsWithEscapes)
{
    using testing::PrintToString;
    EXPECT_EQ(PrintToString(QString::fromUtf8("会议 \"a\"\\\n")), "\"会议 \\\"a\\\"\\\\\\n\"");
    EXPECT_EQ(PrintToString(QString(QChar(0x1b))), "\"\\u001b\"");
    EXPECT_EQ(PrintToString(QByteArray("ok\xff\x01", 4)), "\"ok\\xff\\x01\"");
    EXPECT_EQ(PrintToString(QStringList{"a", "b c"}), "[\"a\", \"b c\"]");
}

TEST(KLQtPrinters, JsonPrintsAsCompactTextAndValuesNameTheirType)
{
    using testing::PrintToString;
    const QJsonObject object{{"id", 7}, {"names", QJsonArray{"x"}}};
    EXPECT_EQ(PrintToString(object), R"({"id":7,"names":["x"]})");
    EXPECT_EQ(PrintToString(QJsonArray{1, true}), "[1,true]");
    // 1 and "1", null and a missing key: the difference a failed comparison has to show.
    EXPECT_EQ(PrintToString(QJsonValue(1)), "number 1");
    EXPECT_EQ(PrintToString(QJsonValue("1")), "string \"1\"");
    EXPECT_EQ(PrintToString(QJsonValue()), "null ");
    EXPECT_EQ(PrintToString(object.value("missing")), "undefined ");
    QJsonObject writable = object;
    EXPECT_EQ(PrintToString(writable["id"]), "number 7");
    EXPECT_EQ(PrintToString(QVariant(3)), "QVariant(int, 3)");
}
