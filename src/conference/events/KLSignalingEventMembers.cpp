// Members coming and going: ringing, online and offline (with their phone legs), member
// lists, additions and deletions, and the meeting's own deletion.
#include "conference/events/KLSignalingEventHandler.h"

#include "conference/registry/KLFeedClient.h"
#include "conference/events/KLOfflineNotificationThrottle.h"
#include "model/KLCallState.h"
#include "model/KLParticipant.h"
#include "presentation/KLToastManager.h"
#include "runtime/KLDictionary.h"
#include "runtime/KLNotificationNames.h"
#include "runtime/KLSDKLog.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace {
const QString kTag = QStringLiteral("KLSignalingEventHandler");

// Call types of a phone leg as the meeting service reports them.
constexpr qint64 kCallTypeExtension = 0;
constexpr qint64 kCallTypeCellPhone = 1;
// A participant whose numeric memberId is this counts as having come (or gone) by desk phone.
constexpr qint64 kDeskPhoneMemberId = 3;

KLToastClient toastClient(const KLSignalingEventContext::FeedPtr &member)
{
    return {member->uuid(), member->display()};
}

// The phone leg an event names: its "callType" and "callNumber", or nothing when either is
// missing (numbers are accepted as their decimal text).
struct PhoneLeg {
    qint64 callType = -1;
    QString callNumber;
};

std::optional<PhoneLeg> phoneLegOf(const QJsonObject &body)
{
    const QJsonValue type = body.value(QStringLiteral("callType"));
    const QJsonValue number = body.value(QStringLiteral("callNumber"));
    if (!type.isDouble() && !type.isString())
        return std::nullopt;
    PhoneLeg leg;
    leg.callType = type.isDouble() ? type.toInteger() : type.toString().toLongLong();
    leg.callNumber = number.isString() ? number.toString() : KL_integerText(number);
    if (leg.callNumber.isEmpty())
        return std::nullopt;
    return leg;
}

bool isDeskPhoneMember(const KLParticipant &participant)
{
    return participant.memberId.isDouble() && participant.memberId.toInteger() == kDeskPhoneMemberId;
}

qint64 memberTypeOf(const KLSignalingEventContext::FeedPtr &feed)
{
    const auto participant = feed->participant();
    return participant ? participant->memberType.toInteger() : 0;
}
} // namespace

// ---- Ring (0) ---------------------------------------------------------------------------

void KLSignalingEventHandler::handleRingMessage(Context &ctx, const FeedPtr &member)
{
    if (const auto state = callStateOf(member))
        state->ringing = 1;
    // A new invitation answers the last refusal of a projection.
    if (ctx.conferenceMode() == 1 && member->multiProjectRejectCode() > 0)
        member->setMultiProjectRejectCode(0);
    ctx.displayClientAutomatically();
    postAboutClient(ctx, KLNotificationNames::RingChangeNotification, member);
}

// ---- Online (1) -------------------------------------------------------------------------

void KLSignalingEventHandler::handleOnlineMessage(Context &ctx, const QJsonObject &body,
                                                  const FeedPtr &member)
{
    const bool wasOnline = member->isOnline();
    const bool isOwn = member->isPublisher();
    if (!wasOnline && !isOwn)
        toasts().pushToastMessage(KLToastMessage::memberOnline(toastClient(member)));

    if (const CallStatePtr newState = newCallState(body)) {
        const CallStatePtr old = callStateOf(member);
        if (isOwn && (!old || old->cellphone != 1) && newState->cellphone == 1)
            toasts().pushToastMessage(KLToastMessage::meetingCellPhoneOnline(toastClient(member)));
        // In an MCU meeting an online member's state is already right; an "online" echo of a
        // phone leg would otherwise wipe the flags the other leg set.
        if (ctx.isPallasMeeting() || !wasOnline)
            replaceCallState(ctx, member, newState);
        if (ctx.conferenceMode() == 1 && newState->online == 1) {
            const qint64 type = memberTypeOf(member);
            if ((type == 1 && newState->cellphone == 1) || (type == 2 && newState->extension == 1))
                postAboutClient(ctx, KLNotificationNames::OnlineOfflineChangeNotification, member);
        }
    }
    if (!ctx.isPallasMeeting())
        markPhoneLegEntered(ctx, body, member);

    const CallStatePtr state = callStateOf(member);
    if (state && state->online == 1) {
        if (isOwn)
            alignOwnMuteFlags(ctx, member);
        else
            alignMuteFlagsOfOnlineMember(ctx, member);
        if (!isOwn && member->isOnline())
            ctx.setIsOnlyPersonEnterRoom(false);
    }
    checkExtensionAndCellPhoneOnlineStatus(ctx);
    ctx.displayClientAutomatically();
    tellHost(ctx, member, KLMeetingUserEvent::Online);
    postAboutClient(ctx, KLNotificationNames::OnlineOfflineChangeNotification, member);
}

