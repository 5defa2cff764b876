#include "signalling/KLSDKApiChannelResponse.h"

#include "runtime/KLDictionary.h"

KLSDKApiChannelResponse KLSDKApiChannelResponse::initWithDict(const QJsonObject &dict)
{
    KLSDKApiChannelResponse r;
    r.messageId = KL_stringForKey(dict, QStringLiteral("messageId"));
    r.topic = KL_stringForKey(dict, QStringLiteral("topic"));
    r.messageType = KL_stringForKey(dict, QStringLiteral("messageType"));
    r.requestId = KL_stringForKey(dict, QStringLiteral("requestId"));
    r.bornTime = KL_longLongForKey(dict, QStringLiteral("bornTime"));
    r.arriveTime = KL_longLongForKey(dict, QStringLiteral("arriveTime"));
    r.response = KL_boolForKey(dict, QStringLiteral("response"));
    r.responseCode = KL_longLongForKey(dict, QStringLiteral("responseCode"));
    r.responseMsg = KL_stringForKey(dict, QStringLiteral("responseMsg"));
    r.from = dict.value(QLatin1String("from")).toObject();
    r.to = dict.value(QLatin1String("to")).toObject();
    const QJsonValue data = dict.value(QLatin1String("data"));
    r.data = (data.isUndefined() || data.isNull()) ? dict.value(QLatin1String("body")).toObject()
                                                   : data.toObject();
    return r;
}

KLSDKApiChannelResponse KLSDKApiChannelResponse::responseWithCode(qint64 code, const QString &msg)
{
    KLSDKApiChannelResponse r;
    r.responseCode = code;
    r.responseMsg = msg;
    return r;
}
