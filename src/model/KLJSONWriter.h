#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>

#include <atomic>
#include <memory>
#include <vector>

/// The mirror of KLJSONReader: writes a record's fields under their own names, so that what a
/// record writes reads back into an equal record. Null texts, null numbers and null records are
/// left out; integers and lists are always written.
class KLJSONWriter {
public:
    void text(const char *key, const QString &field);
    void number(const char *key, const QJsonValue &field);
    void integer(const char *key, qint64 field);
    void integer(const char *key, const std::atomic<qint64> &field);
    void objects(const char *key, const QList<QJsonObject> &field);

    template <class Record>
    void record(const char *key, const std::shared_ptr<Record> &field)
    {
        if (field)
            m_object.insert(QLatin1String(key), field->toJson());
    }

    template <class Record>
    void records(const char *key, const std::vector<std::shared_ptr<Record>> &field)
    {
        QJsonArray array;
        for (const std::shared_ptr<Record> &element : field)
            array.append(element ? QJsonValue(element->toJson()) : QJsonValue());
        m_object.insert(QLatin1String(key), array);
    }

    QJsonObject object() const { return m_object; }

private:
    QJsonObject m_object;
};
