#pragma once

// The face the conference service shows the chat manager and the meeting-notes panel. It
// holds the service weakly and answers neutrally (nothing, "", false) once it has gone.

#include "collab/KLChatHost.h"
#include "collab/KLMeetingNoteHost.h"
#include "conference/service/KLConferenceService.h"

class KLConferenceService::CollaborationContext final : public KLChatHost,
                                                        public KLMeetingNoteHost {
public:
    explicit CollaborationContext(std::weak_ptr<KLConferenceService> service)
        : m_service(std::move(service)) {}

    // KLChatHost
    void sendChatMessage(const QString &text) override;
    QString feedDisplayName(const QString &uuid) const override;
    bool isMeetingActive() const override;

    // KLMeetingNoteHost
    std::shared_ptr<KLSDKMeetingApiProtocol> meetingApi() const override;
    std::shared_ptr<KLParticipant> ownParticipant() const override;
    bool isOpenSummary() const override;
    void setIsOpenSummary(bool open) override;
    QString summaryLanguage() const override;
    void setSummaryLanguage(const QString &language) override;
    QString meetingSummaryRtShowUrl() const override;
    bool isSelfInMeeting() const override;
    void actionLog(const QString &button) override;
    void commitMonitorLevel(int level, int group, const QJsonObject &params) override;
    void showToastDialog(KLDialogRequest request) override;

private:
    std::weak_ptr<KLConferenceService> m_service;
};
