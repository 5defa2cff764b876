#include "signalling/KLSDKApiChannelRequest.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QUuid>

namespace {

QString freshUuid()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

} // namespace

std::shared_ptr<KLSDKApiChannelRequest> KLSDKApiChannelRequest::make(const QString &topic,
                                                                     const QString &messageType,
                                                                     const QJsonObject &body)
{
    auto request = std::make_shared<KLSDKApiChannelRequest>();
    request->messageId = freshUuid();
    request->requestId = freshUuid();
    request->bornTime = QDateTime::currentMSecsSinceEpoch();
    request->arriveTime = request->bornTime;
    request->topic = topic;
    request->messageType = messageType;
    request->body = body;
    return request;
}

QJsonObject KLSDKApiChannelRequest::toJSONObject() const
{
    return {{QStringLiteral("messageId"), messageId},
            {QStringLiteral("requestId"), requestId},
            {QStringLiteral("bornTime"), bornTime},
            {QStringLiteral("arriveTime"), arriveTime},
            {QStringLiteral("from"), from},
            {QStringLiteral("to"), to},
            {QStringLiteral("topic"), topic},
            {QStringLiteral("messageType"), messageType},
            {QStringLiteral("body"), body}};
}

QString KLSDKApiChannelRequest::toJSONString() const
{
    return QString::fromUtf8(QJsonDocument(toJSONObject()).toJson(QJsonDocument::Indented));
}

void KLSDKApiChannelRequest::doCallback(const KLSDKApiChannelResponse &response) const
{
    if (callback)
        callback(response);
}
