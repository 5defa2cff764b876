#include "conference/service/KLConferenceService.h"

#include "cloudlog/KLQLSLogger.h"
#include "clientconfig/KLClientConfigManager.h"
#include "conference/registry/KLConferenceManagerDataSource.h"
#include "conference/service/KLConferenceServiceAdapters.h"
#include "conference/registry/KLFeedClient.h"
#include "conference/status/KLHardwareStatusService.h"
#include "conference/events/KLMediaEventHandler.h"
#include "conference/status/KLMediaStatusService.h"
#include "conference/registry/KLParticipantRegistry.h"
#include "media/webrtc/KLMediaEngineChoice.h"
#include "gateway/KLSDKMeetingHTTPApi.h"
#include "gateway/KLSDKMeetingWSSApi.h"
#include "host/UserPersistentData.h"
#include "media/KLRTCMediaLogging.h"
#include "media/KLRTCMediaSDK.h"
#include "model/KLSDKMeetingConfigInternal.h"
#include "model/KLConferenceItemModel.h"
#include "model/KLSDKMeetingEventDelegate.h"
#include "presentation/KLToastManager.h"
#include "runtime/KLNotificationCenter.h"
#include "runtime/KLNotificationNames.h"
#include "runtime/KLSDKLog.h"
#include "runtime/KLTimer.h"

namespace {
const char *const kTag = "KLConferenceService";
const char *const kEngineTag = "KLRTCMediaSDK";
const char *const kSdkVersion = "1.0.0";

// The engine's own log lines join ours: its info levels become level 2, errors and debug lines
// keep their level, anything else is dropped.
void installEngineLogHook()
{
    KLLoggingSetLoggingHandler([](int severity, const QString &message) {
        switch (severity) {
        case 1:
        case 2:
        case 4:
            KL_LOG(2, kEngineTag, message);
            break;
        case 8:
            KL_LOG(8, kEngineTag, message);
            break;
        case 16:
            KL_LOG(16, kEngineTag, message);
            break;
        default:
            break;
        }
    });
}

std::shared_ptr<KLSDKMeetingApiProtocol> makeMeetingApi(const KLMeetingConfigPtr &config)
{
    if (config->isVanInternal())
        return std::make_shared<KLSDKMeetingHTTPApi>(config);
    return std::make_shared<KLSDKMeetingWSSApi>();
}
} // namespace

std::shared_ptr<KLConferenceService>
KLConferenceService::create(std::shared_ptr<KLSDKMeetingConfigInternal> meetingConfig,
                            std::weak_ptr<KLSDKMeetingEventDelegate> delegate)
{
    meetingConfig->setSdkVersion(QString::fromLatin1(kSdkVersion));
    KLQLSLogger::sharedInstance().setMeetingConfig(meetingConfig);
    KLClientConfigManager::sharedInstance().setIsStaff(meetingConfig->isVanInternal());
    const QString conferenceId = meetingConfig->meetingUUID();
    return create(conferenceId, 0, false, QString(), std::move(meetingConfig), std::move(delegate));
}

std::shared_ptr<KLConferenceService>
KLConferenceService::create(const QString &conferenceId, qint64 mode, bool isReceive,
                            const QString &projectId,
                            std::shared_ptr<KLSDKMeetingConfigInternal> meetingConfig,
                            std::weak_ptr<KLSDKMeetingEventDelegate> delegate)
{
    // Meetings and projections alike run on the engine their dictionary names (a projection
    // started without one: the default engine).
    KL_chooseMediaEngine(meetingConfig ? meetingConfig->mediaEngine() : QString());
    std::shared_ptr<KLConferenceService> service(new KLConferenceService(
        conferenceId, mode, isReceive, projectId, std::move(meetingConfig), std::move(delegate)));
    service->setUp();
    return service;
}

