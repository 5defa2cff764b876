#include "runtime/KLDictionary.h"

#include <cmath>
#include <limits>

#include <QJsonArray>
#include <QJsonDocument>
#include <QMetaType>

bool KL_isNumber(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Double:
    case QMetaType::Float:
        return true;
    default:
        return false;
    }
}

QVariant KL_objectForKey(const QVariantMap &dict, const QString &key, const QVariant &defaultValue)
{
    if (key.isNull())
        return QVariant();
    const auto it = dict.constFind(key);
    return it == dict.constEnd() ? defaultValue : it.value();
}

QVariant KL_objectForKey(const QVariantMap &dict, const QString &key, const QVariant &defaultValue,
                         int type)
{
    const QVariant found = KL_objectForKey(dict, key, defaultValue);
    return found.typeId() == type ? found : QVariant();
}

QString KL_stringForKey(const QVariantMap &dict, const QString &key, const QString &defaultValue)
{
    return KL_objectForKey(dict, key, defaultValue, QMetaType::QString).toString();
}

qint64 KL_longLongForKey(const QVariantMap &dict, const QString &key, qint64 defaultValue)
{
    const QVariant found = KL_objectForKey(dict, key, defaultValue);
    return KL_isNumber(found) ? found.toLongLong() : 0;
}

int KL_integerForKey(const QVariantMap &dict, const QString &key, int defaultValue)
{
    return static_cast<int>(KL_longLongForKey(dict, key, defaultValue));
}

bool KL_boolForKey(const QVariantMap &dict, const QString &key, bool defaultValue)
{
    const QVariant found = KL_objectForKey(dict, key, defaultValue);
    return KL_isNumber(found) ? found.toDouble() != 0.0 : false;
}

QJsonValue KL_objectForKey(const QJsonObject &dict, const QString &key,
                           const QJsonValue &defaultValue)
{
    if (key.isNull())
        return QJsonValue(QJsonValue::Undefined);
    const auto it = dict.constFind(key);
    return it == dict.constEnd() ? defaultValue : it.value();
}

QString KL_stringForKey(const QJsonObject &dict, const QString &key, const QString &defaultValue)
{
    const QJsonValue found = KL_objectForKey(dict, key, QJsonValue(defaultValue));
    return found.isString() ? found.toString() : QString();
}

qint64 KL_longLongForKey(const QJsonObject &dict, const QString &key, qint64 defaultValue)
{
    const QJsonValue found = KL_objectForKey(dict, key, QJsonValue(defaultValue));
    if (found.isBool())
        return found.toBool() ? 1 : 0;
    return found.isDouble() ? found.toInteger() : 0;
}

int KL_integerForKey(const QJsonObject &dict, const QString &key, int defaultValue)
{
    return static_cast<int>(KL_longLongForKey(dict, key, defaultValue));
}

bool KL_boolForKey(const QJsonObject &dict, const QString &key, bool defaultValue)
{
    const QJsonValue found = KL_objectForKey(dict, key, QJsonValue(defaultValue));
    if (found.isBool())
        return found.toBool();
    return found.isDouble() ? found.toDouble() != 0.0 : false;
}

QString KL_JSONString(const QJsonObject &dict)
{
    return QString::fromUtf8(QJsonDocument(dict).toJson(QJsonDocument::Indented));
}

QString KL_JSONString(const QVariantMap &dict)
{
    // Values JSON cannot hold come back as null from the conversion: refuse those maps.
    for (auto it = dict.constBegin(); it != dict.constEnd(); ++it) {
        if (it.value().isValid() && !it.value().isNull() &&
            QJsonValue::fromVariant(it.value()).isNull())
            return QString();
    }
    return KL_JSONString(QJsonObject::fromVariantMap(dict));
}

namespace {
QString withoutBlanksAndLineFeeds(QString text)
{
    text.remove(QLatin1Char(' '));
    text.remove(QLatin1Char('\n'));
    return text;
}
} // namespace

QString KL_compressedJSONString(const QJsonObject &dict)
{
    return withoutBlanksAndLineFeeds(KL_JSONString(dict));
}

QString KL_compressedJSONString(const QVariantMap &dict)
{
    const QString text = KL_JSONString(dict);
    return text.isNull() ? QString() : withoutBlanksAndLineFeeds(text);
}

QJsonValue KL_JSONObject(const QString &text)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError)
        return QJsonValue(QJsonValue::Undefined);
    if (document.isObject())
        return document.object();
    return document.array();
}

namespace {

qint64 leadingInteger(const QString &text)
{
    qsizetype i = 0;
    while (i < text.size() && text.at(i).isSpace())
        ++i;
    bool negative = false;
    if (i < text.size() && (text.at(i) == u'+' || text.at(i) == u'-'))
        negative = text.at(i++) == u'-';
    constexpr qint64 kMax = std::numeric_limits<qint64>::max();
    qint64 magnitude = 0;
    for (; i < text.size() && text.at(i) >= u'0' && text.at(i) <= u'9'; ++i) {
        const int digit = text.at(i).unicode() - u'0';
        if (magnitude > (kMax - digit) / 10)
            return negative ? std::numeric_limits<qint64>::min() : kMax;
        magnitude = magnitude * 10 + digit;
    }
    return negative ? -magnitude : magnitude;
}

qint64 numberToInteger(double number)
{
    if (std::isnan(number))
        return 0;
    if (number >= 9.2e18)
        return std::numeric_limits<qint64>::max();
    if (number <= -9.2e18)
        return std::numeric_limits<qint64>::min();
    return qint64(number);
}

} // namespace

QString KL_integerText(const QJsonValue &value)
{
    qint64 integer = 0;
    if (value.isDouble())
        integer = numberToInteger(value.toDouble());
    else if (value.isString())
        integer = leadingInteger(value.toString());
    else if (value.isBool())
        integer = value.toBool() ? 1 : 0;
    return QString::number(integer);
}
