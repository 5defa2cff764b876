#include "runtime/KLFormEncoding.h"

#include <QJsonArray>
#include <QStringList>

#include <algorithm>
#include <cmath>

namespace KLFormEncoding {

namespace {

bool isUnreserved(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-'
           || c == '.' || c == '_' || c == '~';
}

QString describeNumber(double number)
{
    double integral = 0;
    if (std::modf(number, &integral) == 0.0 && std::fabs(number) < 9.007199254740992e15)
        return QString::number(static_cast<qint64>(number));
    return QString::number(number, 'g', QLocale::FloatingPointShortest);
}

QStringList sortedKeys(const QJsonObject &object)
{
    QStringList keys = object.keys();
    std::sort(keys.begin(), keys.end());
    return keys;
}

void appendEscaped(QByteArray &out, const QString &text)
{
    static const char hex[] = "0123456789ABCDEF";
    const QByteArray utf8 = text.toUtf8();
    for (const char c : utf8) {
        if (isUnreserved(c)) {
            out += c;
        } else {
            const auto byte = static_cast<unsigned char>(c);
            out += '%';
            out += hex[byte >> 4];
            out += hex[byte & 0xF];
        }
    }
}

void appendPairs(QByteArray &out, const QString &key, const QJsonValue &value)
{
    if (value.isArray()) {
        for (const QJsonValue &element : value.toArray())
            appendPairs(out, key + QStringLiteral("[]"), element);
        return;
    }
    if (value.isObject()) {
        const QJsonObject object = value.toObject();
        for (const QString &sub : sortedKeys(object))
            appendPairs(out, key + QLatin1Char('[') + sub + QLatin1Char(']'), object.value(sub));
        return;
    }
    if (!out.isEmpty())
        out += '&';
    appendEscaped(out, key);
    out += '=';
    appendEscaped(out, describe(value));
}

} // namespace

QString percentEscaped(const QString &text)
{
    QByteArray out;
    appendEscaped(out, text);
    return QString::fromLatin1(out);
}

QString describe(const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::String:
        return value.toString();
    case QJsonValue::Double:
        return describeNumber(value.toDouble());
    case QJsonValue::Bool:
        return value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    case QJsonValue::Array: {
        QStringList parts;
        for (const QJsonValue &element : value.toArray())
            parts << describe(element);
        return QLatin1Char('(') + parts.join(QLatin1Char(',')) + QLatin1Char(')');
    }
    case QJsonValue::Object: {
        const QJsonObject object = value.toObject();
        QStringList parts;
        for (const QString &key : sortedKeys(object))
            parts << key + QLatin1Char('=') + describe(object.value(key));
        return QLatin1Char('{') + parts.join(QLatin1Char(';')) + QLatin1Char('}');
    }
    case QJsonValue::Null:
    case QJsonValue::Undefined:
        break;
    }
    return QString();
}

QByteArray encode(const QJsonObject &parameters)
{
    QByteArray out;
    out.reserve(512); // a signed request's body; saves the growth steps
    for (const QString &key : sortedKeys(parameters))
        appendPairs(out, key, parameters.value(key));
    return out;
}

} // namespace KLFormEncoding
