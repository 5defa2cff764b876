// The operations of the meeting API over HTTPS: each builds its own parameters and hands them
// to the request pipeline.

#include "gateway/KLSDKMeetingHTTPApi.h"

#include "cloudlog/KLQLSLogger.h"
#include "clientconfig/KLClientConfigManager.h"
#include "host/KLHostUtils.h"
#include "model/KLParticipant.h"
#include "model/KLSDKMeetingConfigInternal.h"
#include "runtime/KLDictionary.h"
#include "runtime/KLSDKLog.h"

#include <QJsonDocument>
#include <QStringList>

namespace {

const QString kLogTag = QStringLiteral("KLSDKMeetingHTTPApi");

QString boolText(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}


/// The appointment id, member UUID and member id of a participant, as member operations send
/// them.
QJsonObject memberKeys(const KLParticipantPtr &appointment)
{
    if (!appointment)
        return {{QStringLiteral("appointment_id"), QStringLiteral("0")},
                {QStringLiteral("member_uuid"), QString(QLatin1String(""))},
                {QStringLiteral("member_id"), QStringLiteral("0")}};
    return {{QStringLiteral("appointment_id"), KL_integerText(appointment->appointmentId)},
            {QStringLiteral("member_uuid"), KL_textOrEmpty(appointment->memberUUID)},
            {QStringLiteral("member_id"), KL_integerText(appointment->memberId)}};
}

QString appointmentIdText(const KLParticipantPtr &appointment)
{
    return appointment ? KL_integerText(appointment->appointmentId) : QStringLiteral("0");
}

QString memberUuidText(const KLParticipantPtr &appointment)
{
    return appointment ? KL_textOrEmpty(appointment->memberUUID) : QString(QLatin1String(""));
}

QJsonObject invitee(const KLParticipant &member)
{
    if (KL_integerText(member.memberType) == QLatin1String("1"))
        return {{QStringLiteral("empId"), KL_textOrEmpty(member.empId)}};
    return {{QStringLiteral("email"), KL_textOrEmpty(member.email)},
            {QStringLiteral("cellPhone"), KL_textOrEmpty(member.cellPhone)},
            {QStringLiteral("extensionPhone"), KL_textOrEmpty(member.extensionPhone)}};
}

void commitProjectorAction(const QJsonObject &record)
{
    KLQLSLogger::sharedInstance().commitMonitorLevel(3, 1, record);
}

} // namespace

void KLSDKMeetingHTTPApi::addMeetingMemberWithAppointment(
    const QJsonValue &appointmentId, const QList<KLParticipantPtr> &memberList,
    KLApiSuccessBlock success, KLApiFailureBlock failure)
{
    QStringList roomIds;
    QJsonArray members;
    for (const KLParticipantPtr &member : memberList) {
        if (!member)
            continue;
        const QString type = KL_integerText(member->memberType);
        if (type == QLatin1String("2"))
            roomIds << KL_textOrEmpty(member->roomId);
        else if (type == QLatin1String("1") || type == QLatin1String("3"))
            members.append(invitee(*member));
    }
    httpPostRequestFunction(QStringLiteral("/conference/api/addMember"),
                            {{QStringLiteral("appointmentId"), KL_integerText(appointmentId)},
                             {QStringLiteral("roomIds"), roomIds.join(QLatin1Char(','))},
                             {QStringLiteral("memberList"), members}},
                            std::move(success), std::move(failure));
}

void KLSDKMeetingHTTPApi::getAppointmentDetailById(const QString &appointmentId,
                                                   KLApiSuccessBlock success,
                                                   KLApiFailureBlock failure)
{
    httpPostRequestFunction(QStringLiteral("/conference/api/v2/detailAppointment"),
                            {{QStringLiteral("appointmentId"), KL_textOrEmpty(appointmentId)},
                             {QStringLiteral("checkMemberState"), 0},
                             {QStringLiteral("language"), QStringLiteral("0")}},
                            std::move(success), std::move(failure));
}

