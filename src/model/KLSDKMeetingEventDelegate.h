#pragma once

// The meeting's own event delegate: what the conference service and the meeting layout
// report upward. The meeting window controller implements it and translates errors and
// finishes into the host's codes (KLHostCodeTranslation.h). Calls arrive on the service's
// queues as well as on the main thread.

#include <QString>

#include <memory>

class KLSDKMeetingUser;

/// Error codes of KLSDKMeetingEventDelegate::onError. Codes without a name here (0, 1, 3)
/// are never reported to the host.
enum KLSDKMeetingErrorCode : int {
    /// Fetching the client configuration failed, or the meeting token was rejected.
    KLSDKMeetingErrorClientConfig = 2,
    /// The room was left for lack of microphone or camera permission.
    KLSDKMeetingErrorDevicePermission = 4,
    /// Fetching the meeting information failed, or the meeting server cannot be reached.
    KLSDKMeetingErrorMeetingServer = 5,
    /// Joining timed out.
    KLSDKMeetingErrorJoinTimeout = 6,
    /// The media engine hung up, or the server was unreachable.
    KLSDKMeetingErrorMediaHangUp = 7,
    /// The media connection reported a fatal event.
    KLSDKMeetingErrorMediaFatal = 8,
    /// A required device is missing.
    KLSDKMeetingErrorDeviceMissing = 9,
    /// The meeting room is full.
    KLSDKMeetingErrorRoomFull = 10,
    /// The network became unavailable.
    KLSDKMeetingErrorNetworkUnavailable = 11,
};

/// Finish reasons of KLSDKMeetingEventDelegate::onMeetingFinish. Reasons without a name here
/// (1, 2, 3, 6, 7) are never reported to the host.
enum KLSDKMeetingFinishReason : int {
    /// The local user left with the leave button.
    KLSDKMeetingFinishUserLeft = 0,
    /// Another client joined with the same user id.
    KLSDKMeetingFinishJoinedElsewhere = 4,
    /// Kicked, deleted from the member list, or the meeting was closed.
    KLSDKMeetingFinishRemoved = 5,
    /// The local user ended the meeting for everyone and the service accepted it.
    KLSDKMeetingFinishEndedForAll = 8,
    /// The rating page reported completion.
    KLSDKMeetingFinishRatingComplete = 9,
    /// The system is going to sleep.
    KLSDKMeetingFinishSystemSleep = 10,
};

class KLSDKMeetingEventDelegate {
public:
    virtual ~KLSDKMeetingEventDelegate() = default;

    virtual void onMeetingStatusChange(int status) = 0;
    virtual void onApplicationStatusChange(int status, const QString &reason) = 0;
    virtual void onMeetingJoined() = 0;
    /// `code` is a KLSDKMeetingErrorCode (or another value the host never sees); `reason` may
    /// be a null QString.
    virtual void onError(int code, const QString &reason) = 0;
    /// `reason` is a KLSDKMeetingFinishReason (or another value the host never sees); `text`
    /// may be a null QString.
    virtual void onMeetingFinish(int reason, const QString &text) = 0;
    /// `event` is a host user event (KLUISDKMeetingUserEvent); others are dropped on the way.
    virtual void onMeetingUserStatusChange(const std::shared_ptr<KLSDKMeetingUser> &user,
                                           int event) = 0;
};
