#pragma once

// What the media event handler may read and change in the meeting it serves. The conference
// service implements it; the handler keeps no meeting state of its own, so every flag, feed,
// registry look-up and action below is the service's.
//
// Threads: the handler calls in from engine threads, the signal channel's queue and one pool
// thread (engine messages). Implementations guard their own state.

#include "media/KLRTCMediaTypes.h"

#include <QDateTime>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <memory>
#include <optional>

class KLConferenceManagerProtocol;
class KLFeedClient;
class KLRTCMediaConnection;
class KLSDKMeetingApiProtocol;

class KLMediaEventContext {
public:
    using FeedPtr = std::shared_ptr<KLFeedClient>;

    virtual ~KLMediaEventContext() = default;

    // ---- Meeting flags --------------------------------------------------------------

    /// 0 ordinary meeting, 1 multi-projector session.
    virtual int conferenceMode() const = 0;
    /// This instance receives a multi-projector cast (false for a sender).
    virtual bool multiProjectorReceive() const = 0;
    /// False once the meeting information named an MCU appointment.
    virtual bool isPallasMeeting() const = 0;
    virtual bool isVideoMeeting() const = 0;
    virtual bool enterRoomSuccess() const = 0;
    virtual void setEnterRoomSuccess(bool success) = 0;
    virtual bool isRefreshStage() const = 0;
    virtual void setIsRefreshStage(bool refreshing) = 0;
    /// Set once the user leaves; forced hang-ups are ignored from then on.
    virtual bool isLeavingRoomBySelf() const = 0;
    /// The engine's own signalling channel.
    virtual bool mediaChannelConnected() const = 0;
    virtual void setMediaChannelConnected(bool connected) = 0;
    /// The conference signal channel.
    virtual bool meetingChannelConnected() const = 0;
    virtual void setMeetingChannelConnected(bool connected) = 0;
    /// A refresh in a multi-projector session found a local screen share to restore.
    virtual bool isSelfShareForMultiProjector() const = 0;
    virtual bool isShowBeauty() const = 0;
    virtual bool isSpeakerOpen() const = 0;
    virtual bool isMuteInitStage() const = 0;
    virtual bool isEnterRoomAudioShouldMute() const = 0;
    virtual bool isEnterRoomVideoShouldMute() const = 0;
    /// A maker-internal meeting (internal users end sessions by closing the app).
    virtual bool isVanInternal() const = 0;
    /// The client configuration marks the user as staff.
    virtual bool isStaff() const = 0;
    /// When entering started; invalid before.
    virtual QDateTime startEnterTimer() const = 0;
    virtual QJsonValue appointmentId() const = 0;
    virtual QString projectId() const = 0;
    /// Remembers the uuid of a screen share that belongs to someone else.
    virtual void setShareScreenCacheId(const QString &uuid) = 0;

    // ---- Media connection -----------------------------------------------------------

    /// The live connection; null before it exists and after the engine released it.
    virtual std::shared_ptr<KLRTCMediaConnection> mediaConnection() const = 0;
    /// The engine released the connection (event 19): forget it without calling it again.
    virtual void dropMediaConnection() = 0;

    // ---- Feeds and the participant registry -----------------------------------------

    /// The own main feed; null before the join created it.
    virtual FeedPtr publisher() const = 0;
    /// The feed in the main view; may be null.
    virtual FeedPtr displayingClient() const = 0;
    virtual FeedPtr clickedFeed() const = 0;
    virtual void setClickedFeed(FeedPtr feed) = 0;
    virtual FeedPtr lockedFeed() const = 0;
    virtual void setLockedFeed(FeedPtr feed) = 0;
    virtual FeedPtr remoteShareScreenFeed() const = 0;
    virtual void setRemoteShareScreenFeed(FeedPtr feed) = 0;
    /// The registered feed with this uuid, or null.
    virtual FeedPtr clientWithUUID(const QString &uuid) const = 0;
    /// The registered feed whose stream id (its uuid) is `streamId`, or null.
    virtual FeedPtr clientWithStreamId(const QString &streamId) const = 0;
    virtual void addClient(FeedPtr feed) = 0;
    virtual void removeClient(FeedPtr feed) = 0;
    /// Locks `feed` as the main view's feed.
    virtual void lockClientFeed(FeedPtr feed) = 0;
    /// Chooses the main view's feed again.
    virtual void displayClientAutomatically() = 0;
    /// The own screen-share feed while the own screen is shared, else null.
    virtual FeedPtr shareScreenLocalClient() const = 0;
    /// What new feeds hold as their meeting.
    virtual std::weak_ptr<KLConferenceManagerProtocol> feedManager() const = 0;

    // ---- Devices (the device manager's current choice) ------------------------------

    virtual std::optional<KLRTCMediaDevice> currentAudioInput() const = 0;
    virtual std::optional<KLRTCMediaDevice> currentAudioOutput() const = 0;
    virtual std::optional<KLRTCMediaDevice> currentVideoInput() const = 0;
    /// Cameras the engine lists.
    virtual int cameraCount() const = 0;

    // ---- Actions --------------------------------------------------------------------

    /// Asks the window to leave with `reason` (ignored while leaving).
    virtual void hangupWithReason(int reason) = 0;
    /// Tears media and signalling down and enters again.
    virtual void refresh() = 0;
    /// Restarts ICE now, or once both channels are up again.
    virtual void iceConnectionRestart() = 0;
    /// Performs a pending ICE restart.
    virtual void checkForMeetingStatus() = 0;
    virtual void stopShare() = 0;
    virtual void desktopShare() = 0;
    /// Creates and initialises the placeholder stream ("fakeStream").
    virtual void noAudioVideoStream() = 0;
    virtual void stopEnterTimeoutCheck() = 0;
    /// Passed on to the connection.
    virtual void muteSpeaker(bool muted) = 0;
    /// Creates a stream with `mediaDictionary`, the service as its delegate, and initialises it.
    virtual void createLocalStream(const QJsonObject &mediaDictionary) = 0;
    /// Starts the media and hardware status reporters.
    virtual void startStatusReporters() = 0;
    /// Stops the conference signal channel's signalling.
    virtual void stopSignaling() = 0;
    /// Host events through the meeting's event delegate.
    virtual void onMeetingJoined() = 0;
    virtual void onError(int code, const QString &reason) = 0;
    /// Tells the layout the meeting has been entered.
    virtual void dataSourceEnterRoomSuccess() = 0;
    /// Null once the meeting was torn down.
    virtual std::shared_ptr<KLSDKMeetingApiProtocol> meetingApi() const = 0;
    /// A chat message arrived over the data channel.
    virtual void pushChatMessage(const QJsonValue &content) = 0;
    /// Ends an internal user's session (KLHostUtils::closeApp).
    virtual void closeApp() = 0;
    /// The sender of the notifications the handler posts (the conference service).
    virtual const void *notificationObject() const = 0;
};
