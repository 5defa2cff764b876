#include "conference/service/KLConferenceServiceSignallingContext.h"

#include "conference/service/KLServiceAccess.h"
#include "collab/KLMeetingNoteManager.h"
#include "clientconfig/KLClientConfigManager.h"
#include "conference/registry/KLParticipantRegistry.h"
#include "model/KLSDKMeetingConfigInternal.h"
#include "model/KLSDKMeetingEventDelegate.h"
#include "runtime/KLNotificationCenter.h"
#include "runtime/KLNotificationNames.h"
#include "runtime/KLSDKLog.h"

#include <KelvoUISDK/KLSDKDispatch.h>

#include <QJsonDocument>

namespace {
const char *const kTag = "KLConferenceService";

} // namespace

using Service = KLConferenceService;
using Context = KLConferenceService::SignalingEventContext;
using FeedPtr = KLSignalingEventContext::FeedPtr;

// ---- Flags ------------------------------------------------------------------------------

#define KL_SIGNALING_FLAG(name, fallback, expression)                                          \
    bool Context::name() const                                                                 \
    {                                                                                          \
        return KL_askService(m_service, fallback, [](Service &s) -> bool { return expression; });        \
    }
KL_SIGNALING_FLAG(isPallasMeeting, true, s.isPallasMeeting())
KL_SIGNALING_FLAG(isVanInternal, false, s.m_meetingConfig->isVanInternal())
KL_SIGNALING_FLAG(isMaster, false, s.isMaster())
KL_SIGNALING_FLAG(isEnterMultiProjectorFromSender, false, s.isEnterMultiProjectorFromSender())
KL_SIGNALING_FLAG(isLeavingRoomBySelf, true, s.m_isLeavingRoomBySelf)
KL_SIGNALING_FLAG(isMuteInitStage, false, s.m_isMuteInitStage)
KL_SIGNALING_FLAG(isEnterRoomAudioShouldMute, false, s.m_isEnterRoomAudioShouldMute)
KL_SIGNALING_FLAG(isEnterRoomVideoShouldMute, false, s.m_isEnterRoomVideoShouldMute)
KL_SIGNALING_FLAG(isFirstWssConnect, false, s.m_isFirstWssConnect)
KL_SIGNALING_FLAG(isShowMeetingSummaryModule, false, s.m_isShowMeetingSummaryModule)
KL_SIGNALING_FLAG(startMeetingNoteBySelf, false, s.m_startMeetingNoteBySelf)
KL_SIGNALING_FLAG(stopMeetingNoteBySelf, false, s.m_stopMeetingNoteBySelf)
#undef KL_SIGNALING_FLAG

#define KL_SIGNALING_SET_FLAG(name, field)                                                     \
    void Context::name(bool value)                                                             \
    {                                                                                          \
        KL_tellService(m_service, [value](Service &s) { s.field = value; });                            \
    }
KL_SIGNALING_SET_FLAG(setIsEnterRoomAudioShouldMute, m_isEnterRoomAudioShouldMute)
KL_SIGNALING_SET_FLAG(setIsEnterRoomVideoShouldMute, m_isEnterRoomVideoShouldMute)
KL_SIGNALING_SET_FLAG(setIsFirstWssConnect, m_isFirstWssConnect)
KL_SIGNALING_SET_FLAG(setIsOnlyPersonFromEnterForMultiProjector, m_isOnlyPersonFromEnterForMultiProjector)
KL_SIGNALING_SET_FLAG(setStartMeetingNoteBySelf, m_startMeetingNoteBySelf)
KL_SIGNALING_SET_FLAG(setStopMeetingNoteBySelf, m_stopMeetingNoteBySelf)
#undef KL_SIGNALING_SET_FLAG

