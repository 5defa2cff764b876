#pragma once

// One tile of the meeting as the views see it: a participant, a meeting room or a shared
// screen, with its media stream, its mute flags and the measurements media reporting keeps
// on it, plus the server operations (mute, call, hang up, seize a room) done on its behalf.

#include "gateway/KLSDKMeetingApiProtocol.h"

#include <QDateTime>
#include <QJsonValue>
#include <QMetaType>
#include <QString>

#include <functional>
#include <memory>
#include <mutex>

class KLConferenceManagerProtocol;
class KLParticipant;
class KLCallState;
class KLRTCMediaStream;
class KLRTCMediaVideoRenderView;

class KLFeedClient;

/// The measurements whose changes a stats observer is told about.
enum class KLFeedStat { PacketsSent, InputLevel };

/// Called after `packetsSent` or `iLevel` was set (every time, also when the value did not
/// change), on the setting thread and outside the feed's lock, so it may read the feed.
using KLFeedStatsObserver =
    std::function<void(KLFeedClient &feed, KLFeedStat stat, qint64 oldValue, qint64 newValue)>;

/// A feed. Always owned through std::shared_ptr (see `create`).
///
/// Threads: every member may be called from any thread (signalling queue, engine threads,
/// main thread). The mutable state sits behind one lock per feed; getters return copies, and
/// nothing outside the feed (stream, meeting API, notifications, observer) is called while
/// that lock is held.
class KLFeedClient : public std::enable_shared_from_this<KLFeedClient> {
public:
    /// A feed with the initial values: every flag false except `isReceiveVideoByServer`,
    /// `isWeakNet` 1, `netScore` 4, counters 0, no stream.
    static std::shared_ptr<KLFeedClient> create(QJsonValue appointmentId, QString uuid,
                                                std::weak_ptr<KLConferenceManagerProtocol> manager,
                                                std::shared_ptr<KLParticipant> participant = {});
    /// Stops all rendering of the stream.
    ~KLFeedClient();

    KLFeedClient(const KLFeedClient &) = delete;
    KLFeedClient &operator=(const KLFeedClient &) = delete;

    // ---- Stored fields ----------------------------------------------------------------

    std::weak_ptr<KLConferenceManagerProtocol> conferenceManager() const;
    void setConferenceManager(std::weak_ptr<KLConferenceManagerProtocol> manager);

    /// The member or room shown; may be null.
    std::shared_ptr<KLParticipant> participant() const;
    void setParticipant(std::shared_ptr<KLParticipant> participant);

    /// The remote or local stream; null when there is none.
    std::shared_ptr<KLRTCMediaStream> mediaStream() const;
    void setMediaStream(std::shared_ptr<KLRTCMediaStream> stream);

    /// True for the local user's own feed.
    bool isPublisher() const;
    void setIsPublisher(bool isPublisher);

    QJsonValue appointmentId() const;
    void setAppointmentId(const QJsonValue &appointmentId);
    /// Stream or member id; "screen-" prefixed for a screen share.
    QString uuid() const;
    void setUuid(const QString &uuid);

    /// Display name as shown: the participant's display name, else the stored one, else "".
    QString display() const;
    /// Stores the fallback display name.
    void setDisplay(const QString &display);
    /// Employee id: the stored one, else the participant's, else "".
    QString empId() const;
    /// Stores the preferred employee id.
    void setEmpId(const QString &empId);

    /// Media type of the feed, e.g. "screen" or "content".
    QString mtype() const;
    void setMtype(const QString &mtype);

    /// The screen-share feed belonging to this member; may be null.
    std::shared_ptr<KLFeedClient> associcateShareFeed() const;
    void setAssocicateShareFeed(std::shared_ptr<KLFeedClient> shareFeed);

    /// Local mute state. Setting either also mutes or unmutes the stream's track.
    bool audioMuted() const;
    void setAudioMuted(bool muted);
    bool videoMuted() const;
    void setVideoMuted(bool muted);

