#include "conference/registry/KLParticipantRegistry.h"

#include "conference/registry/KLAvatarCache.h"
#include "conference/registry/KLConferenceManagerDataSource.h"
#include "conference/registry/KLFeedClient.h"
#include "conference/registry/KLParticipantRegistryHost.h"
#include "host/UserPersistentData.h"
#include "media/KLRTCMediaConnection.h"
#include "media/KLRTCMediaStream.h"
#include "media/KLRTCMediaTypes.h"
#include "model/KLCallState.h"
#include "model/KLJSONReader.h"
#include "model/KLParticipant.h"
#include "presentation/KLToastManager.h"
#include "runtime/KLNotificationCenter.h"
#include "runtime/KLNotificationNames.h"
#include "runtime/KLSDKLog.h"
#include "runtime/KLTimer.h"

#include <KelvoUISDK/KLSDKMeetingUser.h>
#include <KelvoUISDK/KLUISDKMeetingEventDelegate.h>

#include <atomic>

namespace {

const QString kLogTag = QStringLiteral("KLParticipantRegistry");

constexpr qint64 kMemberTypePerson = 1;
constexpr qint64 kMemberTypeRoom = 2;
constexpr qint64 kMemberTypeExternal = 3;

qint64 memberTypeOf(const KLParticipant &participant)
{
    return KL_truncatedInteger(participant.memberType.toDouble());
}

bool saysOnline(const std::shared_ptr<KLCallState> &state)
{
    return state && state->online == 1;
}

bool isLocalShare(const KLFeedClient &feed)
{
    return feed.isPublisher() && feed.isShareScreen();
}

// A member of the meeting as the member lists count it: a person or room, not the phone
// bridge and not a screen share.
bool isListedMember(const KLFeedClient &feed)
{
    return feed.participant() && !feed.isFreeSwitchFeed() && !feed.isShareScreen();
}

// Both texts present and equal; `decided` tells whether both were present at all.
bool presentAndEqual(const QString &a, const QString &b, bool &decided)
{
    decided = !a.isEmpty() && !b.isEmpty();
    return decided && a == b;
}

bool isSameExternalMember(const KLParticipant &a, const KLParticipant &b)
{
    bool decided = false;
    bool same = presentAndEqual(a.email, b.email, decided);
    if (decided)
        return same;
    same = presentAndEqual(a.cellPhone, b.cellPhone, decided);
    if (decided)
        return same;
    return presentAndEqual(a.extensionPhone, b.extensionPhone, decided);
}

bool isSameMember(const KLParticipant &candidate, const KLParticipant &wanted)
{
    const qint64 type = memberTypeOf(wanted);
    if (memberTypeOf(candidate) != type)
        return false;
    switch (type) {
    case kMemberTypePerson:
        return candidate.empId == wanted.empId;
    case kMemberTypeRoom:
        return candidate.roomId == wanted.roomId;
    case kMemberTypeExternal:
        return isSameExternalMember(candidate, wanted);
    default:
        return false;
    }
}

KLToastClient toastClientOf(const KLFeedClient &feed)
{
    return KLToastClient{feed.uuid(), feed.display()};
}

template <class Predicate>
KLFeedClientList filtered(const KLFeedClientList &feeds, Predicate keep)
{
    KLFeedClientList result;
    for (const auto &feed : feeds) {
        if (feed && keep(*feed))
            result.append(feed);
    }
    return result;
}

template <class Predicate>
std::shared_ptr<KLFeedClient> firstOf(const KLFeedClientList &feeds, Predicate matches)
{
    for (const auto &feed : feeds) {
        if (feed && matches(*feed))
            return feed;
    }
    return nullptr;
}

// Registries are told apart by a number rather than their address, which a new registry
// may reuse while the old one's queued choice is still waiting.
quint64 nextChoiceId()
{
    static std::atomic<quint64> next{1};
    return next.fetch_add(1, std::memory_order_relaxed);
}

} // namespace