void KLSDKMeetingHTTPApi::muteMemberWithAppointment(const KLParticipantPtr &appointment,
                                                    bool status, KLApiSuccessBlock success,
                                                    KLApiFailureBlock failure)
{
    QJsonObject params = memberKeys(appointment);
    params.insert(QStringLiteral("status"), boolText(status));
    params.insert(QStringLiteral("type"), QString(QLatin1String("")));
    httpPostRequestFunction(QStringLiteral("/conference/api/muteMeetingMember"), params,
                            std::move(success), std::move(failure));
}

void KLSDKMeetingHTTPApi::vmuteMemberWithAppointment(const KLParticipantPtr &appointment,
                                                     bool status, KLApiSuccessBlock success,
                                                     KLApiFailureBlock failure)
{
    QJsonObject params = memberKeys(appointment);
    params.insert(QStringLiteral("status"), boolText(status));
    params.insert(QStringLiteral("type"), QString(QLatin1String("")));
    httpPostRequestFunction(QStringLiteral("/conference/api/vmuteMeetingMember"), params,
                            std::move(success), std::move(failure));
}

void KLSDKMeetingHTTPApi::findMemberWithKeywords(const QString &keyword,
                                                 KLApiSuccessBlock success,
                                                 KLApiFailureBlock failure)
{
    httpPostRequestFunction(QStringLiteral("/conference/api/findMember"),
                            {{QStringLiteral("keyword"), KL_textOrEmpty(keyword)}}, std::move(success),
                            std::move(failure));
}

void KLSDKMeetingHTTPApi::getMeetingInfoWithConfig(const KLMeetingConfigPtr &config,
                                                   const std::optional<QJsonObject> &iceServers,
                                                   const QString &vanNames,
                                                   KLApiSuccessBlock success,
                                                   KLApiFailureBlock failure)
{
    QJsonObject params{
        {QStringLiteral("meetingId"), config ? KL_textOrEmpty(config->meetingUUID()) : QString()},
        {QStringLiteral("clientUuid"), KL_textOrEmpty(KLHostUtils::wiFiInterface())},
        {QStringLiteral("meetingClientType"), QStringLiteral("pc_mac")}};
    if (iceServers) {
        const QByteArray json = QJsonDocument(*iceServers).toJson(QJsonDocument::Indented);
        if (!json.isEmpty())
            params.insert(QStringLiteral("iceServers"), QString::fromUtf8(json));
    }
    if (!KLClientConfigManager::sharedInstance().isStaff()) {
        params.insert(QStringLiteral("outerMemberUUID"),
                      config ? KL_textOrEmpty(config->memberUUID()) : QString());
        params.insert(QStringLiteral("outerAliasName"), KL_textOrEmpty(vanNames));
    }
    httpPostRequestFunction(QStringLiteral("/conference/api/meetingInfo"), params,
                            std::move(success), std::move(failure));
}

void KLSDKMeetingHTTPApi::callMeetingMemberWithAppointment(const KLParticipantPtr &appointment,
                                                           const QString &callNumber,
                                                           const QString &type,
                                                           KLApiSuccessBlock success,
                                                           KLApiFailureBlock failure)
{
    QJsonObject params = memberKeys(appointment);
    params.insert(QStringLiteral("callnumber"), KL_textOrEmpty(callNumber));
    params.insert(QStringLiteral("type"), KL_textOrEmpty(type));
    httpPostRequestFunction(QStringLiteral("/conference/api/callMeetingMember"), params,
                            std::move(success), std::move(failure));
}

void KLSDKMeetingHTTPApi::finishAppointmentWithConfig(const KLMeetingConfigPtr &config,
                                                      KLApiSuccessBlock success,
                                                      KLApiFailureBlock failure)
{
    const QString appointmentId = config ? config->appointmentId() : QString();
    if (appointmentId.isEmpty())
        return;
    KLQLSLogger::sharedInstance().commitMonitorLevel(
        3, 1, {{QStringLiteral("value"), QStringLiteral("hangUpAllOnlineRoom")}});
    httpPostRequestFunction(QStringLiteral("/conference/api/v2/hangUpAll"),
                            {{QStringLiteral("appointmentId"), appointmentId}},
                            std::move(success), std::move(failure));
}

