#pragma once

// The conference service as the multi-projector session sees it. Holds the service weakly and
// answers neutrally (null, empty, false) once it is gone.

#include "conference/service/KLConferenceService.h"
#include "conference/multiprojector/KLMultiProjectorContext.h"

class KLConferenceService::MultiProjectorContext final : public KLMultiProjectorContext {
public:
    explicit MultiProjectorContext(std::weak_ptr<KLConferenceService> service)
        : m_service(std::move(service)) {}

    std::shared_ptr<KLSDKMeetingApiProtocol> meetingApi() const override;
    QString appointmentId() const override;
    QString projectId() const override;
    bool isSender() const override;
    FeedPtr publisher() const override;
    QList<FeedPtr> registeredFeeds() const override;
    FeedPtr clientWithUUID(const QString &uuid) const override;
    FeedPtr sharedFeed() const override;
    bool isOpenAudioMeetingForMultiProjector() const override;
    void setIsOpenAudioMeetingForMultiProjector(bool open) override;
    bool openAudioFromJSForMultiProjector() const override;
    bool isOnlyPersonFromEnterForMultiProjector() const override;
    bool isStopMultiScreenStage() const override;
    void setIsStopMultiScreenStage(bool stopping) override;
    void leave() override;

private:
    std::weak_ptr<KLConferenceService> m_service;
};