KLParticipantRegistry::KLParticipantRegistry(std::shared_ptr<KLParticipantRegistryHost> host)
    : m_host(std::move(host)), m_choiceId(nextChoiceId())
{
}

KLParticipantRegistry::KLParticipantRegistry(KLParticipantRegistryHost &host)
    : m_host(std::shared_ptr<KLParticipantRegistryHost>(), &host) // borrowed: never deleted here
    , m_choiceId(nextChoiceId())
{
}

KLParticipantRegistry::~KLParticipantRegistry() = default;

// ---- Registry state ------------------------------------------------------------------

KLFeedClientList KLParticipantRegistry::participants() const { return guarded(m_participants); }

std::shared_ptr<KLFeedClient> KLParticipantRegistry::publisher() const
{
    return guarded(m_publisher);
}

void KLParticipantRegistry::setPublisher(std::shared_ptr<KLFeedClient> publisher)
{
    setGuarded(m_publisher, std::move(publisher));
}

std::shared_ptr<KLFeedClient> KLParticipantRegistry::displayingClient() const
{
    return guarded(m_displayingClient);
}

void KLParticipantRegistry::setDisplayingClient(std::shared_ptr<KLFeedClient> feed)
{
    setGuarded(m_displayingClient, std::move(feed));
}

std::shared_ptr<KLFeedClient> KLParticipantRegistry::lockedFeed() const
{
    return guarded(m_lockedFeed);
}

void KLParticipantRegistry::setLockedFeed(std::shared_ptr<KLFeedClient> feed)
{
    setGuarded(m_lockedFeed, std::move(feed));
}

std::shared_ptr<KLFeedClient> KLParticipantRegistry::remoteShareScreenFeed() const
{
    return guarded(m_remoteShareScreenFeed);
}

void KLParticipantRegistry::setRemoteShareScreenFeed(std::shared_ptr<KLFeedClient> feed)
{
    setGuarded(m_remoteShareScreenFeed, std::move(feed));
}

std::shared_ptr<KLFeedClient> KLParticipantRegistry::floorChangeFeed() const
{
    return guarded(m_floorChangeFeed);
}

void KLParticipantRegistry::setFloorChangeFeed(std::shared_ptr<KLFeedClient> feed)
{
    setGuarded(m_floorChangeFeed, std::move(feed));
}

bool KLParticipantRegistry::isOnlyPersonEnterRoom() const
{
    return guarded(m_isOnlyPersonEnterRoom);
}

void KLParticipantRegistry::setIsOnlyPersonEnterRoom(bool alone)
{
    setGuarded(m_isOnlyPersonEnterRoom, alone);
}

// ---- Lookups -------------------------------------------------------------------------

std::shared_ptr<KLFeedClient> KLParticipantRegistry::clientWithUUID(const QString &uuid) const
{
    if (uuid.isEmpty())
        return nullptr;
    KLFeedClientList feeds;
    {
        std::lock_guard lock(m_mutex);
        if (auto mapped = m_participantsMapper.value(uuid))
            return mapped;
        feeds = m_participants;
    }
    // A feed renamed after registration is found by its uuid now.
    return firstOf(feeds, [&](const KLFeedClient &feed) { return feed.uuid() == uuid; });
}

std::shared_ptr<KLFeedClient> KLParticipantRegistry::registeredFeed(const QString &uuid,
                                                                    NewFeeds &newFeeds) const
{
    KLFeedClientList feeds;
    {
        std::lock_guard lock(m_mutex);
        if (auto mapped = m_participantsMapper.value(uuid))
            return mapped;
        if (!newFeeds.registeredIndexed)
            feeds = m_participants;
    }
    if (!newFeeds.registeredIndexed) {
        newFeeds.registeredIndexed = true;
        for (const auto &feed : feeds) {
            const QString current = feed->uuid();
            if (!newFeeds.registeredByUuid.contains(current))
                newFeeds.registeredByUuid.insert(current, feed);
        }
    }
    return newFeeds.registeredByUuid.value(uuid);
}