void KLSDKMeetingHTTPApi::hangUpMeetingMemberWithAppointment(const KLParticipantPtr &appointment,
                                                             const QString &type,
                                                             KLApiSuccessBlock success,
                                                             KLApiFailureBlock failure)
{
    QJsonObject params = memberKeys(appointment);
    params.insert(QStringLiteral("type"), KL_textOrEmpty(type));
    httpPostRequestFunction(QStringLiteral("/conference/api/hangUpMeetingMember"), params,
                            std::move(success), std::move(failure));
}

void KLSDKMeetingHTTPApi::getMeetingRoomStatusWithAppointment(const QJsonValue &appointmentId,
                                                              const QString &rooms,
                                                              KLApiSuccessBlock success,
                                                              KLApiFailureBlock failure)
{
    httpPostRequestFunction(QStringLiteral("/conference/api/getRoomsStatus"),
                            {{QStringLiteral("appointmentId"), KL_integerText(appointmentId)},
                             {QStringLiteral("roomIds"), KL_textOrEmpty(rooms)}},
                            std::move(success), std::move(failure));
}

void KLSDKMeetingHTTPApi::robRoomWithAppointment(const QJsonValue &appointmentId,
                                                 const QString &memberUuid,
                                                 KLApiSuccessBlock success,
                                                 KLApiFailureBlock failure)
{
    httpPostRequestFunction(QStringLiteral("/conference/api/robRoom"),
                            {{QStringLiteral("appointmentId"), KL_integerText(appointmentId)},
                             {QStringLiteral("memberUuid"), KL_textOrEmpty(memberUuid)}},
                            std::move(success), std::move(failure));
}

void KLSDKMeetingHTTPApi::openSummaryWithAppointment(const KLParticipantPtr &appointment,
                                                     const QString &language, bool isTrain,
                                                     bool sendMail, KLApiSuccessBlock success,
                                                     KLApiFailureBlock failure)
{
    httpPostRequestFunction(QStringLiteral("/conference/api/v3/openSummary"),
                            {{QStringLiteral("appointmentId"), appointmentIdText(appointment)},
                             {QStringLiteral("memberUUID"), memberUuidText(appointment)},
                             {QStringLiteral("lang"), KL_textOrEmpty(language)},
                             {QStringLiteral("isTrain"), boolText(isTrain)},
                             {QStringLiteral("sendMail"), boolText(sendMail)}},
                            std::move(success), std::move(failure));
}

void KLSDKMeetingHTTPApi::changeMemberSummaryLangWithAppointment(
    const KLParticipantPtr &appointment, const QString &language, KLApiSuccessBlock success,
    KLApiFailureBlock failure)
{
    httpPostRequestFunction(QStringLiteral("/conference/api/v3/changeMemberSummaryLang"),
                            {{QStringLiteral("appointmentId"), appointmentIdText(appointment)},
                             {QStringLiteral("memberUUID"), memberUuidText(appointment)},
                             {QStringLiteral("lang"), KL_textOrEmpty(language)}},
                            std::move(success), std::move(failure));
}

void KLSDKMeetingHTTPApi::stopSummaryWithAppointment(const KLParticipantPtr &appointment,
                                                     KLApiSuccessBlock success,
                                                     KLApiFailureBlock failure)
{
    httpPostRequestFunction(QStringLiteral("/conference/api/v3/stopSummary"),
                            {{QStringLiteral("appointmentId"), appointmentIdText(appointment)},
                             {QStringLiteral("memberUUID"), memberUuidText(appointment)}},
                            std::move(success), std::move(failure));
}

void KLSDKMeetingHTTPApi::getCallInNumberByLetterWithSuccessBlock(KLApiSuccessBlock success,
                                                                  KLApiFailureBlock failure)
{
    httpPostRequestFunction(QStringLiteral("/conference/api/v2/getCallInNumberByLetter"), {},
                            std::move(success), std::move(failure));
}

void KLSDKMeetingHTTPApi::getClientConfigWithConfig(const KLMeetingConfigPtr &,
                                                    KLApiSuccessBlock success,
                                                    KLApiFailureBlock failure)
{
    httpPostRequestFunction(QStringLiteral("/conference/api/getClientConfig"), {},
                            std::move(success), std::move(failure));
}

