#pragma once

// Who takes part in a multi-projector cast, read from the registered feeds: the viewers to
// stop when the cast ends, the rooms and people still to be called into the audio meeting,
// and the choice between the two call dialogs. Pure functions over a feed list, so the
// session and the member views get the same answers as the tests.

#include <QList>
#include <QString>

#include <memory>

class KLFeedClient;

namespace KLMultiProjectorMembers {

using FeedPtr = std::shared_ptr<KLFeedClient>;
using FeedList = QList<FeedPtr>;

/// A real member: has a participant and is neither the phone bridge nor a screen share.
bool isEligible(const FeedPtr &feed);

/// Feeds (participant or not) that are not the phone bridge nor a share and that send,
/// receive, or have their audio connected.
FeedList participantsWithMultiProjector(const FeedList &feeds);

/// `shareOwner` first when it is one of `feeds`, then every receiver that is neither the
/// phone bridge nor a share, other than that owner.
FeedList participantsWithMultiProjectorViewerList(const FeedList &feeds,
                                                  const FeedPtr &shareOwner);

/// Eligible receivers other than `own`.
FeedList screenReceiveOtheMembersForMultiProjector(const FeedList &feeds, const FeedPtr &own);

/// Eligible members that do not receive, other than `own`.
FeedList noRecvShareMemberForMultiProjector(const FeedList &feeds, const FeedPtr &own);

/// The same restricted to meeting rooms.
FeedList noRecvShareMemberOfRoomForMultiProjector(const FeedList &feeds, const FeedPtr &own);

/// Eligible feeds with audio connected; `own` counts only with `withSelf`.
FeedList audioOnlineMembersForMultiProjectorWithSelf(const FeedList &feeds, const FeedPtr &own,
                                                     bool withSelf);

/// The uuids of eligible feeds without audio, joined with ","; `own` counts only with
/// `withSelf`.
QString audioOfflineUuidsForMultiProjectorWithSelf(const FeedList &feeds, const FeedPtr &own,
                                                   bool withSelf);

/// False as soon as one eligible meeting room has no audio connected.
bool isOnlyPersonCallNotOnlineForMultiProjector(const FeedList &feeds);

/// The feed among `feeds` that owns `shareFeed` (same participant uuid, not a share itself);
/// null when there is no share or its owner is not registered.
FeedPtr shareOwner(const FeedList &feeds, const FeedPtr &shareFeed);

/// The feeds' uuids joined with ",".
QString joinedUuids(const FeedList &feeds);

} // namespace KLMultiProjectorMembers
