// Dispatch of the signalling pushes by event number, and the helpers every concern shares:
// reading a new call state, replacing one, posting notifications and telling the host.
#include "conference/events/KLSignalingEventHandler.h"

#include "conference/registry/KLFeedClient.h"
#include "conference/events/KLOfflineNotificationThrottle.h"
#include "model/KLCallState.h"
#include "model/KLParticipant.h"
#include "presentation/KLToastManager.h"
#include "runtime/KLNotificationCenter.h"
#include "runtime/KLNotificationNames.h"
#include "runtime/KLSDKLog.h"
#include "signalling/KLSignalingMessage.h"

#include <KelvoUISDK/KLSDKMeetingUser.h>

#include <QJsonArray>
#include <QJsonDocument>

namespace {
const QString kTag = QStringLiteral("KLSignalingEventHandler");
const QString kCallState = QStringLiteral("callState");
} // namespace

std::shared_ptr<KLSignalingEventHandler>
KLSignalingEventHandler::create(std::weak_ptr<KLSignalingEventContext> context,
                                KLSignalingEventHandlerOptions options)
{
    std::shared_ptr<KLSignalingEventHandler> handler(
        new KLSignalingEventHandler(std::move(context), std::move(options)));
    std::weak_ptr<KLSignalingEventHandler> weak = handler;
    handler->m_offlineThrottle = KLOfflineNotificationThrottle::create(
        [weak](const FeedPtr &member) {
            if (auto self = weak.lock())
                self->announceOffline(member);
        },
        handler->m_options.now);
    return handler;
}

KLSignalingEventHandler::KLSignalingEventHandler(std::weak_ptr<KLSignalingEventContext> context,
                                                 KLSignalingEventHandlerOptions options)
    : m_context(std::move(context)), m_options(std::move(options))
{
}

KLSignalingEventHandler::~KLSignalingEventHandler()
{
    if (m_offlineThrottle)
        m_offlineThrottle->stop();
}

void KLSignalingEventHandler::stop()
{
    m_offlineThrottle->stop();
}

// ---- Collaborators ----------------------------------------------------------------------

std::shared_ptr<KLSignalingEventContext> KLSignalingEventHandler::context() const
{
    auto ctx = m_context.lock();
    if (!ctx)
        KL_LOG_WARN(kTag, QStringLiteral("the meeting is gone; signalling event dropped"));
    return ctx;
}

KLToastManager &KLSignalingEventHandler::toasts() const
{
    return m_options.toasts ? *m_options.toasts : KLToastManager::shared();
}

void KLSignalingEventHandler::post(const Context &ctx, const QString &name,
                                   const QVariantMap &userInfo)
{
    KLNotificationCenter::defaultCenter().postNotification(name, ctx.notificationObject(),
                                                           userInfo);
}

void KLSignalingEventHandler::postAboutClient(const Context &ctx, const QString &name,
                                              const FeedPtr &member)
{
    post(ctx, name, {{KLNotificationKeys::client, QVariant::fromValue(member)}});
}

void KLSignalingEventHandler::tellHost(Context &ctx, const FeedPtr &member, int event)
{
    const auto participant = member->participant();
    if (!participant) {
        KL_LOG_WARN(kTag, QStringLiteral("member %1 has no participant; host event %2 not sent")
                              .arg(member->uuid())
                              .arg(event));
        return;
    }
    ctx.meetingUserStatusChanged(std::make_shared<KLSDKMeetingUser>(*participant), event);
}

KLSignalingEventHandler::CallStatePtr KLSignalingEventHandler::newCallState(const QJsonObject &body)
{
    const QJsonValue value = body.value(kCallState);
    if (!value.isObject())
        return nullptr;
    QString error;
    auto state = KLCallState::createWithDictionary(value.toObject(), &error);
    if (!state)
        KL_LOG_WARN(kTag, QStringLiteral("callState ignored: %1").arg(error));
    return state;
}

KLSignalingEventHandler::CallStatePtr KLSignalingEventHandler::callStateOf(const FeedPtr &member)
{
    const auto participant = member ? member->participant() : nullptr;
    return participant ? participant->callState() : nullptr;
}

// In a projection the role ("multiScreen") is the client's own knowledge, not the event's.
void KLSignalingEventHandler::replaceCallState(const Context &ctx, const FeedPtr &member,
                                               const CallStatePtr &newState)
{
    const auto participant = member->participant();
    if (!participant || !newState)
        return;
    if (ctx.conferenceMode() == 1) {
        if (const auto old = participant->callState())
            newState->multiScreen = old->multiScreen.load();
    }
    participant->setCallState(newState);
}

// Persons first, then rooms: one registration in that order.
QJsonArray KLSignalingEventHandler::joinedMemberLists(const QJsonObject &body)
{
    QJsonArray members = body.value(QStringLiteral("memberList")).toArray();
    for (const QJsonValue &room : body.value(QStringLiteral("roomList")).toArray())
        members.append(room);
    return members;
}