void KLSignalingEventHandler::markPhoneLegEntered(Context &ctx, const QJsonObject &body,
                                                  const FeedPtr &member)
{
    Q_UNUSED(ctx);
    const auto participant = member->participant();
    if (!participant)
        return;
    const CallStatePtr state = participant->callState();
    if (const auto leg = phoneLegOf(body)) {
        if (leg->callType == kCallTypeCellPhone && leg->callNumber == participant->cellPhone) {
            member->setIsCellPhoneEnter(true);
            if (state)
                state->cellphone = 1;
        } else if (leg->callType == kCallTypeExtension
                   && leg->callNumber == participant->extensionPhone) {
            member->setIsExtensionEnter(true);
            if (state)
                state->extension = 1;
        }
    }
    if (isDeskPhoneMember(*participant))
        member->setIsExtensionEnter(true);
}

// What the server says about a remote member's media is what its tile shows.
void KLSignalingEventHandler::alignMuteFlagsOfOnlineMember(Context &ctx, const FeedPtr &member)
{
    const CallStatePtr state = callStateOf(member);
    const bool videoMuted = ctx.isPallasMeeting() ? (state->hasVideo != 1 || state->vmute != 0)
                                                  : state->vmute != 0;
    member->muteVideo(videoMuted, false);
    member->muteAudio(state->mute == 1, false);
}

// The own entry wishes (enter muted) are carried out once the server has us online. Before the
// own stream exists its tracks read as off: the server hears the wish, and the wish is kept for
// the publication to mute the new stream; dropped here, a user muted before a refresh would
// come back with an open microphone.
void KLSignalingEventHandler::alignOwnMuteFlags(Context &ctx, const FeedPtr &own)
{
    const bool streamMade = own->mediaStream() != nullptr;
    if (ctx.isMuteInitStage())
        own->muteAudio(true, true);
    if (ctx.isEnterRoomAudioShouldMute() && !own->audioEnabled()) {
        if (streamMade)
            ctx.setIsEnterRoomAudioShouldMute(false);
        own->muteAudio(true, true);
    } else if (own->audioEnabled()) {
        ctx.setIsEnterRoomAudioShouldMute(false);
    }
    if (ctx.isEnterRoomVideoShouldMute() && !own->videoEnabled()) {
        if (streamMade)
            ctx.setIsEnterRoomVideoShouldMute(false);
        own->muteVideo(true, true);
    } else if (own->videoEnabled()) {
        ctx.setIsEnterRoomVideoShouldMute(false);
    }
}

// ---- Offline (2) ------------------------------------------------------------------------

void KLSignalingEventHandler::handleOfflineMessage(Context &ctx, const QJsonObject &body,
                                                   const FeedPtr &member)
{
    const bool wasOnline = member->isOnline();
    const bool isOwn = member->isPublisher();
    // With both phones in, one leg leaving does not take the member out of an MCU meeting.
    if (const CallStatePtr newState = newCallState(body);
        newState && (ctx.isPallasMeeting() || !member->isExtensionAndCellPhoneOnline())) {
        replaceCallState(ctx, member, newState);
    }
    if (isOwn && !ownCellPhoneLeft(ctx, body, member))
        return;
    if (!ctx.isPallasMeeting()) {
        KL_LOG_INFO(kTag, QStringLiteral("offline: %1")
                              .arg(QString::fromUtf8(QJsonDocument(body).toJson(QJsonDocument::Compact))));
        markPhoneLegLeft(ctx, body, member);
    }
    if (!member->isOnline()) {
        ctx.closeClient(member);
        if (wasOnline)
            toasts().pushToastMessage(KLToastMessage::memberOffline(toastClient(member)));
    }
    ctx.displayClientAutomatically();
    tellHost(ctx, member, KLMeetingUserEvent::Offline);
    m_offlineThrottle->offlineMessageBalance(member);
}

// The own member after an offline event. False when the handling ends here (the local user
// is no longer online: the meeting's own leave handles that).
bool KLSignalingEventHandler::ownCellPhoneLeft(Context &ctx, const QJsonObject &body,
                                               const FeedPtr &own)
{
    if (!own->isOnline()) {
        if (ctx.conferenceMode() == 1)
            postAboutClient(ctx, KLNotificationNames::OnlineOfflineChangeNotification, own);
        return false;
    }
    const auto participant = own->participant();
    const QJsonValue number = body.value(QStringLiteral("callNumber"));
    const QString callNumber = number.isString() ? number.toString() : KL_integerText(number);
    const bool fromPhoneBridge =
        body.value(QStringLiteral("memberSource")).toString() == QLatin1String("FreeSWITCH");
    if (participant && fromPhoneBridge && !callNumber.isEmpty()
        && callNumber == participant->cellPhone) {
        if (const auto state = participant->callState())
            state->cellphone = -1;
        ownCellPhoneLeave(ctx, own);
    }
    return true;
}

void KLSignalingEventHandler::ownCellPhoneLeave(Context &ctx, const FeedPtr &own)
{
    own->muteAudio(true, true);
    toasts().pushToastMessage(KLToastMessage::meetingCellPhoneOffline(toastClient(own)));
    post(ctx, KLNotificationNames::SelfCellPhoneLeave);
}

