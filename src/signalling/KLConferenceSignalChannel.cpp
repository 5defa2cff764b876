#include "signalling/KLConferenceSignalChannel.h"

#include "clientconfig/KLClientConfigManager.h"
#include "model/KLSDKMeetingConfigInternal.h"
#include "runtime/KLDispatchQueue.h"
#include "runtime/KLDictionary.h"
#include "runtime/KLSDKLog.h"
#include "runtime/KLTimeScale.h"
#include "runtime/KLTimer.h"
#include "signalling/KLSDKApiChannelConstants.h"

#include <QJsonDocument>

namespace {

const QString kLogTag = QStringLiteral("KLConferenceDignalChannel");
constexpr double kChannelCheckSeconds = 5.0;
constexpr int kEventKeepAlive = 10000;
constexpr int kEventMemberList = 10001;
constexpr qint64 kCodeSuccess = 200;
constexpr qint64 kCodeTokenRefused = 91207;


} // namespace

std::shared_ptr<KLConferenceSignalChannel>
KLConferenceSignalChannel::create(const QString &server,
                                  std::shared_ptr<KLSDKMeetingConfigInternal> meetingConfig,
                                  double heatBeat,
                                  std::weak_ptr<KLConferenceSignalChannelDelegate> delegate)
{
    std::shared_ptr<KLConferenceSignalChannel> channel(new KLConferenceSignalChannel(
        server, std::move(meetingConfig), heatBeat, std::move(delegate)));
    const QVariantMap param{{QStringLiteral("signalingServer"), server},
                            {QStringLiteral("caFile"),
                             channel->m_meetingConfig ? channel->m_meetingConfig->caFile() : QString()}};
    channel->m_signalingChannel = KLConferenceChannelWebSocket::create(
        param, std::weak_ptr<KLConferenceChannelDelegate>(channel),
        QStringLiteral("ConferenceManagerWs"));
    std::weak_ptr<KLConferenceSignalChannel> weak = channel;
    channel->m_timerHeartBeat = std::make_unique<KLTimer>(channel->m_heatBeatVal, true, [weak] {
        if (auto self = weak.lock())
            self->heartBeat();
    });
    channel->m_channelCheckTimer = std::make_unique<KLTimer>(kChannelCheckSeconds, false, [weak] {
        if (auto self = weak.lock())
            self->checkChannelState();
    });
    return channel;
}

KLConferenceSignalChannel::KLConferenceSignalChannel(
    const QString &server, std::shared_ptr<KLSDKMeetingConfigInternal> meetingConfig,
    double heatBeat, std::weak_ptr<KLConferenceSignalChannelDelegate> delegate)
    : m_signalingServer(server)
    , m_meetingConfig(std::move(meetingConfig))
    , m_heatBeatVal(heatBeat < 2 ? 30.0 : heatBeat)
    , m_delegate(std::move(delegate))
{
}

KLConferenceSignalChannel::~KLConferenceSignalChannel()
{
    m_timerHeartBeat.reset();
    m_channelCheckTimer.reset();
}

void KLConferenceSignalChannel::startSignaling()
{
    if (!m_signalingChannel)
        return;
    m_signalingChannel->connect();
    m_shouldHeartBeat.store(true);
}

void KLConferenceSignalChannel::stopSignaling()
{
    m_signalingChannel->disconnect();
    stopHeartBeat();
    stopChannelCheckTimer();
    m_isFirstRegister.store(true);
    QHash<QString, std::shared_ptr<KLSDKApiChannelRequest>> waiting;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        waiting.swap(m_requestMapper);
    }
    if (waiting.isEmpty())
        return;
    m_signalingChannel->queue().async([waiting] {
        for (const auto &request : waiting)
            request->doCallback(KLSDKApiChannelResponse::responseWithCode(
                KLSDKApiChannelErrorTimeout,
                QStringLiteral("signalling stopped before the reply to %1").arg(request->messageType)));
    });
}

void KLConferenceSignalChannel::sendRequest(const std::shared_ptr<KLSDKApiChannelRequest> &request)
{
    if (!request)
        return;
    if (request->from.isEmpty())
        request->from = {{QStringLiteral("sessionId"),
                          m_meetingConfig ? KL_textOrEmpty(m_meetingConfig->memberUUID()) : QString()}};
    if (request->to.isEmpty())
        request->to = {{QStringLiteral("sessionId"), QStringLiteral("system")}};
    if (request->callbackable) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_requestMapper.insert(request->requestId, request);
        }
        expireLater(request);
    }
    m_signalingChannel->sendMessage(request->toJSONObject());
}