qint64 Context::conferenceMode() const
{
    return KL_askService(m_service, qint64(0), [](Service &s) { return s.conferenceMode(); });
}
bool Context::isStaff() const
{
    return KLClientConfigManager::sharedInstance().isStaff();
}
void Context::setIsMuteInitStage(bool value)
{
    // Through the service: leaving the stage also closes its permanent notice.
    KL_tellService(m_service, [value](Service &s) { s.setIsMuteInitStage(value); });
}
void Context::setIsOnlyPersonEnterRoom(bool alone)
{
    KL_tellService(m_service, [alone](Service &s) { s.m_registry->setIsOnlyPersonEnterRoom(alone); });
}
void Context::setIsOpenAudioMeetingForMultiProjector(bool value)
{
    KL_tellService(m_service, [value](Service &s) { s.setIsOpenAudioMeetingForMultiProjector(value); });
}
void Context::setSummaryState(bool open, const QString &language)
{
    KL_tellService(m_service, [&](Service &s) {
        std::lock_guard<std::mutex> lock(s.m_mutex);
        s.m_isOpenSummary = open;
        s.m_summaryLanguage = language;
    });
}

// ---- Feeds and the registry -------------------------------------------------------------

FeedPtr Context::publisher() const
{
    return KL_askService(m_service, FeedPtr(), [](Service &s) { return s.m_registry->publisher(); });
}
FeedPtr Context::displayingClient() const
{
    return KL_askService(m_service, FeedPtr(), [](Service &s) {
        s.m_registry->choosePendingMainView();
        return s.m_registry->displayingClient();
    });
}
FeedPtr Context::clientWithUUID(const QString &uuid) const
{
    return KL_askService(m_service, FeedPtr(), [&](Service &s) { return s.m_registry->clientWithUUID(uuid); });
}
QList<FeedPtr> Context::participants() const
{
    return KL_askService(m_service, QList<FeedPtr>(), [](Service &s) { return s.m_registry->participants(); });
}
void Context::setFloorChangeFeed(FeedPtr feed)
{
    KL_tellService(m_service, [&](Service &s) { s.m_registry->setFloorChangeFeed(feed); });
}
void Context::addParticipants(const QJsonArray &participants)
{
    KL_tellService(m_service, [&](Service &s) { s.m_registry->addParticipants(participants); });
}
void Context::removeClient(FeedPtr feed)
{
    KL_tellService(m_service, [&](Service &s) { s.m_registry->removeClient(feed); });
}
void Context::closeClient(FeedPtr feed)
{
    KL_tellService(m_service, [&](Service &s) { s.m_registry->closeClient(feed); });
}
void Context::displayClientAutomatically()
{
    // A burst of member pushes is answered by one choice after the last of them.
    KL_tellService(m_service, [this](Service &s) { s.m_registry->requestMainViewChoice(m_service); });
}

// ---- Actions ----------------------------------------------------------------------------

void Context::hangupWithReason(int reason)
{
    KL_tellService(m_service, [reason](Service &s) { s.hangupWithReason(reason); });
}
void Context::streamVideo(FeedPtr feed, bool enabled)
{
    KL_tellService(m_service, [&](Service &s) { s.streamVideo(feed, enabled); });
}
void Context::meetingUserStatusChanged(const std::shared_ptr<KLSDKMeetingUser> &user, int event)
{
    KL_tellService(m_service, [&](Service &s) {
        if (auto delegate = s.delegate())
            delegate->onMeetingUserStatusChange(user, event);
    });
}
void Context::pushSubTitle(const QJsonObject &subTitle)
{
    // The notes manager passes the line on to the caption page, or drops it while none shows.
    KLMeetingNoteManager::sharedInstance().pushSubTitle(subTitle);
}
void Context::showCallRoomDialog()
{
    // The call-rooms dialog belongs to the window: its member list opens it.
    KLPerformBlockOnMainThread([] {
        KL_LOG_INFO(kTag, QStringLiteral("call-rooms dialog requested"));
        KLNotificationCenter::defaultCenter().postNotification(KLNotificationNames::ShowCallRoomDialog);
    });
}
const void *Context::notificationObject() const
{
    return KL_askService(m_service, static_cast<const void *>(nullptr),
               [](Service &s) { return static_cast<const void *>(&s); });
}
