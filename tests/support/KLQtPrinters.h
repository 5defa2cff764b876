#pragma once

// Readable GoogleTest output for the Qt values the suites compare. Without these, a failed
// EXPECT_EQ on a QString prints each QChar as a byte dump, and one on a QJsonObject prints its
// iterator values. GoogleTest finds the overloads by argument-dependent lookup; Qt's classes live
// in the global namespace, so these do too. Every test program sees this header: it is part of
// the tests' precompiled header and, without one, force-included (tests/CMakeLists.txt).

#include <QByteArray>
#include <QChar>
#include <QDebug>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QVariant>

#include <ostream>

namespace kltest::printers {

/// `text` as a C-like quoted string: printable ASCII as is, quotes and backslashes escaped,
/// anything else as \xNN (bytes) so that invisible differences show.
inline void quoteBytes(const QByteArray &bytes, std::ostream *out)
{
    static const char digits[] = "0123456789abcdef";
    *out << '"';
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\')
            *out << '\\' << c;
        else if (c == '\n')
            *out << "\\n";
        else if (c == '\t')
            *out << "\\t";
        else if (u >= 0x20 && u < 0x7f)
            *out << c;
        else
            *out << "\\x" << digits[u >> 4] << digits[u & 0xf];
    }
    *out << '"';
}

/// UTF-8 text as written; only quotes, backslashes and control characters are escaped, so
/// Chinese strings stay readable.
inline void quoteText(const QString &text, std::ostream *out)
{
    *out << '"';
    for (const QChar c : text) {
        if (c == u'"' || c == u'\\')
            *out << '\\' << char(c.unicode());
        else if (c == u'\n')
            *out << "\\n";
        else if (c.unicode() < 0x20)
            *out << "\\u" << QString::number(c.unicode(), 16).rightJustified(4, u'0').toStdString();
        else
            *out << QString(c).toStdString();
    }
    *out << '"';
}

inline const char *jsonTypeName(QJsonValue::Type type)
{
    switch (type) {
    case QJsonValue::Null: return "null";
    case QJsonValue::Bool: return "bool";
    case QJsonValue::Double: return "number";
    case QJsonValue::String: return "string";
    case QJsonValue::Array: return "array";
    case QJsonValue::Object: return "object";
    case QJsonValue::Undefined: break;
    }
    return "undefined";
}

} // namespace kltest::printers

inline void PrintTo(const QString &text, std::ostream *out) { kltest::printers::quoteText(text, out); }
inline void PrintTo(const QChar &c, std::ostream *out) { kltest::printers::quoteText(QString(c), out); }
inline void PrintTo(const QByteArray &bytes, std::ostream *out) { kltest::printers::quoteBytes(bytes, out); }

inline void PrintTo(const QStringList &list, std::ostream *out)
{
    *out << '[';
    for (qsizetype i = 0; i < list.size(); ++i) {
        if (i)
            *out << ", ";
        kltest::printers::quoteText(list.at(i), out);
    }
    *out << ']';
}

inline void PrintTo(const QJsonObject &object, std::ostream *out)
{
    *out << QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString();
}
inline void PrintTo(const QJsonArray &array, std::ostream *out)
{
    *out << QJsonDocument(array).toJson(QJsonDocument::Compact).toStdString();
}
inline void PrintTo(const QJsonDocument &document, std::ostream *out)
{
    if (document.isNull())
        *out << "(null document)";
    else
        *out << document.toJson(QJsonDocument::Compact).toStdString();
}
/// A value as JSON text with its type in front, so 1 and "1" (or null and undefined) differ.
inline void PrintTo(const QJsonValue &value, std::ostream *out)
{
    *out << kltest::printers::jsonTypeName(value.type()) << ' ';
    switch (value.type()) {
    case QJsonValue::Object: PrintTo(value.toObject(), out); break;
    case QJsonValue::Array: PrintTo(value.toArray(), out); break;
    case QJsonValue::String: kltest::printers::quoteText(value.toString(), out); break;
    case QJsonValue::Double: *out << QByteArray::number(value.toDouble(), 'g', 17).toStdString(); break;
    case QJsonValue::Bool: *out << (value.toBool() ? "true" : "false"); break;
    case QJsonValue::Null:
    case QJsonValue::Undefined: break;
    }
}
// Element references compare as values; without these the template printer would win overload
// resolution over the QJsonValue one and dump bytes.
inline void PrintTo(const QJsonValueRef &value, std::ostream *out) { PrintTo(QJsonValue(value), out); }
inline void PrintTo(const QJsonValueConstRef &value, std::ostream *out) { PrintTo(QJsonValue(value), out); }

inline void PrintTo(const QUrl &url, std::ostream *out)
{
    kltest::printers::quoteText(url.toString(), out);
}

/// A variant as Qt's debug stream writes it: type name and value, e.g. QVariant(int, 3).
inline void PrintTo(const QVariant &value, std::ostream *out)
{
    QString text;
    QDebug(&text).nospace() << value;
    *out << text.toStdString();
}
inline void PrintTo(const QVariantMap &map, std::ostream *out)
{
    QString text;
    QDebug(&text).nospace() << map;
    *out << text.toStdString();
}