void KLConferenceSignalChannel::expireLater(const std::shared_ptr<KLSDKApiChannelRequest> &request)
{
    std::weak_ptr<KLConferenceSignalChannel> weak = weak_from_this();
    const QString requestId = request->requestId;
    m_signalingChannel->queue().asyncAfter(
        KLTimeScale::scaledMilliseconds(request->timeout), [weak, requestId] {
            auto self = weak.lock();
            if (!self)
                return;
            if (auto expired = self->takeRequest(requestId))
                expired->doCallback(KLSDKApiChannelResponse::responseWithCode(
                    KLSDKApiChannelErrorTimeout,
                    QStringLiteral("no reply to %1 within %2 s")
                        .arg(expired->messageType)
                        .arg(expired->timeout)));
        });
}

std::shared_ptr<KLSDKApiChannelRequest> KLConferenceSignalChannel::takeRequest(const QString &requestId)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requestMapper.take(requestId);
}

int KLConferenceSignalChannel::pendingRequestCount() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return int(m_requestMapper.size());
}

void KLConferenceSignalChannel::sendJoinRequest()
{
    const QString appointmentId = m_meetingConfig ? m_meetingConfig->appointmentId() : QString();
    if (appointmentId.isEmpty()) {
        KL_LOG_WARN(kLogTag, QStringLiteral("member list not requested: no appointment id yet"));
        return;
    }
    auto request = KLSDKApiChannelRequest::make(
        KLSDKApiChannelTopicStatus, QStringLiteral("memberlist"),
        {{QStringLiteral("eventId"), kEventMemberList}, {QStringLiteral("appointmentId"), appointmentId}});
    request->callback = [](const KLSDKApiChannelResponse &) {};
    sendRequest(request);
}

void KLConferenceSignalChannel::setRegisterBlock(KLBlock block)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_registerBlock = std::move(block);
}

void KLConferenceSignalChannel::setDelegate(std::weak_ptr<KLConferenceSignalChannelDelegate> delegate)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_delegate = std::move(delegate);
}

std::shared_ptr<KLConferenceSignalChannelDelegate> KLConferenceSignalChannel::lockDelegate() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_delegate.lock();
}

void KLConferenceSignalChannel::didChangeState(qint64 state)
{
    switch (state) {
    case KLConferenceChannelStateDisconnected:
        if (m_shouldHeartBeat.load() && !m_checkTimerRunning.load())
            startChannelCheckTimer();
        break;
    case KLConferenceChannelStateOpen:
        stopChannelCheckTimer();
        if (auto delegate = lockDelegate())
            delegate->didGetConferenceSignalChannelOpenState(true);
        if (m_meetingConfig && m_meetingConfig->isVanInternal())
            doRegisterInternal();
        else
            doRegister();
        break;
    case KLConferenceChannelStateRegistered:
        if (m_isFirstRegister.exchange(false))
            runRegisterBlockOnce();
        else
            sendJoinRequest();
        break;
    default:
        break;
    }
}

void KLConferenceSignalChannel::runRegisterBlockOnce()
{
    KLBlock block;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        block = m_registerBlock;
    }
    if (block)
        block();
}

void KLConferenceSignalChannel::doRegister()
{
    const QString token = m_meetingConfig ? KL_textOrEmpty(m_meetingConfig->meetingToken()) : QString();
    auto request = KLSDKApiChannelRequest::make(KLSDKApiChannelTopicWS, QStringLiteral("register"),
                                                {{QStringLiteral("token"), token}});
    std::weak_ptr<KLConferenceSignalChannel> weak = weak_from_this();
    request->callback = [weak](const KLSDKApiChannelResponse &response) {
        auto self = weak.lock();
        if (!self)
            return;
        if (response.responseCode != kCodeSuccess) {
            KL_LOG_INFO(kLogTag, QStringLiteral("ApiChannel register failed. response = %1")
                                     .arg(response.responseCode));
            if (response.responseCode == kCodeTokenRefused)
                if (auto delegate = self->lockDelegate())
                    delegate->didGetError(0);
            return;
        }
        self->onRegistered();
    };
    sendRequest(request);
}