bool KLParticipantRegistry::isClientExists(const QString &uuid) const
{
    return clientWithUUID(uuid) != nullptr;
}

std::shared_ptr<KLFeedClient>
KLParticipantRegistry::clientWithStreamId(const QString &streamId) const
{
    return firstOf(participants(), [&](const KLFeedClient &feed) {
        const auto stream = feed.mediaStream();
        return stream && stream->getID() == streamId;
    });
}

std::shared_ptr<KLFeedClient> KLParticipantRegistry::clientWithRoomId(const QString &roomId) const
{
    return firstOf(participants(), [&](const KLFeedClient &feed) {
        const auto participant = feed.participant();
        return participant && memberTypeOf(*participant) == kMemberTypeRoom
               && participant->empId == roomId;
    });
}

std::shared_ptr<KLFeedClient>
KLParticipantRegistry::isParticipantExists(const KLParticipant &participant) const
{
    return firstOf(participants(), [&](const KLFeedClient &feed) {
        const auto candidate = feed.participant();
        return candidate && isSameMember(*candidate, participant);
    });
}

bool KLParticipantRegistry::isMemberInList(const KLFeedClientList &list, const QString &uuid) const
{
    const auto displaying = displayingClient();
    if (displaying && displaying->uuid() == uuid)
        return true;
    return firstOf(list, [&](const KLFeedClient &feed) { return feed.uuid() == uuid; }) != nullptr;
}

// ---- Filtered lists ------------------------------------------------------------------

KLFeedClientList KLParticipantRegistry::memberList() const
{
    return filtered(participants(), isListedMember);
}

KLFeedClientList KLParticipantRegistry::participantsWithOnline(bool online) const
{
    KLFeedClientList result;
    for (const auto &feed : participants()) {
        if (!isListedMember(*feed) || feed->isOnline() != online)
            continue;
        if (feed->isMeetingRoom())
            result.prepend(feed);
        else
            result.append(feed);
    }
    if (online) {
        if (auto connection = m_host->mediaConnection())
            connection->setConfigIntVar(KLRTCMediaConfigVarOnlineCount,
                                        static_cast<int>(result.size()));
    }
    return result;
}

KLFeedClientList KLParticipantRegistry::onlineClients() const
{
    return filtered(participants(), [](const KLFeedClient &feed) {
        const bool ownCamera = feed.isPublisher() && !feed.isShareScreen();
        return ownCamera || (!feed.isFreeSwitchFeed() && (feed.isOnline() || feed.hasRTCMedia()));
    });
}

KLFeedClientList KLParticipantRegistry::mediaOrOnlineClients() const
{
    return filtered(participants(), [](const KLFeedClient &feed) {
        return !feed.isFreeSwitchFeed() && (feed.hasRTCMedia() || feed.isOnline())
               && !isLocalShare(feed);
    });
}

KLFeedClientList KLParticipantRegistry::offlineRooms() const
{
    return filtered(participants(), [](const KLFeedClient &feed) {
        return feed.isMeetingRoom() && !feed.isOnline() && !feed.isCalling();
    });
}

bool KLParticipantRegistry::isSelfInMeeting() const
{
    const auto other = firstOf(participants(), [](const KLFeedClient &feed) {
        return isListedMember(feed) && feed.isOnline() && !feed.isPublisher();
    });
    return other == nullptr;
}

void KLParticipantRegistry::setMemberCallStatus(int status) const
{
    if (auto connection = m_host->mediaConnection())
        connection->setConfigIntVar(KLRTCMediaConfigVarCallStatus, status);
}

// ---- Screen shares, floor, room, default --------------------------------------------

std::shared_ptr<KLFeedClient> KLParticipantRegistry::shareScreenLocalClient() const
{
    return firstOf(participants(), [](const KLFeedClient &feed) {
        return isLocalShare(feed) && feed.mediaStream() != nullptr;
    });
}

