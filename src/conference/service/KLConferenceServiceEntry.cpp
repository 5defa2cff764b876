// Entering the meeting once its information is known: the engine's business and registration
// infos, the own feed, the appointment detail (internal users), the permission checks, the
// device check and the media connection with its enter time-out. A refresh runs this part
// again with the stored meeting information.

#include "conference/service/KLConferenceService.h"

#include "cloudlog/KLQLSLogger.h"
#include "conference/devices/KLDeviceManager.h"
#include "conference/devices/KLDevicePermissionCheck.h"
#include "conference/registry/KLFeedClient.h"
#include "conference/join/KLJoinFailures.h"
#include "conference/join/KLMediaSessionInfo.h"
#include "conference/join/KLMeetingInformation.h"
#include "conference/registry/KLParticipantRegistry.h"
#include "conference/service/KLPublishWatchdog.h"
#include "gateway/KLSDKMeetingApiProtocol.h"
#include "host/KLHostUtils.h"
#include "host/KLMessageMode.h"
#include "host/UserPersistentData.h"
#include "media/KLRTCMediaSDK.h"
#include "media/KLRTCMediaSettingStore.h"
#include "media/KLRTCMediaTypes.h"
#include "model/KLConferenceItemModel.h"
#include "model/KLSDKMeetingConfigInternal.h"
#include "model/KLSDKMeetingEventDelegate.h"
#include "presentation/KLDialogQueue.h"
#include "presentation/KLToastManager.h"
#include "runtime/KLLocalization.h"
#include "runtime/KLNotificationCenter.h"
#include "runtime/KLNotificationNames.h"
#include "runtime/KLSDKLog.h"
#include "runtime/KLTimer.h"

#include <KelvoUISDK/KLSDKDispatch.h>

#include <QUuid>

namespace {
const char *const kTag = "KLConferenceService";
constexpr double kEnterTimeoutSeconds = 30;
constexpr double kProjectorSenderEnterTimeoutSeconds = 60;

QString createUUID()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}
} // namespace

// Step 8.
void KLConferenceService::handleEnterMeeting(const QJsonObject &reply)
{
    if (m_isLeavingRoomBySelf)
        return;
    const KLMeetingInformation info = KLMeetingInformation::fromReply(reply);
    m_connectionStarted = false;
    initBizInfo(info);
    initRtcWsRegInfo(info);
    prepareSignalChannelForEntry();
    if (m_conferenceMode == 0) {
        checkBeautyIsAvailable();
        if (!m_isRefreshStage) {
            UserPersistentData &store = UserPersistentData::sharedInstance();
            m_isEnterRoomAudioShouldMute =
                store.readEnterAudioMuteFlag() || m_meetingConfig->muteAudio();
            m_isEnterRoomVideoShouldMute =
                store.readEnterVideoMuteFlag() || m_meetingConfig->muteVideo();
        }
    }
    registerOwnFeed(info);
    // Every entry has a new own feed (a refresh removes them all), so it is watched anew.
    if (m_conferenceMode == 0)
        notifactionPublish();
    if (m_meetingConfig->isVanInternal()) {
        getDetailAppointment();
        return;
    }
    if (m_meetingConfig->audioOnly())
        m_isVideoMeeting = false;
    setSubBizType(m_conferenceMode != 0 ? QStringLiteral("mprojector")
                                        : (m_isVideoMeeting ? QStringLiteral("video")
                                                            : QStringLiteral("audio")));
    checkPermissions();
}

void KLConferenceService::initBizInfo(const KLMeetingInformation &info)
{
    m_isPallasMeeting = info.isPallasMeeting();
    KL_applyMeetingKindDefaults(info);
    const QString sid = createUUID();
    const QJsonObject bizInfo = KL_initBizInfo(info, m_conferenceMode, info.uuid, sid);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_pallasSid = sid;
        m_bizInfo = bizInfo;
    }
    KLCloudLogMeetingContext::from(m_conferenceId, info, sid).apply(KLQLSLogger::sharedInstance());
}

void KLConferenceService::initRtcWsRegInfo(const KLMeetingInformation &info)
{
    const QJsonObject regInfo = KL_initRtcWsRegInfo(info, m_meetingConfig->isVanInternal(),
                                                    m_meetingConfig->meetingToken());
    std::lock_guard<std::mutex> lock(m_mutex);
    m_rtcWsInfo = regInfo;
}

void KLConferenceService::setSubBizType(const QString &subBizType)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bizInfo.insert(QStringLiteral("subBizType"), subBizType);
}

