#pragma once

// The face the conference service shows its signalling event handler. It holds the service
// weakly and answers neutrally (null, false, nothing) once the service is gone, so a push
// that arrives during teardown cannot reach a destroyed meeting.

#include "conference/service/KLConferenceService.h"
#include "conference/events/KLSignalingEventContext.h"

class KLConferenceService::SignalingEventContext final : public KLSignalingEventContext {
public:
    explicit SignalingEventContext(std::weak_ptr<KLConferenceService> service)
        : m_service(std::move(service)) {}

    qint64 conferenceMode() const override;
    bool isPallasMeeting() const override;
    bool isVanInternal() const override;
    bool isStaff() const override;
    bool isMaster() const override;
    bool isEnterMultiProjectorFromSender() const override;
    bool isLeavingRoomBySelf() const override;
    bool isMuteInitStage() const override;
    void setIsMuteInitStage(bool value) override;
    bool isEnterRoomAudioShouldMute() const override;
    void setIsEnterRoomAudioShouldMute(bool value) override;
    bool isEnterRoomVideoShouldMute() const override;
    void setIsEnterRoomVideoShouldMute(bool value) override;
    void setIsOnlyPersonEnterRoom(bool alone) override;
    bool isFirstWssConnect() const override;
    void setIsFirstWssConnect(bool value) override;
    void setIsOnlyPersonFromEnterForMultiProjector(bool value) override;
    void setIsOpenAudioMeetingForMultiProjector(bool value) override;
    bool isShowMeetingSummaryModule() const override;
    void setSummaryState(bool open, const QString &language) override;
    bool startMeetingNoteBySelf() const override;
    void setStartMeetingNoteBySelf(bool value) override;
    bool stopMeetingNoteBySelf() const override;
    void setStopMeetingNoteBySelf(bool value) override;

    FeedPtr publisher() const override;
    FeedPtr displayingClient() const override;
    FeedPtr clientWithUUID(const QString &uuid) const override;
    QList<FeedPtr> participants() const override;
    void setFloorChangeFeed(FeedPtr feed) override;
    void addParticipants(const QJsonArray &participants) override;
    void removeClient(FeedPtr feed) override;
    void closeClient(FeedPtr feed) override;
    void displayClientAutomatically() override;

    void hangupWithReason(int reason) override;
    void streamVideo(FeedPtr feed, bool enabled) override;
    void meetingUserStatusChanged(const std::shared_ptr<KLSDKMeetingUser> &user,
                                  int event) override;
    void pushSubTitle(const QJsonObject &subTitle) override;
    void showCallRoomDialog() override;
    const void *notificationObject() const override;

private:
    std::weak_ptr<KLConferenceService> m_service;
};
