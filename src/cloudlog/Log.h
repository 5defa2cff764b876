#pragma once

#include <QJsonObject>
#include <QString>

/// One entry of a log group: a string-keyed map that starts with "__time__", the whole seconds
/// since 1970 (a number) at the moment the entry was made.
class Log {
public:
    Log();

    /// Stores `content` under `key`; an empty content or key is ignored.
    void PutContent(const QString &content, const QString &key);
    QJsonObject GetContent() const { return m_content; }
    int GetContentCount() const { return int(m_content.size()); }

private:
    QJsonObject m_content;
};