KLConferenceService::KLConferenceService(const QString &conferenceId, qint64 mode,
                                         bool isReceive, const QString &projectId,
                                         std::shared_ptr<KLSDKMeetingConfigInternal> meetingConfig,
                                         std::weak_ptr<KLSDKMeetingEventDelegate> delegate)
    : m_conferenceId(conferenceId),
      m_conferenceMode(mode),
      m_multiProjectorReceive(isReceive),
      m_projectId(projectId),
      m_meetingConfig(std::move(meetingConfig)),
      m_delegate(std::move(delegate))
{
    m_empId = UserPersistentData::sharedInstance().readNormalizeWorkId();
    if (!m_meetingConfig) {
        // A run started without a meeting (a projection) is an internal one by construction.
        m_meetingConfig = KLSDKMeetingConfigInternal::create({});
        m_meetingConfig->setMeetingUUID(conferenceId);
        m_meetingConfig->setIsVanInternal(true);
    }
}

// The parts that need the finished shared object (weak references to the service).
void KLConferenceService::setUp()
{
    m_meetingApi = makeMeetingApi(m_meetingConfig);
    m_registryHost = std::make_shared<RegistryHost>(weakSelf());
    m_registry = std::make_unique<KLParticipantRegistry>(*m_registryHost);
    m_mediaContext = std::make_shared<MediaEventContext>(weakSelf());
    m_mediaEvents = KLMediaEventHandler::create(m_mediaContext);
    m_mediaStatusSource = std::make_shared<MediaStatusSource>(weakSelf());
    m_mediaStatus = std::make_unique<KLMediaStatusService>(m_mediaStatusSource);
    m_hardWareStatus = std::make_unique<KLHardwareStatusService>();
    // Components of the signalling events, collaboration and multi-projector parts are made here.
    setUpMultiProjector();
    setUpCollaboration();
    setUpSignalingEvents();
    // --- end of component set-up ---
    installEngineLogHook();
    if (auto engine = KLRTCMediaSDK::shared())
        engine->messageManager()->initWithDelegate(weakSelf());
    observeNotifications();
}

void KLConferenceService::observeNotifications()
{
    auto weak = weakSelf();
    KLNotificationCenter::defaultCenter().addObserver(
        this, KLNotificationNames::SystemWillSleep, [weak](const KLNotification &) {
            if (auto self = weak.lock())
                self->systemWillSleep();
        });
}

KLConferenceService::~KLConferenceService()
{
    KLNotificationCenter::defaultCenter().removeObserver(this);
    if (m_enterMeetingTimeoutTimer)
        m_enterMeetingTimeoutTimer->stopTimer();
    if (m_mediaStatus)
        m_mediaStatus->stopTimer();
    if (m_hardWareStatus)
        m_hardWareStatus->stopTimer();
    if (m_signalingChannel)
        m_signalingChannel->stopSignaling();
    if (m_mediaConnectionObject)
        m_mediaConnectionObject->disconnect();
}

// --- Reads ----------------------------------------------------------------------------------

std::shared_ptr<KLSDKMeetingApiProtocol> KLConferenceService::meetingApi() const
{
    return m_meetingApi;
}

std::shared_ptr<KLRTCMediaConnection> KLConferenceService::mediaConnection() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_mediaConnectionObject;
}

void KLConferenceService::setDataSource(std::weak_ptr<KLConferenceManagerDataSource> dataSource)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_dataSource = std::move(dataSource);
}

std::shared_ptr<KLConferenceManagerDataSource> KLConferenceService::dataSource() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_dataSource.lock();
}

std::shared_ptr<KLSDKMeetingEventDelegate> KLConferenceService::delegate() const
{
    return m_delegate.lock();
}

#define KL_GUARDED_READ(Type, name, field)                                                     \
    Type KLConferenceService::name() const                                                     \
    {                                                                                          \
        std::lock_guard<std::mutex> lock(m_mutex);                                             \
        return field;                                                                          \
    }
