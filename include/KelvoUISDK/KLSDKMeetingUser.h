#pragma once

/// @file
/// A meeting participant as the host hears of it in
/// `KLUISDKMeetingEventDelegate::onMeetingUserStatusChange`.

#include <KelvoUISDK/KelvoUISDKExport.h>

#include <QString>
#include <QVariant>
#include <QVariantMap>

class KLParticipant;

/// A participant's call state as handed to the host. Tri-states: 1 yes, 0 no, -1 not reported.
/// A plain value: copied with its user, read and written on any thread by its owner.
class KELVOUISDK_EXPORT KLSDKMeetingUserCallState {
public:
    qint64 callType = 0;     ///< kind of the phone leg, as the meeting service reports it
    qint64 cellphone = 0;    ///< the mobile-phone leg is connected
    qint64 extension = 0;    ///< the desk-phone (extension) leg is connected
    qint64 hasVideo = 0;     ///< the member sends video
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
///
/// The SDK builds a fresh user for every event and hands it over by shared pointer; the SDK
/// does not touch it afterwards, so the host may keep it and read it on any thread.
class KELVOUISDK_EXPORT KLSDKMeetingUser {
public:
    QString uuid;            ///< the member's identity in the meeting
    QString name;            ///< display name in the interface language
    QString cellPhone;       ///< mobile phone number
    QString deptName;        ///< department name
    QString deptNameEn;      ///< department name in English
    QString deptNameSplit;   ///< department path in the interface language
    QString email;           ///< e-mail address
    QString userId;          ///< user id in the host's directory (the employee number)
    QString extensionPhone;  ///< desk-phone extension
    qint64 memberType = 0;   ///< 2 meeting room, 3 external member, anything else ordinary
    QString screenCode;      ///< projection code of a meeting room's screen
    QString roomId;          ///< meeting room id (meeting rooms only)
    QString jobDesc;         ///< job description
    QString userAvatarUrl;   ///< address of the avatar picture
    KLSDKMeetingUserCallState callState; ///< the call state when the event was sent
    QVariant appointmentId;  ///< the booking the member joined through (0 when none)
    QString aliasName;       ///< alias shown instead of the name, when set
    QString aliasNamePinYin; ///< romanised alias
    QString bu;              ///< organisation label shown in member lists
    QString building;        ///< building of the desk or room
    QString empId;           ///< employee number
    QString floor;           ///< floor of the desk or room
    QVariant joinType;       ///< how the member joined, as the meeting service numbers it
    QString lastName;        ///< family name
    QString lastNamePinYin;  ///< romanised family name
    QVariant memberId;       ///< the service's id of the member in member operations
    qint64 roomType = 0;     ///< 1 for a room system, 0 otherwise
    QString pallasUUID;      ///< reserved; never filled
    QString status;          ///< reserved; never filled
    QString displayNamePinYin; ///< reserved; never filled (see `nameEn()`)
    QString displayName;     ///< reserved; never filled (see `name`)
    QString deptNameEnSplit; ///< department path in English
    QString jobName;         ///< job title
    QString city;            ///< city of the office
    QString country;         ///< country of the office
    QString roomName;        ///< meeting room name (meeting rooms only)

    /// An empty user: texts null, numbers 0.
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
