// The join sequence, from joinMeeting to the meeting information: signalling first for an
// external user, then the configuration documents, the ICE stage and the meeting information.
// The entry itself (business info, own feed, permissions, media connection) is in
// KLConferenceServiceEntry.cpp.

#include "conference/service/KLConferenceService.h"

#include "cloudlog/KLQLSLogger.h"
#include "clientconfig/KLClientConfigManager.h"
#include "conference/join/KLIceDetection.h"
#include "conference/join/KLJoinFailures.h"
#include "conference/join/KLMeetingInformation.h"
#include "conference/join/KLMemberUuidStore.h"
#include "gateway/KLSDKMeetingApiProtocol.h"
#include "host/KLHostUtils.h"
#include "host/KLMessageMode.h"
#include "host/UserPersistentData.h"
#include "media/KLRTCMediaLocalTurnDetect.h"
#include "media/KLRTCMediaSDK.h"
#include "model/KLSDKMeetingConfigInternal.h"
#include "model/KLSDKMeetingEventDelegate.h"
#include "presentation/KLDialogQueue.h"
#include "presentation/KLToastManager.h"
#include "runtime/KLLocalization.h"
#include "runtime/KLNotificationCenter.h"
#include "runtime/KLNotificationNames.h"
#include "runtime/KLSDKLog.h"

#include <KelvoUISDK/KLSDKDispatch.h>

#include <QJsonDocument>
#include <QThread>

namespace {
const char *const kTag = "KLConferenceService";
constexpr double kHeartBeatSeconds = 30;

QString compactJson(const QJsonValue &value)
{
    if (value.isObject())
        return QString::fromUtf8(QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact));
    if (value.isArray())
        return QString::fromUtf8(QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact));
    return value.toVariant().toString();
}
} // namespace

// Step 1. An external user's meeting operations travel over the signal channel, so nothing is
// asked before it has registered; an internal user goes straight to the configuration.
void KLConferenceService::joinMeeting()
{
    if (m_meetingConfig->isVanInternal()) {
        getConfig();
        return;
    }
    auto channel = makeSignalChannel();
    auto weak = weakSelf();
    channel->setRegisterBlock([weak] {
        if (auto self = weak.lock())
            self->getConfig();
    });
    channel->startSignaling();
}

std::shared_ptr<KLConferenceSignalChannel> KLConferenceService::makeSignalChannel()
{
    const QString server = QStringLiteral("wss://%1/nimbrameeting/websocket/channelwithauth")
                               .arg(m_meetingConfig->meetingDomain());
    auto channel = KLConferenceSignalChannel::create(server, m_meetingConfig, kHeartBeatSeconds,
                                                     weakSelf());
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_signalingChannel = channel;
    }
    m_meetingApi->setConferenceChannel(channel);
    return channel;
}

// Step 2: both configuration documents (and the dial-in numbers) on the concurrent queue.
void KLConferenceService::getConfig()
{
    if (m_isLeavingRoomBySelf)
        return;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_startEnterTimer = QDateTime::currentDateTime();
    }
    KLQLSLogger &logger = KLQLSLogger::sharedInstance();
    if (m_conferenceMode != 0) {
        logger.setLogModule(QStringLiteral("projector"));
        if (!m_multiProjectorReceive)
            logger.setProjectId(m_projectId);
    } else {
        logger.setLogModule(QStringLiteral("conference"));
    }
    KLMessageMode::sharedInstance().setLogModuleFlag(m_conferenceMode == 0);
    KL_LOG_INFO(kTag, QStringLiteral("[Thread: %1] enter conference:%2")
                          .arg(QThread::currentThread()->objectName(), m_conferenceId));

    auto weak = weakSelf();
    KLPerformBlockOnConcurrentQueue([weak] {
        if (auto self = weak.lock())
            self->fetchConfiguration();
    });
}

void KLConferenceService::fetchConfiguration()
{
    auto weak = weakSelf();
    KLClientConfigFetchHandlers handlers;
    handlers.switchConfig = [weak](bool isShowMeetingSummaryModule) {
        if (auto self = weak.lock())
            self->m_isShowMeetingSummaryModule = isShowMeetingSummaryModule;
    };
    handlers.configured = [weak](const KLClientConfiguration &configuration) {
        if (auto self = weak.lock())
            self->applyClientConfiguration(configuration);
    };
    handlers.failed = [weak](const QString &code, const QString &message, bool stopsJoin) {
        if (auto self = weak.lock())
            self->clientConfigFailed(code, message, stopsJoin);
    };
    KL_fetchClientConfiguration(*m_meetingApi, m_meetingConfig, m_conferenceMode,
                                m_meetingConfig->isVanInternal(), clientConfiguration(),
                                std::move(handlers));
    if (m_conferenceMode != 0)
        return;
    m_meetingApi->getCallInNumberByLetterWithSuccessBlock(
        [weak](const QJsonValue &payload) {
            if (auto self = weak.lock()) {
                std::lock_guard<std::mutex> lock(self->m_mutex);
                self->m_phoneDialInList = payload.toArray();
            }
        },
        [](const QString &, const QString &) {
            KL_LOG_INFO(kTag, QStringLiteral("getCallInNumberByLetter error"));
        });
}

