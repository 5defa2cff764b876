#pragma once

// What the participant registry needs from the meeting it belongs to. The conference service
// implements it (typically as a small object holding the service weakly); the registry keeps
// its host for as long as it lives.
//
// The registry never calls the host while it holds its own lock, so an implementation may
// call back into the registry from any of these members.

#include <KelvoUISDK/KLSDKDispatch.h>

#include <QJsonValue>
#include <QString>

#include <memory>

class KLConferenceManagerDataSource;
class KLConferenceManagerProtocol;
class KLRTCMediaConnection;
class KLSDKMeetingUser;

class KLParticipantRegistryHost {
public:
    virtual ~KLParticipantRegistryHost() = default;

    /// The meeting's id, handed to every feed the registry creates.
    virtual QJsonValue appointmentId() const = 0;
    /// The meeting runs on the Pallas media server; several main-view and strip rules differ.
    virtual bool isPallasMeeting() const = 0;
    /// The meeting has been entered; before that the strip stays empty.
    virtual bool enterRoomSuccess() const = 0;
    /// 0 normal meeting, 1 multi-projector session.
    virtual qint64 conferenceMode() const = 0;
    /// The local user is internal staff (avatars are loaded instead of telling the host).
    virtual bool isVanInternal() const = 0;
    /// The user asked to enter (or refresh) with the camera off.
    virtual bool isEnterRoomVideoShouldMute() const = 0;

    /// The live media connection, or null before it exists and after it was released.
    virtual std::shared_ptr<KLRTCMediaConnection> mediaConnection() const = 0;
    /// The layout that draws the main view and the strip, or null when there is none.
    virtual std::shared_ptr<KLConferenceManagerDataSource> dataSource() const = 0;
    /// The meeting as new and added feeds see it.
    virtual std::weak_ptr<KLConferenceManagerProtocol> conferenceManager() const = 0;
    /// The sender of the registry's notifications ("MeetingMemberUpdate"): the service itself.
    virtual const void *notificationSender() const = 0;

    /// Stops the local screen share (used when every feed is removed).
    virtual void stopShare() = 0;
    /// Runs `block` on the meeting's serial work queue.
    virtual void postToSerialQueue(KLBlock block) = 0;
    /// Tells the host delegate that a member's status changed (`event` is a host user event).
    virtual void meetingUserStatusChanged(const std::shared_ptr<KLSDKMeetingUser> &user,
                                          int event) = 0;

    /// HTTPS base of the directory's avatar pictures, without a trailing slash, for example
    /// "https://meet.example.com/avatar"; empty when avatars are not loaded.
    virtual QString avatarBaseUrl() const = 0;
    /// Extra certificate authorities (PEM file) trusted for the avatar download; may be empty.
    virtual QString caFile() const = 0;
};
