#include "model/KLParticipant.h"

#include "model/KLCallState.h"
#include "model/KLJSONReader.h"
#include "model/KLJSONWriter.h"
#include "runtime/KLLocalization.h"

template <class Self, class Mapper>
void KLParticipant::mapFields(Self &self, Mapper &mapper)
{
    mapper.text("aliasName", self.aliasName);
    mapper.text("aliasNamePinYin", self.aliasNamePinYin);
    mapper.number("appointmentId", self.appointmentId);
    mapper.text("audioStreamType", self.audioStreamType);
    mapper.text("audioType", self.audioType);
    mapper.text("bu", self.bu);
    mapper.text("building", self.building);
    mapper.record("callState", self.m_callState);
    mapper.text("callUUID", self.callUUID);
    mapper.text("cellPhone", self.cellPhone);
    mapper.text("city", self.city);
    mapper.text("companyName", self.companyName);
    mapper.text("country", self.country);
    mapper.text("deptName", self.deptName);
    mapper.text("deptNameEn", self.deptNameEn);
    mapper.text("deptNameSplit", self.m_deptNameSplit);
    mapper.text("deptNameEnSplit", self.deptNameEnSplit);
    mapper.text("displayNamePinYin", self.displayNamePinYin);
    mapper.text("displayName", self.m_displayName);
    mapper.text("email", self.email);
    mapper.text("empId", self.empId);
    mapper.text("extensionPhone", self.extensionPhone);
    mapper.text("floor", self.floor);
    mapper.text("jobName", self.jobName);
    mapper.number("joinType", self.joinType);
    mapper.text("lastName", self.lastName);
    mapper.text("lastNamePinYin", self.lastNamePinYin);
    mapper.number("memberId", self.memberId);
    mapper.number("memberType", self.memberType);
    mapper.text("memberUUID", self.memberUUID);
    mapper.text("roomId", self.roomId);
    mapper.number("roomType", self.roomType);
    mapper.text("roomName", self.roomName);
    mapper.text("pallasUUID", self.pallasUUID);
    mapper.text("screenCode", self.screenCode);
    mapper.text("status", self.status);
    mapper.text("userId", self.userId);
    mapper.text("groupName", self.groupName);
}

std::shared_ptr<KLParticipant> KLParticipant::fromJson(KLJSONReader &reader)
{
    auto participant = std::make_shared<KLParticipant>();
    mapFields(*participant, reader);
    if (reader.failed())
        return nullptr;
    // The core uses these four in arithmetic and comparisons without null checks.
    for (QJsonValue *number : {&participant->appointmentId, &participant->joinType,
                               &participant->memberType, &participant->memberId}) {
        if (number->isNull())
            *number = QJsonValue(qint64(0));
    }
    return participant;
}

std::shared_ptr<KLParticipant> KLParticipant::createWithDictionary(const QJsonObject &dictionary,
                                                                   QString *error)
{
    KLJSONReader reader(dictionary);
    std::shared_ptr<KLParticipant> participant = fromJson(reader);
    if (error)
        *error = reader.errorText(QStringLiteral("KLParticipant"));
    return participant;
}

QString KLParticipant::displayName() const
{
    if (KLLocalization::isEnglish() && !displayNamePinYin.isEmpty())
        return displayNamePinYin;
    return m_displayName;
}

QString KLParticipant::deptNameSplit() const
{
    if (KLLocalization::isEnglish() && !deptNameEnSplit.isEmpty())
        return deptNameEnSplit;
    return m_deptNameSplit;
}

std::shared_ptr<KLCallState> KLParticipant::callState() const
{
    std::lock_guard<std::mutex> lock(m_callStateMutex);
    return m_callState;
}

qint64 KLParticipant::callStateOnline() const
{
    std::lock_guard<std::mutex> lock(m_callStateMutex);
    return m_callState ? m_callState->online.load() : 0;
}

void KLParticipant::setCallState(std::shared_ptr<KLCallState> callState)
{
    std::lock_guard<std::mutex> lock(m_callStateMutex);
    m_callState = std::move(callState);
}

QJsonObject KLParticipant::toJson() const
{
    std::lock_guard<std::mutex> lock(m_callStateMutex);
    KLJSONWriter writer;
    mapFields(*this, writer);
    return writer.object();
}
