#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>

#include <atomic>
#include <memory>
#include <utility>
#include <vector>

/// A JSON number as an integer, truncated toward zero; 0 for a number outside the signed 64-bit
/// range (a peer may send 1e30, and converting that is undefined in C++).
inline qint64 KL_truncatedInteger(double number)
{
    return number >= -9223372036854775808.0 && number < 9223372036854775808.0 ? static_cast<qint64>(number) : 0;
}

/// Reads one JSON object into the fields of a record, key by key; the key is the field's name.
/// A missing key or a JSON null leaves the field as the record was constructed (null text,
/// null number, null record, 0, empty list); keys nobody asks for are ignored.
///
/// The first value whose JSON type does not fit its field stops the reading: every later call
/// does nothing and errorText() names the key (with its path through nested records) and the
/// type it needed. Conversions:
/// - text: a string as sent; a number as its decimal text (an integer without fraction or
///   exponent, 12345 → "12345", other numbers in the shortest form that reads back the same,
///   0.5 → "0.5"); a boolean as "true" / "false". The service sends ids sometimes as numbers
///   and sometimes as strings, so a number must not break a record. Arrays and objects fail.
/// - number: a number or a boolean, kept exactly as sent. Strings, arrays and objects fail.
/// - integer: a number, truncated toward zero; a boolean as 1 / 0. Strings, arrays, objects and
///   numbers outside the signed 64-bit range fail.
/// - record: an object, read by `Record::fromJson(KLJSONReader &)`. Anything else fails.
/// - records / objects: an array whose elements are all objects. Anything else fails.
class KLJSONReader {
public:
    explicit KLJSONReader(const QJsonObject &object, const QString &path = QString());

    void text(const char *key, QString &field);
    void number(const char *key, QJsonValue &field);
    void integer(const char *key, qint64 &field);
    void integer(const char *key, std::atomic<qint64> &field);
    void objects(const char *key, QList<QJsonObject> &field);

    template <class Record>
    void record(const char *key, std::shared_ptr<Record> &field)
    {
        const QJsonValue value = present(key);
        if (value.isUndefined())
            return;
        if (!value.isObject()) {
            fail(pathOf(key), QStringLiteral("an object"), value);
            return;
        }
        KLJSONReader child(value.toObject(), pathOf(key));
        std::shared_ptr<Record> made = Record::fromJson(child);
        if (child.failed() || !made) {
            adopt(child);
            return;
        }
        field = std::move(made);
    }

    template <class Record>
    void records(const char *key, std::vector<std::shared_ptr<Record>> &field)
    {
        const QJsonValue value = present(key);
        if (value.isUndefined())
            return;
        if (!value.isArray()) {
            fail(pathOf(key), QStringLiteral("an array of objects"), value);
            return;
        }
        std::vector<std::shared_ptr<Record>> made;
        const QJsonArray array = value.toArray();
        for (qsizetype i = 0; i < array.size(); ++i) {
            const QString elementPath = elementPathOf(key, i);
            if (!array.at(i).isObject()) {
                fail(elementPath, QStringLiteral("an object"), array.at(i));
                return;
            }
            KLJSONReader child(array.at(i).toObject(), elementPath);
            std::shared_ptr<Record> element = Record::fromJson(child);
            if (child.failed() || !element) {
                adopt(child);
                return;
            }
            made.push_back(std::move(element));
        }
        field = std::move(made);
    }

    bool failed() const { return !m_failedPath.isNull(); }
    /// `recordName: key "path" must be <expected>, got <actual>`; a null string when nothing failed.
    QString errorText(const QString &recordName) const;

private:
    /// The value under `key`, or undefined when it is missing, null, or reading already failed.
    QJsonValue present(const char *key) const;
    QString pathOf(const char *key) const;
    QString elementPathOf(const char *key, qsizetype index) const;
    void fail(const QString &path, const QString &expected, const QJsonValue &actual);
    void fail(const QString &path, const QString &expected, const QString &actual);
    void adopt(const KLJSONReader &child);

    QJsonObject m_object;
    /// The object's keys, sorted, with their positions, and a 64-bit sketch of them (one bit
    /// per length and first letter). A record asks for every one of its fields and most are
    /// absent from a given object; the sketch answers most of those without comparing a
    /// single key. Building it costs about as much as searching the object twice per key (each
    /// key is copied out), so it is built only once the reader has searched the object that
    /// often: a small record, or an object holding most of the record's fields, never builds it.
    mutable std::vector<std::pair<QString, qsizetype>> m_keys;
    mutable quint64 m_keySketch = 0;
    mutable qsizetype m_searches = 0;
    mutable bool m_keysRead = false;
    QString m_path;
    QString m_failedPath;
    QString m_expected;
    QString m_actual;
};
