#pragma once

// What the invitation page, the meeting-information popovers and the settings ask of the
// meeting. The conference service answers it through KLPanelMeetingAdapter; the panels' tests
// answer it with fields.

#include "window/KLHubMeeting.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>

class KLParticipant;

class KLPanelMeeting {
public:
    virtual ~KLPanelMeeting() = default;

    virtual KLHubFeedPtr publisher() const = 0;
    virtual QList<KLHubFeedPtr> participantsWithOnline(bool online) const = 0;
    /// The feed of the same member as `participant` (by type: employee number, room id, or an
    /// external member's e-mail / phones); null when it is not in the meeting.
    virtual KLHubFeedPtr existingParticipant(const KLParticipant &participant) const = 0;
    virtual KLHubFeedPtr clientWithRoomId(const QString &roomId) const = 0;
    /// The appointment id as the meeting API takes it (an integer number).
    virtual QJsonValue appointmentId() const = 0;
    virtual std::shared_ptr<KLSDKMeetingApiProtocol> meetingApi() const = 0;
    /// The appointment detail fetched during the join (empty when there is none).
    virtual QJsonObject appointmentDetail() const = 0;
    virtual QJsonArray phoneDialInList() const = 0;
    /// Base of the meeting service's web pages ("https://host").
    virtual QString webBaseUrl() const = 0;
    virtual bool isVideoMeeting() const = 0;
    virtual void setMemberCallStatus(int status) = 0;
    virtual void perform(const KLHubFeedPtr &feed, KLHubFeedAction action) = 0;
    /// Marks a room's feed busy with a call error code ("-20" in another meeting, "-25" sharing).
    virtual void roomCallError(const KLHubFeedPtr &feed, const QString &code) = 0;
};

class KLPanelMeetingAdapter final : public KLPanelMeeting {
public:
    explicit KLPanelMeetingAdapter(std::weak_ptr<KLConferenceService> service);

    KLHubFeedPtr publisher() const override;
    QList<KLHubFeedPtr> participantsWithOnline(bool online) const override;
    KLHubFeedPtr existingParticipant(const KLParticipant &participant) const override;
    KLHubFeedPtr clientWithRoomId(const QString &roomId) const override;
    QJsonValue appointmentId() const override;
    std::shared_ptr<KLSDKMeetingApiProtocol> meetingApi() const override;
    QJsonObject appointmentDetail() const override;
    QJsonArray phoneDialInList() const override;
    QString webBaseUrl() const override;
    bool isVideoMeeting() const override;
    void setMemberCallStatus(int status) override;
    void perform(const KLHubFeedPtr &feed, KLHubFeedAction action) override;
    void roomCallError(const KLHubFeedPtr &feed, const QString &code) override;

private:
    const std::weak_ptr<KLConferenceService> m_service;
    KLHubMeetingAdapter m_hub;
};
