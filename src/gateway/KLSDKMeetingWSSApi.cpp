#include "gateway/KLSDKMeetingWSSApi.h"

#include "cloudlog/KLQLSLogger.h"
#include "host/KLHostUtils.h"
#include "model/KLParticipant.h"
#include "model/KLSDKMeetingConfigInternal.h"
#include "runtime/KLDictionary.h"
#include "runtime/KLSDKLog.h"
#include "signalling/KLConferenceSignalChannel.h"
#include "signalling/KLSDKApiChannelConstants.h"

#include <QJsonDocument>
#include <QSysInfo>

namespace {

const QString kLogTag = QStringLiteral("KLSDKMeetingWSSApi");
const QString kClientVersion = QStringLiteral("1.0.0");


QString userIdOf(const KLMeetingConfigPtr &config)
{
    return config ? KL_textOrEmpty(config->userId()) : QString(QLatin1String(""));
}

QJsonObject memberBody(const KLParticipantPtr &appointment)
{
    return {{QStringLiteral("appointmentId"),
             appointment ? KL_integerText(appointment->appointmentId) : QStringLiteral("0")},
            {QStringLiteral("memberUuid"),
             appointment ? KL_textOrEmpty(appointment->memberUUID) : QString(QLatin1String(""))}};
}

void recordFailure(const QString &messageType, const KLSDKApiChannelResponse &response)
{
    QJsonObject record{{QStringLiteral("url"), messageType},
                       {QStringLiteral("errCode"), response.responseCode},
                       {QStringLiteral("value"), QStringLiteral("apiError")}};
    if (!response.responseMsg.isEmpty())
        record.insert(QStringLiteral("errMsg"), response.responseMsg);
    KLQLSLogger::sharedInstance().commitMonitorLevel(5, 3, record);
}

} // namespace

KLSDKMeetingWSSApi::KLSDKMeetingWSSApi(std::unique_ptr<KLReachability> reachability)
    : m_netWorkAvaliable(std::make_shared<std::atomic<bool>>(false))
    , m_reachability(reachability ? std::move(reachability) : KLReachability::create())
{
    m_reachability->startUpdating(m_netWorkAvaliable);
}

KLSDKMeetingWSSApi::~KLSDKMeetingWSSApi() = default;

bool KLSDKMeetingWSSApi::isNetWorkAvailable() const
{
    return m_netWorkAvaliable->load();
}

void KLSDKMeetingWSSApi::setConferenceChannel(std::shared_ptr<KLConferenceSignalChannel> channel)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_conferenceSignalChannel = std::move(channel);
}

QString KLSDKMeetingWSSApi::modelInfo()
{
    return QStringLiteral("%1/%2/%3")
        .arg(QStringLiteral("linux"), QStringLiteral("pc"), QSysInfo::currentCpuArchitecture())
        .toLower();
}

void KLSDKMeetingWSSApi::request(const QString &messageType, const QJsonObject &params,
                                 KLApiSuccessBlock success, KLApiFailureBlock failure)
{
    std::shared_ptr<KLConferenceSignalChannel> channel;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        channel = m_conferenceSignalChannel;
    }
    if (!channel) {
        KL_LOG_WARN(kLogTag, QStringLiteral("%1 not sent: no signal channel yet").arg(messageType));
        return;
    }
    auto request = KLSDKApiChannelRequest::make(KLSDKApiChannelTopicControl, messageType, params);
    request->callback = [messageType, flag = m_netWorkAvaliable, success = std::move(success),
                         failure = std::move(failure)](const KLSDKApiChannelResponse &response) {
        // Only a reply proves the network; a request that expired locally does not.
        if (response.response || response.responseCode != KLSDKApiChannelErrorTimeout)
            flag->store(true);
        if (response.response && response.responseCode == 200) {
            if (success)
                success(response.data);
            return;
        }
        recordFailure(messageType, response);
        if (failure)
            failure(QString::number(response.responseCode), response.responseMsg);
    };
    channel->sendRequest(request);
}

void KLSDKMeetingWSSApi::muteMemberWithAppointment(const KLParticipantPtr &appointment,
                                                   bool status, KLApiSuccessBlock success,
                                                   KLApiFailureBlock failure)
{
    QJsonObject body = memberBody(appointment);
    body.insert(QStringLiteral("status"), status ? QStringLiteral("true") : QStringLiteral("false"));
    request(QStringLiteral("mute"), body, std::move(success), std::move(failure));
}

