#pragma once

// What the signalling event handler may read and change in the meeting it serves. The
// conference service implements it; the handler keeps no meeting state of its own beyond the
// offline-notification throttle, so every flag, feed, registry call and action below is the
// service's.
//
// Threads: the handler calls in from the signal channel's queue (every push) and from the
// main thread (the throttle's timer posts through `notificationObject`). Implementations guard
// their own state.

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <memory>

class KLFeedClient;
class KLSDKMeetingUser;

class KLSignalingEventContext {
public:
    using FeedPtr = std::shared_ptr<KLFeedClient>;

    virtual ~KLSignalingEventContext() = default;

    // ---- Meeting flags --------------------------------------------------------------

    /// 0 ordinary meeting, 1 multi-projector session.
    virtual qint64 conferenceMode() const = 0;
    /// False once the meeting information named an MCU appointment; several rules differ.
    virtual bool isPallasMeeting() const = 0;
    /// A maker-internal meeting (HTTP meeting API, staff rules).
    virtual bool isVanInternal() const = 0;
    /// The client configuration marks the user as staff.
    virtual bool isStaff() const = 0;
    /// The local user is the meeting's master.
    virtual bool isMaster() const = 0;
    /// A multi-projector session this instance sends (entered from the sender side).
    virtual bool isEnterMultiProjectorFromSender() const = 0;
    /// Set once the user leaves by their own action; forced hang-ups are ignored from then on.
    virtual bool isLeavingRoomBySelf() const = 0;

    /// The entry's "mute until the server confirms" stage.
    virtual bool isMuteInitStage() const = 0;
    virtual void setIsMuteInitStage(bool value) = 0;
    /// The user asked to enter with the microphone (camera) off.
    virtual bool isEnterRoomAudioShouldMute() const = 0;
    virtual void setIsEnterRoomAudioShouldMute(bool value) = 0;
    virtual bool isEnterRoomVideoShouldMute() const = 0;
    virtual void setIsEnterRoomVideoShouldMute(bool value) = 0;
    /// The local user is alone in the meeting.
    virtual void setIsOnlyPersonEnterRoom(bool alone) = 0;

    /// A member list was already handled once by this service.
    virtual bool isFirstWssConnect() const = 0;
    virtual void setIsFirstWssConnect(bool value) = 0;
    /// The multi-projector sender found no meeting room among the registered feeds.
    virtual void setIsOnlyPersonFromEnterForMultiProjector(bool value) = 0;
    /// The meeting audio of a projection was opened.
    virtual void setIsOpenAudioMeetingForMultiProjector(bool value) = 0;

    /// The meeting offers the summary (captions) at all.
    virtual bool isShowMeetingSummaryModule() const = 0;
    /// Records whether the summary runs and in which language (null text when stopped).
    virtual void setSummaryState(bool open, const QString &language) = 0;
    /// The local user switched the summary on (off) and its echo has not come back yet.
    virtual bool startMeetingNoteBySelf() const = 0;
    virtual void setStartMeetingNoteBySelf(bool value) = 0;
    virtual bool stopMeetingNoteBySelf() const = 0;
    virtual void setStopMeetingNoteBySelf(bool value) = 0;

    // ---- Feeds and the participant registry -----------------------------------------

    /// The own main feed; null before the join created it.
    virtual FeedPtr publisher() const = 0;
    /// The feed in the main view; may be null.
    virtual FeedPtr displayingClient() const = 0;
    /// The registered feed with this uuid, or null (also for an empty uuid).
    virtual FeedPtr clientWithUUID(const QString &uuid) const = 0;
    /// Every registered feed, in registration order (a copy).
    virtual QList<FeedPtr> participants() const = 0;
    virtual void setFloorChangeFeed(FeedPtr feed) = 0;
    /// Registers a member list (participant objects, persons first).
    virtual void addParticipants(const QJsonArray &participants) = 0;
    /// Unregisters and closes the feed.
    virtual void removeClient(FeedPtr feed) = 0;
    /// Unsubscribes a remote feed's stream; closes the publisher.
    virtual void closeClient(FeedPtr feed) = 0;
    /// Chooses the main view's feed again.
    virtual void displayClientAutomatically() = 0;

    // ---- Actions --------------------------------------------------------------------

    /// Asks the window to leave with `reason` (ignored while leaving).
    virtual void hangupWithReason(int reason) = 0;
    /// Turns the reception of the feed's video stream on or off.
    virtual void streamVideo(FeedPtr feed, bool enabled) = 0;
    /// Tells the host through the meeting's event delegate (codes 0–8).
    virtual void meetingUserStatusChanged(const std::shared_ptr<KLSDKMeetingUser> &user,
                                          int event) = 0;
    /// Hands one caption line to the meeting notes.
    virtual void pushSubTitle(const QJsonObject &subTitle) = 0;
    /// Offers to call the meeting rooms that are neither in the meeting nor being called.
    /// Called on the signal channel's queue; the implementation moves to the main thread.
    virtual void showCallRoomDialog() = 0;
    /// The sender of the notifications the handler posts (the conference service).
    virtual const void *notificationObject() const = 0;
};
