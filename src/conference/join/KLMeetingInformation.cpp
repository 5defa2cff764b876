#include "conference/join/KLMeetingInformation.h"

#include "runtime/KLDictionary.h"
#include "runtime/KLSDKLog.h"

namespace {

const QString kTag = QStringLiteral("KLMeetingInformation");

QString textAt(const QJsonObject &dict, const char *key)
{
    const QJsonValue value = dict.value(QLatin1String(key));
    return value.isString() ? value.toString() : QString();
}

/// The value when present, undefined for an absent key or a JSON null.
QJsonValue valueAt(const QJsonObject &dict, const char *key)
{
    const QJsonValue value = dict.value(QLatin1String(key));
    return value.isNull() ? QJsonValue(QJsonValue::Undefined) : value;
}

/// "roomid" travels as a number or as text; either way the service keeps it as text.
QString roomIdText(const QJsonValue &roomId)
{
    if (roomId.isString())
        return roomId.toString();
    if (roomId.isDouble())
        return KL_integerText(roomId);
    return QString();
}

std::optional<bool> boolAt(const QJsonObject &dict, const char *key)
{
    const QJsonValue value = dict.value(QLatin1String(key));
    if (value.isBool())
        return value.toBool();
    if (value.isDouble())
        return value.toDouble() != 0.0;
    return std::nullopt;
}

} // namespace

KLMeetingInformation KLMeetingInformation::fromReply(const QJsonValue &reply)
{
    if (!reply.isObject())
        KL_LOG_WARN(kTag, QStringLiteral("meeting information is not an object"));
    const QJsonObject dict = reply.toObject();

    KLMeetingInformation info;
    info.reply = dict;
    info.roomId = valueAt(dict, "roomid");
    info.appointmentId = roomIdText(info.roomId);
    info.iceServers = dict.value(QLatin1String("iceServers")).toArray();
    info.rtcServerWsUrl = textAt(dict, "rtcserverWsUrl");

    const QJsonValue memberValue = dict.value(QLatin1String("memberInfo"));
    if (!memberValue.isObject())
        KL_LOG_WARN(kTag, QStringLiteral("meeting information without memberInfo"));
    const QJsonObject member = memberValue.toObject();
    info.empId = textAt(member, "empId");
    info.uuid = textAt(member, "memberUUID");
    info.masterEmpId = textAt(member, "masterEmpId");
    info.displayName = textAt(member, "displayName");
    info.extensionPhone = valueAt(member, "extensionPhone");

    info.mcuAppointmentId = KL_integerText(dict.value(QLatin1String("mcuAppointmentId"))).toLongLong();
    info.password = valueAt(dict, "passWord");
    info.token = textAt(dict, "token");
    info.rtcZone = valueAt(dict, "rtcZone");
    info.showSummaryModule = boolAt(dict, "showSummaryModule");
    info.summaryLanguage = textAt(dict, "summaryLanguage");
    return info;
}

KLMeetingSummaryState KL_meetingSummaryState(qint64 conferenceMode,
                                             const KLMeetingSummaryState &current,
                                             const KLMeetingInformation &info,
                                             const QString &storedUserType, bool isVanInternal)
{
    // The switch configuration is only read for meetings, so projector runs have nothing to
    // decide here.
    if (conferenceMode != 0)
        return current;

    KLMeetingSummaryState next = current;
    if (!info.isPallasMeeting()) {
        // MCU meetings have no caption service behind them.
        next.isShowMeetingSummaryModule = false;
    } else if (next.isShowMeetingSummaryModule) {
        next.isShowMeetingSummaryModule =
            info.showSummaryModule.value_or(storedUserType == QString::fromUtf8(KLRegularEmployeeType));
        if (next.isShowMeetingSummaryModule) {
            next.isOpenSummary = !info.summaryLanguage.isEmpty();
            next.summaryLanguage = info.summaryLanguage;
        }
    }
    if (!isVanInternal)
        next.isShowMeetingSummaryModule = false;
    return next;
}
