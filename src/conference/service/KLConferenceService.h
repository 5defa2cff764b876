#pragma once

// The meeting: one KLConferenceService per meeting (or per multi-projector run) holds the
// whole meeting state, runs the join sequence up to the media connection, and reacts to the
// media engine and the signal channel. The participant registry and the media event handling
// are components of their own (KLParticipantRegistry, KLMediaEventHandler); the service owns
// them and answers what they ask through small adapters, so that each can be tested alone.
//
// Threads: `joinMeeting`, the share and device operations and the views' calls arrive on the
// main thread; meeting-service answers on the API's queue; engine callbacks on engine threads;
// signal-channel callbacks on the channel's queue. Flags are atomics, everything else sits
// behind `m_mutex`; no lock is held while calling out. Every asynchronous block holds the
// service weakly, so a destroyed service is never called back.
//
// Create it with `create()` (it must live in a shared_ptr) and call `leave()` before letting
// it go; `leave()` is idempotent and safe from any thread, also from inside a callback.

#include "conference/join/KLClientConfiguration.h"
#include "conference/registry/KLConferenceManagerProtocol.h"
#include "media/KLRTCCommonWebRtcMsgManager.h"
#include "media/KLRTCMediaConnection.h"
#include "media/KLRTCMediaStream.h"
#include "signalling/KLConferenceSignalChannel.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>

#include <atomic>
#include <memory>
#include <mutex>

class KLConferenceManagerDataSource;
class KLConferenceItemModel;
class KLFeedClient;
class KLHardwareStatusService;
class KLMediaEventHandler;
class KLMediaStatusService;
struct KLMeetingInformation;
class KLParticipantRegistry;
class KLRTCMediaLocalTurnDetect;
class KLRTCMediaVideoRenderView;
class KLSDKMeetingConfigInternal;
class KLSDKMeetingEventDelegate;
class KLTimer;
struct KLRTCMediaDevice;

using KLFeedPtr = std::shared_ptr<KLFeedClient>;

/// Leave reasons handed to the layout's `leaveRoomWithReason`.
enum KLLeaveReason : int {
    KLLeaveReasonRemoved = 0,
    KLLeaveReasonJoinedElsewhere = 1,
    KLLeaveReasonRegisterFailed = 2,
    KLLeaveReasonMediaFailed = 3,
    KLLeaveReasonSystemSleep = 4,
    KLLeaveReasonNetworkLost = 5,
    KLLeaveReasonRoomFull = 6,
    KLLeaveReasonRoomLocked = 7,
    KLLeaveReasonMicrophoneDenied = 8,
    KLLeaveReasonCameraDenied = 9,
    KLLeaveReasonEnterTimeout = 10,
};

