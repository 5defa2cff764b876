#pragma once

#include "cloudlog/Log.h"

#include <QJsonArray>
#include <QString>

/// A topic, a source and the entries posted together in one request.
class LogGroup {
public:
    LogGroup(const QString &topic, const QString &source);

    void PutTopic(const QString &topic) { m_topic = topic; }
    void PutSource(const QString &source) { m_source = source; }
    /// Appends the entry's map.
    void PutLog(const Log &log) { m_logs.append(log.GetContent()); }

    QString topic() const { return m_topic; }
    QString source() const { return m_source; }
    QJsonArray logs() const { return m_logs; }

    /// The request body before compression: the indented JSON text of
    /// {"__topic__": topic, "__source__": source, "__logs__": [entries]}.
    QString GetJsonPackage() const;

private:
    QString m_topic;
    QString m_source;
    QJsonArray m_logs;
};
