#include "conference/service/KLConferenceServiceAdapters.h"

#include "conference/service/KLServiceAccess.h"
#include "collab/KLChatManager.h"
#include "clientconfig/KLClientConfigManager.h"
#include "conference/registry/KLConferenceManagerDataSource.h"
#include "conference/devices/KLDeviceManager.h"
#include "conference/registry/KLFeedClient.h"
#include "conference/status/KLHardwareStatusService.h"
#include "conference/status/KLMediaStatusService.h"
#include "conference/registry/KLParticipantRegistry.h"
#include "host/KLHostUtils.h"
#include "media/KLRTCMediaStream.h"
#include "model/KLSDKMeetingConfigInternal.h"
#include "model/KLSDKMeetingEventDelegate.h"
#include "runtime/KLSDKLog.h"

#include <KelvoUISDK/KLSDKDispatch.h>

namespace {
const char *const kTag = "KLConferenceService";


KLMediaStatusFeed statusFeedOf(const KLFeedClient &feed)
{
    KLMediaStatusFeed copy;
    copy.uuid = feed.uuid();
    copy.display = feed.display();
    copy.isPublisher = feed.isPublisher();
    copy.hasRTCMedia = feed.hasRTCMedia();
    if (auto stream = feed.mediaStream()) {
        copy.audioTrackId = stream->audioTrackId();
        copy.videoTrackId = stream->videoTrackId();
    }
    copy.videoEnabled = feed.videoEnabled();
    return copy;
}
} // namespace

using Service = KLConferenceService;
using FeedPtr = KLMediaEventContext::FeedPtr;

// --- Registry host --------------------------------------------------------------------------

QJsonValue Service::RegistryHost::appointmentId() const
{
    return KL_askService(m_service, QJsonValue(), [](Service &s) { return QJsonValue(s.appointmentId()); });
}
bool Service::RegistryHost::isPallasMeeting() const
{
    return KL_askService(m_service, true, [](Service &s) { return s.isPallasMeeting(); });
}
bool Service::RegistryHost::enterRoomSuccess() const
{
    return KL_askService(m_service, false, [](Service &s) { return s.enterRoomSuccess(); });
}
qint64 Service::RegistryHost::conferenceMode() const
{
    return KL_askService(m_service, qint64(0), [](Service &s) { return s.conferenceMode(); });
}
bool Service::RegistryHost::isVanInternal() const
{
    return KL_askService(m_service, false, [](Service &s) { return s.m_meetingConfig->isVanInternal(); });
}
bool Service::RegistryHost::isEnterRoomVideoShouldMute() const
{
    return KL_askService(m_service, false, [](Service &s) { return s.isEnterRoomVideoShouldMute(); });
}
std::shared_ptr<KLRTCMediaConnection> Service::RegistryHost::mediaConnection() const
{
    return KL_askService(m_service, std::shared_ptr<KLRTCMediaConnection>(),
               [](Service &s) { return s.mediaConnection(); });
}
std::shared_ptr<KLConferenceManagerDataSource> Service::RegistryHost::dataSource() const
{
    return KL_askService(m_service, std::shared_ptr<KLConferenceManagerDataSource>(),
               [](Service &s) { return s.dataSource(); });
}
std::weak_ptr<KLConferenceManagerProtocol> Service::RegistryHost::conferenceManager() const
{
    return KL_askService(m_service, std::weak_ptr<KLConferenceManagerProtocol>(),
               [](Service &s) { return std::weak_ptr<KLConferenceManagerProtocol>(s.shared_from_this()); });
}
const void *Service::RegistryHost::notificationSender() const
{
    return KL_askService(m_service, static_cast<const void *>(nullptr),
               [](Service &s) { return static_cast<const void *>(&s); });
}
void Service::RegistryHost::stopShare()
{
    KL_tellService(m_service, [](Service &s) { s.stopShare(); });
}
void Service::RegistryHost::postToSerialQueue(KLBlock block)
{
    KLPerformBlockOnSerialQueue(std::move(block));
}
void Service::RegistryHost::meetingUserStatusChanged(const std::shared_ptr<KLSDKMeetingUser> &user,
                                                     int event)
{
    KL_tellService(m_service, [&](Service &s) {
        if (auto delegate = s.delegate())
            delegate->onMeetingUserStatusChange(user, event);
    });
}
QString Service::RegistryHost::avatarBaseUrl() const
{
    return KL_askService(m_service, QString(), [](Service &s) {
        return s.m_meetingConfig->apiBaseUrl() + QStringLiteral("/conference/avatar");
    });
}
QString Service::RegistryHost::caFile() const
{
    return KL_askService(m_service, QString(), [](Service &s) { return s.m_meetingConfig->caFile(); });
}

