// Meeting-wide sessions: caption lines and the summary switched on and off, and the
// projection (multi-projector) events of members.
#include "conference/events/KLSignalingEventHandler.h"

#include "conference/registry/KLFeedClient.h"
#include "model/KLCallState.h"
#include "model/KLParticipant.h"
#include "runtime/KLNotificationCenter.h"
#include "runtime/KLNotificationNames.h"
#include "runtime/KLSDKLog.h"

#include <QJsonDocument>

namespace {
const QString kTag = QStringLiteral("KLSignalingEventHandler");

// Member type a caption line names when the speaker has no participant record (external).
constexpr qint64 kUnknownSpeakerType = 3;

// Projection roles in the call state.
constexpr qint64 kProjectionReceiving = 1;
constexpr qint64 kProjectionSending = 2;

void insertWhenNotEmpty(QJsonObject &target, const QString &key, const QString &text)
{
    if (!text.isEmpty())
        target.insert(key, text);
}

void clearProjectionRole(const KLSignalingEventContext::FeedPtr &member, qint64 role)
{
    const auto participant = member->participant();
    const auto state = participant ? participant->callState() : nullptr;
    if (state && state->multiScreen == role)
        state->multiScreen = 0;
}
} // namespace

// ---- Caption line (11) ------------------------------------------------------------------

void KLSignalingEventHandler::handleMeetingSummaryMessage(Context &ctx, const QJsonObject &body,
                                                          const FeedPtr &member)
{
    KL_LOG_INFO(kTag, QStringLiteral("summary: %1")
                          .arg(QString::fromUtf8(QJsonDocument(body).toJson(QJsonDocument::Compact))));
    const auto participant = member->participant();
    QJsonObject subTitle;
    insertWhenNotEmpty(subTitle, QStringLiteral("displayName"), member->display());
    insertWhenNotEmpty(subTitle, QStringLiteral("empId"), member->empId());
    const bool typeKnown = participant && !participant->memberType.isNull()
                           && !participant->memberType.isUndefined();
    subTitle.insert(QStringLiteral("memberType"),
                    typeKnown ? participant->memberType.toInteger() : kUnknownSpeakerType);
    if (participant && !participant->appointmentId.isNull() && !participant->appointmentId.isUndefined())
        subTitle.insert(QStringLiteral("appointId"), participant->appointmentId);
    insertWhenNotEmpty(subTitle, QStringLiteral("memberUUID"), member->uuid());
    for (const char *key : {"asrLanguage", "asrTranslateText", "asrText", "asrTimeStamp", "asrSentenceId"}) {
        const QJsonValue value = body.value(QLatin1String(key));
        if (!value.isUndefined() && !value.isNull())
            subTitle.insert(QLatin1String(key), value);
    }
    ctx.pushSubTitle(subTitle);
}

// ---- Summary switched on (26) or off (27) -----------------------------------------------

void KLSignalingEventHandler::handleSummarySwitch(Context &ctx, const QJsonObject &body,
                                                  bool started)
{
    if (!ctx.isShowMeetingSummaryModule())
        return;
    ctx.setSummaryState(started, started ? body.value(QStringLiteral("lang")).toString() : QString());
    // The local user's own switch comes back as this event; the notes view already knows.
    if (started && ctx.startMeetingNoteBySelf()) {
        ctx.setStartMeetingNoteBySelf(false);
        return;
    }
    if (!started && ctx.stopMeetingNoteBySelf()) {
        ctx.setStopMeetingNoteBySelf(false);
        return;
    }
    post(ctx, started ? QString(KLNotificationNames::MeetingNoteSummaryStart)
                      : QString(KLNotificationNames::MeetingNoteSummaryStop),
         {{KLNotificationKeys::start, started}});
}

// ---- Projection (28–35) -----------------------------------------------------------------

bool KLSignalingEventHandler::handleProjectionMessage(Context &ctx, qint64 event,
                                                      const QJsonObject &body,
                                                      const FeedPtr &member)
{
    const QString startEnd = KLNotificationNames::MultiScreenStartEndNotification;
    switch (event) {
    case KLSignalingEvent::ProjectionAccepted:
        member->setMultiProjectRejectCode(0);
        member->setIsMultiScreenAccept(true);
        return true;
    case KLSignalingEvent::ProjectionRejected: {
        member->setIsMultiScreenAccept(false);
        const QJsonValue reason = body.value(QStringLiteral("reasonCode"));
        if (reason.isUndefined() || reason.isNull())
            return true;
        member->setMultiProjectRejectCode(
            reason.isString() ? reason.toString().toInt() : reason.toInt());
        postAboutClient(ctx, KLNotificationNames::MultiScreenRejectNotification, member);
        return true;
    }
    case KLSignalingEvent::ProjectionReceiveStarted:
        member->setMultiProjectRejectCode(0);
        member->setIsMultiScreenReceive(true);
        member->setIsMultiScreenSender(false);
        postAboutClient(ctx, startEnd, member);
        return true;
    case KLSignalingEvent::ProjectionReceiveEnded:
        member->setMultiProjectRejectCode(0);
        member->setIsMultiScreenReceive(false);
        clearProjectionRole(member, kProjectionReceiving);
        postAboutClient(ctx, startEnd, member);
        return true;
    case KLSignalingEvent::ProjectionSendStarted:
        member->setMultiProjectRejectCode(0);
        member->setIsMultiScreenSender(true);
        member->setIsMultiScreenReceive(false);
        postAboutClient(ctx, startEnd, member);
        return true;
    case KLSignalingEvent::ProjectionSendEnded:
        member->setMultiProjectRejectCode(0);
        member->setIsMultiScreenSender(false);
        clearProjectionRole(member, kProjectionSending);
        postAboutClient(ctx, startEnd, member);
        return true;
    case KLSignalingEvent::ProjectionEnded:
        handleProjectionEnded(ctx, member);
        return true;
    default:
        return false;
    }
}

void KLSignalingEventHandler::handleProjectionEnded(Context &ctx, const FeedPtr &member)
{
    if (member->isPublisher()) {
        // Ending the projection ends this session, unless the user is already leaving.
        if (!ctx.isLeavingRoomBySelf())
            ctx.hangupWithReason(kHangupReasonRemoved);
        return;
    }
    member->setIsMultiScreenSender(false);
    member->setIsMultiScreenReceive(false);
    postAboutClient(ctx, KLNotificationNames::MultiScreenStartEndNotification, member);
}

void KLSignalingEventHandler::handleProjectionAudioOpened(Context &ctx)
{
    ctx.setIsOpenAudioMeetingForMultiProjector(true);
    KLNotificationCenter::defaultCenter().postNotification(
        KLNotificationNames::OpenAudioMeetingForMultiProjector, nullptr);
}
