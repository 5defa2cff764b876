// The main view's choice (click, lock, share, floor, room, default) and the strip of small
// videos next to it.

#include "conference/registry/KLConferenceManagerDataSource.h"
#include "conference/registry/KLFeedClient.h"
#include "conference/registry/KLParticipantRegistry.h"
#include "conference/registry/KLParticipantRegistryHost.h"
#include "media/KLRTCMediaConnection.h"
#include "presentation/KLToastManager.h"
#include "runtime/KLSDKLog.h"
#include "runtime/KLTimer.h"

#include <QAbstractEventDispatcher>
#include <QMetaObject>
#include <QSet>

namespace {

const QString kLogTag = QStringLiteral("KLParticipantRegistry");

constexpr qint64 kConferenceModeNormal = 0;
constexpr qint64 kConferenceModeMultiProjector = 1;

bool isOnlineOrHasMedia(const std::shared_ptr<KLFeedClient> &feed)
{
    return feed->isOnline() || feed->hasRTCMedia();
}

bool sameUuid(const std::shared_ptr<KLFeedClient> &a, const std::shared_ptr<KLFeedClient> &b)
{
    return a && b && a->uuid() == b->uuid();
}

KLToastFeed toastFeedOf(const std::shared_ptr<KLFeedClient> &feed)
{
    KLToastFeed toastFeed;
    if (!feed)
        return toastFeed;
    toastFeed.client = KLToastClient{feed->uuid(), feed->display()};
    toastFeed.isWeakNet = static_cast<int>(feed->isWeakNet());
    std::weak_ptr<KLFeedClient> weakFeed = feed;
    toastFeed.resetWeakNet = [weakFeed]() {
        if (auto live = weakFeed.lock())
            live->setIsWeakNet(1);
    };
    return toastFeed;
}

// The registries whose main-view choice is queued on this thread's event loop. Per thread,
// so that nothing outlives the loop it waits on: when a thread ends with a choice still
// queued, its set goes with it and no later request is swallowed.
QSet<quint64> &pendingChoices()
{
    thread_local QSet<quint64> pending;
    return pending;
}

} // namespace

// ---- Lock and click ------------------------------------------------------------------

std::shared_ptr<KLFeedClient> KLParticipantRegistry::clickedFeed() const
{
    return guarded(m_clickedFeed);
}

void KLParticipantRegistry::setClickedFeed(std::shared_ptr<KLFeedClient> feed)
{
    std::lock_guard lock(m_mutex);
    m_clickedFeed = std::move(feed);
    m_clickedFeedTimer.reset();
}

void KLParticipantRegistry::lockClientFeed(const std::shared_ptr<KLFeedClient> &feed)
{
    std::shared_ptr<KLFeedClient> previous;
    {
        std::lock_guard lock(m_mutex);
        previous = m_lockedFeed;
        m_lockedFeed = feed;
    }
    if (previous && (!feed || !sameUuid(previous, feed)))
        previous->setIsLocked(false);
    if (feed)
        feed->setIsLocked(true);
    displayClientAutomatically();
}

void KLParticipantRegistry::clickedClientFeed(const std::shared_ptr<KLFeedClient> &feed)
{
    {
        std::lock_guard lock(m_mutex);
        m_clickedFeed = feed;
        // Every click starts the full period again.
        m_clickedFeedTimer = std::make_unique<KLTimer>(kClickedFeedSeconds, false,
                                                       [this]() { clickedFeedExpired(); });
        m_clickedFeedTimer->startTimer();
    }
    displayClientAutomatically();
}

void KLParticipantRegistry::clickedFeedExpired()
{
    {
        std::lock_guard lock(m_mutex);
        m_clickedFeedTimer.reset();
        m_clickedFeed.reset();
    }
    displayClientAutomatically();
}

// ---- Main view -----------------------------------------------------------------------

void KLParticipantRegistry::displayClientAutomatically()
{
    if (auto feed = chooseMainFeed())
        displayClientOnMain(feed);
}

