#include "SimForm.h"

#include <QJsonArray>
#include <QStringList>
#include <QUrl>

#include <algorithm>

namespace kelvosim {

namespace {

QString formDecode(QByteArray text)
{
    text.replace('+', ' ');
    return QUrl::fromPercentEncoding(text);
}

// "a[b][][c]" -> base "a", segments {"b", "", "c"}. A key whose brackets do not close
// properly is taken whole as a plain key.
void splitKey(const QString &key, QString *base, QStringList *segments)
{
    const qsizetype open = key.indexOf(QLatin1Char('['));
    if (open <= 0) {
        *base = key;
        return;
    }
    QStringList parts;
    qsizetype pos = open;
    while (pos < key.size()) {
        if (key.at(pos) != QLatin1Char('['))
            break;
        const qsizetype close = key.indexOf(QLatin1Char(']'), pos);
        if (close < 0)
            break;
        parts.append(key.mid(pos + 1, close - pos - 1));
        pos = close + 1;
    }
    if (pos != key.size()) {
        *base = key;
        return;
    }
    *base = key.left(open);
    *segments = parts;
}

QJsonValue insertAt(const QJsonValue &node, const QStringList &segments, qsizetype index, const QString &value)
{
    if (index == segments.size())
        return value;
    const QString &segment = segments.at(index);
    if (segment.isEmpty()) {
        QJsonArray list = node.isArray() ? node.toArray() : QJsonArray();
        if (index + 1 == segments.size()) {
            list.append(value);
            return list;
        }
        const QString &next = segments.at(index + 1);
        // Keep filling the last element until one of its keys comes round again.
        if (!next.isEmpty() && !list.isEmpty() && list.last().isObject()
            && !list.last().toObject().contains(next)) {
            list[list.size() - 1] = insertAt(list.last(), segments, index + 1, value);
        } else {
            list.append(insertAt(QJsonValue(), segments, index + 1, value));
        }
        return list;
    }
    QJsonObject map = node.isObject() ? node.toObject() : QJsonObject();
    map.insert(segment, insertAt(map.value(segment), segments, index + 1, value));
    return map;
}

} // namespace

SimFormPairs decodeForm(const QByteArray &body)
{
    SimFormPairs pairs;
    for (const QByteArray &piece : body.split('&')) {
        if (piece.isEmpty())
            continue;
        const qsizetype equals = piece.indexOf('=');
        if (equals < 0)
            pairs.append({formDecode(piece), QString()});
        else
            pairs.append({formDecode(piece.left(equals)), formDecode(piece.mid(equals + 1))});
    }
    return pairs;
}

QJsonObject structureForm(const SimFormPairs &pairs)
{
    QJsonObject form;
    for (const auto &pair : pairs) {
        QString base;
        QStringList segments;
        splitKey(pair.first, &base, &segments);
        form.insert(base, insertAt(form.value(base), segments, 0, pair.second));
    }
    return form;
}

bool parameterKeyLess(const QString &a, const QString &b)
{
    const int folded = a.compare(b, Qt::CaseInsensitive);
    if (folded != 0)
        return folded < 0;
    return a < b;
}

QString describeValue(const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::String:
        return value.toString();
    case QJsonValue::Array: {
        QStringList parts;
        for (const QJsonValue &element : value.toArray())
            parts.append(describeValue(element));
        return QLatin1Char('(') + parts.join(QLatin1Char(',')) + QLatin1Char(')');
    }
    case QJsonValue::Object: {
        const QJsonObject map = value.toObject();
        QStringList keys = map.keys();
        std::sort(keys.begin(), keys.end());
        QStringList parts;
        for (const QString &key : keys)
            parts.append(key + QLatin1Char('=') + describeValue(map.value(key)));
        return QLatin1Char('{') + parts.join(QLatin1Char(';')) + QLatin1Char('}');
    }
    case QJsonValue::Bool:
        return value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    case QJsonValue::Double:
        return value.toVariant().toString();
    default:
        return {};
    }
}

QString parameterText(const QJsonObject &form)
{
    QStringList keys = form.keys();
    std::sort(keys.begin(), keys.end(), parameterKeyLess);
    QStringList parts;
    for (const QString &key : keys)
        parts.append(key + QLatin1Char('=') + describeValue(form.value(key)));
    return parts.join(QLatin1Char('&'));
}

} // namespace kelvosim
