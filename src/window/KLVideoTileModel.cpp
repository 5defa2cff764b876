#include "window/KLVideoTileModel.h"

#include "conference/registry/KLFeedClient.h"
#include "media/KLRTCMediaStream.h"
#include "model/KLCallState.h"
#include "model/KLParticipant.h"
#include "runtime/KLLocalization.h"

namespace KLVideoTileModel {

QString smallTileName(const QString &displayName, bool isSelf)
{
    if (isSelf)
        return KLLocalizedString(QStringLiteral("SELF_TIPS"));
    if (displayName.size() > kSmallNameLimit)
        return QStringLiteral("%1...").arg(displayName.left(kSmallNameKeep));
    return displayName;
}

QString bigViewName(const QString &displayName, bool muted)
{
    if (displayName.isEmpty() || !muted)
        return displayName;
    return QStringLiteral("%1 %2").arg(displayName, KLLocalizedString(QStringLiteral("Mute_In_Big_View")));
}

KLVideoTileNetwork network(bool pallasMeeting, bool isSelf, bool online, qint64 netScore)
{
    KLVideoTileNetwork net;
    if (!pallasMeeting || isSelf || !online)
        return net;
    net.visible = true;
    if (netScore >= 4)
        net.icon = QStringLiteral("conf_network_signal_good");
    else if (netScore == 3)
        net.icon = QStringLiteral("conf_network_signal_normal");
    else if (netScore == 2)
        net.icon = QStringLiteral("conf_network_signal_bad");
    else
        net.icon = QStringLiteral("conf_network_signal_terrible");
    net.tooltipKey = netScore < 3 ? QStringLiteral("NETWORK_BAD_TOOLTIP") : QStringLiteral("NETWORK_GOOD_TOOLTIP");
    return net;
}

KLVideoTileContent content(bool sendsVideo, bool isShare, bool isOwnShare)
{
    if (sendsVideo && !isOwnShare)
        return KLVideoTileContent::Video;
    if (isShare)
        return KLVideoTileContent::ScreenShare;
    return KLVideoTileContent::Avatar;
}

QString roomLabelKey(bool isRoom, bool online)
{
    if (!isRoom)
        return {};
    return online ? QStringLiteral("IN_MEETING_TIPS") : QStringLiteral("ROOM_COUNT_TIPS");
}

QString meetingTimerText(qint64 seconds)
{
    seconds = qMax<qint64>(0, seconds);
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
        .arg((seconds / 60) % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

static int wrapped(int index, int count)
{
    return ((index % count) + count) % count;
}

QString callingFrameName(int index)
{
    return QStringLiteral("calling_ani_%1").arg(wrapped(index, kCallingFrames));
}

QString speakingFrameName(bool bigView, int index)
{
    return QStringLiteral("%1%2")
        .arg(bigView ? QStringLiteral("speak_ani_l_") : QStringLiteral("speak_ani_"))
        .arg(wrapped(index, kSpeakingFrames));
}

KLVideoTileState describe(const std::shared_ptr<KLFeedClient> &feed, bool bigView, bool pallasMeeting)
{
    KLVideoTileState state;
    if (!feed)
        return state;
    const auto participant = feed->participant();
    const auto callState = participant ? participant->callState() : nullptr;
    const bool isShare = feed->isShareScreen();
    state.uuid = feed->uuid();
    state.displayName = feed->display();
    // A stream the media server announced before any member list names it carries its own name.
    const auto stream = feed->mediaStream();
    if (state.displayName.isEmpty() && stream && !isShare)
        state.displayName = stream->display();
    state.isSelf = feed->isPublisher() && !isShare;
    state.muted = callState && callState->mute == 1;
    state.isRoom = feed->isMeetingRoom();
    state.empId = feed->empId();
    state.locked = feed->isLocked();
    const bool online = feed->isOnline();
    state.name = bigView ? bigViewName(state.displayName, state.muted)
                         : smallTileName(state.displayName, state.isSelf);
    state.network = network(pallasMeeting, state.isSelf, online, feed->netScore());
    const bool sendsVideo = feed->hasVideoMedia() && feed->videoEnabled();
    state.content = content(sendsVideo, isShare, isShare && feed->isPublisher());
    const QString roomKey = roomLabelKey(state.isRoom, online);
    state.roomLabel = roomKey.isEmpty() ? QString() : KLLocalizedString(roomKey);
    state.calling = feed->isCalling();
    state.speaking = online && !isShare && feed->isSpeaking();
    return state;
}

} // namespace KLVideoTileModel