// --- Media status source --------------------------------------------------------------------

std::weak_ptr<KLRTCMediaConnection> Service::MediaStatusSource::mediaConnection() const
{
    return KL_askService(m_service, std::weak_ptr<KLRTCMediaConnection>(),
               [](Service &s) { return std::weak_ptr<KLRTCMediaConnection>(s.mediaConnection()); });
}
int Service::MediaStatusSource::conferenceMode() const
{
    return KL_askService(m_service, 0, [](Service &s) { return int(s.conferenceMode()); });
}
std::optional<KLMediaStatusFeed> Service::MediaStatusSource::displayingFeed() const
{
    return KL_askService(m_service, std::optional<KLMediaStatusFeed>(),
               [](Service &s) -> std::optional<KLMediaStatusFeed> {
                   if (auto feed = s.m_registry->displayingClient())
                       return statusFeedOf(*feed);
                   return std::nullopt;
               });
}
QList<KLMediaStatusFeed> Service::MediaStatusSource::registeredFeeds() const
{
    return KL_askService(m_service, QList<KLMediaStatusFeed>(), [](Service &s) {
        QList<KLMediaStatusFeed> feeds;
        for (const auto &feed : s.m_registry->participants())
            feeds.append(statusFeedOf(*feed));
        return feeds;
    });
}
void Service::MediaStatusSource::updatePublisherAudioStatus(qint32 iLevel, qint64 packetsSent)
{
    KL_tellService(m_service, [&](Service &s) {
        if (auto own = s.publisher()) {
            own->setILevel(iLevel);
            own->setPacketsSent(packetsSent);
        }
    });
}

// --- Media event context --------------------------------------------------------------------

#define KL_CONTEXT_FLAG(name, fallback, field)                                                  \
    bool Service::MediaEventContext::name() const                                              \
    {                                                                                          \
        return KL_askService(m_service, fallback, [](Service &s) -> bool { return s.field; });          \
    }
KL_CONTEXT_FLAG(multiProjectorReceive, false, m_multiProjectorReceive)
KL_CONTEXT_FLAG(isPallasMeeting, true, m_isPallasMeeting)
KL_CONTEXT_FLAG(isVideoMeeting, true, m_isVideoMeeting)
KL_CONTEXT_FLAG(enterRoomSuccess, false, m_enterRoomSuccess)
KL_CONTEXT_FLAG(isRefreshStage, false, m_isRefreshStage)
KL_CONTEXT_FLAG(isLeavingRoomBySelf, true, m_isLeavingRoomBySelf)
KL_CONTEXT_FLAG(mediaChannelConnected, false, m_mediaChannelConnected)
KL_CONTEXT_FLAG(meetingChannelConnected, false, m_meetingChannelConnected)
KL_CONTEXT_FLAG(isSelfShareForMultiProjector, false, m_isSelfShareForMultiProjector)
KL_CONTEXT_FLAG(isShowBeauty, false, m_isShowBeauty)
KL_CONTEXT_FLAG(isSpeakerOpen, true, m_isSpeakerOpen)
KL_CONTEXT_FLAG(isMuteInitStage, false, m_isMuteInitStage)
KL_CONTEXT_FLAG(isEnterRoomAudioShouldMute, false, m_isEnterRoomAudioShouldMute)
KL_CONTEXT_FLAG(isEnterRoomVideoShouldMute, false, m_isEnterRoomVideoShouldMute)
KL_CONTEXT_FLAG(isVanInternal, false, m_meetingConfig->isVanInternal())
#undef KL_CONTEXT_FLAG

#define KL_CONTEXT_SET_FLAG(name, field)                                                       \
    void Service::MediaEventContext::name(bool value)                                          \
    {                                                                                          \
        KL_tellService(m_service, [value](Service &s) { s.field = value; });                            \
    }