void KLSDKMeetingHTTPApi::getClientSwitchConfigWithConfig(const KLMeetingConfigPtr &,
                                                          KLApiSuccessBlock success,
                                                          KLApiFailureBlock failure)
{
    httpPostRequestFunction(QStringLiteral("/conference/api/v2/getSwitchConfig"),
                            {{QStringLiteral("empId"), workId()}}, std::move(success),
                            std::move(failure));
}

void KLSDKMeetingHTTPApi::savePcJumpStatusWithUuid(const QString &uuid, const QString &random,
                                                   KLApiSuccessBlock success,
                                                   KLApiFailureBlock failure)
{
    const bool staff = KLClientConfigManager::sharedInstance().isStaff();
    httpPostRequestFunction(
        QStringLiteral("/webvc/savePcJumpStatus"),
        {{QStringLiteral("uuid"), KL_textOrEmpty(uuid)},
         {QStringLiteral("random"), KL_textOrEmpty(random)},
         {QStringLiteral("clienttype"), staff ? QStringLiteral("tandu") : QStringLiteral("kelvoPc")}},
        std::move(success), std::move(failure));
}

void KLSDKMeetingHTTPApi::getMeetingContactWithSuccessBlock(KLApiSuccessBlock success,
                                                            KLApiFailureBlock failure)
{
    httpPostRequestFunction(QStringLiteral("/conference/api/v2/meetingContact"),
                            {{QStringLiteral("empId"), workId()}}, std::move(success),
                            std::move(failure));
}

void KLSDKMeetingHTTPApi::getIceServerListWithConfig(const KLMeetingConfigPtr &,
                                                     KLApiSuccessBlock success,
                                                     KLApiFailureBlock failure)
{
    httpPostRequestFunction(QStringLiteral("/conference/gbc/getIceServerList"), {},
                            std::move(success), std::move(failure));
}

void KLSDKMeetingHTTPApi::getMeetingInfoByPassword(const QString &password,
                                                   KLApiSuccessBlock success,
                                                   KLApiFailureBlock failure)
{
    httpPostRequestFunction(QStringLiteral("/conference/api/v2/checkPassword"),
                            {{QStringLiteral("password"), KL_textOrEmpty(password)},
                             {QStringLiteral("uuid"), KL_textOrEmpty(KLHostUtils::wiFiInterface())}},
                            std::move(success), std::move(failure));
}

void KLSDKMeetingHTTPApi::openAudioForMultiProjector(const QJsonValue &appointmentId,
                                                     KLApiSuccessBlock success,
                                                     KLApiFailureBlock failure)
{
    commitProjectorAction({{QStringLiteral("value"), QStringLiteral("openAudio")}});
    httpPostRequestFunction(QStringLiteral("/conference/api/v2/openAudioForMultiScreen"),
                            {{QStringLiteral("appointmentId"), appointmentId},
                             {QStringLiteral("ownerId"), workId()}},
                            std::move(success), std::move(failure));
}

void KLSDKMeetingHTTPApi::multiScreenRobRoomWithAppointmentId(const QJsonValue &appointmentId,
                                                              const QString &memberUuid,
                                                              bool enableCall,
                                                              KLApiSuccessBlock success,
                                                              KLApiFailureBlock failure)
{
    // The record always says "without audio", whatever the call flag.
    commitProjectorAction({{QStringLiteral("value"), QStringLiteral("RobRoomInProject")},
                           {QStringLiteral("callee"), KL_textOrEmpty(memberUuid)},
                           {QStringLiteral("WithAudio"), false}});
    const QJsonObject params{{QStringLiteral("appointmentId"), appointmentId},
                             {QStringLiteral("ownerId"), workId()},
                             {QStringLiteral("targetMemberUUID"), KL_textOrEmpty(memberUuid)},
                             {QStringLiteral("enableCall"), boolText(enableCall)}};
    KL_LOG_INFO(kLogTag, QStringLiteral("rob room param:%1")
                             .arg(QString::fromUtf8(QJsonDocument(params).toJson())));
    httpPostRequestFunction(QStringLiteral("/conference/api/v2/multiScreenRobRoom"), params,
                            std::move(success), std::move(failure));
}

