#include "conference/join/KLMediaSessionInfo.h"

#include "cloudlog/KLQLSLogger.h"
#include "media/KLRTCMediaSDK.h"
#include "media/KLRTCMediaSettingStore.h"
#include "runtime/KLDictionary.h"
#include "runtime/KLSDKLog.h"

namespace {

const QString kTag = QStringLiteral("KLMediaSessionInfo");

void insertIfPresent(QJsonObject &dict, const char *key, const QJsonValue &value)
{
    if (!value.isUndefined() && !value.isNull())
        dict.insert(QLatin1String(key), value);
}

/// The number an MCU dials for this member: its extension when it has one.
QJsonValue mcuNumber(const KLMeetingInformation &info)
{
    if (KL_integerText(info.extensionPhone).toLongLong() != 0)
        return info.extensionPhone;
    return KL_textOrEmpty(info.uuid);
}

} // namespace

QJsonObject KL_initBizInfo(const KLMeetingInformation &info, qint64 conferenceMode,
                           const QString &uuid, const QString &pallasSid)
{
    QJsonObject biz;
    if (info.isPallasMeeting()) {
        biz.insert(QStringLiteral("bizType"), QStringLiteral("conference"));
        insertIfPresent(biz, "room", info.roomId);
        biz.insert(QStringLiteral("ptype"), QStringLiteral("mux-pubsub"));
        biz.insert(QStringLiteral("mtype"), QStringLiteral("main"));
        biz.insert(QStringLiteral("joinReason"), QStringLiteral("normalPublisherStreamJoin"));
        biz.insert(QStringLiteral("recvVideoDefault"), conferenceMode == 1);
    } else {
        biz.insert(QStringLiteral("bizType"), QStringLiteral("mcu"));
        biz.insert(QStringLiteral("number"), mcuNumber(info));
        insertIfPresent(biz, "room", info.roomId);
        biz.insert(QStringLiteral("destinationNumber"), QString::number(info.mcuAppointmentId));
        const bool hasPassword = !info.password.isUndefined() && !info.password.isNull();
        biz.insert(QStringLiteral("password"), hasPassword ? info.password : QJsonValue(""));
    }
    biz.insert(QStringLiteral("mediaSid"), KL_textOrEmpty(pallasSid));
    biz.insert(QStringLiteral("display"), KL_textOrEmpty(info.displayName));
    biz.insert(QStringLiteral("empId"), KL_textOrEmpty(info.empId));
    biz.insert(QStringLiteral("participant"), KL_textOrEmpty(uuid));
    return biz;
}

QJsonObject KL_initRtcWsRegInfo(const KLMeetingInformation &info, bool isVanInternal,
                                const QString &meetingToken)
{
    QJsonObject regInfo;
    insertIfPresent(regInfo, "appointmentId", info.roomId);
    insertIfPresent(regInfo, "zone", info.rtcZone);
    if (!info.uuid.isNull())
        regInfo.insert(QStringLiteral("memberUuid"), info.uuid);
    else
        KL_LOG_WARN(kTag, QStringLiteral("registration info without a member UUID"));
    regInfo.insert(QStringLiteral("token"),
                   KL_textOrEmpty(isVanInternal ? info.token : meetingToken));

    QJsonObject rtcWsInfo;
    if (!info.rtcServerWsUrl.isEmpty())
        rtcWsInfo.insert(QStringLiteral("signalingServer"), info.rtcServerWsUrl);
    rtcWsInfo.insert(QStringLiteral("shouldRegisterBack"), true);
    rtcWsInfo.insert(QStringLiteral("regInfo"), regInfo);
    return rtcWsInfo;
}

void KL_applyMeetingKindDefaults(const KLMeetingInformation &info,
                                 std::shared_ptr<KLRTCMediaSDK> engine)
{
    if (info.isPallasMeeting())
        return;
    if (!engine)
        engine = KLRTCMediaSDK::shared();
    KL_LOG_INFO(kTag, QStringLiteral("mcu meeting %1: allocator ignores BWE")
                          .arg(info.mcuAppointmentId));
    engine->settingStore()->setDefaultsForBitrateAllocatorIgnoreBWE(true);
}

KLCloudLogMeetingContext KLCloudLogMeetingContext::from(const QString &conferenceId,
                                                        const KLMeetingInformation &info,
                                                        const QString &pallasSid)
{
    KLCloudLogMeetingContext context;
    context.conferenceId = conferenceId;
    context.roomId = info.roomId;
    context.memberUUID = info.uuid;
    context.empId = info.empId;
    context.displayName = info.displayName;
    context.meetingType = info.isPallasMeeting() ? QStringLiteral("pallasmeeting")
                                                 : QStringLiteral("mcumeeting");
    context.sid = pallasSid;
    return context;
}

void KLCloudLogMeetingContext::apply(KLQLSLogger &logger) const
{
    logger.initWithConferenceId(conferenceId, roomId, memberUUID, empId, displayName,
                                meetingType, sid);
}

KLConnectionParameters KL_buildConnectionParam(qint64 conferenceMode,
                                               const QJsonArray &iceServers,
                                               const QJsonObject &rtcWsInfo,
                                               const QJsonObject &bizInfo, bool isPallasMeeting,
                                               const KLProjectorConnectionOptions &projector)
{
    KLConnectionParameters parameters;
    QJsonObject &param = parameters.connectionParam;
    param.insert(QStringLiteral("iceServices"), iceServers);
    param.insert(QStringLiteral("rtcWsRegInfo"), rtcWsInfo);
    param.insert(QStringLiteral("bizInfo"), bizInfo);
    if (conferenceMode != 0) {
        param.insert(QStringLiteral("isMultiScreen"), conferenceMode == 1);
        param.insert(QStringLiteral("kMultiScreenPaceMultiplier"),
                     projector.kMultiScreenPaceMultiplier);
        param.insert(QStringLiteral("disableAvSync"), projector.disableAvSyncForMultiProjector);
        param.insert(QStringLiteral("prefersLateDecoding"),
                     projector.prefersLateDecodingForMultiProjector);
    }
    parameters.openDataChannel = conferenceMode == 0;
    parameters.useSimulcast = isPallasMeeting;
    return parameters;
}
