#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <memory>
#include <mutex>

class KLCallState;
class KLJSONReader;

/// One invited person or meeting room as the meeting service describes it: an element of a
/// meeting's member or room list, or the "member" object of a signalling message. Built from
/// JSON whose keys are the field names; every key is optional.
///
/// Texts are null when absent. Numbers (`QJsonValue`) keep what the service sent, an integer
/// or a boolean, and are null when absent, except `appointmentId`, `joinType`, `memberType`
/// and `memberId`, which a constructed participant always carries (0 when not sent).
///
/// The fields are written once, when the record is built; afterwards only the call state
/// changes. Two reads differ from a plain field: `displayName()` and `deptNameSplit()` follow
/// the interface language, and `callState()` may be replaced from another thread.
class KLParticipant {
public:
    QString aliasName;
    QString aliasNamePinYin;
    QJsonValue appointmentId;
    QString audioStreamType;
    QString audioType;
    QString bu;                 ///< organisation label shown in member lists
    QString building;
    QString callUUID;
    QString cellPhone;
    QString city;
    QString companyName;
    QString country;
    QString deptName;
    QString deptNameEn;
    QString deptNameEnSplit;
    QString displayNamePinYin;  ///< romanised / English display name
    QString email;
    QString empId;              ///< employee number; compared with the meeting master's id
    QString extensionPhone;
    QString floor;
    QString jobName;
    QJsonValue joinType;
    QString lastName;
    QString lastNamePinYin;
    QJsonValue memberId;        ///< the service's id in member operations (mute, call, hang up)
    QJsonValue memberType;      ///< 2 meeting room, 3 external member, anything else ordinary
    QString memberUUID;         ///< identity in the meeting; the registry's key
    QString roomId;
    QJsonValue roomType;        ///< 1 = the room-system kind
    QString roomName;
    QString pallasUUID;
    QString screenCode;         ///< projection code of a room's screen
    QString status;
    QString userId;             ///< user id in the host's directory
    QString groupName;

    /// Builds a participant from its JSON object. Returns null and fills `error` (when given)
    /// if a value has a JSON type its field cannot take; unknown keys are ignored.
    static std::shared_ptr<KLParticipant> createWithDictionary(const QJsonObject &dictionary,
                                                               QString *error = nullptr);
    /// Reads a participant nested in a larger record; failures stay in `reader`.
    static std::shared_ptr<KLParticipant> fromJson(KLJSONReader &reader);

    /// In English, the romanised name when there is one; otherwise the stored display name.
    QString displayName() const;
    void setDisplayName(const QString &displayName) { m_displayName = displayName; }
    /// In English, the English department path when there is one; otherwise the stored one.
    QString deptNameSplit() const;
    void setDeptNameSplit(const QString &deptNameSplit) { m_deptNameSplit = deptNameSplit; }

    /// The live call state: a shared object the signalling handlers change in place or replace.
    std::shared_ptr<KLCallState> callState() const;
    void setCallState(std::shared_ptr<KLCallState> callState);
    /// The call state's "online", 0 without a call state (read in place, no copy of it).
    qint64 callStateOnline() const;

    /// The stored fields under their keys (display name and department path as stored, not as
    /// shown); null fields are left out.
    QJsonObject toJson() const;

private:
    template <class Self, class Mapper>
    static void mapFields(Self &self, Mapper &mapper);

    QString m_displayName;
    QString m_deptNameSplit;
    mutable std::mutex m_callStateMutex;
    std::shared_ptr<KLCallState> m_callState;
};