void KLSignalingEventHandler::announceOffline(const FeedPtr &member)
{
    if (auto ctx = context())
        postAboutClient(*ctx, KLNotificationNames::OnlineOfflineChangeNotification, member);
}

// ---- Dispatch ---------------------------------------------------------------------------

void KLSignalingEventHandler::handleKelvoSignalingMessage(const KLSignalingMessage &message)
{
    auto ctx = context();
    if (!ctx)
        return;
    if (!message.messBody.isUndefined() && !message.messBody.isNull()
        && !message.messBody.isObject()) {
        KL_LOG_WARN(kTag, QStringLiteral("event %1 with a body that is not an object ignored")
                              .arg(message.messageType));
        return;
    }
    const QJsonObject body = message.messBody.toObject();
    const FeedPtr member = message.memberUUID.isEmpty() ? nullptr
                                                        : ctx->clientWithUUID(message.memberUUID);
    if (dispatchMeetingEvent(*ctx, message, body, member))
        return;
    if (!member) {
        KL_LOG_DEBUG(kTag, QStringLiteral("event %1 about unregistered member '%2' ignored")
                               .arg(message.messageType)
                               .arg(message.memberUUID));
        return;
    }
    if (!dispatchMemberEvent(*ctx, message.messageType, body, member))
        KL_LOG_DEBUG(kTag, QStringLiteral("signalling event %1 not handled").arg(message.messageType));
}

// Events that need no registered member. True when `message` was one of them.
bool KLSignalingEventHandler::dispatchMeetingEvent(Context &ctx, const KLSignalingMessage &message,
                                                   const QJsonObject &body, const FeedPtr &member)
{
    Q_UNUSED(member);
    switch (message.messageType) {
    case KLSignalingEvent::MembersAdded:
        handleAddMemberMessage(ctx, body);
        return true;
    case KLSignalingEvent::MembersDeleted:
        handleDelMemberMessage(ctx, body);
        return true;
    case KLSignalingEvent::MemberList:
    case KLSignalingEvent::MemberListReply:
        handleWssConnectMessage(ctx, body);
        return true;
    case KLSignalingEvent::MeetingDeleted:
        handleDelConferenceMessage(ctx);
        return true;
    case KLSignalingEvent::SummaryStarted:
    case KLSignalingEvent::SummaryStopped:
        handleSummarySwitch(ctx, body, message.messageType == KLSignalingEvent::SummaryStarted);
        return true;
    case KLSignalingEvent::ProjectionAudioOpened:
        handleProjectionAudioOpened(ctx);
        return true;
    case KLSignalingEvent::Tips:
        handleTipsMessage(body);
        return true;
    default:
        return false;
    }
}

bool KLSignalingEventHandler::dispatchMemberEvent(Context &ctx, qint64 event,
                                                  const QJsonObject &body, const FeedPtr &member)
{
    switch (event) {
    case KLSignalingEvent::Ring:
        handleRingMessage(ctx, member);
        return true;
    case KLSignalingEvent::Online:
        handleOnlineMessage(ctx, body, member);
        return true;
    case KLSignalingEvent::Offline:
        handleOfflineMessage(ctx, body, member);
        return true;
    case KLSignalingEvent::AudioMuted:
    case KLSignalingEvent::AudioUnmuted:
        handleAudioMessage(ctx, body, member, event == KLSignalingEvent::AudioMuted);
        return true;
    case KLSignalingEvent::Speaking:
        tellHost(ctx, member, KLMeetingUserEvent::Speaking);
        return true;
    case KLSignalingEvent::StoppedTalking:
        tellHost(ctx, member, KLMeetingUserEvent::StoppedSpeaking);
        return true;
    case KLSignalingEvent::FloorChange:
        handleFloorChangeMessage(ctx, member);
        return true;
    case KLSignalingEvent::VideoMuted:
    case KLSignalingEvent::VideoUnmuted:
        handleVideoMessage(ctx, body, member, event == KLSignalingEvent::VideoMuted);
        return true;
    case KLSignalingEvent::Kick:
        handleKickMemberMessage(ctx, member);
        return true;
    case KLSignalingEvent::SummaryLine:
        handleMeetingSummaryMessage(ctx, body, member);
        return true;
    default:
        return handleProjectionMessage(ctx, event, body, member);
    }
}

void KLSignalingEventHandler::handleTipsMessage(const QJsonObject &tips)
{
    KL_LOG_INFO(kTag, QStringLiteral("tips: %1")
                          .arg(QString::fromUtf8(QJsonDocument(tips).toJson(QJsonDocument::Compact))));
    const QJsonValue code = tips.value(QStringLiteral("errorCode"));
    const bool silent = (code.isDouble() && code.toInteger() == kSilentTipsErrorCode)
                        || (code.isString() && code.toString().toLongLong() == kSilentTipsErrorCode);
    if (silent)
        return;
    auto ctx = context();
    if (!ctx)
        return;
    post(*ctx, KLNotificationNames::ToastMessageIncoming,
         {{KLNotificationKeys::message, tips.toVariantMap()}});
}
