#include <KelvoUISDK/KLSDKMeetingUser.h>

#include "model/KLCallState.h"
#include "model/KLParticipant.h"
#include "runtime/KLDictionary.h"

#include <QJsonValue>

namespace {

// The integer a participant's number stands for: booleans as 1 / 0, fractions truncated,
// null and anything out of range as 0.
qint64 integerValue(const QJsonValue &number)
{
    if (number.isBool())
        return number.toBool() ? 1 : 0;
    if (!number.isDouble())
        return 0;
    const double value = number.toDouble();
    if (!(value >= -9223372036854775808.0 && value < 9223372036854775808.0))
        return 0;
    return number.toInteger(static_cast<qint64>(value));
}

// The host sees the service's number as a QVariant holding what was sent (integer, double or
// bool); a null number stays an invalid QVariant.
QVariant hostNumber(const QJsonValue &number)
{
    return number.isNull() || number.isUndefined() ? QVariant() : number.toVariant();
}

} // namespace

KLSDKMeetingUser::KLSDKMeetingUser(const QVariantMap &dictionary)
{
    const auto text = [&dictionary](const char *key) {
        return KL_stringForKey(dictionary, QString::fromLatin1(key));
    };
    uuid = text("memberUUID");
    name = text("displayName");
    m_nameEn = text("displayNamePinYin");
    cellPhone = text("cellPhone");
    deptName = text("deptName");
    deptNameSplit = text("deptNameSplit");
    email = text("email");
    userId = text("empId");
    extensionPhone = text("extensionPhone");
    memberType = KL_longLongForKey(dictionary, QStringLiteral("memberType"));
    screenCode = text("screenCode");
    roomId = text("roomId");
    roomType = KL_longLongForKey(dictionary, QStringLiteral("roomType"));
    // A call state that is not a dictionary reads as an empty one: every state 0.
    callState = KLSDKMeetingUserCallState::callStateWithDictionary(
        KL_objectForKey(dictionary, QStringLiteral("callState")).toMap());
    jobDesc = text("jobDesc");
    userAvatarUrl = text("userAvatarUrl");
    appointmentId = KL_objectForKey(dictionary, QStringLiteral("appointmentId"));
    aliasName = text("aliasName");
    aliasNamePinYin = text("aliasNamePinYin");
    bu = text("bu");
    building = text("building");
    empId = text("empId");
    floor = text("floor");
    lastName = text("lastName");
    lastNamePinYin = text("lastNamePinYin");
    deptNameEn = text("deptNameEn");
    deptNameEnSplit = text("deptNameEnSplit");
    jobName = text("jobName");
    city = text("city");
    country = text("country");
    roomName = text("roomName");
    joinType = KL_objectForKey(dictionary, QStringLiteral("joinType"));
    memberId = KL_objectForKey(dictionary, QStringLiteral("memberId"));
}

KLSDKMeetingUser::KLSDKMeetingUser(const KLParticipant &participant)
{
    uuid = participant.memberUUID;
    name = participant.displayName();
    m_nameEn = participant.displayNamePinYin;
    cellPhone = participant.cellPhone;
    deptName = participant.deptName;
    deptNameSplit = participant.deptNameSplit();
    email = participant.email;
    userId = participant.userId;
    extensionPhone = participant.extensionPhone;
    memberType = integerValue(participant.memberType);
    screenCode = participant.screenCode;
    roomId = participant.roomId;
    roomType = integerValue(participant.roomType);
    if (const std::shared_ptr<KLCallState> state = participant.callState()) {
        callState.cellphone = state->cellphone;
        callState.extension = state->extension;
        callState.hasVideo = state->hasVideo;
        callState.mute = state->mute;
        callState.online = state->online;
        callState.ringing = state->ringing;
        callState.vmute = state->vmute;
    }
    // The participant record has no such fields; the host still gets texts, never null.
    jobDesc = QStringLiteral("");
    userAvatarUrl = QStringLiteral("");
    appointmentId = hostNumber(participant.appointmentId);
    aliasName = participant.aliasName;
    aliasNamePinYin = participant.aliasNamePinYin;
    bu = participant.bu;
    building = participant.building;
    empId = participant.empId;
    floor = participant.floor;
    lastName = participant.lastName;
    lastNamePinYin = participant.lastNamePinYin;
    deptNameEn = participant.deptNameEn;
    deptNameEnSplit = participant.deptNameEnSplit;
    jobName = participant.jobName;
    city = participant.city;
    country = participant.country;
    roomName = participant.roomName;
    joinType = hostNumber(participant.joinType);
    memberId = hostNumber(participant.memberId);
}