void KLConferenceService::applyClientConfiguration(const KLClientConfiguration &configuration)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        // The summary switch has its own document and answer; keep what that one said.
        const bool summary = m_isShowMeetingSummaryModule;
        m_clientConfiguration = configuration;
        m_clientConfiguration.isShowMeetingSummaryModule = summary;
    }
    enterIceStage();
}

void KLConferenceService::clientConfigFailed(const QString &code, const QString &message,
                                             bool stopsJoin)
{
    Q_UNUSED(code);
    KL_LOG_INFO(kTag, QStringLiteral("getClientConfig error"));
    if (!stopsJoin) {
        enterIceStage();
        return;
    }
    auto weakDelegate = m_delegate;
    showLeaveDialog(message, [weakDelegate, message] {
        if (auto delegate = weakDelegate.lock())
            delegate->onError(KLSDKMeetingErrorClientConfig, message);
    });
}

// Step 3. A projection started by an external user on an internal host first asks for a
// display name through the window's enter-name dialog; without a window to ask in, the stored
// name (empty) is sent as it is.
void KLConferenceService::enterIceStage()
{
    if (m_isLeavingRoomBySelf)
        return;
    if (m_meetingConfig->isVanInternal() && !KLClientConfigManager::sharedInstance().isStaff()
        && UserPersistentData::sharedInstance().readVanNames().isEmpty()) {
        KL_LOG_INFO(kTag, QStringLiteral("no display name stored for a guest projection"));
        if (m_enterNameHandler) {
            auto weak = weakSelf();
            m_enterNameHandler([weak] {
                if (auto self = weak.lock(); self && !self->m_isLeavingRoomBySelf)
                    self->getIceServerList();
            });
            return;
        }
    }
    getIceServerList();
}

// Step 4. Without an ICE server list the join goes on without detection.
void KLConferenceService::getIceServerList()
{
    auto weak = weakSelf();
    m_meetingApi->getIceServerListWithConfig(
        m_meetingConfig,
        [weak](const QJsonValue &payload) {
            const QJsonArray list = payload.toArray();
            KLPerformBlockOnMainThread([weak, list] {
                if (auto self = weak.lock())
                    self->localTurnServerDetect(list);
            });
        },
        [weak](const QString &, const QString &) {
            if (auto self = weak.lock())
                self->getMeetingInfo(std::nullopt);
        });
}

// Step 5: the engine measures the ICE servers; the meeting service is sent the best entries.
void KLConferenceService::localTurnServerDetect(const QJsonArray &iceServers)
{
    auto engine = KLRTCMediaSDK::shared();
    auto detect = engine ? engine->createLocalTurnDetect() : nullptr;
    if (!detect) {
        getMeetingInfo(std::nullopt);
        return;
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_mediaServerLocalDetect = detect;
    }
    auto weak = weakSelf();
    detect->detectLocalTurnServerWithIceServices(
        iceServers, [weak](const QJsonArray &ips, const QJsonArray &iceRtts, const QString &localIp) {
            auto self = weak.lock();
            if (!self)
                return;
            {
                std::lock_guard<std::mutex> lock(self->m_mutex);
                self->m_publicIpList = ips;
                self->m_relayIpList = iceRtts;
            }
            KL_reportIceDetection(KLQLSLogger::sharedInstance(), ips, localIp);
            self->getMeetingInfo(KL_iceDetectionDictionary(ips, iceRtts));
        });
}

// Step 6.
void KLConferenceService::getMeetingInfo(const std::optional<QJsonObject> &detection)
{
    if (m_isLeavingRoomBySelf)
        return;
    KL_LOG_INFO(kTag, QStringLiteral("iceServerForDetect:%1")
                          .arg(detection ? compactJson(*detection) : QStringLiteral("(null)")));
    if (!KLClientConfigManager::sharedInstance().isStaff() && m_meetingConfig->isVanInternal())
        memberUUid();
    auto weak = weakSelf();
    m_meetingApi->getMeetingInfoWithConfig(
        m_meetingConfig, detection, QString(),
        [weak](const QJsonValue &payload) {
            if (auto self = weak.lock())
                self->meetingInfoReceived(payload);
        },
        [weak](const QString &code, const QString &message) {
            if (auto self = weak.lock())
                self->meetingInfoFailed(code, message);
        });
}

