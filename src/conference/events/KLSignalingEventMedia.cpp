// Media state of members: audio and video muted or unmuted, speaking, the floor, and kicks.
#include "conference/events/KLSignalingEventHandler.h"

#include "conference/registry/KLFeedClient.h"
#include "model/KLCallState.h"
#include "model/KLParticipant.h"
#include "presentation/KLToastManager.h"
#include "runtime/KLNotificationNames.h"
#include "runtime/KLSDKLog.h"

namespace {
const QString kTag = QStringLiteral("KLSignalingEventHandler");
}

// ---- Audio (3, 4) -----------------------------------------------------------------------

void KLSignalingEventHandler::handleAudioMessage(Context &ctx, const QJsonObject &body,
                                                 const FeedPtr &member, bool muted)
{
    const CallStatePtr newState = newCallState(body);
    if (!ctx.isPallasMeeting()) {
        // An MCU meeting reports phone legs in the same state; only the mute flag is news.
        const CallStatePtr state = callStateOf(member);
        if (newState && newState->online == 1 && state)
            state->mute = muted ? 1 : 0;
    } else if (newState) {
        replaceCallState(ctx, member, newState);
    }
    if (muted && member->audioEnabled())
        member->muteAudio(true, false);
    else if (!muted && !member->audioEnabled())
        member->muteAudio(false, false);

    const KLToastClient client{member->uuid(), member->display()};
    toasts().pushToastMessage(muted ? KLToastMessage::audioMute(client)
                                    : KLToastMessage::audioUnMute(client));
    // Unmuted by the server: the entry's wish to stay muted is fulfilled or overruled.
    if (!muted && member->isPublisher()) {
        if (ctx.isMuteInitStage())
            ctx.setIsMuteInitStage(false);
        if (ctx.isEnterRoomAudioShouldMute())
            ctx.setIsEnterRoomAudioShouldMute(false);
    }
    post(ctx, KLNotificationNames::AudioVideoChangeNotification,
         {{KLNotificationKeys::client, QVariant::fromValue(member)},
          {KLNotificationKeys::audioAction, true}});
    tellHost(ctx, member, muted ? KLMeetingUserEvent::AudioMuted : KLMeetingUserEvent::AudioUnmuted);
}

// ---- Video (8, 9) -----------------------------------------------------------------------

void KLSignalingEventHandler::handleVideoMessage(Context &ctx, const QJsonObject &body,
                                                 const FeedPtr &member, bool muted)
{
    if (const CallStatePtr newState = newCallState(body)) {
        if (const auto participant = member->participant())
            participant->setCallState(newState);
    }
    // The own camera follows the local switch; the server's word is for remote tiles.
    if (muted) {
        if (!member->isPublisher() && member->videoEnabled())
            member->muteVideo(true, false);
    } else {
        unmuteVideoOfMember(ctx, member);
    }
    post(ctx, KLNotificationNames::AudioVideoChangeNotification,
         {{KLNotificationKeys::client, QVariant::fromValue(member)},
          {KLNotificationKeys::videoAction, true}});
    tellHost(ctx, member, muted ? KLMeetingUserEvent::VideoMuted : KLMeetingUserEvent::VideoUnmuted);
}

void KLSignalingEventHandler::unmuteVideoOfMember(Context &ctx, const FeedPtr &member)
{
    if (!member->isPublisher() && !member->videoEnabled())
        member->muteVideo(false, false);
    if (member->isPublisher() && ctx.isEnterRoomVideoShouldMute())
        ctx.setIsEnterRoomVideoShouldMute(false);
    // The main view's video may have been switched off while it was muted.
    const FeedPtr mainFeed = ctx.displayingClient();
    if (mainFeed && mainFeed->uuid() == member->uuid() && member->hasRTCMedia()
        && !member->isReceiveVideoByClient()) {
        member->setIsReceiveVideoByClient(true);
        ctx.streamVideo(member, true);
    }
}

// ---- Floor (7) and kick (10) ------------------------------------------------------------

void KLSignalingEventHandler::handleFloorChangeMessage(Context &ctx, const FeedPtr &member)
{
    if (member->isPublisher())
        return;
    ctx.setFloorChangeFeed(member);
    ctx.displayClientAutomatically();
    tellHost(ctx, member, KLMeetingUserEvent::FloorChange);
}

void KLSignalingEventHandler::handleKickMemberMessage(Context &ctx, const FeedPtr &member)
{
    // Kicks of others arrive as their offline and deletion events.
    if (!member->isPublisher() || ctx.isLeavingRoomBySelf())
        return;
    KL_LOG_INFO(kTag, QStringLiteral("the local user was kicked out of the meeting"));
    ctx.hangupWithReason(kHangupReasonRemoved);
    postAboutClient(ctx, KLNotificationNames::OnlineOfflineChangeNotification, member);
}