void KLSDKMeetingWSSApi::vmuteMemberWithAppointment(const KLParticipantPtr &appointment,
                                                    bool status, KLApiSuccessBlock success,
                                                    KLApiFailureBlock failure)
{
    QJsonObject body = memberBody(appointment);
    body.insert(QStringLiteral("status"), status ? QStringLiteral("true") : QStringLiteral("false"));
    request(QStringLiteral("vmute"), body, std::move(success), std::move(failure));
}

void KLSDKMeetingWSSApi::hangUpMeetingMemberWithAppointment(const KLParticipantPtr &appointment,
                                                            const QString &type,
                                                            KLApiSuccessBlock success,
                                                            KLApiFailureBlock failure)
{
    QJsonObject body = memberBody(appointment);
    body.insert(QStringLiteral("type"), KL_textOrEmpty(type));
    request(QStringLiteral("hangup"), body, std::move(success), std::move(failure));
}

void KLSDKMeetingWSSApi::finishAppointmentWithConfig(const KLMeetingConfigPtr &config,
                                                     KLApiSuccessBlock success,
                                                     KLApiFailureBlock failure)
{
    const QString appointmentId = config ? config->appointmentId() : QString();
    if (appointmentId.isEmpty())
        return;
    request(QStringLiteral("hangupall"),
            {{QStringLiteral("appointmentId"), appointmentId},
             {QStringLiteral("userId"), userIdOf(config)},
             {QStringLiteral("type"), QStringLiteral("3")}},
            std::move(success), std::move(failure));
}

void KLSDKMeetingWSSApi::getMeetingInfoWithConfig(const KLMeetingConfigPtr &config,
                                                  const std::optional<QJsonObject> &iceServers,
                                                  const QString &, KLApiSuccessBlock success,
                                                  KLApiFailureBlock failure)
{
    QJsonObject body{{QStringLiteral("meetingUuid"), config ? KL_textOrEmpty(config->meetingUUID()) : QString()},
                     {QStringLiteral("userId"), userIdOf(config)},
                     {QStringLiteral("clientUuid"), KL_textOrEmpty(KLHostUtils::wiFiInterface())},
                     {QStringLiteral("meetingClientType"), QStringLiteral("pc_mac")},
                     {QStringLiteral("clientVersion"), kClientVersion}};
    if (iceServers) {
        const QByteArray json = QJsonDocument(*iceServers).toJson(QJsonDocument::Indented);
        if (!json.isEmpty())
            body.insert(QStringLiteral("iceServers"), QString::fromUtf8(json));
    }
    const QString memberUuid = config ? config->memberUUID() : QString();
    if (!memberUuid.isEmpty())
        body.insert(QStringLiteral("memberUuid"), memberUuid);
    request(QStringLiteral("meetinginfo"), body, std::move(success), std::move(failure));
}

void KLSDKMeetingWSSApi::getClientConfigWithConfig(const KLMeetingConfigPtr &config,
                                                   KLApiSuccessBlock success,
                                                   KLApiFailureBlock failure)
{
    request(QStringLiteral("getclientconfig"),
            {{QStringLiteral("userId"), userIdOf(config)},
             {QStringLiteral("model"), modelInfo()},
             {QStringLiteral("version"), kClientVersion},
             {QStringLiteral("scene"), QString(QLatin1String(""))}},
            std::move(success), std::move(failure));
}

void KLSDKMeetingWSSApi::getClientSwitchConfigWithConfig(const KLMeetingConfigPtr &config,
                                                         KLApiSuccessBlock success,
                                                         KLApiFailureBlock failure)
{
    request(QStringLiteral("getswitchconfig"), {{QStringLiteral("userId"), userIdOf(config)}},
            std::move(success), std::move(failure));
}

void KLSDKMeetingWSSApi::getIceServerListWithConfig(const KLMeetingConfigPtr &config,
                                                    KLApiSuccessBlock success,
                                                    KLApiFailureBlock failure)
{
    KLApiSuccessBlock passList = [success = std::move(success)](const QJsonValue &data) {
        if (success)
            success(data.toObject().value(QLatin1String("iceServerList")));
    };
    request(QStringLiteral("geticeserverlist"),
            {{QStringLiteral("userId"), userIdOf(config)},
             {QStringLiteral("version"), kClientVersion},
             {QStringLiteral("scene"), QString(QLatin1String(""))}},
            std::move(passList), std::move(failure));
}