std::shared_ptr<KLFeedClient> KLParticipantRegistry::shareScreenRemoteClient() const
{
    const auto share = remoteShareScreenFeed();
    if (!share || share->isPublisher() || !share->isShareScreen() || !share->mediaStream()
        || !share->hasRTCMedia() || share->projectorBySelf())
        return nullptr;
    return share;
}

std::shared_ptr<KLFeedClient> KLParticipantRegistry::sharedFeed() const
{
    if (auto local = shareScreenLocalClient())
        return local;
    return shareScreenRemoteClient();
}

std::shared_ptr<KLFeedClient> KLParticipantRegistry::floorChangeClient() const
{
    const auto floor = floorChangeFeed();
    if (!floor || floor->isPublisher() || !floor->isOnline() || floor->isFreeSwitchFeed()
        || floor->projectorBySelf())
        return nullptr;
    return floor;
}

void KLParticipantRegistry::resetFloorChangeToDefault() const
{
    for (const auto &feed : participants())
        feed->setFloorChange(false);
}

std::shared_ptr<KLFeedClient> KLParticipantRegistry::roomClient() const
{
    // Rooms are few among the members: the room test goes first.
    return firstOf(participants(), [](const KLFeedClient &feed) {
        return feed.isMeetingRoom() && !feed.isPublisher() && feed.isOnline()
               && feed.audioEnabled();
    });
}

std::shared_ptr<KLFeedClient> KLParticipantRegistry::defaultClient() const
{
    const bool pallas = m_host->isPallasMeeting();
    const auto found = firstOf(participants(), [pallas](const KLFeedClient &feed) {
        if (feed.isPublisher() || feed.isFreeSwitchFeed() || feed.projectorBySelf())
            return false;
        const bool mixedStream = feed.uuid() == QLatin1String("main") && feed.hasRTCMedia();
        return mixedStream || (pallas && (feed.hasRTCMedia() || feed.isOnline()));
    });
    return found ? found : publisher();
}

// ---- Adding and removing -------------------------------------------------------------

void KLParticipantRegistry::addParticipants(const QJsonArray &participants)
{
    NewFeeds newFeeds;
    for (const QJsonValue &value : participants) {
        if (!value.isObject()) {
            KL_LOG_ERROR(kLogTag, QStringLiteral("error"));
            continue;
        }
        registerParticipant(value.toObject(), newFeeds);
    }
    if (!newFeeds.inOrder.isEmpty())
        addClients(newFeeds.inOrder);
}

void KLParticipantRegistry::addParticipant(const QJsonObject &participant)
{
    addParticipants(QJsonArray{participant});
}

void KLParticipantRegistry::registerParticipant(const QJsonObject &dictionary, NewFeeds &newFeeds)
{
    QString parseError;
    const auto participant = KLParticipant::createWithDictionary(dictionary, &parseError);
    if (!participant) {
        KL_LOG_ERROR(kLogTag, QStringLiteral("error"));
        KL_LOG_DEBUG(kLogTag, QStringLiteral("participant not read: %1").arg(parseError));
        return;
    }
    // External members known by an e-mail address get no feed of their own.
    if (memberTypeOf(*participant) == kMemberTypeExternal && !participant->email.isEmpty()) {
        KL_LOG_ERROR(kLogTag, QStringLiteral("error"));
        return;
    }
    if (participant->memberUUID.isEmpty()) {
        KL_LOG_WARN(kLogTag, QStringLiteral("participant without memberUUID skipped"));
        return;
    }
    announceParticipant(participant);

    auto feed = registeredFeed(participant->memberUUID, newFeeds);
    if (!feed) {
        // A list may name a member twice; the second entry updates the feed made for the first.
        feed = newFeeds.byUuid.value(participant->memberUUID);
    }
    if (!feed) {
        feed = KLFeedClient::create(m_host->appointmentId(), participant->memberUUID,
                                    m_host->conferenceManager(), participant);
        newFeeds.inOrder.append(feed);
        newFeeds.byUuid.insert(participant->memberUUID, feed);
    }
    if (!feed->participant())
        feed->setParticipant(participant);

    copyCallState(feed, participant);
    if (saysOnline(participant->callState()))
        alignMuteFlags(feed, participant);
}