void KLSDKMeetingHTTPApi::getStartMultiScreenRoomStatusWithAppointmentId(
    const QJsonValue &appointmentId, KLApiSuccessBlock success, KLApiFailureBlock failure)
{
    httpPostRequestFunction(QStringLiteral("/conference/api/v2/getStartMultiScreenRoomStatus"),
                            {{QStringLiteral("appointmentId"), appointmentId}},
                            std::move(success), std::move(failure));
}

void KLSDKMeetingHTTPApi::shareMultiScreenMemberForMemberUuid(const QString &memberUuid,
                                                              const QJsonValue &type,
                                                              bool enableShare, bool enableCall,
                                                              KLApiSuccessBlock success,
                                                              KLApiFailureBlock failure)
{
    commitProjectorAction(
        {{QStringLiteral("value"),
          enableShare ? QStringLiteral("callInProject") : QStringLiteral("hangupInProject")},
         {QStringLiteral("callee"), KL_textOrEmpty(memberUuid)},
         {QStringLiteral("WithAudio"), enableCall}});
    httpPostRequestFunction(QStringLiteral("/conference/api/v2/shareMultiScreenMember"),
                            {{QStringLiteral("targetMemberUUID"), KL_textOrEmpty(memberUuid)},
                             {QStringLiteral("ownerId"), workId()},
                             {QStringLiteral("type"), type},
                             {QStringLiteral("enableShare"), boolText(enableShare)},
                             {QStringLiteral("enableCall"), boolText(enableCall)}},
                            std::move(success), std::move(failure));
}

void KLSDKMeetingHTTPApi::shareMultiScreenAllWithAppointmentId(
    const QJsonValue &appointmentId, const QJsonValue &type, bool enableShare, bool enableCall,
    bool excludeMyself, KLApiSuccessBlock success, KLApiFailureBlock failure)
{
    httpPostRequestFunction(QStringLiteral("/conference/api/v2/shareMultiScreenAll"),
                            {{QStringLiteral("appointmentId"), appointmentId},
                             {QStringLiteral("ownerId"), workId()},
                             {QStringLiteral("type"), type},
                             {QStringLiteral("enableShare"), boolText(enableShare)},
                             {QStringLiteral("enableCall"), boolText(enableCall)},
                             {QStringLiteral("excludeMyself"), boolText(excludeMyself)}},
                            std::move(success), std::move(failure));
}

void KLSDKMeetingHTTPApi::addMemberMultiScreenAppointmentId(const QJsonValue &appointmentId,
                                                            bool startAudio,
                                                            const QJsonArray &members,
                                                            KLApiSuccessBlock success,
                                                            KLApiFailureBlock failure)
{
    commitProjectorAction({{QStringLiteral("value"), QStringLiteral("invite")},
                           {QStringLiteral("openAudio"), startAudio},
                           {QStringLiteral("to"), members}});
    httpPostRequestFunction(QStringLiteral("/conference/api/v2/addMemberMultiScreen"),
                            {{QStringLiteral("appointmentId"), appointmentId},
                             {QStringLiteral("startAudio"), boolText(startAudio)},
                             {QStringLiteral("ownerId"), workId()},
                             {QStringLiteral("members"), members}},
                            std::move(success), std::move(failure));
}

void KLSDKMeetingHTTPApi::notifyMultiScreenWithAppointmentId(const QJsonValue &appointmentId,
                                                             const QString &memberUuid,
                                                             const QJsonValue &status,
                                                             KLApiSuccessBlock success,
                                                             KLApiFailureBlock failure)
{
    httpPostRequestFunction(QStringLiteral("/conference/api/v2/notifyMultiScreen"),
                            {{QStringLiteral("appointmentId"), appointmentId},
                             {QStringLiteral("memberUUID"), KL_textOrEmpty(memberUuid)},
                             {QStringLiteral("status"), status}},
                            std::move(success), std::move(failure));
}

void KLSDKMeetingHTTPApi::findUserAndRoomWithKey(const QString &key, KLApiSuccessBlock success,
                                                 KLApiFailureBlock failure)
{
    httpPostRequestFunction(QStringLiteral("/conference/api/v2/findUserAndRoom"),
                            {{QStringLiteral("key"), KL_textOrEmpty(key)},
                             {QStringLiteral("ownerId"), workId()}},
                            std::move(success), std::move(failure));
}
