#include "window/KLPanelMeeting.h"

#include "conference/service/KLConferenceService.h"
#include "conference/registry/KLFeedClient.h"
#include "conference/registry/KLParticipantRegistry.h"
#include "model/KLConferenceItemModel.h"
#include "model/KLSDKMeetingConfigInternal.h"

#include <QUrl>

KLPanelMeetingAdapter::KLPanelMeetingAdapter(std::weak_ptr<KLConferenceService> service)
    : m_service(service), m_hub(service)
{
}

KLHubFeedPtr KLPanelMeetingAdapter::publisher() const
{
    return m_hub.publisher();
}

QList<KLHubFeedPtr> KLPanelMeetingAdapter::participantsWithOnline(bool online) const
{
    return m_hub.participantsWithOnline(online);
}

KLHubFeedPtr KLPanelMeetingAdapter::existingParticipant(const KLParticipant &participant) const
{
    auto service = m_service.lock();
    return service ? service->registry().isParticipantExists(participant) : nullptr;
}

KLHubFeedPtr KLPanelMeetingAdapter::clientWithRoomId(const QString &roomId) const
{
    auto service = m_service.lock();
    return service ? service->registry().clientWithRoomId(roomId) : nullptr;
}

QJsonValue KLPanelMeetingAdapter::appointmentId() const
{
    auto service = m_service.lock();
    bool ok = false;
    const qint64 id = service ? service->appointmentId().toLongLong(&ok) : 0;
    return ok ? QJsonValue(id) : QJsonValue(service ? service->appointmentId() : QString());
}

std::shared_ptr<KLSDKMeetingApiProtocol> KLPanelMeetingAdapter::meetingApi() const
{
    auto service = m_service.lock();
    return service ? service->meetingApi() : nullptr;
}

QJsonObject KLPanelMeetingAdapter::appointmentDetail() const
{
    auto service = m_service.lock();
    auto detail = service ? service->detailAppointment() : nullptr;
    return detail ? detail->toJson() : QJsonObject();
}

QJsonArray KLPanelMeetingAdapter::phoneDialInList() const
{
    auto service = m_service.lock();
    return service ? service->phoneDialInList() : QJsonArray();
}

QString KLPanelMeetingAdapter::webBaseUrl() const
{
    auto service = m_service.lock();
    auto config = service ? service->meetingConfig() : nullptr;
    if (!config)
        return {};
    const QUrl base(config->apiBaseUrl());
    return base.isValid() ? base.adjusted(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment).toString()
                          : QString();
}

bool KLPanelMeetingAdapter::isVideoMeeting() const
{
    return m_hub.isVideoMeeting();
}

void KLPanelMeetingAdapter::setMemberCallStatus(int status)
{
    m_hub.setMemberCallStatus(status);
}

void KLPanelMeetingAdapter::perform(const KLHubFeedPtr &feed, KLHubFeedAction action)
{
    m_hub.perform(feed, action);
}

void KLPanelMeetingAdapter::roomCallError(const KLHubFeedPtr &feed, const QString &code)
{
    if (feed)
        feed->meetingRoomCallError(code);
}