void KLParticipantRegistry::requestMainViewChoice(std::weak_ptr<const void> keeper)
{
    QAbstractEventDispatcher *loop = QAbstractEventDispatcher::instance();
    if (!loop) {
        displayClientAutomatically();
        return;
    }
    if (pendingChoices().contains(m_choiceId))
        return; // the queued choice comes after this request and serves it
    pendingChoices().insert(m_choiceId);
    // Queued behind the events already waiting on this thread: every push read in this turn
    // has been handled when the choice runs.
    QMetaObject::invokeMethod(
        loop,
        [this, id = m_choiceId, keeper = std::move(keeper)]() {
            if (!pendingChoices().remove(id))
                return; // a reader of the main view made it already
            if (const auto alive = keeper.lock())
                displayClientAutomatically();
        },
        Qt::QueuedConnection);
}

void KLParticipantRegistry::choosePendingMainView()
{
    if (pendingChoices().remove(m_choiceId))
        displayClientAutomatically();
}

std::shared_ptr<KLFeedClient> KLParticipantRegistry::chooseMainFeed() const
{
    switch (m_host->conferenceMode()) {
    case kConferenceModeMultiProjector:
        if (auto share = shareScreenRemoteClient())
            return share;
        return publisher();
    case kConferenceModeNormal:
        return m_host->isPallasMeeting() ? choosePallasMainFeed() : chooseOtherMainFeed();
    default:
        return nullptr;
    }
}

std::shared_ptr<KLFeedClient> KLParticipantRegistry::choosePallasMainFeed() const
{
    // A Pallas feed may be online before its media arrives; the tile then shows its avatar.
    if (auto clicked = clickedFeed(); clicked && isOnlineOrHasMedia(clicked))
        return clicked;
    if (auto locked = lockedFeed(); locked && isOnlineOrHasMedia(locked))
        return locked;
    if (auto share = shareScreenRemoteClient())
        return share;
    if (auto floor = floorChangeClient())
        return floor;
    if (auto room = roomClient())
        return room;
    return defaultClient();
}

std::shared_ptr<KLFeedClient> KLParticipantRegistry::chooseOtherMainFeed() const
{
    if (auto clicked = clickedFeed(); clicked && clicked->hasRTCMedia())
        return clicked;
    if (auto locked = lockedFeed(); locked && locked->hasRTCMedia())
        return locked;
    if (auto share = shareScreenRemoteClient())
        return share;
    return defaultClient();
}

void KLParticipantRegistry::displayClientOnMain(const std::shared_ptr<KLFeedClient> &feed)
{
    if (!feed) {
        KL_LOG_WARN(kLogTag, QStringLiteral("no feed to show on main"));
        return;
    }
    const auto dataSource = m_host->dataSource();
    bool alreadyShown = false;
    {
        std::lock_guard lock(m_mutex);
        alreadyShown = sameUuid(m_displayingClient, feed);
        if (!alreadyShown)
            m_displayingClient = feed;
    }
    if (dataSource) {
        if (alreadyShown)
            dataSource->updateRendererViewContent(feed);
        else
            dataSource->clientRendererViewOnMainScreen(feed);
    }

    const bool remoteVideo = !feed->isPublisher() && feed->mediaStream() && feed->hasRTCMedia()
                             && feed->hasVideoMedia();
    if (remoteVideo) {
        if (auto connection = m_host->mediaConnection()) {
            m_host->postToSerialQueue([connection, uuid = feed->uuid()]() {
                connection->enableHDVideo(uuid);
            });
        }
    }
    KLToastManager::shared().checkWeakTips(toastFeedOf(publisher()), toastFeedOf(feed));
    if (dataSource)
        dataSource->clientRendererViewOnSmallScreen();
}

// ---- Strip ---------------------------------------------------------------------------

/// One computation of the strip: what is placed so far and what may not be placed.
struct KLParticipantRegistry::SmallClientsPass {
    std::shared_ptr<KLRTCMediaConnection> connection;
    QString mainUuid;
    QString sharerUuid;
    bool pallas = false;
    KLFeedClientList placed;
    QSet<QString> placedUuids;

    bool isFull() const { return placed.size() >= kMaxSmallClients; }
    bool isPlaced(const std::shared_ptr<KLFeedClient> &feed) const
    {
        return placedUuids.contains(feed->uuid());
    }

    void place(const std::shared_ptr<KLFeedClient> &feed)
    {
        placed.append(feed);
        placedUuids.insert(feed->uuid());
    }

    void setReception(const std::shared_ptr<KLFeedClient> &feed, bool receive) const
    {
        feed->setIsReceiveVideoByClient(receive);
        const auto stream = feed->mediaStream();
        if (connection && stream)
            connection->streamVideo(stream, receive);
    }

