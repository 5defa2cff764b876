#include "model/KLJSONWriter.h"

void KLJSONWriter::text(const char *key, const QString &field)
{
    if (!field.isNull())
        m_object.insert(QLatin1String(key), field);
}

void KLJSONWriter::number(const char *key, const QJsonValue &field)
{
    if (!field.isNull() && !field.isUndefined())
        m_object.insert(QLatin1String(key), field);
}

void KLJSONWriter::integer(const char *key, qint64 field)
{
    m_object.insert(QLatin1String(key), field);
}

void KLJSONWriter::integer(const char *key, const std::atomic<qint64> &field)
{
    integer(key, field.load());
}

void KLJSONWriter::objects(const char *key, const QList<QJsonObject> &field)
{
    QJsonArray array;
    for (const QJsonObject &element : field)
        array.append(element);
    m_object.insert(QLatin1String(key), array);
}
