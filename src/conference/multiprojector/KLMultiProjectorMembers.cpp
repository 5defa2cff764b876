#include "conference/multiprojector/KLMultiProjectorMembers.h"

#include "conference/registry/KLFeedClient.h"

#include <QStringList>

namespace KLMultiProjectorMembers {

namespace {

bool isBridgeOrShare(const FeedPtr &feed)
{
    return !feed || feed->isFreeSwitchFeed() || feed->isShareScreen();
}

// Compared by uuid: the own feed may be a different object than the registered one after a
// refresh re-registered it.
bool isSame(const FeedPtr &feed, const FeedPtr &other)
{
    return feed && other && (feed == other || feed->uuid() == other->uuid());
}

template <typename Keep>
FeedList filtered(const FeedList &feeds, Keep keep)
{
    FeedList result;
    for (const FeedPtr &feed : feeds) {
        if (keep(feed))
            result.append(feed);
    }
    return result;
}

FeedList withoutReceiving(const FeedList &feeds, const FeedPtr &own, bool roomsOnly)
{
    return filtered(feeds, [&](const FeedPtr &feed) {
        return isEligible(feed) && !isSame(feed, own) && !feed->isMultiProjectorReceive()
               && (!roomsOnly || feed->isMeetingRoom());
    });
}

FeedList byAudio(const FeedList &feeds, const FeedPtr &own, bool withSelf, bool audioOpen)
{
    return filtered(feeds, [&](const FeedPtr &feed) {
        return isEligible(feed) && (withSelf || !isSame(feed, own))
               && feed->isMultiProjectorAudioOpen() == audioOpen;
    });
}

} // namespace

bool isEligible(const FeedPtr &feed)
{
    return !isBridgeOrShare(feed) && feed->participant() != nullptr;
}

FeedList participantsWithMultiProjector(const FeedList &feeds)
{
    return filtered(feeds, [](const FeedPtr &feed) {
        return !isBridgeOrShare(feed)
               && (feed->isMultiProjectorSender() || feed->isMultiProjectorReceive()
                   || feed->isMultiProjectorAudioOpen());
    });
}

FeedList participantsWithMultiProjectorViewerList(const FeedList &feeds, const FeedPtr &shareOwner)
{
    FeedList result;
    if (shareOwner && feeds.contains(shareOwner))
        result.append(shareOwner);
    for (const FeedPtr &feed : feeds) {
        if (!isBridgeOrShare(feed) && feed->isMultiProjectorReceive() && !isSame(feed, shareOwner))
            result.append(feed);
    }
    return result;
}

FeedList screenReceiveOtheMembersForMultiProjector(const FeedList &feeds, const FeedPtr &own)
{
    return filtered(feeds, [&](const FeedPtr &feed) {
        return isEligible(feed) && !isSame(feed, own) && feed->isMultiProjectorReceive();
    });
}

FeedList noRecvShareMemberForMultiProjector(const FeedList &feeds, const FeedPtr &own)
{
    return withoutReceiving(feeds, own, false);
}

FeedList noRecvShareMemberOfRoomForMultiProjector(const FeedList &feeds, const FeedPtr &own)
{
    return withoutReceiving(feeds, own, true);
}

FeedList audioOnlineMembersForMultiProjectorWithSelf(const FeedList &feeds, const FeedPtr &own,
                                                     bool withSelf)
{
    return byAudio(feeds, own, withSelf, true);
}

QString audioOfflineUuidsForMultiProjectorWithSelf(const FeedList &feeds, const FeedPtr &own,
                                                   bool withSelf)
{
    return joinedUuids(byAudio(feeds, own, withSelf, false));
}

bool isOnlyPersonCallNotOnlineForMultiProjector(const FeedList &feeds)
{
    for (const FeedPtr &feed : feeds) {
        if (isEligible(feed) && feed->isMeetingRoom() && !feed->isMultiProjectorAudioOpen())
            return false;
    }
    return true;
}

FeedPtr shareOwner(const FeedList &feeds, const FeedPtr &shareFeed)
{
    if (!shareFeed)
        return nullptr;
    const QString ownerUuid = shareFeed->participantUUID();
    for (const FeedPtr &feed : feeds) {
        if (feed && !feed->isShareScreen() && feed->uuid() == ownerUuid)
            return feed;
    }
    return nullptr;
}

QString joinedUuids(const FeedList &feeds)
{
    QStringList uuids;
    for (const FeedPtr &feed : feeds) {
        if (feed)
            uuids.append(feed->uuid());
    }
    return uuids.join(QLatin1Char(','));
}

} // namespace KLMultiProjectorMembers