void KLConferenceSignalChannel::doRegisterInternal()
{
    QJsonObject body = internalBody(kEventMemberList);
    body.insert(QStringLiteral("outerMember"), KLClientConfigManager::sharedInstance().isStaff() ? 0 : 1);
    m_signalingChannel->sendMessage({{QStringLiteral("body"), body}});
    onRegistered();
}

void KLConferenceSignalChannel::onRegistered()
{
    startHeartBeatMessage();
    m_signalingChannel->setState(KLConferenceChannelStateRegistered);
    if (m_isFirstRegister.exchange(false))
        runRegisterBlockOnce();
}

QJsonObject KLConferenceSignalChannel::internalBody(int eventId) const
{
    return {{QStringLiteral("appointmentId"),
             m_meetingConfig ? KL_textOrEmpty(m_meetingConfig->appointmentId()) : QString()},
            {QStringLiteral("memberUUID"),
             m_meetingConfig ? KL_textOrEmpty(m_meetingConfig->memberUUID()) : QString()},
            {QStringLiteral("eventId"), eventId}};
}

void KLConferenceSignalChannel::startHeartBeatMessage()
{
    m_timerHeartBeat->startTimer(); // restarts a running one
}

void KLConferenceSignalChannel::heartBeat()
{
    if (!m_shouldHeartBeat.load()) {
        KL_LOG_INFO(kLogTag, QStringLiteral("heartBeat|isShare false|do nothing"));
        return;
    }
    if (m_signalingChannel->state() == KLConferenceChannelStateRegistered)
        keepAlive();
}

void KLConferenceSignalChannel::keepAlive()
{
    if (m_meetingConfig && m_meetingConfig->isVanInternal()) {
        if (m_signalingChannel->state() != KLConferenceChannelStateRegistered)
            return;
        KL_LOG_INFO(kLogTag, QStringLiteral("send conference keepalive message"));
        m_signalingChannel->sendMessage({{QStringLiteral("body"), internalBody(kEventKeepAlive)}});
        return;
    }
    auto request = KLSDKApiChannelRequest::make(
        KLSDKApiChannelTopicMedia, QStringLiteral("info"),
        {{QStringLiteral("type"), QStringLiteral("keepalive")}, {QStringLiteral("version"), QStringLiteral("1")}});
    request->callbackable = false;
    sendRequest(request);
}

void KLConferenceSignalChannel::stopHeartBeat()
{
    m_shouldHeartBeat.store(false);
    m_timerHeartBeat->stopTimer();
}

void KLConferenceSignalChannel::startChannelCheckTimer()
{
    m_checkTimerRunning.store(true);
    m_channelCheckTimer->startTimer();
}

void KLConferenceSignalChannel::stopChannelCheckTimer()
{
    m_checkTimerRunning.store(false);
    m_channelCheckTimer->stopTimer();
}

void KLConferenceSignalChannel::checkChannelState()
{
    m_checkTimerRunning.store(false);
    if (auto delegate = lockDelegate())
        delegate->didGetConferenceSignalChannelOpenState(false);
}

void KLConferenceSignalChannel::didReceiveAppMessage(const std::optional<QJsonObject> &message)
{
    KL_LOG_INFO(kLogTag, QStringLiteral("recvMessage: %1")
                             .arg(message ? QString::fromUtf8(QJsonDocument(*message).toJson(QJsonDocument::Compact))
                                          : QStringLiteral("(null)")));
    handleReceived(message);
}

void KLConferenceSignalChannel::didReceiveAppFrame(const QString &text,
                                                   const std::optional<QJsonObject> &message)
{
    KL_LOG_INFO(kLogTag, QStringLiteral("recvMessage: %1").arg(message ? text : QStringLiteral("(null)")));
    handleReceived(message);
}

void KLConferenceSignalChannel::handleReceived(const std::optional<QJsonObject> &message)
{
    const QJsonObject object = message.value_or(QJsonObject());
    // Pushes carry no request id: the whole reply is read only for a frame that answers a
    // request still waiting (its id read as initWithDict reads it).
    const QString requestId = KL_stringForKey(object, QStringLiteral("requestId"));
    if (auto request = requestId.isEmpty() ? nullptr : takeRequest(requestId)) {
        const KLSDKApiChannelResponse response = KLSDKApiChannelResponse::initWithDict(object);
        request->doCallback(response);
        if (response.topic != KLSDKApiChannelTopicStatus)
            return;
    }
    if (auto delegate = lockDelegate())
        delegate->handleKelvoSignalingMessage(KLSignalingMessage::initWithMessageSource(1, object));
}