    /// Stored only; `isFreeSwitchFeed()` reads the uuid instead.
    void setIsFreeSwitchFeed(bool isFreeSwitchFeed);
    bool isFakeFeed() const;
    void setIsFakeFeed(bool isFakeFeed);
    bool isMcuFeed() const;
    void setIsMcuFeed(bool isMcuFeed);
    bool floorChange() const;
    void setFloorChange(bool floorChange);
    bool isShowInTheBottem() const;
    void setIsShowInTheBottem(bool isShowInTheBottem);
    bool isLocked() const;
    void setIsLocked(bool isLocked);
    bool isReceiveVideoByServer() const;
    void setIsReceiveVideoByServer(bool receive);
    bool isReceiveVideoByClient() const;
    void setIsReceiveVideoByClient(bool receive);
    bool projectorBySelf() const;
    void setProjectorBySelf(bool projectorBySelf);
    bool isExtensionEnter() const;
    void setIsExtensionEnter(bool isExtensionEnter);
    bool isCellPhoneEnter() const;
    void setIsCellPhoneEnter(bool isCellPhoneEnter);

    /// Weak-network level (1 = fine).
    qint64 isWeakNet() const;
    void setIsWeakNet(qint64 level);
    qint64 netScore() const;
    void setNetScore(qint64 score);
    /// Audio input level; setting it notifies the stats observer.
    qint32 iLevel() const;
    void setILevel(qint32 level);
    /// Sent audio packets; setting it notifies the stats observer.
    qint64 packetsSent() const;
    void setPacketsSent(qint64 packetsSent);
    qint32 noAudioCount() const;
    void setNoAudioCount(qint32 count);
    qint32 noILevelCount() const;
    void setNoILevelCount(qint32 count);
    bool noAudioFlag() const;
    void setNoAudioFlag(bool flag);
    bool noILevelFlag() const;
    void setNoILevelFlag(bool flag);
    /// Last time speech was seen; invalid when never.
    QDateTime speakingDate() const;
    void setSpeakingDate(const QDateTime &date);

    qint32 multiProjectRejectCode() const;
    void setMultiProjectRejectCode(qint32 code);
    QString roomBusyStatusForMultiProjector() const;
    void setRoomBusyStatusForMultiProjector(const QString &status);
    bool isMultiScreenSender() const;
    void setIsMultiScreenSender(bool sender);
    bool isMultiScreenReceive() const;
    void setIsMultiScreenReceive(bool receive);
    bool isMultiScreenAccept() const;
    void setIsMultiScreenAccept(bool accept);

    /// Installs (or, with an empty function, removes) the observer of `packetsSent`/`iLevel`.
    void setStatsObserver(KLFeedStatsObserver observer);

    // ---- Derived values ---------------------------------------------------------------

    /// `uuid`, with every "screen-" removed for a screen-share feed.
    QString participantUUID() const;
    /// Alias name, else last name, else `display()`, else "".
    QString vanName() const;
    /// mtype "screen" or "content", or uuid "content" or starting with "screen-".
    bool isShareScreen() const;
    /// Always for a screen share; otherwise the call state says online.
    bool isOnline() const;
    /// Online with both extension and cell phone in the call.
    bool isExtensionAndCellPhoneOnline() const;
    bool isCalling() const;
    /// The call state's mute value is 2 (speaking).
    bool isSpeaking() const;
    /// The participant is a meeting room (member type 2).
    bool isMeetingRoom() const;
    /// A meeting room of the room-system kind (room type 1).
    bool isCisioRoom() const;
    /// Whether the audio of a multi-projector session is connected: cell phone for a person,
    /// extension for a room.
    bool isMultiProjectorAudioOpen() const;
    bool isMultiProjectorSender() const;
    bool isMultiProjectorReceive() const;
    bool isMultiProjectorAccept() const;
    /// The uuid is "freeswitch".
    bool isFreeSwitchFeed() const;
    /// A stream is present and carries engine media (an audio or a video track).
    bool hasRTCMedia() const;
    /// The stream has a video track.
    bool hasVideoMedia() const;
    /// Publisher: the stream's audio track is enabled (false without a stream); others: not
    /// `audioMuted`.
    bool audioEnabled() const;
    /// Publisher: the stream's video track is enabled (false without a stream); others: not
    /// `videoMuted`.
    bool videoEnabled() const;

    // ---- Rendering and the stream -----------------------------------------------------

    /// Plays the stream into `view` when the feed has RTC media.
    void addRenderer(const std::shared_ptr<KLRTCMediaVideoRenderView> &view);
    /// Shows the local preview in `view` when the feed has RTC media.
    void addPreview(const std::shared_ptr<KLRTCMediaVideoRenderView> &view);
    /// Stops playing into every view.
    void stopAllRender();
    /// Stops playing into `view`; without RTC media, clears the view's stream id when it shows
    /// this feed.
    void removeRenderer(const std::shared_ptr<KLRTCMediaVideoRenderView> &view);
    /// Passes `muted` unchanged to the stream's muteAudio.
    void enableAudioTrack(bool muted);
    /// Passes `muted` unchanged to the stream's muteVideo.
    void enableVideoTrack(bool muted);
    /// Closes and drops the stream and resets the measurements and per-stream flags;
    /// participant, names and role flags stay.
    void close();