void KLParticipantRegistry::announceParticipant(const std::shared_ptr<KLParticipant> &participant)
{
    if (m_host->isVanInternal()) {
        loadAvaterImage(*participant);
        return;
    }
    if (saysOnline(participant->callState()))
        m_host->meetingUserStatusChanged(std::make_shared<KLSDKMeetingUser>(*participant),
                                         KLUISDKMeetingUserOnline);
}

void KLParticipantRegistry::copyCallState(const std::shared_ptr<KLFeedClient> &feed,
                                          const std::shared_ptr<KLParticipant> &participant)
{
    const auto state = participant->callState();
    const auto target = feed->participant();
    if (!state || !target) {
        KL_LOG_DEBUG(kLogTag, QStringLiteral("no call state for %1").arg(participant->memberUUID));
        return;
    }
    if (feed->isPublisher()) {
        // A member list may be older than the local media path: it never takes the local
        // user offline.
        if (feed->isOnline() && state->online != 1)
            return;
        target->setCallState(state);
        return;
    }
    target->setCallState(state);
    if (feed->isOnline())
        setIsOnlyPersonEnterRoom(false);
}

bool KLParticipantRegistry::ownStreamNotMadeYet(const std::shared_ptr<KLFeedClient> &feed) const
{
    // The first member list may come before the own stream exists (an external user asks for
    // it as soon as the channel registers). Its tracks would read as off and the server would
    // hear "muted" for a user whose microphone is about to open; the publication carries the
    // user's start choices instead.
    if (!feed->isPublisher() || feed->mediaStream())
        return false;
    KL_LOG_INFO(kLogTag, QStringLiteral("own stream not made yet, its mute flags follow the publication"));
    return true;
}

void KLParticipantRegistry::alignMuteFlags(const std::shared_ptr<KLFeedClient> &feed,
                                           const std::shared_ptr<KLParticipant> &participant) const
{
    alignVideoMute(feed, participant);
    alignAudioMute(feed, participant);
}

void KLParticipantRegistry::alignVideoMute(const std::shared_ptr<KLFeedClient> &feed,
                                           const std::shared_ptr<KLParticipant> &participant) const
{
    const auto state = participant->callState();
    if (state->hasVideo != 1 || state->vmute == 1) {
        feed->muteVideo(true, false);
        return;
    }
    if (!feed->isPublisher()) {
        feed->muteVideo(false, false);
        return;
    }
    if (ownStreamNotMadeYet(feed))
        return;
    const bool localVideoOff = !feed->videoEnabled();
    if (m_host->isEnterRoomVideoShouldMute() && localVideoOff) {
        KL_LOG_INFO(kLogTag, QStringLiteral("enter or refresh video should mute"));
        return;
    }
    // The server believes the camera is on; when it is off here, the server must hear so.
    feed->muteVideo(localVideoOff, localVideoOff);
}

void KLParticipantRegistry::alignAudioMute(const std::shared_ptr<KLFeedClient> &feed,
                                           const std::shared_ptr<KLParticipant> &participant) const
{
    const auto state = participant->callState();
    if (state->mute == 1) {
        feed->muteAudio(true, false);
        return;
    }
    // With desk phone and mobile both in the call, the local microphone would be a third
    // open leg of the same person.
    if (feed->isPublisher() && feed->isExtensionAndCellPhoneOnline()) {
        feed->muteAudio(true, false);
        return;
    }
    if (ownStreamNotMadeYet(feed))
        return;
    const bool audioOff = !feed->audioEnabled();
    feed->muteAudio(audioOff, audioOff);
}

