#pragma once

#include <KelvoUISDK/KelvoUISDKExport.h>

#include <QString>
#include <QVariant>
#include <QVariantMap>

class KLParticipant;

/// A participant's call state as handed to the host. Tri-states: 1 yes, 0 no, -1 not reported.
class KELVOUISDK_EXPORT KLSDKMeetingUserCallState {
public:
    qint64 callType = 0;     ///< kind of the phone leg, as the meeting service reports it
    qint64 cellphone = 0;    ///< the mobile-phone leg is connected
    qint64 extension = 0;    ///< the desk-phone (extension) leg is connected
    qint64 hasVideo = 0;
    qint64 mute = 0;         ///< audio muted
    qint64 online = 0;       ///< in the meeting
    qint64 ringing = 0;      ///< being called
    qint64 vmute = 0;        ///< video muted
    qint64 multiScreen = 0;  ///< projection role: 0 none, 1 receiving, 2 sending

    /// Reads the integer under each field's name; a missing or non-numeric value gives 0.
    static KLSDKMeetingUserCallState callStateWithDictionary(const QVariantMap &dictionary);

    /// Back to "nothing known": `online` and `multiScreen` 0, the other states -1;
    /// `callType` is kept.
    void reset();
};

/// A meeting participant (person or meeting room) as handed to the host in
/// `onMeetingUserStatusChange`. Texts are null when unknown. `appointmentId`, `joinType` and
/// `memberId` carry the meeting service's values as they came (normally integers).
///
/// The SDK never fills `displayName`, `displayNamePinYin`, `pallasUUID`, `status` or
/// `deptNameSplitEn`; the names to show are `name` (already in the interface language) and
/// `nameEn`.
class KELVOUISDK_EXPORT KLSDKMeetingUser {
public:
    QString uuid;            ///< the member's identity in the meeting
    QString name;            ///< display name in the interface language
    QString cellPhone;
    QString deptName;
    QString deptNameEn;
    QString deptNameSplit;   ///< department path in the interface language
    QString email;
    QString userId;
    QString extensionPhone;
    qint64 memberType = 0;   ///< 2 meeting room, 3 external member, anything else ordinary
    QString screenCode;
    QString roomId;
    QString jobDesc;
    QString userAvatarUrl;
    KLSDKMeetingUserCallState callState;
    QVariant appointmentId;
    QString aliasName;
    QString aliasNamePinYin;
    QString bu;
    QString building;
    QString empId;           ///< employee number
    QString floor;
    QVariant joinType;
    QString lastName;
    QString lastNamePinYin;
    QVariant memberId;
    qint64 roomType = 0;
    QString pallasUUID;
    QString status;
    QString displayNamePinYin;
    QString displayName;
    QString deptNameEnSplit;
    QString jobName;
    QString city;
    QString country;
    QString roomName;

    KLSDKMeetingUser() = default;
    /// Builds a user from a plain dictionary keyed like the meeting service's member object.
    /// Note: `userId` comes from the key "empId". A value of the wrong type reads as null
    /// (texts) or 0 (integers); "appointmentId", "joinType" and "memberId" are taken as they are.
    explicit KLSDKMeetingUser(const QVariantMap &dictionary);
    /// Used by the SDK: builds the user from its participant record.
    explicit KLSDKMeetingUser(const KLParticipant &participant);

    /// The romanised / English display name.
    QString nameEn() const { return m_nameEn; }
    /// Reserved; always null.
    QString deptNameSplitEn() const { return m_deptNameSplitEn; }

private:
    QString m_nameEn;
    QString m_deptNameSplitEn;
};