void KLConferenceService::memberUUid()
{
    KLMemberUuidStore::assignMemberUuid(*m_meetingConfig, m_conferenceId,
                                        UserPersistentData::sharedInstance());
}

// Step 7: keep what the meeting information says, then enter.
void KLConferenceService::meetingInfoReceived(const QJsonValue &payload)
{
    if (m_isLeavingRoomBySelf)
        return;
    const KLMeetingInformation info = KLMeetingInformation::fromReply(payload);
    KL_LOG_INFO(kTag, QStringLiteral("iceServerForServer:%1").arg(compactJson(info.iceServers)));
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_appointmentId = info.appointmentId;
        m_iceServers = info.iceServers;
        m_rtcServerWsUrl = info.rtcServerWsUrl;
        m_meetingInfo = info.reply;
        m_empId = info.empId;
        m_uuid = info.uuid;
        m_masterEmpId = info.masterEmpId;
    }
    m_meetingConfig->setAppointmentId(info.appointmentId);
    m_meetingConfig->setMemberUUID(info.uuid);
    m_meetingConfig->setUserId(info.empId);
    applySummaryState(info);
    KLNotificationCenter::defaultCenter().postNotification(
        KLNotificationNames::GetAppointmentRateUrl);
    handleEnterMeeting(info.reply);
}

void KLConferenceService::applySummaryState(const KLMeetingInformation &info)
{
    KLMeetingSummaryState current;
    current.isShowMeetingSummaryModule = m_isShowMeetingSummaryModule;
    current.isOpenSummary = m_isOpenSummary;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        current.summaryLanguage = m_summaryLanguage;
    }
    const KLMeetingSummaryState next = KL_meetingSummaryState(
        m_conferenceMode, current, info, UserPersistentData::sharedInstance().readUserEmpType(),
        m_meetingConfig->isVanInternal());
    m_isShowMeetingSummaryModule = next.isShowMeetingSummaryModule;
    m_isOpenSummary = next.isOpenSummary;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_summaryLanguage = next.summaryLanguage;
}

void KLConferenceService::meetingInfoFailed(const QString &code, const QString &message)
{
    KL_LOG_INFO(kTag, QStringLiteral("getMeetingInfo失败: errorCode:%1, errorMsg:%2").arg(code, message));
    if (m_conferenceMode != 0 && !m_multiProjectorReceive) {
        reportProjectorStartFailed();
        if (m_meetingConfig->isVanInternal()) {
            projectorFailure(KLJoinFailures::kProjectorStartFailedStatus,
                             KLJoinFailures::projectorFetchFailureMessage(code).toJson());
        } else if (auto delegate = this->delegate()) {
            delegate->onError(KLSDKMeetingErrorMeetingServer,
                              KLJoinFailures::externalProjectorFetchFailureText());
        }
        return;
    }
    const QString text = KLLocalization::localizedString(KLJoinFailures::meetingInfoFailureKey(code));
    const bool internal = m_meetingConfig->isVanInternal();
    auto weakDelegate = m_delegate;
    showLeaveDialog(text, [internal, weakDelegate, text] {
        if (internal) {
            KLHostUtils::closeApp();
        } else if (auto delegate = weakDelegate.lock()) {
            delegate->onError(KLSDKMeetingErrorMeetingServer, text);
        }
    });
}

// One dialog with a title and the single "understood" button.
void KLConferenceService::showLeaveDialog(const QString &title, std::function<void()> onPress)
{
    KLDialogRequest request;
    request.title = title;
    request.firstButtonText = KLLocalization::localizedString(KLJoinFailures::acknowledgeButtonKey());
    request.firstBlock = std::move(onPress);
    KLToastManager::shared().showToastDialog(std::move(request));
}

void KLConferenceService::reportProjectorStartFailed()
{
    m_meetingApi->notifyItMonitorForMultiProjectorWithType(
        QStringLiteral("1"), m_projectId, appointmentId(), QStringLiteral("0"),
        [](const QJsonValue &) { KL_LOG_INFO(kTag, QStringLiteral("notifyItMonitor success")); },
        [](const QString &code, const QString &) {
            KL_LOG_INFO(kTag, QStringLiteral("notifyItMonitor failed: %1").arg(code));
        });
}

// A projector sender that cannot start tells the host process why and closes.
void KLConferenceService::projectorFailure(int status, const QJsonObject &messages)
{
    KLMessageMode::sharedInstance().notifyErrorStatus(status, messages);
    KLHostUtils::closeApp();
}
