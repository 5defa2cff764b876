#include "cloudlog/Log.h"

#include <QDateTime>

Log::Log()
{
    m_content.insert(QStringLiteral("__time__"), double(QDateTime::currentSecsSinceEpoch()));
}

void Log::PutContent(const QString &content, const QString &key)
{
    if (content.isEmpty() || key.isEmpty())
        return;
    m_content.insert(key, content);
}
