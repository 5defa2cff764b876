#pragma once

#include <QMetaType>

#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <memory>
#include <vector>

class KLJSONReader;
class KLParticipant;

/// The meeting (appointment) information that the meeting detail request returns and the
/// conference service keeps. Built from JSON whose keys are the field names (including the
/// service's spelling "appointmenType"); every key is optional. Texts and numbers are null
/// when absent; a missing member or room list is an empty list.
class KLConferenceItemModel {
public:
    QString appointmenType;
    QString appointmenTypeText;
    QString appointmentDesc;
    QJsonValue appointmentId;
    QString appointmentName;  ///< meeting topic
    QString appointmentUUID;
    QJsonValue endtimeGMT;
    QString guideUrl;
    QJsonValue isSendMail;
    QJsonValue isSendSms;
    QString masterEmpId;      ///< organiser's employee number; compared with the local member's
    QJsonValue masterUserId;
    QString masterUserName;
    QString masterUserNameEn;
    QJsonValue mcuAppointmentId;
    QJsonValue meetingType;   ///< 2 = audio-only meeting
    QString password;
    QJsonValue passwordExpire;
    QString rtcUUID;          ///< id of the media connection
    QString shareUrl;
    QString shortJumpUrl;
    QString sign;
    QJsonValue starttimeGMT;
    QJsonValue status;
    QString statusText;
    QJsonValue useMcu;
    QJsonValue isScreen;      ///< multi-projector: 1 projection without audio, 2 with audio
    std::vector<std::shared_ptr<KLParticipant>> memberList;  ///< invited persons
    std::vector<std::shared_ptr<KLParticipant>> roomList;    ///< invited meeting rooms

    /// Builds the record from the detail reply's object. Returns null and fills `error` (when
    /// given) if a value, here or in a nested participant, has a JSON type its field cannot take.
    static std::shared_ptr<KLConferenceItemModel> createWithDictionary(
        const QJsonObject &dictionary, QString *error = nullptr);
    /// Reads the record nested in a larger one; failures stay in `reader`.
    static std::shared_ptr<KLConferenceItemModel> fromJson(KLJSONReader &reader);

    QJsonObject toJson() const;

private:
    template <class Self, class Mapper>
    static void mapFields(Self &self, Mapper &mapper);
};

Q_DECLARE_METATYPE(std::shared_ptr<KLConferenceItemModel>)
