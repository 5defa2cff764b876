#include "gateway/KLMeetingApiResponse.h"

#include "runtime/KLFormEncoding.h"

#include <QJsonArray>

namespace KLMeetingApiResponse {

bool succeeded(const QJsonObject &reply)
{
    const QJsonValue success = reply.value(QLatin1String("success"));
    if (success.isString()) {
        const QString text = success.toString().trimmed().toLower();
        return text == QLatin1String("true") || text == QLatin1String("yes")
               || text.toLongLong() != 0;
    }
    return success.isBool() ? success.toBool() : success.toDouble() != 0.0;
}

QJsonValue payload(const QJsonObject &reply)
{
    if (reply.contains(QLatin1String("content")))
        return reply.value(QLatin1String("content"));
    if (reply.contains(QLatin1String("data")))
        return reply.value(QLatin1String("data"));
    return QJsonValue(QJsonValue::Undefined);
}

Error errorOf(const QJsonObject &reply)
{
    Error error{KLFormEncoding::describe(reply.value(QLatin1String("errorCode"))),
                KLFormEncoding::describe(reply.value(QLatin1String("errorMsg")))};
    const QJsonArray list = reply.value(QLatin1String("errorList")).toArray();
    if (!reply.contains(QLatin1String("errorCode")) && !list.isEmpty()) {
        const QJsonObject first = list.first().toObject();
        error.code = KLFormEncoding::describe(first.value(QLatin1String("code")));
        error.message = KLFormEncoding::describe(first.value(QLatin1String("message")));
    }
    return error;
}

bool isCallMemberWarning(const QString &url, const QString &code)
{
    static const QStringList warnings = {QStringLiteral("-16"), QStringLiteral("-7"),
                                         QStringLiteral("-17"), QStringLiteral("-20"),
                                         QStringLiteral("-25"), QStringLiteral("-23"),
                                         QStringLiteral("-24"), QStringLiteral("-22"),
                                         QStringLiteral("-26")};
    return url.contains(QLatin1String("/conference/api/callMeetingMember"))
           && warnings.contains(code);
}

} // namespace KLMeetingApiResponse