KL_CONTEXT_SET_FLAG(setEnterRoomSuccess, m_enterRoomSuccess)
KL_CONTEXT_SET_FLAG(setIsRefreshStage, m_isRefreshStage)
KL_CONTEXT_SET_FLAG(setMediaChannelConnected, m_mediaChannelConnected)
KL_CONTEXT_SET_FLAG(setMeetingChannelConnected, m_meetingChannelConnected)
#undef KL_CONTEXT_SET_FLAG

int Service::MediaEventContext::conferenceMode() const
{
    return KL_askService(m_service, 0, [](Service &s) { return int(s.conferenceMode()); });
}
bool Service::MediaEventContext::isStaff() const
{
    return KLClientConfigManager::sharedInstance().isStaff();
}
QDateTime Service::MediaEventContext::startEnterTimer() const
{
    return KL_askService(m_service, QDateTime(), [](Service &s) {
        std::lock_guard<std::mutex> lock(s.m_mutex);
        return s.m_startEnterTimer;
    });
}
QJsonValue Service::MediaEventContext::appointmentId() const
{
    return KL_askService(m_service, QJsonValue(), [](Service &s) { return QJsonValue(s.appointmentId()); });
}
QString Service::MediaEventContext::projectId() const
{
    return KL_askService(m_service, QString(), [](Service &s) { return s.projectId(); });
}
void Service::MediaEventContext::setShareScreenCacheId(const QString &uuid)
{
    KL_tellService(m_service, [&](Service &s) {
        std::lock_guard<std::mutex> lock(s.m_mutex);
        s.m_shareScreenCacheId = uuid;
    });
}
std::shared_ptr<KLRTCMediaConnection> Service::MediaEventContext::mediaConnection() const
{
    return KL_askService(m_service, std::shared_ptr<KLRTCMediaConnection>(),
               [](Service &s) { return s.mediaConnection(); });
}
void Service::MediaEventContext::dropMediaConnection()
{
    KL_tellService(m_service, [](Service &s) { s.dropMediaConnection(); });
}

#define KL_CONTEXT_FEED(name, registryCall)                                                    \
    FeedPtr Service::MediaEventContext::name() const                                           \
    {                                                                                          \
        return KL_askService(m_service, FeedPtr(), [](Service &s) { return s.m_registry->registryCall(); }); \
    }
KL_CONTEXT_FEED(publisher, publisher)
KL_CONTEXT_FEED(displayingClient, displayingClient)
KL_CONTEXT_FEED(clickedFeed, clickedFeed)
KL_CONTEXT_FEED(lockedFeed, lockedFeed)
KL_CONTEXT_FEED(remoteShareScreenFeed, remoteShareScreenFeed)
KL_CONTEXT_FEED(shareScreenLocalClient, shareScreenLocalClient)
#undef KL_CONTEXT_FEED

#define KL_CONTEXT_FEED_CALL(name, registryCall)                                               \
    void Service::MediaEventContext::name(FeedPtr feed)                                        \
    {                                                                                          \
        KL_tellService(m_service, [&](Service &s) { s.m_registry->registryCall(feed); });               \
    }
KL_CONTEXT_FEED_CALL(setClickedFeed, setClickedFeed)
KL_CONTEXT_FEED_CALL(setLockedFeed, setLockedFeed)
KL_CONTEXT_FEED_CALL(setRemoteShareScreenFeed, setRemoteShareScreenFeed)
KL_CONTEXT_FEED_CALL(addClient, addClient)
KL_CONTEXT_FEED_CALL(removeClient, removeClient)
KL_CONTEXT_FEED_CALL(lockClientFeed, lockClientFeed)
#undef KL_CONTEXT_FEED_CALL

