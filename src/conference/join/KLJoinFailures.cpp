#include "conference/join/KLJoinFailures.h"

#include "conference/join/KLClientConfiguration.h"

QJsonObject KLProjectorErrorMessage::toJson() const
{
    return QJsonObject{{QStringLiteral("errorMsgEn"), errorMsgEn},
                       {QStringLiteral("errorMsgZh"), errorMsgZh}};
}

namespace KLJoinFailures {

QString acknowledgeButtonKey()
{
    return QStringLiteral("LEAVE_ROOM_BY_KICK_TOAST_KNOW");
}

bool isNetworkFailure(const QString &code)
{
    return code == QLatin1String("-1001") || code == QLatin1String("-1009");
}

QString meetingInfoFailureKey(const QString &code)
{
    struct Entry {
        const char *code;
        const char *key;
    };
    static constexpr Entry kKnown[] = {
        {"11002", "ERROR_MEETING_NOT_FOUND"},
        {"91214", "ERROR_MEETING_NOT_FOUND"},
        {"10000", "ERROR_MEETING_ENDED"},
        {"11001", "ERROR_MEETING_PARAM_INVALID"},
        {"11003", "ERROR_MEETING_RTC_TOKEN"},
    };
    for (const Entry &entry : kKnown) {
        if (code == QLatin1String(entry.code))
            return QString::fromLatin1(entry.key);
    }
    return appointmentDetailFailureKey(code);
}

QString appointmentDetailFailureKey(const QString &code)
{
    return isNetworkFailure(code) ? QStringLiteral("NO_NETWEAK_TIPS")
                                  : QStringLiteral("SERVER_UNAVLIABLE");
}

KLProjectorErrorMessage projectorFetchFailureMessage(const QString &code)
{
    if (isNetworkFailure(code)) {
        return {QStringLiteral("The network maybe disconnect, please check the local network "
                               "settings."),
                QStringLiteral("网络可能断开了，请检查本地网络设置。")};
    }
    return {QStringLiteral("Failed to connect to the server, please try it again."),
            QStringLiteral("获取服务器信息失败、请重新投屏。")};
}

KLProjectorErrorMessage projectorConnectTimeoutMessage()
{
    return {QStringLiteral("Failed to connect to the server, please try it again."),
            QStringLiteral("链接投屏服务失败，请重新投屏。")};
}

QString externalProjectorFetchFailureText()
{
    return QStringLiteral("获取服务器信息失败、请重新投屏");
}

bool clientConfigFailureStopsJoin(bool isInternal, const QString &code)
{
    return KLClientConfiguration::failureStopsJoin(isInternal, code);
}

} // namespace KLJoinFailures