void KLSignalingEventHandler::markPhoneLegLeft(Context &ctx, const QJsonObject &body,
                                               const FeedPtr &member)
{
    const auto participant = member->participant();
    if (!participant)
        return;
    const CallStatePtr state = participant->callState();
    if (const auto leg = phoneLegOf(body)) {
        if (leg->callType == kCallTypeCellPhone && leg->callNumber == participant->cellPhone) {
            member->setIsCellPhoneEnter(false);
            if (state)
                state->cellphone = -1;
            if (member->isPublisher()) {
                ownCellPhoneLeave(ctx, member);
            } else {
                toasts().pushToastMessage(
                    KLToastMessage::meetingCellPhoneOffline(toastClient(member)));
            }
        } else if (leg->callType == kCallTypeExtension
                   && leg->callNumber == participant->extensionPhone) {
            member->setIsExtensionEnter(false);
            if (state)
                state->extension = -1;
        }
    }
    if (isDeskPhoneMember(*participant))
        member->setIsExtensionEnter(false);
}

// ---- Member lists (20, 21, 22) and the meeting's deletion (25) --------------------------

void KLSignalingEventHandler::handleAddMemberMessage(Context &ctx, const QJsonObject &body)
{
    const QJsonArray members = joinedMemberLists(body);
    if (!members.isEmpty())
        ctx.addParticipants(members);
}

void KLSignalingEventHandler::handleDelMemberMessage(Context &ctx, const QJsonObject &body)
{
    const FeedPtr own = ctx.publisher();
    for (const QJsonValue &entry : body.value(QStringLiteral("memberList")).toArray()) {
        const QString memberUUID = entry.toObject().value(QStringLiteral("memberUUID")).toString();
        const FeedPtr feed = memberUUID.isEmpty() ? nullptr : ctx.clientWithUUID(memberUUID);
        if (!feed)
            continue;
        ctx.removeClient(feed);
        if (feed == own || feed->isPublisher()) {
            KL_LOG_INFO(kTag, QStringLiteral("the local user was removed from the meeting"));
            ctx.hangupWithReason(kHangupReasonRemoved);
        }
    }
    ctx.displayClientAutomatically();
}

void KLSignalingEventHandler::handleWssConnectMessage(Context &ctx, const QJsonObject &body)
{
    const QJsonArray members = joinedMemberLists(body);
    if (!members.isEmpty())
        ctx.addParticipants(members);
    if (!ctx.isVanInternal() || ctx.isFirstWssConnect())
        return;
    ctx.setIsFirstWssConnect(true);
    checkFirstMemberList(ctx);
}

void KLSignalingEventHandler::checkFirstMemberList(Context &ctx)
{
    if (ctx.conferenceMode() == 1) {
        if (!ctx.isEnterMultiProjectorFromSender())
            return;
        bool anyRoom = false;
        for (const FeedPtr &feed : ctx.participants())
            anyRoom = anyRoom || feed->isMeetingRoom();
        ctx.setIsOnlyPersonFromEnterForMultiProjector(!anyRoom);
        return;
    }
    checkRoomsToCall(ctx);
    post(ctx, KLNotificationNames::GetConferenceMember);
}

// Staff who start a meeting alone (or chair it) are offered to call the booked rooms in.
void KLSignalingEventHandler::checkRoomsToCall(Context &ctx)
{
    int roomsToCall = 0;
    bool otherPersonOnline = false;
    for (const FeedPtr &feed : ctx.participants()) {
        const qint64 type = memberTypeOf(feed);
        if (type == 2 && !feed->isOnline() && !feed->isCalling())
            ++roomsToCall;
        else if (type == 1 && !feed->isPublisher() && feed->isOnline())
            otherPersonOnline = true;
    }
    if (roomsToCall > 0 && ctx.isStaff() && (ctx.isMaster() || !otherPersonOnline)) {
        KL_LOG_INFO(kTag, QStringLiteral("offering to call %1 meeting rooms").arg(roomsToCall));
        ctx.showCallRoomDialog();
    }
}

void KLSignalingEventHandler::handleDelConferenceMessage(Context &ctx)
{
    KL_LOG_INFO(kTag, QStringLiteral("the meeting was deleted"));
    ctx.hangupWithReason(kHangupReasonRemoved);
}

// ---- Both phones in ---------------------------------------------------------------------

void KLSignalingEventHandler::checkExtensionAndCellPhoneOnlineStatus()
{
    if (auto ctx = context())
        checkExtensionAndCellPhoneOnlineStatus(*ctx);
}

// With the desk phone and the mobile phone both in, the computer's microphone would echo.
void KLSignalingEventHandler::checkExtensionAndCellPhoneOnlineStatus(Context &ctx)
{
    const FeedPtr own = ctx.publisher();
    if (!own || !own->isExtensionAndCellPhoneOnline())
        return;
    if (own->audioEnabled())
        own->muteAudio(true, false);
    post(ctx, KLNotificationNames::SelfCellPhoneEnter);
}