FeedPtr Service::MediaEventContext::clientWithUUID(const QString &uuid) const
{
    return KL_askService(m_service, FeedPtr(), [&](Service &s) { return s.m_registry->clientWithUUID(uuid); });
}
FeedPtr Service::MediaEventContext::clientWithStreamId(const QString &streamId) const
{
    return KL_askService(m_service, FeedPtr(),
               [&](Service &s) { return s.m_registry->clientWithStreamId(streamId); });
}
void Service::MediaEventContext::displayClientAutomatically()
{
    KL_tellService(m_service, [](Service &s) { s.displayClientAutomatically(); });
}
std::weak_ptr<KLConferenceManagerProtocol> Service::MediaEventContext::feedManager() const
{
    return KL_askService(m_service, std::weak_ptr<KLConferenceManagerProtocol>(),
               [](Service &s) { return std::weak_ptr<KLConferenceManagerProtocol>(s.shared_from_this()); });
}
std::optional<KLRTCMediaDevice> Service::MediaEventContext::currentAudioInput() const
{
    return KLDeviceManager::sharedInstance()->currentAudioInput();
}
std::optional<KLRTCMediaDevice> Service::MediaEventContext::currentAudioOutput() const
{
    return KLDeviceManager::sharedInstance()->currentAudioOutput();
}
std::optional<KLRTCMediaDevice> Service::MediaEventContext::currentVideoInput() const
{
    return KLDeviceManager::sharedInstance()->currntVideoInput();
}
int Service::MediaEventContext::cameraCount() const
{
    return int(KLDeviceManager::sharedInstance()->videoDevice().size());
}

#define KL_CONTEXT_ACTION(name)                                                                \
    void Service::MediaEventContext::name()                                                    \
    {                                                                                          \
        KL_tellService(m_service, [](Service &s) { s.name(); });                                         \
    }
KL_CONTEXT_ACTION(refresh)
KL_CONTEXT_ACTION(iceConnectionRestart)
KL_CONTEXT_ACTION(checkForMeetingStatus)
KL_CONTEXT_ACTION(stopShare)
KL_CONTEXT_ACTION(desktopShare)
KL_CONTEXT_ACTION(noAudioVideoStream)
KL_CONTEXT_ACTION(stopEnterTimeoutCheck)
#undef KL_CONTEXT_ACTION

void Service::MediaEventContext::hangupWithReason(int reason)
{
    KL_tellService(m_service, [reason](Service &s) { s.hangupWithReason(reason); });
}
void Service::MediaEventContext::muteSpeaker(bool muted)
{
    KL_tellService(m_service, [muted](Service &s) { s.muteSpeaker(muted); });
}
void Service::MediaEventContext::createLocalStream(const QJsonObject &mediaDictionary)
{
    KL_tellService(m_service, [&](Service &s) { s.createLocalStream(mediaDictionary); });
}
void Service::MediaEventContext::startStatusReporters()
{
    KL_tellService(m_service, [](Service &s) {
        if (s.m_isLeavingRoomBySelf)
            return;
        s.m_mediaStatus->startTimer();
        s.m_hardWareStatus->startTimer();
    });
}
void Service::MediaEventContext::stopSignaling()
{
    KL_tellService(m_service, [](Service &s) { s.tearDownSignalling(); });
}
void Service::MediaEventContext::onMeetingJoined()
{
    KL_tellService(m_service, [](Service &s) {
        if (auto delegate = s.delegate())
            delegate->onMeetingJoined();
    });
}
void Service::MediaEventContext::onError(int code, const QString &reason)
{
    KL_tellService(m_service, [&](Service &s) {
        if (auto delegate = s.delegate())
            delegate->onError(code, reason);
    });
}
void Service::MediaEventContext::dataSourceEnterRoomSuccess()
{
    KL_tellService(m_service, [](Service &s) {
        if (auto source = s.dataSource())
            source->enterRoomSuccess();
    });
}
std::shared_ptr<KLSDKMeetingApiProtocol> Service::MediaEventContext::meetingApi() const
{
    return KL_askService(m_service, std::shared_ptr<KLSDKMeetingApiProtocol>(),
               [](Service &s) { return s.meetingApi(); });
}
void Service::MediaEventContext::pushChatMessage(const QJsonValue &content)
{
    // The chat manager checks the content's shape itself and logs what it cannot show.
    KLChatManager::sharedInstance().pushChatMessage(content);
}
void Service::MediaEventContext::closeApp()
{
    KLHostUtils::closeApp();
}
const void *Service::MediaEventContext::notificationObject() const
{
    return KL_askService(m_service, static_cast<const void *>(nullptr),
               [](Service &s) { return static_cast<const void *>(&s); });
}
