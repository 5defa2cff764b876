#pragma once

/// @file
/// What a host hears about a meeting it started: the delegate it hands to the meeting entry
/// object, and the codes passed to it.

#include <KelvoUISDK/KelvoUISDKExport.h>

#include <QString>

#include <memory>

class KLSDKMeetingUser;

/// Error codes of `KLUISDKMeetingEventDelegate::onError`.
enum KLUISDKMeetingErrorCode : int {
    /// A mandatory credential is missing (reported by `joinMeeting` itself), the client
    /// configuration could not be fetched, or the meeting token was rejected.
    KLUISDKMeetingErrorInvalidParameter = 0,
    /// The meeting information could not be fetched, or the meeting server cannot be reached.
    KLUISDKMeetingErrorMeetingServer = 1,
    /// Microphone or camera permission is missing; the room was left.
    KLUISDKMeetingErrorDevicePermission = 2,
    /// A required device (microphone, speaker or camera) is missing.
    KLUISDKMeetingErrorDeviceMissing = 3,
    /// The media connection hung up, or the server could not be reached.
    KLUISDKMeetingErrorMediaHangUp = 4,
    /// The meeting room is full.
    KLUISDKMeetingErrorRoomFull = 5,
    /// Joining the meeting timed out.
    KLUISDKMeetingErrorJoinTimeout = 6,
    /// The network became unavailable.
    KLUISDKMeetingErrorNetworkUnavailable = 7,
    /// The media connection failed fatally.
    KLUISDKMeetingErrorMediaFatal = 8,
};

/// Reasons of `KLUISDKMeetingEventDelegate::onMeetingFinish`.
enum KLUISDKMeetingFinishReason : int {
    /// The local user left with the leave button.
    KLUISDKMeetingFinishUserLeft = 0,
    /// The user was removed: kicked, deleted from the member list, or the meeting was closed.
    KLUISDKMeetingFinishRemoved = 1,
    /// The local user ended the meeting for everyone.
    KLUISDKMeetingFinishEndedForAll = 2,
    /// Another client joined the meeting with the same user id.
    KLUISDKMeetingFinishJoinedElsewhere = 3,
    /// The user completed the rating page.
    KLUISDKMeetingFinishRatingComplete = 4,
    /// The system is going to sleep.
    KLUISDKMeetingFinishSystemSleep = 5,
};

/// Events of `KLUISDKMeetingEventDelegate::onMeetingUserStatusChange`.
enum KLUISDKMeetingUserEvent : int {
    /// The member came online (also sent for each member already present at the start).
    KLUISDKMeetingUserOnline = 0,
    KLUISDKMeetingUserOffline = 1,        ///< the member left or dropped out
    KLUISDKMeetingUserAudioMuted = 2,     ///< the member's microphone was muted
    KLUISDKMeetingUserAudioUnmuted = 3,   ///< the member's microphone was unmuted
    KLUISDKMeetingUserVideoMuted = 4,     ///< the member's camera was turned off
    KLUISDKMeetingUserVideoUnmuted = 5,   ///< the member's camera was turned on
    KLUISDKMeetingUserStartSpeaking = 6,  ///< the member started speaking
    KLUISDKMeetingUserStopSpeaking = 7,   ///< the member stopped speaking
    /// The member's floor (who holds the main view) changed.
    KLUISDKMeetingUserFloorChanged = 8,
};

/// The host's delegate for one meeting. The SDK holds it by shared reference for the
/// meeting's lifetime. Callbacks arrive on SDK threads, not necessarily the main thread;
/// an implementation must return promptly and move UI work to its own thread.
/// Once the meeting window has closed no further callback comes.
class KELVOUISDK_EXPORT KLUISDKMeetingEventDelegate {
public:
    /// Destroyed by whoever holds the last reference: the host, or the SDK when the entry
    /// object goes and the host kept none.
    virtual ~KLUISDKMeetingEventDelegate();

    /// The media connection is up: the user is in the meeting.
    virtual void onMeetingJoined() = 0;

    /// The meeting failed with `code` (a `KLUISDKMeetingErrorCode`). `reason` is a text for
    /// logs, or a null QString when there is none. Unless the meeting was configured with
    /// "allowNoMic", the meeting window closes afterwards.
    virtual void onError(int code, const QString &reason) = 0;

    /// The meeting ended for this user with `reason` (a `KLUISDKMeetingFinishReason`);
    /// `text` may be a null QString. The meeting window closes.
    virtual void onMeetingFinish(int reason, const QString &text) = 0;

    /// Optional: a participant's state changed (`event` is a `KLUISDKMeetingUserEvent`).
    /// `user` is a snapshot made for this call; the host may keep it. The default
    /// implementation ignores it.
    virtual void onMeetingUserStatusChange(const std::shared_ptr<KLSDKMeetingUser> &user,
                                           int event);
};
