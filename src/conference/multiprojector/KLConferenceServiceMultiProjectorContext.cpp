#include "conference/multiprojector/KLConferenceServiceMultiProjectorContext.h"

#include "conference/registry/KLParticipantRegistry.h"

using Service = KLConferenceService;
using FeedPtr = KLMultiProjectorContext::FeedPtr;

namespace {
template <typename Result, typename Read>
Result ask(const std::weak_ptr<Service> &weak, Result fallback, Read read)
{
    if (auto service = weak.lock())
        return read(*service);
    return fallback;
}

template <typename Act>
void tell(const std::weak_ptr<Service> &weak, Act act)
{
    if (auto service = weak.lock())
        act(*service);
}
} // namespace

std::shared_ptr<KLSDKMeetingApiProtocol> Service::MultiProjectorContext::meetingApi() const
{
    return ask(m_service, std::shared_ptr<KLSDKMeetingApiProtocol>(),
               [](Service &s) { return s.meetingApi(); });
}
QString Service::MultiProjectorContext::appointmentId() const
{
    return ask(m_service, QString(), [](Service &s) { return s.appointmentId(); });
}
QString Service::MultiProjectorContext::projectId() const
{
    return ask(m_service, QString(), [](Service &s) { return s.projectId(); });
}
bool Service::MultiProjectorContext::isSender() const
{
    return ask(m_service, false, [](Service &s) {
        return s.conferenceMode() == 1 && s.isEnterMultiProjectorFromSender();
    });
}
FeedPtr Service::MultiProjectorContext::publisher() const
{
    return ask(m_service, FeedPtr(), [](Service &s) { return s.publisher(); });
}
QList<FeedPtr> Service::MultiProjectorContext::registeredFeeds() const
{
    return ask(m_service, QList<FeedPtr>(), [](Service &s) { return s.registry().participants(); });
}
FeedPtr Service::MultiProjectorContext::clientWithUUID(const QString &uuid) const
{
    return ask(m_service, FeedPtr(), [&](Service &s) { return s.clientWithUUID(uuid); });
}
FeedPtr Service::MultiProjectorContext::sharedFeed() const
{
    return ask(m_service, FeedPtr(), [](Service &s) { return s.registry().sharedFeed(); });
}
bool Service::MultiProjectorContext::isOpenAudioMeetingForMultiProjector() const
{
    return ask(m_service, false, [](Service &s) { return s.isOpenAudioMeetingForMultiProjector(); });
}
void Service::MultiProjectorContext::setIsOpenAudioMeetingForMultiProjector(bool open)
{
    tell(m_service, [open](Service &s) { s.setIsOpenAudioMeetingForMultiProjector(open); });
}
bool Service::MultiProjectorContext::openAudioFromJSForMultiProjector() const
{
    return ask(m_service, false, [](Service &s) { return s.openAudioFromJSForMultiProjector(); });
}
bool Service::MultiProjectorContext::isOnlyPersonFromEnterForMultiProjector() const
{
    return ask(m_service, false,
               [](Service &s) { return s.isOnlyPersonFromEnterForMultiProjector(); });
}
bool Service::MultiProjectorContext::isStopMultiScreenStage() const
{
    return ask(m_service, false, [](Service &s) { return s.isStopMultiScreenStage(); });
}
void Service::MultiProjectorContext::setIsStopMultiScreenStage(bool stopping)
{
    tell(m_service, [stopping](Service &s) { s.setIsStopMultiScreenStage(stopping); });
}
void Service::MultiProjectorContext::leave()
{
    tell(m_service, [](Service &s) { s.leave(); });
}
