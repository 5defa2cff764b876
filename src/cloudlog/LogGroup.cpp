#include "cloudlog/LogGroup.h"

#include <QJsonDocument>
#include <QJsonObject>

LogGroup::LogGroup(const QString &topic, const QString &source)
    : m_topic(topic), m_source(source)
{
}

QString LogGroup::GetJsonPackage() const
{
    const QJsonObject package{{QStringLiteral("__topic__"), m_topic},
                              {QStringLiteral("__source__"), m_source},
                              {QStringLiteral("__logs__"), m_logs}};
    return QString::fromUtf8(QJsonDocument(package).toJson(QJsonDocument::Indented));
}
