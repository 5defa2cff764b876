#include "runtime/KLDictionary.h"

#include <QJsonArray>

#include <gtest/gtest.h>

TEST(DictionaryGetters, HostMapsReadWrongTypesAsNoneNotAsTheDefault)
{
    const QVariantMap dict{{"text", QStringLiteral("hello")}, {"one", 1},     {"flag", true},
                           {"numberText", QStringLiteral("1")}, {"big", 1LL << 40}, {"real", 2.0}};

    EXPECT_EQ(KL_stringForKey(dict, "text"), "hello");
    EXPECT_TRUE(KL_stringForKey(dict, "one").isNull());
    EXPECT_EQ(KL_stringForKey(dict, "absent", "fallback"), "fallback");

    EXPECT_TRUE(KL_boolForKey(dict, "one"));
    EXPECT_TRUE(KL_boolForKey(dict, "flag"));
    EXPECT_FALSE(KL_boolForKey(dict, "numberText", true)); // present text: false, not the default
    EXPECT_TRUE(KL_boolForKey(dict, "absent", true));

    EXPECT_EQ(KL_longLongForKey(dict, "big"), 1LL << 40);
    EXPECT_EQ(KL_integerForKey(dict, "real"), 2);
    EXPECT_EQ(KL_integerForKey(dict, "numberText", 7), 0);
    EXPECT_EQ(KL_integerForKey(dict, "absent", 7), 7);

    EXPECT_FALSE(KL_objectForKey(dict, QString(), QVariant(5)).isValid()); // no key: none
    EXPECT_EQ(KL_objectForKey(dict, "absent", QVariant(5)).toInt(), 5);
    EXPECT_FALSE(KL_objectForKey(dict, "one", QVariant(), QMetaType::QString).isValid());
}

TEST(DictionaryGetters, WireObjectsFollowTheSameRules)
{
    const QJsonObject dict{{"text", "hello"}, {"one", 1}, {"flag", false}, {"numberText", "1"},
                           {"list", QJsonArray{1, 2}}};
    EXPECT_EQ(KL_stringForKey(dict, "text"), "hello");
    EXPECT_TRUE(KL_stringForKey(dict, "list").isNull());
    EXPECT_EQ(KL_longLongForKey(dict, "one"), 1);
    EXPECT_EQ(KL_longLongForKey(dict, "flag", 9), 0);
    EXPECT_EQ(KL_integerForKey(dict, "numberText", 9), 0);
    EXPECT_EQ(KL_integerForKey(dict, "absent", 9), 9);
    EXPECT_TRUE(KL_boolForKey(dict, "one"));
    EXPECT_FALSE(KL_boolForKey(dict, "numberText", true));
}

TEST(DictionaryJson, PrettyCompressedAndParsedForms)
{
    const QJsonObject object{{"a key", "x y"}, {"n", 1}};
    const QString pretty = KL_JSONString(object);
    EXPECT_TRUE(pretty.contains("\n    \"a key\": \"x y\""));
    // Every blank and line feed goes, also inside keys and values.
    EXPECT_EQ(KL_compressedJSONString(object), "{\"akey\":\"xy\",\"n\":1}");

    EXPECT_EQ(KL_JSONObject(pretty).toObject(), object);
    EXPECT_TRUE(KL_JSONObject("{not json").isUndefined());

    static int opaque = 0;
    const QVariantMap unserialisable{{"handle", QVariant::fromValue(static_cast<void *>(&opaque))}};
    EXPECT_TRUE(KL_JSONString(unserialisable).isNull());
    EXPECT_EQ(KL_compressedJSONString(QVariantMap{{"k", "v w"}}), "{\"k\":\"vw\"}");
}
