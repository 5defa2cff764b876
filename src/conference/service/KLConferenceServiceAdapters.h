#pragma once

// The faces the conference service shows its components: the participant registry, the media
// event handler and the media status reporter each see the meeting only through their own
// small interface. Each adapter holds the service weakly and answers neutrally (null, false,
// nothing) once the service is gone, so a late engine callback cannot reach a destroyed one.

#include "conference/service/KLConferenceService.h"
#include "conference/events/KLMediaEventContext.h"
#include "conference/status/KLMediaStatusSource.h"
#include "conference/registry/KLParticipantRegistryHost.h"

class KLConferenceService::RegistryHost final : public KLParticipantRegistryHost {
public:
    explicit RegistryHost(std::weak_ptr<KLConferenceService> service)
        : m_service(std::move(service)) {}

    QJsonValue appointmentId() const override;
    bool isPallasMeeting() const override;
    bool enterRoomSuccess() const override;
    qint64 conferenceMode() const override;
    bool isVanInternal() const override;
    bool isEnterRoomVideoShouldMute() const override;
    std::shared_ptr<KLRTCMediaConnection> mediaConnection() const override;
    std::shared_ptr<KLConferenceManagerDataSource> dataSource() const override;
    std::weak_ptr<KLConferenceManagerProtocol> conferenceManager() const override;
    const void *notificationSender() const override;
    void stopShare() override;
    void postToSerialQueue(KLBlock block) override;
    void meetingUserStatusChanged(const std::shared_ptr<KLSDKMeetingUser> &user,
                                  int event) override;
    QString avatarBaseUrl() const override;
    QString caFile() const override;

private:
    std::weak_ptr<KLConferenceService> m_service;
};

class KLConferenceService::MediaStatusSource final : public KLMediaStatusSource {
public:
    explicit MediaStatusSource(std::weak_ptr<KLConferenceService> service)
        : m_service(std::move(service)) {}

    std::weak_ptr<KLRTCMediaConnection> mediaConnection() const override;
    int conferenceMode() const override;
    std::optional<KLMediaStatusFeed> displayingFeed() const override;
    QList<KLMediaStatusFeed> registeredFeeds() const override;
    void updatePublisherAudioStatus(qint32 iLevel, qint64 packetsSent) override;

private:
    std::weak_ptr<KLConferenceService> m_service;
};

class KLConferenceService::MediaEventContext final : public KLMediaEventContext {
public:
    explicit MediaEventContext(std::weak_ptr<KLConferenceService> service)
        : m_service(std::move(service)) {}

    int conferenceMode() const override;
    bool multiProjectorReceive() const override;
    bool isPallasMeeting() const override;
    bool isVideoMeeting() const override;
    bool enterRoomSuccess() const override;
    void setEnterRoomSuccess(bool success) override;
    bool isRefreshStage() const override;
    void setIsRefreshStage(bool refreshing) override;
    bool isLeavingRoomBySelf() const override;
    bool mediaChannelConnected() const override;
    void setMediaChannelConnected(bool connected) override;
    bool meetingChannelConnected() const override;
    void setMeetingChannelConnected(bool connected) override;
    bool isSelfShareForMultiProjector() const override;
    bool isShowBeauty() const override;
    bool isSpeakerOpen() const override;
    bool isMuteInitStage() const override;
    bool isEnterRoomAudioShouldMute() const override;
    bool isEnterRoomVideoShouldMute() const override;
    bool isVanInternal() const override;
    bool isStaff() const override;
    QDateTime startEnterTimer() const override;
    QJsonValue appointmentId() const override;
    QString projectId() const override;
    void setShareScreenCacheId(const QString &uuid) override;
    std::shared_ptr<KLRTCMediaConnection> mediaConnection() const override;
    void dropMediaConnection() override;
    FeedPtr publisher() const override;
    FeedPtr displayingClient() const override;
    FeedPtr clickedFeed() const override;
    void setClickedFeed(FeedPtr feed) override;
    FeedPtr lockedFeed() const override;
    void setLockedFeed(FeedPtr feed) override;
    FeedPtr remoteShareScreenFeed() const override;
    void setRemoteShareScreenFeed(FeedPtr feed) override;
    FeedPtr clientWithUUID(const QString &uuid) const override;
    FeedPtr clientWithStreamId(const QString &streamId) const override;
    void addClient(FeedPtr feed) override;
    void removeClient(FeedPtr feed) override;
    void lockClientFeed(FeedPtr feed) override;
    void displayClientAutomatically() override;
    FeedPtr shareScreenLocalClient() const override;
    std::weak_ptr<KLConferenceManagerProtocol> feedManager() const override;
    std::optional<KLRTCMediaDevice> currentAudioInput() const override;
    std::optional<KLRTCMediaDevice> currentAudioOutput() const override;
    std::optional<KLRTCMediaDevice> currentVideoInput() const override;
    int cameraCount() const override;
    void hangupWithReason(int reason) override;
    void refresh() override;
    void iceConnectionRestart() override;
    void checkForMeetingStatus() override;
    void stopShare() override;
    void desktopShare() override;
    void noAudioVideoStream() override;
    void stopEnterTimeoutCheck() override;
    void muteSpeaker(bool muted) override;
    void createLocalStream(const QJsonObject &mediaDictionary) override;
    void startStatusReporters() override;
    void stopSignaling() override;
    void onMeetingJoined() override;
    void onError(int code, const QString &reason) override;
    void dataSourceEnterRoomSuccess() override;
    std::shared_ptr<KLSDKMeetingApiProtocol> meetingApi() const override;
    void pushChatMessage(const QJsonValue &content) override;
    void closeApp() override;
    const void *notificationObject() const override;

private:
    std::weak_ptr<KLConferenceService> m_service;
};