class KLConferenceService final : public KLConferenceManagerProtocol,
                                  public KLRTCMediaConnectionDelegate,
                                  public KLRTCMediaStreamDelegate,
                                  public KLRTCCommonWebRtcMsgManagerDelegate,
                                  public KLConferenceSignalChannelDelegate,
                                  public std::enable_shared_from_this<KLConferenceService> {
public:
    /// A meeting: the API kind follows the configuration's `isVanInternal`.
    static std::shared_ptr<KLConferenceService>
    create(std::shared_ptr<KLSDKMeetingConfigInternal> meetingConfig,
           std::weak_ptr<KLSDKMeetingEventDelegate> delegate);
    /// A multi-projector run (mode 1 and above) or, with mode 0, a meeting of an internal user
    /// identified only by its conference id.
    static std::shared_ptr<KLConferenceService>
    create(const QString &conferenceId, qint64 mode, bool isReceive, const QString &projectId,
           std::shared_ptr<KLSDKMeetingConfigInternal> meetingConfig = nullptr,
           std::weak_ptr<KLSDKMeetingEventDelegate> delegate = {});
    ~KLConferenceService() override;
    KLConferenceService(const KLConferenceService &) = delete;
    KLConferenceService &operator=(const KLConferenceService &) = delete;

    // --- Join -----------------------------------------------------------------------------
    /// Main thread. Starts the join sequence; the outcome reaches the delegate.
    void joinMeeting();
    /// Runs a fresh entry with the stored meeting information (media and signalling again,
    /// no configuration or meeting-information fetch).
    void refresh();
    /// Ends all media and signalling of this meeting. Idempotent, any thread.
    void leave();
    /// Hands `reason` to the layout once; ignored after `leave`.
    void hangupWithReason(int reason);
    void iceConnectionRestart();
    void checkForMeetingStatus();

    // --- Share and devices ----------------------------------------------------------------
    bool isValidToVisitScreenRecording() const;
    void desktopShare();
    void stopShare();
    void noAudioVideoStream();
    void changeAudioInputDevice(const KLRTCMediaDevice &device);
    void changeAudioOutputDevice(const KLRTCMediaDevice &device);
    void changeVideoInputDevice(const KLRTCMediaDevice &device);
    void muteSpeaker(bool muted);
    void enableHDVideo(const KLFeedPtr &feed);
    void streamVideo(const KLFeedPtr &feed, bool enabled);
    bool checkMicphoneAvailable() const { return m_isMicrophoneAvailable; }
    std::shared_ptr<KLRTCMediaVideoRenderView> rendererViewForClient(const KLFeedPtr &feed);
    std::shared_ptr<KLRTCMediaVideoRenderView> previewRendererViewForClient(const KLFeedPtr &feed);
    void updateRendererViewContent(const KLFeedPtr &feed);

    // --- Registry (forwarded to the registry component) ------------------------------------
    KLParticipantRegistry &registry() const { return *m_registry; }
    KLFeedPtr publisher() const;
    KLFeedPtr clientWithUUID(const QString &uuid) const;
    QList<KLFeedPtr> memberList() const;
    void displayClientAutomatically();
    void lockClientFeed(const KLFeedPtr &feed);
    void clickedClientFeed(const KLFeedPtr &feed);
    QList<KLFeedPtr> smallClients();
    /// Registers a member list (JSON objects of participants).
    void addParticipants(const QJsonArray &participants);

    // --- Reads for the views ---------------------------------------------------------------
    void setDataSource(std::weak_ptr<KLConferenceManagerDataSource> dataSource);
    std::shared_ptr<KLConferenceManagerDataSource> dataSource() const;
    std::shared_ptr<KLSDKMeetingEventDelegate> delegate() const;
    std::shared_ptr<KLSDKMeetingConfigInternal> meetingConfig() const { return m_meetingConfig; }
    QString conferenceId() const { return m_conferenceId; }
    qint64 conferenceMode() const { return m_conferenceMode; }
    QString projectId() const { return m_projectId; }
    bool multiProjectorReceive() const { return m_multiProjectorReceive; }
    bool isEnterMultiProjectorFromSender() const { return !m_multiProjectorReceive; }
    QString appointmentId() const;
    QString uuid() const;
    QString empId() const;
    QString masterEmpId() const;
    bool isMaster() const;
    QString meetingRateUrl() const;
    QString meetingSummaryRtShowUrl() const;
    QJsonObject meetingInfo() const;
    QJsonObject bizInfo() const;
    QJsonObject rtcWsInfo() const;
    QJsonObject connectionParam() const;
    QJsonArray iceServers() const;
    QJsonArray phoneDialInList() const;
    std::shared_ptr<KLConferenceItemModel> detailAppointment() const;
    std::shared_ptr<KLConferenceSignalChannel> signalingChannel() const;
    KLClientConfiguration clientConfiguration() const;
    bool isPallasMeeting() const { return m_isPallasMeeting; }
    bool isVideoMeeting() const { return m_isVideoMeeting; }
    bool isShowRate() const;
    bool isShowBeauty() const { return m_isShowBeauty; }
    bool isShowMeetingSummaryModule() const { return m_isShowMeetingSummaryModule; }
    bool isOpenSummary() const { return m_isOpenSummary; }
    bool enterRoomSuccess() const { return m_enterRoomSuccess; }
    bool isRefreshStage() const { return m_isRefreshStage; }
    bool isLeavingRoomBySelf() const { return m_isLeavingRoomBySelf; }
    bool isEnterRoomAudioShouldMute() const { return m_isEnterRoomAudioShouldMute; }
    bool isEnterRoomVideoShouldMute() const { return m_isEnterRoomVideoShouldMute; }
    bool isMuteInitStage() const { return m_isMuteInitStage; }
    void setIsMuteInitStage(bool value);
    bool isSpeakerOpen() const { return m_isSpeakerOpen; }
    /// Asks the user for a display name when a guest projection has none stored, before the ICE stage;
    /// the handler gets the step that goes on, to be called once the name is stored. Without a
    /// handler the join goes on with the empty name. Set before `joinMeeting`.
    using KLEnterNameHandler = std::function<void(std::function<void()> proceed)>;
    void setEnterNameHandler(KLEnterNameHandler handler) { m_enterNameHandler = std::move(handler); }
    /// The toolbar's speaker switch; the connection is told separately (`muteSpeaker`).
    void setIsSpeakerOpen(bool open) { m_isSpeakerOpen = open; }
    /// The user is ending the meeting (for everyone): from now on forced leaves are the user's
    /// own, as after `leave`.
    void markLeavingBySelf() { m_isLeavingRoomBySelf = true; }
    bool bAudioCanRecord() const { return m_bAudioCanRecord; }
    bool bVideoCanRecord() const { return m_bVideoCanRecord; }
    void setIsStopMultiScreenStage(bool value) { m_isStopMultiScreenStage = value; }
    /// How many media connections this service has created (one per entry).
    int mediaConnectionCount() const { return m_mediaConnectionCount; }

    // KLConferenceManagerProtocol
    std::shared_ptr<KLSDKMeetingApiProtocol> meetingApi() const override;
    std::shared_ptr<KLRTCMediaConnection> mediaConnection() const override;

    // KLRTCMediaConnectionDelegate
    void rtcConnection(const std::shared_ptr<KLRTCMediaConnection> &connection, int event,
                       const KLRTCMediaEventInfo &info) override;
    // KLRTCMediaStreamDelegate
    void rtcStream(const std::shared_ptr<KLRTCMediaStream> &stream, int state,
                   const QJsonObject &info) override;
    // KLRTCCommonWebRtcMsgManagerDelegate
    void IncomingCommonWebRtcMsg(qint32 type) override;
    void didGetRTCLog(const QString &log) override;
    void didGetMediaError(qint32 code, qint32 reason) override;
    // KLConferenceSignalChannelDelegate
    void didGetConferenceSignalChannelOpenState(bool usable) override;
    void didGetError(qint64 code) override;
    void handleKelvoSignalingMessage(const KLSignalingMessage &message) override;

    class RegistryHost;
    class MediaEventContext;
    class MediaStatusSource;

    // --- Signalling events (KLConferenceServiceSignalling*.cpp) -----------------------------
    class SignalingEventContext;
    /// The signalling event handler every push is forwarded to.
    class KLSignalingEventHandler &signalingEvents() const;
    /// A member list was already handled (the first one's checks of an internal meeting ran).
    bool isFirstWssConnect() const { return m_isFirstWssConnect; }
    /// The local user switched the summary on (off); cleared when its echo (26 / 27) arrives.
    bool startMeetingNoteBySelf() const { return m_startMeetingNoteBySelf; }
    bool stopMeetingNoteBySelf() const { return m_stopMeetingNoteBySelf; }
    /// The multi-projector sender found no meeting room in the first member list.
    bool isOnlyPersonFromEnterForMultiProjector() const
    {
        return m_isOnlyPersonFromEnterForMultiProjector;
    }
    /// The summary's language while it runs; null when stopped.
    QString summaryLanguage() const;
    // --- end of signalling events ------------------------------------------------------------

    // --- Collaboration: chat, notes, captions (KLConferenceServiceCollaboration.cpp) ---------
    class CollaborationContext;
    /// What the chat and the notes panel see of this meeting (the adapter is defined in
    /// KLConferenceServiceCollaborationContext.h); the notes panel is created with it.
    std::shared_ptr<CollaborationContext> collaborationContext() const;
    /// One chat message {"source": the own feed's uuid, "text"}: shown to the sender at once
    /// through the chat manager and sent to everyone as {"type": "chatMsg", "content"} on the
    /// media connection's data channel. Any thread.
    void sendChatMessage(const QString &text);
    // --- end of collaboration ----------------------------------------------------------------

    // --- Multi-projector (KLConferenceServiceMultiProjector.cpp) -----------------------------
    class MultiProjectorContext;
    /// What the multi-projector session reads and changes of this meeting (the adapter is
    /// defined in KLConferenceServiceMultiProjectorContext.h).
    std::shared_ptr<MultiProjectorContext> multiProjectorContext() const;
    // Member filters over the registered feeds (see KLMultiProjectorMembers.h).
    QList<KLFeedPtr> participantsWithMultiProjector() const;
    /// The current share's owner first, then every other receiver.
    QList<KLFeedPtr> participantsWithMultiProjectorViewerList() const;
    QList<KLFeedPtr> screenReceiveOtheMembersForMultiProjector() const;
    QList<KLFeedPtr> noRecvShareMemberForMultiProjector() const;
    QList<KLFeedPtr> noRecvShareMemberOfRoomForMultiProjector() const;
    QList<KLFeedPtr> audioOnlineMembersForMultiProjectorWithSelf(bool withSelf) const;
    QString audioOfflineUuidsForMultiProjectorWithSelf(bool withSelf) const;
    bool isOnlyPersonCallNotOnlineForMultiProjector() const;
    /// The accompanying audio meeting is open (opened by the user, the meeting detail or
    /// signalling).
    bool isOpenAudioMeetingForMultiProjector() const { return m_isOpenAudioMeetingForMultiProjector; }
    void setIsOpenAudioMeetingForMultiProjector(bool open) { m_isOpenAudioMeetingForMultiProjector = open; }
    /// The window asked for the audio meeting when it started the cast.
    bool openAudioFromJSForMultiProjector() const { return m_openAudioFromJSForMultiProjector; }
    void setOpenAudioFromJSForMultiProjector(bool withAudio) { m_openAudioFromJSForMultiProjector = withAudio; }
    /// A sender entered a meeting without any meeting room (set by the member list).
    // isOnlyPersonFromEnterForMultiProjector() is declared with the signalling events, which
    // set it from the first member list; the flag itself lives there too.
    void setIsOnlyPersonFromEnterForMultiProjector(bool alone) { m_isOnlyPersonFromEnterForMultiProjector = alone; }
    /// The cast is being ended: further end requests only leave.
    bool isStopMultiScreenStage() const { return m_isStopMultiScreenStage; }
    /// Uuid of the last foreign screen share seen; empty when none.
    QString shareScreenCacheId() const;
    /// The host's answer about the room projectors ("QueryProjectorStatus"): when one of
    /// `screenCodeList` (any letter case) is the screen code of an online meeting room, the
    /// cached foreign share is the user's own cast through that room's projector.
    void queryProjectorStatus(bool isProjectorWorking, const QStringList &screenCodeList);
    // --- end of multi-projector --------------------------------------------------------------

private:
    KLConferenceService(const QString &conferenceId, qint64 mode, bool isReceive,
                        const QString &projectId,
                        std::shared_ptr<KLSDKMeetingConfigInternal> meetingConfig,
                        std::weak_ptr<KLSDKMeetingEventDelegate> delegate);
    void setUp();
    void observeNotifications();
    std::weak_ptr<KLConferenceService> weakSelf() { return weak_from_this(); }

    // Join steps, in order (KLConferenceServiceJoin.cpp).
    std::shared_ptr<KLConferenceSignalChannel> makeSignalChannel();
    void getConfig();
    void fetchConfiguration();
    void applyClientConfiguration(const KLClientConfiguration &configuration);
    void clientConfigFailed(const QString &code, const QString &message, bool stopsJoin);
    void enterIceStage();
    void getIceServerList();
    void localTurnServerDetect(const QJsonArray &iceServers);
    void memberUUid();
    void getMeetingInfo(const std::optional<QJsonObject> &detection);
    void meetingInfoReceived(const QJsonValue &payload);
    void applySummaryState(const KLMeetingInformation &info);
    void meetingInfoFailed(const QString &code, const QString &message);

    // Entry (KLConferenceServiceEntry.cpp); a refresh starts again at handleEnterMeeting.
    void handleEnterMeeting(const QJsonObject &reply);
    void initBizInfo(const KLMeetingInformation &info);
    void initRtcWsRegInfo(const KLMeetingInformation &info);
    void setSubBizType(const QString &subBizType);
    void prepareSignalChannelForEntry();
    void registerOwnFeed(const KLMeetingInformation &info);
    void getDetailAppointment();
    void detailAppointmentReceived(const QJsonValue &payload);
    void applyAppointmentDetail(const KLConferenceItemModel &detail);
    void detailAppointmentFailed(const QString &code, const QString &message);
    void checkBeautyIsAvailable();
    void notifactionPublish();
    void checkPermissions();
    void startConnection();
    void checkDeviceManager();
    void reportMissingDevice(const QString &errMsg, const QString &reason,
                             const QString &dialogKey);
    void reportMissingMicrophone();
    void createMediaConnection();
    void startEnterTimeoutCheck();
    void stopEnterTimeoutCheck();
    void checkEnterRoomStatus();
    void showLeaveDialog(const QString &title, std::function<void()> onPress);
    void reportProjectorStartFailed();
    void projectorFailure(int status, const QJsonObject &messages);

    // Leaving (KLConferenceServiceLeaving.cpp).
    void stopReporters();
    void tearDownMedia();
    void tearDownSignalling();
    void systemWillSleep();

    // Media.
    std::shared_ptr<KLRTCMediaStream> createLocalStream(const QJsonObject &mediaDictionary);
    void dropMediaConnection();

    // Signalling events: private part (KLConferenceServiceSignalling*.cpp).
    void setUpSignalingEvents();
    void observeMeetingNoteSwitches();
    std::shared_ptr<SignalingEventContext> m_signalingContext;
    std::shared_ptr<KLSignalingEventHandler> m_signalingEvents;
    std::atomic<bool> m_isFirstWssConnect{false};
    std::atomic<bool> m_startMeetingNoteBySelf{false};
    std::atomic<bool> m_stopMeetingNoteBySelf{false};
    std::atomic<bool> m_isOnlyPersonFromEnterForMultiProjector{false};
    // --- end of private signalling events ---

    // Collaboration: private part (KLConferenceServiceCollaboration.cpp).
    void setUpCollaboration();
    std::shared_ptr<CollaborationContext> m_collaborationContext;
    // --- end of private collaboration ---

    // Multi-projector: private part (KLConferenceServiceMultiProjector.cpp).
    void setUpMultiProjector();
    KLFeedPtr multiProjectorShareOwner() const;
    std::shared_ptr<MultiProjectorContext> m_multiProjectorContext;
    std::atomic<bool> m_openAudioFromJSForMultiProjector{false};
    // --- end of private multi-projector ---

    // Fixed at construction.
    const QString m_conferenceId;
    const qint64 m_conferenceMode;
    const bool m_multiProjectorReceive;
    const QString m_projectId;
    std::shared_ptr<KLSDKMeetingConfigInternal> m_meetingConfig;
    std::weak_ptr<KLSDKMeetingEventDelegate> m_delegate;
    std::shared_ptr<KLSDKMeetingApiProtocol> m_meetingApi;

    // Components. The registry keeps a reference to its host, so the host is declared first
    // and outlives it.
    std::shared_ptr<RegistryHost> m_registryHost;
    std::unique_ptr<KLParticipantRegistry> m_registry;
    std::shared_ptr<MediaEventContext> m_mediaContext;
    std::shared_ptr<KLMediaEventHandler> m_mediaEvents;
    std::shared_ptr<MediaStatusSource> m_mediaStatusSource;
    std::unique_ptr<KLMediaStatusService> m_mediaStatus;
    std::unique_ptr<KLHardwareStatusService> m_hardWareStatus;

    // Guarded by m_mutex.
    mutable std::mutex m_mutex;
    std::weak_ptr<KLConferenceManagerDataSource> m_dataSource;
    QString m_empId;
    QString m_masterEmpId;
    QString m_uuid;
    QString m_appointmentId;
    QString m_rtcServerWsUrl;
    QString m_pallasSid;
    QString m_summaryLanguage;
    QString m_shareScreenCacheId;
    QJsonObject m_meetingInfo;
    QJsonObject m_bizInfo;
    QJsonObject m_rtcWsInfo;
    QJsonObject m_connectionParam;
    QJsonArray m_iceServers;
    QJsonArray m_phoneDialInList;
    QJsonArray m_publicIpList;
    QJsonArray m_relayIpList;
    std::shared_ptr<KLConferenceItemModel> m_detailAppointment;
    KLClientConfiguration m_clientConfiguration;
    QDateTime m_startEnterTimer;
    std::shared_ptr<KLRTCMediaConnection> m_mediaConnectionObject;
    std::shared_ptr<KLRTCMediaLocalTurnDetect> m_mediaServerLocalDetect;
    std::shared_ptr<KLConferenceSignalChannel> m_signalingChannel;
    std::unique_ptr<KLTimer> m_enterMeetingTimeoutTimer;
    // Local streams live here from creation until the entry ends: the engine only holds them
    // weakly while they initialise.
    QList<std::shared_ptr<KLRTCMediaStream>> m_localStreams;

    // Flags.
    std::atomic<bool> m_isPallasMeeting{true};
    std::atomic<bool> m_isVideoMeeting{true};
    std::atomic<bool> m_enterRoomSuccess{false};
    std::atomic<bool> m_isFirstEnterStage{true};
    std::atomic<bool> m_bAudioCanRecord{false};
    std::atomic<bool> m_bVideoCanRecord{false};
    std::atomic<bool> m_isRefreshStage{false};
    std::atomic<bool> m_shouldIceRestart{false};
    std::atomic<bool> m_mediaChannelConnected{false};
    std::atomic<bool> m_meetingChannelConnected{false};
    std::atomic<bool> m_isSelfShareForMultiProjector{false};
    std::atomic<bool> m_isMicrophoneAvailable{true};
    std::atomic<bool> m_isSpeakerOpen{true};
    std::atomic<bool> m_isLeavingRoomBySelf{false};
    bool m_hasLeft = false;  ///< `leave` has run (guarded by m_mutex)
    std::atomic<bool> m_isMuteInitStage{false};
    std::atomic<bool> m_isShowBeauty{false};
    std::atomic<bool> m_isEnterRoomAudioShouldMute{false};
    std::atomic<bool> m_isEnterRoomVideoShouldMute{false};
    std::atomic<bool> m_isShowMeetingSummaryModule{false};
    std::atomic<bool> m_isOpenSummary{false};
    std::atomic<bool> m_isStopMultiScreenStage{false};
    std::atomic<bool> m_isOpenAudioMeetingForMultiProjector{false};
    std::atomic<bool> m_connectionStarted{false};
    std::atomic<int> m_mediaConnectionCount{0};
    KLEnterNameHandler m_enterNameHandler;
};
