#include "model/KLConferenceItemModel.h"

#include "model/KLJSONReader.h"
#include "model/KLJSONWriter.h"
#include "model/KLParticipant.h"

template <class Self, class Mapper>
void KLConferenceItemModel::mapFields(Self &self, Mapper &mapper)
{
    mapper.text("appointmenType", self.appointmenType);
    mapper.text("appointmenTypeText", self.appointmenTypeText);
    mapper.text("appointmentDesc", self.appointmentDesc);
    mapper.number("appointmentId", self.appointmentId);
    mapper.text("appointmentName", self.appointmentName);
    mapper.text("appointmentUUID", self.appointmentUUID);
    mapper.number("endtimeGMT", self.endtimeGMT);
    mapper.text("guideUrl", self.guideUrl);
    mapper.number("isSendMail", self.isSendMail);
    mapper.number("isSendSms", self.isSendSms);
    mapper.text("masterEmpId", self.masterEmpId);
    mapper.number("masterUserId", self.masterUserId);
    mapper.text("masterUserName", self.masterUserName);
    mapper.text("masterUserNameEn", self.masterUserNameEn);
    mapper.number("mcuAppointmentId", self.mcuAppointmentId);
    mapper.number("meetingType", self.meetingType);
    mapper.text("password", self.password);
    mapper.number("passwordExpire", self.passwordExpire);
    mapper.text("rtcUUID", self.rtcUUID);
    mapper.text("shareUrl", self.shareUrl);
    mapper.text("shortJumpUrl", self.shortJumpUrl);
    mapper.text("sign", self.sign);
    mapper.number("starttimeGMT", self.starttimeGMT);
    mapper.number("status", self.status);
    mapper.text("statusText", self.statusText);
    mapper.number("useMcu", self.useMcu);
    mapper.number("isScreen", self.isScreen);
    mapper.records("memberList", self.memberList);
    mapper.records("roomList", self.roomList);
}

std::shared_ptr<KLConferenceItemModel> KLConferenceItemModel::fromJson(KLJSONReader &reader)
{
    auto model = std::make_shared<KLConferenceItemModel>();
    mapFields(*model, reader);
    return reader.failed() ? nullptr : model;
}

std::shared_ptr<KLConferenceItemModel> KLConferenceItemModel::createWithDictionary(
    const QJsonObject &dictionary, QString *error)
{
    KLJSONReader reader(dictionary);
    std::shared_ptr<KLConferenceItemModel> model = fromJson(reader);
    if (error)
        *error = reader.errorText(QStringLiteral("KLConferenceItemModel"));
    return model;
}

QJsonObject KLConferenceItemModel::toJson() const
{
    KLJSONWriter writer;
    mapFields(*this, writer);
    return writer.object();
}