    // ---- Server operations (KLFeedClientOperations.cpp) -------------------------------

    /// Sets `audioMuted`; with `toServer`, for an online participant, also asks the server.
    void muteAudio(bool muted, bool toServer);
    /// Sets `videoMuted`; with `toServer` and a participant, also asks the server. Muting the
    /// own feed announces "AudioVideoChangeNotification" first.
    void muteVideo(bool muted, bool toServer);
    /// Asks the server to unmute the member (used when extension and cell phone are both in).
    void unmuteCellPhoneWhenExtensionCellphoneBothOnline();
    /// Hangs up the member's phones ("Pallas,FreeSWITCH").
    void hangupConferenceCall();
    /// Hangs up the member's cell phone ("FreeSWITCH").
    void hangupConferenceCellCall();
    /// Hangs up an MCU member: "ALL", "McuTelephone" or "McuExtension" depending on state.
    void hangupMcuConferenceCall();
    /// Calls `number` of `type` into the meeting. Nothing happens (no block either) when
    /// number or type is empty. A failure with a room-busy code also shows its dialog.
    void callMemberInternalWithNumber(const QString &number, const QString &type,
                                      KLApiSuccessBlock success, KLApiFailureBlock failure);
    /// Seizes the busy meeting room.
    void robRoom();
    /// Calls the participant's cell phone; without one, `failure("", "")` at once.
    void makeCellPhoneCallWithSuccessBlock(KLApiSuccessBlock success, KLApiFailureBlock failure);
    /// Calls the cell phone and only logs the outcome.
    void makeConferenceCellCall();
    /// Calls the extension, else the cell phone, else nothing.
    void makeConferenceCall();
    /// Shows the dialog for a room-busy error code; other codes show nothing.
    void meetingRoomCallError(const QString &code);

private:
    KLFeedClient(QJsonValue appointmentId, QString uuid,
                 std::weak_ptr<KLConferenceManagerProtocol> manager,
                 std::shared_ptr<KLParticipant> participant);

    struct State {
        std::weak_ptr<KLConferenceManagerProtocol> conferenceManager;
        std::shared_ptr<KLParticipant> participant;
        std::shared_ptr<KLRTCMediaStream> mediaStream;
        std::shared_ptr<KLFeedClient> associcateShareFeed;
        QJsonValue appointmentId;
        QString uuid;
        QString display;
        QString empId;
        QString mtype;
        QString roomBusyStatusForMultiProjector;
        QDateTime speakingDate;
        qint64 isWeakNet = 1;
        qint64 netScore = 4;
        qint64 packetsSent = 0;
        qint32 iLevel = 0;
        qint32 noAudioCount = 0;
        qint32 noILevelCount = 0;
        qint32 multiProjectRejectCode = 0;
        bool isPublisher = false;
        bool audioMuted = false;
        bool videoMuted = false;
        bool isFreeSwitchFeed = false;
        bool isFakeFeed = false;
        bool isMcuFeed = false;
        bool floorChange = false;
        bool isShowInTheBottem = false;
        bool isLocked = false;
        bool isReceiveVideoByServer = true;
        bool isReceiveVideoByClient = false;
        bool projectorBySelf = false;
        bool isExtensionEnter = false;
        bool isCellPhoneEnter = false;
        bool noAudioFlag = false;
        bool noILevelFlag = false;
        bool isMultiScreenSender = false;
        bool isMultiScreenReceive = false;
        bool isMultiScreenAccept = false;
        KLFeedStatsObserver statsObserver;
    };

    template <class T>
    T read(T State::*field) const;
    template <class T>
    void write(T State::*field, T value);

    std::shared_ptr<KLCallState> callState() const;
    bool isShareScreenLocked() const;
    void notifyStat(KLFeedStat stat, qint64 oldValue, qint64 newValue);
    std::shared_ptr<KLSDKMeetingApiProtocol> meetingApi() const;
    void hangupWithType(const QString &type);
    void showRoomBusyDialog(const QString &title, bool offerSeize);

    mutable std::mutex m_mutex;
    State m_state;
};

Q_DECLARE_METATYPE(std::shared_ptr<KLFeedClient>)
