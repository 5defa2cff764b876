#include "model/KLJSONReader.h"

#include <QJsonArray>
#include <QLocale>
#include <QVariant>

#include <algorithm>

namespace {

// The sketch bit of a key of `length` characters beginning with `first`.
quint64 sketchBit(qsizetype length, uint first)
{
    return quint64(1) << ((quint64(length) * 7 + first) & 63);
}

QString describe(const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::String:
        return QStringLiteral("a string");
    case QJsonValue::Double:
        return QStringLiteral("a number");
    case QJsonValue::Bool:
        return QStringLiteral("a boolean");
    case QJsonValue::Array:
        return QStringLiteral("an array");
    case QJsonValue::Object:
        return QStringLiteral("an object");
    case QJsonValue::Null:
    case QJsonValue::Undefined:
        break;
    }
    return QStringLiteral("null");
}

// Integers parsed from JSON are kept exactly (as qint64) by QJsonValue; toVariant() tells
// them apart from fractional numbers.
bool holdsExactInteger(const QJsonValue &value)
{
    return value.toVariant().typeId() == QMetaType::LongLong;
}

} // namespace

KLJSONReader::KLJSONReader(const QJsonObject &object, const QString &path)
    : m_object(object), m_path(path)
{
}

QJsonValue KLJSONReader::present(const char *key) const
{
    if (failed())
        return QJsonValue(QJsonValue::Undefined);
    if (!m_keysRead && m_searches < 2 * m_object.size()) {
        ++m_searches;
        const QJsonValue value = m_object.value(QLatin1String(key));
        return value.isNull() ? QJsonValue(QJsonValue::Undefined) : value;
    }
    if (!m_keysRead) {
        m_keys.reserve(size_t(m_object.size()));
        qsizetype position = 0;
        for (auto it = m_object.constBegin(); it != m_object.constEnd(); ++it) {
            QString name = it.key();
            m_keySketch |= sketchBit(name.size(), name.isEmpty() ? 0 : name.front().unicode());
            m_keys.emplace_back(std::move(name), position++);
        }
        std::sort(m_keys.begin(), m_keys.end(),
                  [](const auto &a, const auto &b) { return a.first < b.first; });
        m_keysRead = true;
    }
    const QLatin1String wanted(key);
    if (!(m_keySketch & sketchBit(wanted.size(), wanted.isEmpty() ? 0 : uchar(key[0]))))
        return QJsonValue(QJsonValue::Undefined);
    const auto found = std::lower_bound(m_keys.begin(), m_keys.end(), wanted,
                                        [](const auto &entry, QLatin1String name) {
                                            return entry.first.compare(name) < 0;
                                        });
    if (found == m_keys.end() || found->first != wanted)
        return QJsonValue(QJsonValue::Undefined);
    const QJsonValue value = (m_object.constBegin() + found->second).value();
    return value.isNull() ? QJsonValue(QJsonValue::Undefined) : value;
}

QString KLJSONReader::pathOf(const char *key) const
{
    const QString name = QString::fromLatin1(key);
    return m_path.isEmpty() ? name : m_path + QLatin1Char('.') + name;
}

QString KLJSONReader::elementPathOf(const char *key, qsizetype index) const
{
    return pathOf(key) + QStringLiteral("[%1]").arg(index);
}

void KLJSONReader::fail(const QString &path, const QString &expected, const QJsonValue &actual)
{
    fail(path, expected, describe(actual));
}

void KLJSONReader::fail(const QString &path, const QString &expected, const QString &actual)
{
    if (failed())
        return;
    m_failedPath = path;
    m_expected = expected;
    m_actual = actual;
}

void KLJSONReader::adopt(const KLJSONReader &child)
{
    if (child.failed())
        fail(child.m_failedPath, child.m_expected, child.m_actual);
}

QString KLJSONReader::errorText(const QString &recordName) const
{
    if (!failed())
        return QString();
    return QStringLiteral("%1: key \"%2\" must be %3, got %4")
        .arg(recordName, m_failedPath, m_expected, m_actual);
}

void KLJSONReader::text(const char *key, QString &field)
{
    const QJsonValue value = present(key);
    switch (value.type()) {
    case QJsonValue::String:
        field = value.toString();
        break;
    case QJsonValue::Double:
        field = holdsExactInteger(value)
                    ? QString::number(value.toInteger())
                    : QString::number(value.toDouble(), 'g', QLocale::FloatingPointShortest);
        break;
    case QJsonValue::Bool:
        field = value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
        break;
    case QJsonValue::Array:
    case QJsonValue::Object:
        fail(pathOf(key), QStringLiteral("a string or a number"), value);
        break;
    case QJsonValue::Null:
    case QJsonValue::Undefined:
        break;
    }
}

void KLJSONReader::number(const char *key, QJsonValue &field)
{
    const QJsonValue value = present(key);
    if (value.isUndefined())
        return;
    if (value.isDouble() || value.isBool())
        field = value;
    else
        fail(pathOf(key), QStringLiteral("a number or a boolean"), value);
}

void KLJSONReader::integer(const char *key, qint64 &field)
{
    const QJsonValue value = present(key);
    if (value.isUndefined())
        return;
    if (value.isBool()) {
        field = value.toBool() ? 1 : 0;
        return;
    }
    if (!value.isDouble()) {
        fail(pathOf(key), QStringLiteral("an integer"), value);
        return;
    }
    if (holdsExactInteger(value)) {
        field = value.toInteger();
        return;
    }
    // Both bounds are powers of two, exact as doubles; the cast below is defined inside them.
    const double number = value.toDouble();
    if (!(number >= -9223372036854775808.0 && number < 9223372036854775808.0)) {
        fail(pathOf(key), QStringLiteral("an integer"),
             QStringLiteral("a number outside the 64-bit range"));
        return;
    }
    field = static_cast<qint64>(number);
}

void KLJSONReader::integer(const char *key, std::atomic<qint64> &field)
{
    qint64 value = field.load();
    integer(key, value);
    field.store(value);
}

void KLJSONReader::objects(const char *key, QList<QJsonObject> &field)
{
    const QJsonValue value = present(key);
    if (value.isUndefined())
        return;
    if (!value.isArray()) {
        fail(pathOf(key), QStringLiteral("an array of objects"), value);
        return;
    }
    QList<QJsonObject> made;
    const QJsonArray array = value.toArray();
    for (qsizetype i = 0; i < array.size(); ++i) {
        if (!array.at(i).isObject()) {
            fail(elementPathOf(key, i), QStringLiteral("an object"), array.at(i));
            return;
        }
        made.append(array.at(i).toObject());
    }
    field = std::move(made);
}