// An internal user's channel is made now and started with the media connection. An external
// user's channel already carries the join; after a refresh dropped it, a new one is made and
// asks for the member list once it has registered again.
void KLConferenceService::prepareSignalChannelForEntry()
{
    if (m_meetingConfig->isVanInternal()) {
        makeSignalChannel();
        return;
    }
    if (auto channel = signalingChannel()) {
        channel->sendJoinRequest();
        return;
    }
    auto channel = makeSignalChannel();
    std::weak_ptr<KLConferenceSignalChannel> weakChannel = channel;
    channel->setRegisterBlock([weakChannel] {
        if (auto registered = weakChannel.lock())
            registered->sendJoinRequest();
    });
    channel->startSignaling();
}

void KLConferenceService::registerOwnFeed(const KLMeetingInformation &info)
{
    const QJsonObject memberInfo = info.reply.value(QStringLiteral("memberInfo")).toObject();
    if (!memberInfo.isEmpty())
        m_registry->addParticipant(memberInfo);
    const KLFeedPtr own = m_registry->clientWithUUID(info.uuid);
    if (!own) {
        KL_LOG_WARN(kTag, QStringLiteral("no own feed for member %1").arg(info.uuid));
        return;
    }
    own->setIsPublisher(true);
    own->setEmpId(info.empId);
    m_registry->setPublisher(own);
}

// Step 9 (internal users).
void KLConferenceService::getDetailAppointment()
{
    auto weak = weakSelf();
    m_meetingApi->getAppointmentDetailById(
        appointmentId(),
        [weak](const QJsonValue &payload) {
            if (auto self = weak.lock())
                self->detailAppointmentReceived(payload);
        },
        [weak](const QString &code, const QString &message) {
            if (auto self = weak.lock())
                self->detailAppointmentFailed(code, message);
        });
}

void KLConferenceService::detailAppointmentReceived(const QJsonValue &payload)
{
    if (m_isLeavingRoomBySelf)
        return;
    QString error;
    auto detail = KLConferenceItemModel::createWithDictionary(payload.toObject(), &error);
    if (!detail) {
        KL_LOG_ERROR(kTag, QStringLiteral("KLConferenceItemModel parse error"));
        detail = detailAppointment();
    } else {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_detailAppointment = detail;
        m_masterEmpId = detail->masterEmpId;
    }
    if (detail)
        applyAppointmentDetail(*detail);
    if (m_conferenceMode == 0)
        checkPermissions();
    else
        startConnection();
    QVariantMap userInfo;
    userInfo.insert(QStringLiteral("detail"), QVariant::fromValue(detail));
    KLNotificationCenter::defaultCenter().postNotification(
        KLNotificationNames::GetAppointmentDetail, this, userInfo);
}

void KLConferenceService::applyAppointmentDetail(const KLConferenceItemModel &detail)
{
    if (m_conferenceMode == 1) {
        const qint64 isScreen = detail.isScreen.toInteger();
        if (isScreen == 1)
            m_isOpenAudioMeetingForMultiProjector = false;
        else if (isScreen == 2)
            m_isOpenAudioMeetingForMultiProjector = true;
        setSubBizType(QStringLiteral("mprojector"));
    }
    if (detail.meetingType.toInteger() == 2)
        m_isVideoMeeting = false;
    if (m_conferenceMode != 0)
        return;
    setSubBizType(m_isVideoMeeting ? QStringLiteral("video") : QStringLiteral("audio"));
    if (!m_isFirstEnterStage.exchange(false))
        return;
    // The host joined from a meeting room: the room's microphone and speaker serve the meeting.
    if (!detail.roomList.empty() && isMaster()) {
        m_isSpeakerOpen = false;
        m_isMuteInitStage = true;
        KLToastManager::shared().showPermanentMessage(KLPermanentToastKind::CloseSpeakerAndMic);
    }
}

void KLConferenceService::detailAppointmentFailed(const QString &code, const QString &message)
{
    KL_LOG_INFO(kTag, QStringLiteral("detailAppointment失败: errorCode:%1, errorMsg:%2").arg(code, message));
    if (m_conferenceMode != 0 && !m_multiProjectorReceive) {
        reportProjectorStartFailed();
        projectorFailure(KLJoinFailures::kProjectorStartFailedStatus,
                         KLJoinFailures::projectorFetchFailureMessage(code).toJson());
        return;
    }
    showLeaveDialog(
        KLLocalization::localizedString(KLJoinFailures::appointmentDetailFailureKey(code)),
        [] { KLHostUtils::closeApp(); });
}

void KLConferenceService::checkBeautyIsAvailable()
{
    auto engine = KLRTCMediaSDK::shared();
    const QString model = engine ? engine->settingStore()->getComputerModel() : QString();
    KLQLSLogger::sharedInstance().setComputerModel(model);
    const QStringList unsupported =
        clientConfiguration().beautifierNotSupportedString.split(QLatin1Char(','),
                                                                 Qt::SkipEmptyParts);
    if (!unsupported.isEmpty())
        m_isShowBeauty = !unsupported.contains(model);
    else if (!m_meetingConfig->isVanInternal())
        m_isShowBeauty = true;
}

