#include "host/StringUtils.h"

#include <gtest/gtest.h>

// Texts are UTF-8 literals: QString reads them as UTF-8.
TEST(StringUtils, DisplayWidthAndShortening)
{
    EXPECT_EQ(StringUtils::unicodeLengthOfString("ab中c"), 5);
    EXPECT_EQ(StringUtils::unicodeLengthOfString("\U0001F600"), 4);
    EXPECT_EQ(StringUtils::subString("ab中c", 3), "ab...");
    EXPECT_EQ(StringUtils::subString("abc", -1), "...");
    EXPECT_EQ(StringUtils::subString("a\U0001F600", 4), "a..."); // never half a pair
    EXPECT_EQ(StringUtils::stringWithAvailableBitWidth("ab中c", 5), "ab中c");
    EXPECT_EQ(StringUtils::stringWithAvailableBitWidth("abcdefg", 6), "abc...");

    const QString letters17 = QStringLiteral("abcdefghijklmnopq");
    EXPECT_EQ(StringUtils::stringWithAvailableWidth(letters17), letters17);
    EXPECT_EQ(StringUtils::stringWithAvailableWidth(letters17 + "r"), letters17 + "...");
    EXPECT_EQ(StringUtils::stringWithAvailableWidth("一二三四五六七八九"), "一二三四五六七八...");
    EXPECT_EQ(StringUtils::stringWithAvailableWidth("Room (2), A.", 2), "Room (2), A.");
    EXPECT_EQ(StringUtils::stringWithAvailableWidth(letters17, 5), "abcdefghijklmno...");
    EXPECT_EQ(StringUtils::stringWithAvailableWidth("中文字", 2), "中文...");
    for (const QString &none : {StringUtils::stringWithAvailableBitWidth(QString(), 6),
                                StringUtils::stringWithAvailableWidth(QString(), 4)})
        EXPECT_TRUE(none.isEmpty() && !none.isNull());
}

TEST(StringUtils, PatternsMatchTheWholeText)
{
    EXPECT_TRUE(StringUtils::isBase64Data("SGVsbG8="));
    EXPECT_TRUE(StringUtils::isBase64Data("SGVs\r\nbG8g d29y"));
    EXPECT_FALSE(StringUtils::isBase64Data("SGVsbG8"));
    EXPECT_FALSE(StringUtils::isBase64Data("SGV*bG8="));
    EXPECT_TRUE(StringUtils::stringA("meeting room", "g r"));
    EXPECT_FALSE(StringUtils::stringA("meeting room", QString()));

    EXPECT_TRUE(StringUtils::inputShouldChinese("会议"));
    EXPECT_FALSE(StringUtils::inputShouldChinese("会议a"));
    EXPECT_TRUE(StringUtils::inputShouldNumber("0123"));
    EXPECT_FALSE(StringUtils::inputShouldNumber("12\n"));
    for (const char *ok : {"12", "0.5", "12.25"})
        EXPECT_TRUE(StringUtils::inputShouldDecimal(ok)) << ok;
    for (const char *bad : {"", "12.", ".5", "12.345", "1.2.3", "-1"})
        EXPECT_FALSE(StringUtils::inputShouldDecimal(bad)) << bad;
    EXPECT_TRUE(StringUtils::inputShouldLetter("Kelvo"));
    EXPECT_FALSE(StringUtils::inputShouldLetter("Kelvo1"));
    EXPECT_TRUE(StringUtils::inputShouldLetterOrNum("Room (2), A."));
    EXPECT_FALSE(StringUtils::inputShouldLetterOrNum("a_b"));
    EXPECT_TRUE(StringUtils::isChinese("abc中"));
    EXPECT_FALSE(StringUtils::isChinese("\u4E00"));
}