void KLParticipantRegistry::addClients(const KLFeedClientList &feeds)
{
    if (feeds.isEmpty())
        return;
    QList<QString> uuids;
    for (const auto &feed : feeds)
        uuids.append(feed ? feed->uuid() : QString());

    KLFeedClientList added;
    {
        std::lock_guard lock(m_mutex);
        for (qsizetype i = 0; i < feeds.size(); ++i) {
            if (!feeds[i] || m_participantsMapper.contains(uuids[i]))
                continue;
            m_participants.append(feeds[i]);
            m_participantsMapper.insert(uuids[i], feeds[i]);
            added.append(feeds[i]);
        }
    }
    for (const auto &feed : added) {
        feed->setConferenceManager(m_host->conferenceManager());
        if (feed->isShareScreen() && feed->participant()) {
            KLToastManager::shared().pushToastMessage(
                KLToastMessage::screenShare(toastClientOf(*feed)));
        }
    }
    // Posted right after the lock is released rather than under it: observers (the member
    // list, the layout) read the registry from their own threads and must not wait on us.
    postMemberUpdate();
}

void KLParticipantRegistry::addClient(const std::shared_ptr<KLFeedClient> &feed)
{
    if (feed)
        addClients(KLFeedClientList{feed});
}

void KLParticipantRegistry::removeClient(const std::shared_ptr<KLFeedClient> &feed)
{
    if (!feed)
        return;
    if (feed->isShareScreen())
        KLToastManager::shared().pushToastMessage(KLToastMessage::stopShare(toastClientOf(*feed)));
    const QString uuid = feed->uuid();
    {
        std::lock_guard lock(m_mutex);
        m_participants.removeAll(feed);
        // Another feed registered under the same uuid keeps its entry.
        const auto mapped = m_participantsMapper.constFind(uuid);
        if (mapped != m_participantsMapper.constEnd() && mapped.value() == feed)
            m_participantsMapper.remove(uuid);
    }
    feed->close();
    postMemberUpdate();
}

void KLParticipantRegistry::removeAllClient()
{
    m_host->stopShare();
    for (const auto &feed : participants())
        removeClient(feed);
    {
        std::lock_guard lock(m_mutex);
        m_participants.clear();
        m_participantsMapper.clear();
        m_publisher.reset();
    }
    if (auto dataSource = m_host->dataSource())
        dataSource->clientRendererViewOnSmallScreen();
}

void KLParticipantRegistry::closeClient(const std::shared_ptr<KLFeedClient> &feed) const
{
    if (!feed)
        return;
    if (feed->isPublisher()) {
        feed->close();
        return;
    }
    const auto connection = m_host->mediaConnection();
    const auto stream = feed->mediaStream();
    if (connection && stream)
        connection->unsubscribe(stream);
}

void KLParticipantRegistry::closeClientWithUUID(const QString &uuid) const
{
    closeClient(clientWithUUID(uuid));
}

void KLParticipantRegistry::resetFeedSelections()
{
    std::lock_guard lock(m_mutex);
    m_displayingClient.reset();
    m_lockedFeed.reset();
    m_clickedFeed.reset();
    m_clickedFeedTimer.reset();
    m_remoteShareScreenFeed.reset();
    m_floorChangeFeed.reset();
}

void KLParticipantRegistry::clearAll()
{
    resetFeedSelections();
    std::lock_guard lock(m_mutex);
    m_participants.clear();
    m_participantsMapper.clear();
    m_publisher.reset();
}

void KLParticipantRegistry::postMemberUpdate() const
{
    KLNotificationCenter::defaultCenter().postNotification(KLNotificationNames::MeetingMemberUpdate,
                                                           m_host->notificationSender());
}

void KLParticipantRegistry::loadAvaterImage(const KLParticipant &participant) const
{
    if (memberTypeOf(participant) != kMemberTypePerson)
        return;
    const QString token = UserPersistentData::sharedInstance().readAccessToken();
    const QUrl url = KLAvatarCache::avatarUrl(m_host->avatarBaseUrl(), participant.empId, token);
    if (!url.isValid() || url.isEmpty()) {
        KL_LOG_DEBUG(kLogTag, QStringLiteral("no avatar for %1").arg(participant.memberUUID));
        return;
    }
    KLAvatarCache::shared().loadImage(url, m_host->caFile());
}