// The own-audio watchdog goes on the own feed once it exists. Confirming its dialog re-enters
// an internal user's meeting through the host; an external user has no such route.
void KLConferenceService::notifactionPublish()
{
    const bool internal = m_meetingConfig->isVanInternal();
    const QString conferenceId = m_conferenceId;
    KLPublishWatchdog::notifactionPublish(publisher(), [internal, conferenceId] {
        if (!internal)
            return;
        KLPerformBlockOnSerialQueue(
            [conferenceId] { KLMessageMode::sharedInstance().reEnterMeeting(conferenceId); });
        KLHostUtils::closeApp();
    });
}

void KLConferenceService::checkPermissions()
{
    KLPermissionState state;
    state.isVideoMeeting = m_isVideoMeeting;
    state.bAudioCanRecord = m_bAudioCanRecord;
    state.bVideoCanRecord = m_bVideoCanRecord;
    auto weak = weakSelf();
    KLDevicePermissionCheck::isValidToVisitMicroPhone(state, [weak](const KLPermissionResult &result) {
        auto self = weak.lock();
        if (!self)
            return;
        self->m_bAudioCanRecord = result.state.bAudioCanRecord;
        self->m_bVideoCanRecord = result.state.bVideoCanRecord;
        switch (result.outcome) {
        case KLPermissionOutcome::Proceed:
            self->startConnection();
            break;
        case KLPermissionOutcome::HangupForMicrophone:
        case KLPermissionOutcome::HangupForCamera:
            self->hangupWithReason(result.leaveReason());
            break;
        case KLPermissionOutcome::Nothing:
            break;
        }
    });
}

// Step 10. Runs once per entry, whichever check ends first.
void KLConferenceService::startConnection()
{
    if (m_isLeavingRoomBySelf || m_connectionStarted.exchange(true))
        return;
    if (m_conferenceMode == 0)
        checkDeviceManager();
    auto weak = weakSelf();
    KLPerformBlockOnSerialQueue([weak] {
        auto self = weak.lock();
        if (!self || self->m_isLeavingRoomBySelf)
            return;
        if (self->m_meetingConfig->isVanInternal()) {
            if (auto channel = self->signalingChannel())
                channel->startSignaling();
        }
        self->createMediaConnection();
    });
}

// Step 11.
void KLConferenceService::createMediaConnection()
{
    auto engine = KLRTCMediaSDK::shared();
    if (!engine) {
        KL_LOG_ERROR(kTag, QStringLiteral("no media engine installed"));
        return;
    }
    const KLClientConfiguration configuration = clientConfiguration();
    KLProjectorConnectionOptions projector;
    projector.kMultiScreenPaceMultiplier = configuration.kMultiScreenPaceMultiplier;
    projector.disableAvSyncForMultiProjector = configuration.disableAvSyncForMultiProjector;
    projector.prefersLateDecodingForMultiProjector =
        configuration.prefersLateDecodingForMultiProjector;
    KLConnectionParameters parameters = KL_buildConnectionParam(
        m_conferenceMode, iceServers(), rtcWsInfo(), bizInfo(), m_isPallasMeeting, projector);
    // The media server is trusted like the meeting service: with the configuration's CA file.
    if (!m_meetingConfig->caFile().isEmpty())
        parameters.connectionParam.insert(QStringLiteral("caFile"), m_meetingConfig->caFile());
    auto connection =
        engine->createConnection(parameters.connectionParam, parameters.mode, parameters.transport,
                                 parameters.openDataChannel, parameters.useSimulcast, weakSelf());
    if (!connection)
        return;
    {
        // A leave that began while the connection was being made has already torn the media
        // down (it takes the connection under this lock): this one must not outlive it.
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_isLeavingRoomBySelf) {
            KL_LOG_INFO(kTag, QStringLiteral("media connection made while leaving: released"));
            connection->disconnect();
            return;
        }
        m_connectionParam = parameters.connectionParam;
        m_mediaConnectionObject = connection;
    }
    ++m_mediaConnectionCount;
    KLDeviceManager::sharedInstance()->setMediaConnection(connection);
    if (UserPersistentData::sharedInstance().readEnableAecDumpFlag())
        connection->setAecDumpFlagForTest(true);
    connection->connect();
    if (!m_enterRoomSuccess && !m_isRefreshStage)
        startEnterTimeoutCheck();
}

