// Chat, meeting notes and captions as the conference service takes part in them: the
// adapter the chat manager and the notes panel talk to, and sending chat messages.

#include "conference/service/KLConferenceServiceCollaborationContext.h"

#include "cloudlog/KLQLSLogger.h"
#include "collab/KLChatManager.h"
#include "conference/registry/KLFeedClient.h"
#include "conference/registry/KLParticipantRegistry.h"
#include "host/KLMessageMode.h"
#include "media/KLRTCMediaConnection.h"
#include "presentation/KLToastManager.h"
#include "runtime/KLSDKLog.h"

namespace {
const char *const kTag = "KLConferenceService";
} // namespace

using Service = KLConferenceService;

void KLConferenceService::setUpCollaboration()
{
    m_collaborationContext = std::make_shared<CollaborationContext>(weakSelf());
    // A projection has no data channel to chat on; the meeting's chat stays with the meeting.
    if (m_conferenceMode == 0)
        KLChatManager::sharedInstance().initWithConferenceManager(m_collaborationContext);
}

std::shared_ptr<KLConferenceService::CollaborationContext>
KLConferenceService::collaborationContext() const
{
    return m_collaborationContext;
}

void KLConferenceService::sendChatMessage(const QString &text)
{
    QString source;
    if (auto own = publisher())
        source = own->uuid();
    else
        KL_LOG_WARN(kTag, QStringLiteral("chat message sent before the own feed exists"));
    const QJsonObject message{{QStringLiteral("source"), source}, {QStringLiteral("text"), text}};
    KLChatManager::sharedInstance().pushChatMessage(message);
    auto connection = mediaConnection();
    if (!connection) {
        KL_LOG_WARN(kTag, QStringLiteral("chat message not delivered: no media connection"));
        return;
    }
    connection->sendData(
        QJsonObject{{QStringLiteral("type"), QStringLiteral("chatMsg")}, {QStringLiteral("content"), message}});
}

// --- Collaboration context ------------------------------------------------------------------

void Service::CollaborationContext::sendChatMessage(const QString &text)
{
    if (auto service = m_service.lock())
        service->sendChatMessage(text);
}

QString Service::CollaborationContext::feedDisplayName(const QString &uuid) const
{
    auto service = m_service.lock();
    auto feed = service ? service->clientWithUUID(uuid) : nullptr;
    return feed ? feed->vanName() : QString();
}

bool Service::CollaborationContext::isMeetingActive() const
{
    auto service = m_service.lock();
    return service && !service->m_isLeavingRoomBySelf;
}

std::shared_ptr<KLSDKMeetingApiProtocol> Service::CollaborationContext::meetingApi() const
{
    auto service = m_service.lock();
    return service ? service->meetingApi() : nullptr;
}

std::shared_ptr<KLParticipant> Service::CollaborationContext::ownParticipant() const
{
    auto service = m_service.lock();
    auto own = service ? service->publisher() : nullptr;
    return own ? own->participant() : nullptr;
}

bool Service::CollaborationContext::isOpenSummary() const
{
    auto service = m_service.lock();
    return service && service->m_isOpenSummary;
}

void Service::CollaborationContext::setIsOpenSummary(bool open)
{
    if (auto service = m_service.lock())
        service->m_isOpenSummary = open;
}

QString Service::CollaborationContext::summaryLanguage() const
{
    auto service = m_service.lock();
    if (!service)
        return QString();
    std::lock_guard<std::mutex> lock(service->m_mutex);
    return service->m_summaryLanguage;
}

void Service::CollaborationContext::setSummaryLanguage(const QString &language)
{
    if (auto service = m_service.lock()) {
        std::lock_guard<std::mutex> lock(service->m_mutex);
        service->m_summaryLanguage = language;
    }
}

QString Service::CollaborationContext::meetingSummaryRtShowUrl() const
{
    auto service = m_service.lock();
    return service ? service->meetingSummaryRtShowUrl() : QString();
}

bool Service::CollaborationContext::isSelfInMeeting() const
{
    auto service = m_service.lock();
    return service && service->m_registry->isSelfInMeeting();
}

void Service::CollaborationContext::actionLog(const QString &button)
{
    KLMessageMode::sharedInstance().actionLog(button);
}

void Service::CollaborationContext::commitMonitorLevel(int level, int group,
                                                       const QJsonObject &params)
{
    KLQLSLogger::sharedInstance().commitMonitorLevel(level, group, params);
}

void Service::CollaborationContext::showToastDialog(KLDialogRequest request)
{
    KLToastManager::shared().showToastDialog(std::move(request));
}
