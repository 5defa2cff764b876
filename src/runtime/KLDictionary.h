#pragma once

// Typed getters over the two dictionary kinds of the SDK: the host's QVariantMap and the
// wire's QJsonObject. A present value of the wrong type reads as none, 0 or false (not as
// the default); numeric and bool getters accept only numbers (booleans count as numbers).

#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QVariant>
#include <QVariantMap>

/// The stored object, or `defaultValue` when the key is absent; none for a null key.
QVariant KL_objectForKey(const QVariantMap &dict, const QString &key,
                         const QVariant &defaultValue = QVariant());
/// As above, but none when the found object is not of `type` (a QMetaType id).
QVariant KL_objectForKey(const QVariantMap &dict, const QString &key, const QVariant &defaultValue,
                         int type);
QString KL_stringForKey(const QVariantMap &dict, const QString &key,
                        const QString &defaultValue = QString());
qint64 KL_longLongForKey(const QVariantMap &dict, const QString &key, qint64 defaultValue = 0);
int KL_integerForKey(const QVariantMap &dict, const QString &key, int defaultValue = 0);
bool KL_boolForKey(const QVariantMap &dict, const QString &key, bool defaultValue = false);

QJsonValue KL_objectForKey(const QJsonObject &dict, const QString &key,
                           const QJsonValue &defaultValue = QJsonValue(QJsonValue::Undefined));
QString KL_stringForKey(const QJsonObject &dict, const QString &key,
                        const QString &defaultValue = QString());
qint64 KL_longLongForKey(const QJsonObject &dict, const QString &key, qint64 defaultValue = 0);
int KL_integerForKey(const QJsonObject &dict, const QString &key, int defaultValue = 0);
bool KL_boolForKey(const QJsonObject &dict, const QString &key, bool defaultValue = false);

/// The "%ld" text of the value's integer reading, as identifiers travel: a number cut towards
/// zero; a text read like a C integer (leading blanks, a sign, digits up to the first other
/// character; "0" when there are none; saturated at the 64-bit limits); true/false as 1/0;
/// anything else 0.
QString KL_integerText(const QJsonValue &value);

/// The text, or an empty (non-null) text for a null one: what the wire sends for an absent
/// string.
inline QString KL_textOrEmpty(const QString &text)
{
    return text.isNull() ? QString(QLatin1String("")) : text;
}

/// True for the variant types that stand for a number (booleans included).
bool KL_isNumber(const QVariant &value);

/// Pretty-printed UTF-8 JSON text; a null string when the map cannot be serialised.
QString KL_JSONString(const QJsonObject &dict);
QString KL_JSONString(const QVariantMap &dict);
/// KL_JSONString with every space and line feed removed.
QString KL_compressedJSONString(const QJsonObject &dict);
QString KL_compressedJSONString(const QVariantMap &dict);
/// Parses JSON text; undefined when the text is not JSON.
QJsonValue KL_JSONObject(const QString &text);