// The device presence check: a missing speaker, microphone or camera is recorded, reported
// and explained; only a missing microphone changes what the meeting does afterwards.
void KLConferenceService::checkDeviceManager()
{
    auto devices = KLDeviceManager::sharedInstance();
    devices->initWithConferenceManager(this, clientConfiguration().autoSwitchBlueToothDeviceForMac);
    const bool hasMic = devices->hasDeviceOfType(KLRTCMediaDeviceTypeMic);
    if (!hasMic)
        reportMissingMicrophone();
    else if (!devices->hasDeviceOfType(KLRTCMediaDeviceTypeSpeaker))
        reportMissingDevice(QStringLiteral("No Speaker"), QStringLiteral("No Speaker Device"),
                            QStringLiteral("NO_SPEAKER_TIPS"));
    if (!devices->hasDeviceOfType(KLRTCMediaDeviceTypeCamera))
        reportMissingDevice(QStringLiteral("No Camera"), QStringLiteral("No Camera Device"),
                            QString());
    devices->uploadAllDeviceToQls();
}

void KLConferenceService::reportMissingDevice(const QString &errMsg, const QString &reason,
                                              const QString &dialogKey)
{
    KLQLSLogger::sharedInstance().commitMonitorLevel(
        5, 3, {{"value", "mediaError"}, {"errCode", "606"}, {"errMsg", errMsg}});
    if (auto delegate = this->delegate())
        delegate->onError(KLSDKMeetingErrorDeviceMissing, reason);
    if (dialogKey.isEmpty())
        return;
    KLDialogRequest request;
    request.title = KLLocalization::localizedString(dialogKey);
    request.firstButtonText = KLLocalization::localizedString(QStringLiteral("CONFIRM"));
    KLToastManager::shared().showToastDialog(std::move(request));
}

void KLConferenceService::reportMissingMicrophone()
{
    m_isMicrophoneAvailable = false;
    KLQLSLogger::sharedInstance().commitMonitorLevel(
        5, 3, {{"value", "mediaError"}, {"errCode", "606"}, {"errMsg", "No Microphone"}});
    const bool internal = m_meetingConfig->isVanInternal();
    auto weakDelegate = m_delegate;
    KLDialogRequest request;
    request.title = KLLocalization::localizedString(QStringLiteral("NO_MICROPHONE_TIPS"));
    request.firstButtonText = KLLocalization::localizedString(
        m_meetingConfig->allowNoMic() ? QStringLiteral("CONFIRM_OK")
                                      : KLJoinFailures::acknowledgeButtonKey());
    request.firstBlock = [internal, weakDelegate] {
        if (internal) {
            KLHostUtils::closeApp();
        } else if (auto delegate = weakDelegate.lock()) {
            delegate->onError(KLSDKMeetingErrorDeviceMissing, QStringLiteral("No Microphone Device"));
        }
    };
    KLToastManager::shared().showToastDialog(std::move(request));
}

// --- Enter time-out -----------------------------------------------------------------------

void KLConferenceService::startEnterTimeoutCheck()
{
    const bool projectorSender = m_conferenceMode != 0 && !m_multiProjectorReceive;
    const double seconds = projectorSender ? kProjectorSenderEnterTimeoutSeconds
                                           : kEnterTimeoutSeconds;
    auto weak = weakSelf();
    auto timer = std::make_unique<KLTimer>(seconds, false, [weak] {
        if (auto self = weak.lock())
            self->checkEnterRoomStatus();
    });
    timer->startTimer();
    std::unique_ptr<KLTimer> previous;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        previous = std::move(m_enterMeetingTimeoutTimer);
        m_enterMeetingTimeoutTimer = std::move(timer);
    }
    if (previous)
        previous->stopTimer();
}

void KLConferenceService::stopEnterTimeoutCheck()
{
    std::unique_ptr<KLTimer> timer;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        timer = std::move(m_enterMeetingTimeoutTimer);
    }
    if (timer)
        timer->stopTimer();
}

void KLConferenceService::checkEnterRoomStatus()
{
    if (m_enterRoomSuccess)
        return;
    KLQLSLogger &logger = KLQLSLogger::sharedInstance();
    if (m_conferenceMode == 0) {
        logger.commitMonitorLevel(5, 3, {{"errCode", "1112"}, {"value", "enterRoomFailed"}});
        hangupWithReason(KLLeaveReasonEnterTimeout);
        return;
    }
    if (m_multiProjectorReceive) {
        logger.commitMonitorLevel(5, 3, {{"errCode", "2001"}, {"value", "projectWatchFailed"}});
        KLHostUtils::closeApp();
        return;
    }
    logger.commitMonitorLevel(5, 3, {{"errCode", "2000"}, {"value", "projectFailed"}});
    reportProjectorStartFailed();
    projectorFailure(KLJoinFailures::kProjectorStartFailedStatus,
                     KLJoinFailures::projectorConnectTimeoutMessage().toJson());
}