    void subscribe(const std::shared_ptr<KLFeedClient> &feed) const
    {
        if (feed->hasRTCMedia() && feed->videoEnabled() && !feed->isReceiveVideoByClient())
            setReception(feed, true);
    }

    bool isEligible(const std::shared_ptr<KLFeedClient> &feed) const
    {
        const QString uuid = feed->uuid();
        return !uuid.isEmpty() && !feed->isFreeSwitchFeed() && uuid != mainUuid
               && !placedUuids.contains(uuid) && (sharerUuid.isEmpty() || uuid != sharerUuid)
               && !feed->projectorBySelf();
    }

    /// A feed with media gets a tile (the own share excepted) and its video; one without
    /// media only in a Pallas meeting, while it is online (its tile shows the avatar).
    void offer(const std::shared_ptr<KLFeedClient> &feed)
    {
        if (feed->hasRTCMedia()) {
            if (!(feed->isPublisher() && feed->isShareScreen()))
                place(feed);
            subscribe(feed);
        } else if (feed->isOnline() && pallas) {
            place(feed);
        }
    }
};

KLFeedClientList KLParticipantRegistry::smallClients() const
{
    if (!m_host->enterRoomSuccess())
        return {};
    SmallClientsPass pass;
    pass.connection = m_host->mediaConnection();
    pass.pallas = m_host->isPallasMeeting();
    const auto mainFeed = displayingClient();
    pass.mainUuid = mainFeed ? mainFeed->uuid() : QString();
    const KLFeedClientList feeds = participants();

    placePublisher(pass, feeds, mainFeed);
    placeShare(pass, mainFeed);
    if (auto floor = floorChangeFeed(); floor && !pass.isFull() && pass.isEligible(floor))
        pass.offer(floor);
    for (const auto &feed : feeds) {
        if (pass.isFull())
            break;
        if (pass.isEligible(feed))
            pass.offer(feed);
    }
    if (pass.pallas)
        placeRingingAndMuteLeftOut(pass, feeds);
    return pass.placed;
}

void KLParticipantRegistry::placePublisher(SmallClientsPass &pass, const KLFeedClientList &feeds,
                                           const std::shared_ptr<KLFeedClient> &mainFeed) const
{
    const auto own = publisher();
    if (!own || feeds.isEmpty())
        return;
    int present = 0;
    for (const auto &feed : feeds) {
        if (!feed->isFreeSwitchFeed() && isOnlineOrHasMedia(feed)
            && !(feed->isPublisher() && feed->isShareScreen()) && ++present >= 2)
            break;
    }
    // Alone, the own camera stays in the strip even while it fills the main view.
    if (present >= 2 && sameUuid(mainFeed, own))
        return;
    pass.place(own);
}

void KLParticipantRegistry::placeShare(SmallClientsPass &pass,
                                       const std::shared_ptr<KLFeedClient> &mainFeed) const
{
    const auto share = shareScreenRemoteClient();
    if (!share || !pass.pallas)
        return;
    if (sameUuid(mainFeed, share)) {
        // The share fills the main view: its owner's camera takes the strip's next tile.
        const auto sharer = clientWithUUID(share->participantUUID());
        if (!sharer)
            return;
        pass.sharerUuid = sharer->uuid();
        if (sharer->participant() || sharer->hasRTCMedia()) {
            pass.subscribe(sharer);
            pass.place(sharer);
        }
        return;
    }
    pass.place(share);
    if (share->hasRTCMedia() && !share->isReceiveVideoByClient())
        pass.setReception(share, true);
}

void KLParticipantRegistry::placeRingingAndMuteLeftOut(SmallClientsPass &pass,
                                                       const KLFeedClientList &feeds) const
{
    for (const auto &feed : feeds) {
        if (feed->isFreeSwitchFeed() || feed->projectorBySelf() || feed->uuid() == pass.mainUuid
            || feed->isPublisher() || pass.isPlaced(feed))
            continue;
        if (!pass.isFull() && feed->isCalling()) {
            pass.place(feed);
            continue;
        }
        // No tile, no video: reception costs bandwidth the visible tiles need.
        if (pass.isFull() && feed->hasRTCMedia() && feed->hasVideoMedia()
            && feed->isReceiveVideoByClient())
            pass.setReception(feed, false);
    }
}