KL_GUARDED_READ(QString, appointmentId, m_appointmentId)
KL_GUARDED_READ(QString, uuid, m_uuid)
KL_GUARDED_READ(QString, empId, m_empId)
KL_GUARDED_READ(QString, masterEmpId, m_masterEmpId)
KL_GUARDED_READ(QString, meetingRateUrl, m_clientConfiguration.meetingRateUrl)
KL_GUARDED_READ(QString, meetingSummaryRtShowUrl, m_clientConfiguration.meetingSummaryRtShowUrl)
KL_GUARDED_READ(QJsonObject, meetingInfo, m_meetingInfo)
KL_GUARDED_READ(QJsonObject, bizInfo, m_bizInfo)
KL_GUARDED_READ(QJsonObject, rtcWsInfo, m_rtcWsInfo)
KL_GUARDED_READ(QJsonObject, connectionParam, m_connectionParam)
KL_GUARDED_READ(QJsonArray, iceServers, m_iceServers)
KL_GUARDED_READ(QJsonArray, phoneDialInList, m_phoneDialInList)
KL_GUARDED_READ(std::shared_ptr<KLConferenceItemModel>, detailAppointment, m_detailAppointment)
KL_GUARDED_READ(std::shared_ptr<KLConferenceSignalChannel>, signalingChannel, m_signalingChannel)
KL_GUARDED_READ(KLClientConfiguration, clientConfiguration, m_clientConfiguration)
KL_GUARDED_READ(bool, isShowRate, m_clientConfiguration.isShowRate)
#undef KL_GUARDED_READ

bool KLConferenceService::isMaster() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_empId == m_masterEmpId;
}

void KLConferenceService::setIsMuteInitStage(bool value)
{
    m_isMuteInitStage = value;
    if (!value)
        KLToastManager::shared().closePermanentMessage(KLPermanentToastKind::CloseSpeakerAndMic);
}

// --- Registry forwarding --------------------------------------------------------------------

KLFeedPtr KLConferenceService::publisher() const { return m_registry->publisher(); }
KLFeedPtr KLConferenceService::clientWithUUID(const QString &uuid) const
{
    return m_registry->clientWithUUID(uuid);
}
QList<KLFeedPtr> KLConferenceService::memberList() const { return m_registry->memberList(); }
void KLConferenceService::displayClientAutomatically() { m_registry->displayClientAutomatically(); }
void KLConferenceService::lockClientFeed(const KLFeedPtr &feed) { m_registry->lockClientFeed(feed); }
void KLConferenceService::clickedClientFeed(const KLFeedPtr &feed)
{
    m_registry->clickedClientFeed(feed);
}
QList<KLFeedPtr> KLConferenceService::smallClients() { return m_registry->smallClients(); }
void KLConferenceService::addParticipants(const QJsonArray &participants)
{
    m_registry->addParticipants(participants);
}

// --- Engine and channel callbacks -------------------------------------------------------------

void KLConferenceService::rtcConnection(const std::shared_ptr<KLRTCMediaConnection> &connection,
                                        int event, const KLRTCMediaEventInfo &info)
{
    // Events of a connection this service already let go of (a refresh replaced it) are stale.
    if (connection && connection != mediaConnection())
        return;
    m_mediaEvents->handleConnectionEvent(event, info);
}

void KLConferenceService::rtcStream(const std::shared_ptr<KLRTCMediaStream> &stream, int state,
                                    const QJsonObject &info)
{
    m_mediaEvents->handleStreamState(stream, state, info);
}

void KLConferenceService::IncomingCommonWebRtcMsg(qint32 type)
{
    m_mediaEvents->incomingCommonWebRtcMsg(type);
}

void KLConferenceService::didGetRTCLog(const QString &log) { m_mediaEvents->didGetRTCLog(log); }

void KLConferenceService::didGetMediaError(qint32 code, qint32 reason)
{
    m_mediaEvents->didGetMediaError(code, reason);
}

void KLConferenceService::didGetConferenceSignalChannelOpenState(bool usable)
{
    m_mediaEvents->signalChannelOpenState(usable);
}

void KLConferenceService::didGetError(qint64 code)
{
    m_mediaEvents->signalChannelError(static_cast<int>(code));
}
