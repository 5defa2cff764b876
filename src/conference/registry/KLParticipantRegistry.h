#pragma once

// The registry of everybody and everything a meeting can show: one feed per participant,
// meeting room, screen share, phone bridge or mixed stream, the lists the views ask for, and
// the two choices made over it: the feed in the large main view and the feeds of the strip
// of small videos.

#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <memory>
#include <mutex>

class KLFeedClient;
class KLParticipant;
class KLParticipantRegistryHost;
class KLTimer;

using KLFeedClientList = QList<std::shared_ptr<KLFeedClient>>;

/// The participant registry of one meeting, owned by the conference service.
///
/// Threads: every member may be called from any thread (signalling queue, engine threads,
/// serial queue, main thread). One re-entrant lock guards the feeds and the registry state;
/// the list scans copy the feeds under it and scan the copy. Feeds, the host, the toast
/// manager and notification observers are never called while the lock is held.
///
/// Lifetime: the registry keeps (or borrows) its host. Destroy the registry on the main
/// thread, where its click timer fires.
class KLParticipantRegistry {
public:
    /// How long a clicked feed keeps the main view, in seconds.
    static constexpr double kClickedFeedSeconds = 10.0;
    /// The strip shows at most this many feeds.
    static constexpr int kMaxSmallClients = 4;

    /// `host` must not be null; the registry keeps it.
    explicit KLParticipantRegistry(std::shared_ptr<KLParticipantRegistryHost> host);
    /// A registry that borrows `host`, which must then outlive the registry.
    explicit KLParticipantRegistry(KLParticipantRegistryHost &host);
    ~KLParticipantRegistry();
    KLParticipantRegistry(const KLParticipantRegistry &) = delete;
    KLParticipantRegistry &operator=(const KLParticipantRegistry &) = delete;

    // ---- Registry state ---------------------------------------------------------------

    /// Every feed, in order of addition (a copy).
    KLFeedClientList participants() const;
    /// The local user's camera feed; null before it exists and after `removeAllClient`.
    std::shared_ptr<KLFeedClient> publisher() const;
    void setPublisher(std::shared_ptr<KLFeedClient> publisher);
    /// The feed now shown in the main view.
    std::shared_ptr<KLFeedClient> displayingClient() const;
    void setDisplayingClient(std::shared_ptr<KLFeedClient> feed);
    /// The feed the user clicked, forgotten 10 s later (see `clickedClientFeed`).
    std::shared_ptr<KLFeedClient> clickedFeed() const;
    /// Stores the clicked feed without a timer and without choosing the main view again;
    /// null drops it (a running timer is stopped either way).
    void setClickedFeed(std::shared_ptr<KLFeedClient> feed);
    /// The feed pinned to the main view (see `lockClientFeed`).
    std::shared_ptr<KLFeedClient> lockedFeed() const;
    void setLockedFeed(std::shared_ptr<KLFeedClient> feed);
    /// The current remote screen share.
    std::shared_ptr<KLFeedClient> remoteShareScreenFeed() const;
    void setRemoteShareScreenFeed(std::shared_ptr<KLFeedClient> feed);
    /// The feed that last took the floor.
    std::shared_ptr<KLFeedClient> floorChangeFeed() const;
    void setFloorChangeFeed(std::shared_ptr<KLFeedClient> feed);
    /// The local user is alone (initially true); cleared when another online member is
    /// registered.
    bool isOnlyPersonEnterRoom() const;
    void setIsOnlyPersonEnterRoom(bool alone);

    // ---- Lookups ----------------------------------------------------------------------

    /// The feed registered under `uuid`, else the first feed with that uuid; null for an
    /// empty uuid.
    std::shared_ptr<KLFeedClient> clientWithUUID(const QString &uuid) const;
    bool isClientExists(const QString &uuid) const;
    /// The first feed whose media stream has this id.
    std::shared_ptr<KLFeedClient> clientWithStreamId(const QString &streamId) const;
    /// The first meeting room whose participant's employee number is `roomId`.
    std::shared_ptr<KLFeedClient> clientWithRoomId(const QString &roomId) const;
    /// The first feed for the same member: same member type and same employee number
    /// (persons), room id (rooms), or e-mail, else cell phone, else extension (external
    /// members; only values present on both sides count). Null when there is none.
    std::shared_ptr<KLFeedClient> isParticipantExists(const KLParticipant &participant) const;
    /// `uuid` is the main view's feed or a member of `list`.
    bool isMemberInList(const KLFeedClientList &list, const QString &uuid) const;

    // ---- Filtered lists (registration order) --------------------------------------------

    /// Feeds with a participant that are neither the phone bridge nor a screen share.
    KLFeedClientList memberList() const;
    /// `memberList` feeds whose online state is `online`; rooms first (each put in front,
    /// so in reverse registration order), then persons. For `online` true the count also
    /// goes to the media engine (configuration variable 1).
    KLFeedClientList participantsWithOnline(bool online) const;
    /// The own camera feed, and everything but the phone bridge that is online or has media.
    KLFeedClientList onlineClients() const;
    /// Everything but the phone bridge and the own screen share that has media or is online.
    KLFeedClientList mediaOrOnlineClients() const;
    /// Meeting rooms that are neither online nor being called.
    KLFeedClientList offlineRooms() const;
    /// True when no other member (not bridge, not share, not the publisher) is online.
    bool isSelfInMeeting() const;
    /// Hands the own call status to the media engine (configuration variable 2).
    void setMemberCallStatus(int status) const;

    // ---- Screen shares, floor, room, default -------------------------------------------

    /// The own screen share that has a stream.
    std::shared_ptr<KLFeedClient> shareScreenLocalClient() const;
    /// `remoteShareScreenFeed` while it is a foreign share with a stream and media.
    std::shared_ptr<KLFeedClient> shareScreenRemoteClient() const;
    /// The own share, else the remote share, else null.
    std::shared_ptr<KLFeedClient> sharedFeed() const;
    /// `floorChangeFeed` while it is a foreign, online feed other than the phone bridge and
    /// not a projection of the own screen.
    std::shared_ptr<KLFeedClient> floorChangeClient() const;
    /// Clears the `floorChange` flag of every feed.
    void resetFloorChangeToDefault() const;
    /// The first foreign online meeting room with audio enabled.
    std::shared_ptr<KLFeedClient> roomClient() const;
    /// The mixed stream ("main") with media, or in a Pallas meeting the first foreign feed
    /// with media or online; else the publisher.
    std::shared_ptr<KLFeedClient> defaultClient() const;

    // ---- Adding and removing ----------------------------------------------------------

    /// Registers a member list (the meeting service's participant objects, in order): new
    /// feeds for unknown members, call states copied, mute flags aligned.
    void addParticipants(const QJsonArray &participants);
    void addParticipant(const QJsonObject &participant);
    /// Registers the feeds whose uuid is unknown and posts "MeetingMemberUpdate" once
    /// (nothing for an empty list).
    void addClients(const KLFeedClientList &feeds);
    void addClient(const std::shared_ptr<KLFeedClient> &feed);
    /// Unregisters the feed, closes it and posts "MeetingMemberUpdate".
    void removeClient(const std::shared_ptr<KLFeedClient> &feed);
    /// Stops the own share, removes every feed, forgets the publisher, redraws the strip.
    void removeAllClient();
    /// A remote feed's stream is unsubscribed; the publisher is closed.
    void closeClient(const std::shared_ptr<KLFeedClient> &feed) const;
    void closeClientWithUUID(const QString &uuid) const;
    /// Drops the main view's, clicked (with its timer), locked, remote-share and floor feeds
    /// (a refresh starts over).
    void resetFeedSelections();
    /// Forgets every feed, the publisher and the selections without closing or announcing
    /// anything (the meeting is over and its media already torn down).
    void clearAll();

    // ---- Main view and strip (KLParticipantRegistryMainView.cpp) -------------------------

    /// Pins `feed` to the main view (null unpins) and chooses the main view again.
    void lockClientFeed(const std::shared_ptr<KLFeedClient> &feed);
    /// Gives `feed` the main view for 10 s, then chooses again.
    void clickedClientFeed(const std::shared_ptr<KLFeedClient> &feed);
    /// Chooses the main view's feed by the meeting's rules and shows it.
    void displayClientAutomatically();
    /// Chooses the main view again when the calling thread's current event-loop turn ends:
    /// the requests of one turn (a burst of member pushes read from one socket) share one
    /// choice, made after the last of them, so it sees what every push changed. Requests from
    /// different threads are never merged; on a thread without an event loop the choice is
    /// made at once. The queued choice runs only while `keeper` lives, and `keeper` must own
    /// this registry (the meeting's service).
    void requestMainViewChoice(std::weak_ptr<const void> keeper);
    /// Makes the choice requested on this thread now, if one is still queued: a reader of the
    /// main view in the same turn sees it as if every request had been served at once.
    void choosePendingMainView();
    /// Shows `feed` in the main view, asks for its high-definition video and redraws the strip.
    void displayClientOnMain(const std::shared_ptr<KLFeedClient> &feed);
    /// The strip: at most four feeds, publisher, share or sharer and floor feed first. Turns
    /// video reception on for the chosen feeds and, in Pallas meetings, off for left-out ones.
    KLFeedClientList smallClients() const;

    /// Starts downloading a person's avatar into the shared cache (persons only).
    void loadAvaterImage(const KLParticipant &participant) const;

private:
    struct SmallClientsPass;

    /// The feeds a member list creates, in list order and by uuid (a list of thousands must
    /// not be scanned once per member).
    struct NewFeeds {
        KLFeedClientList inOrder;
        QHash<QString, std::shared_ptr<KLFeedClient>> byUuid;
        /// Registered feeds by their uuid now, made at the list's first unknown uuid.
        QHash<QString, std::shared_ptr<KLFeedClient>> registeredByUuid;
        bool registeredIndexed = false;
    };
    void registerParticipant(const QJsonObject &dictionary, NewFeeds &newFeeds);
    /// `clientWithUUID` for a member list: the uuid index, then the feeds by their uuid now,
    /// indexed once per list, so that a list of many unknown members scans the feeds once.
    std::shared_ptr<KLFeedClient> registeredFeed(const QString &uuid, NewFeeds &newFeeds) const;
    void announceParticipant(const std::shared_ptr<KLParticipant> &participant);
    void copyCallState(const std::shared_ptr<KLFeedClient> &feed,
                       const std::shared_ptr<KLParticipant> &participant);
    void alignMuteFlags(const std::shared_ptr<KLFeedClient> &feed,
                        const std::shared_ptr<KLParticipant> &participant) const;
    void alignVideoMute(const std::shared_ptr<KLFeedClient> &feed,
                        const std::shared_ptr<KLParticipant> &participant) const;
    void alignAudioMute(const std::shared_ptr<KLFeedClient> &feed,
                        const std::shared_ptr<KLParticipant> &participant) const;
    /// The local participant's feed before its stream exists: nothing to align yet.
    bool ownStreamNotMadeYet(const std::shared_ptr<KLFeedClient> &feed) const;

    void placePublisher(SmallClientsPass &pass, const KLFeedClientList &feeds,
                        const std::shared_ptr<KLFeedClient> &mainFeed) const;
    void placeShare(SmallClientsPass &pass, const std::shared_ptr<KLFeedClient> &mainFeed) const;
    void placeRingingAndMuteLeftOut(SmallClientsPass &pass, const KLFeedClientList &feeds) const;

    std::shared_ptr<KLFeedClient> chooseMainFeed() const;
    std::shared_ptr<KLFeedClient> choosePallasMainFeed() const;
    std::shared_ptr<KLFeedClient> chooseOtherMainFeed() const;
    void clickedFeedExpired();
    void postMemberUpdate() const;


    template <class T>
    T guarded(const T &field) const
    {
        std::lock_guard lock(m_mutex);
        return field;
    }
    template <class T>
    void setGuarded(T &field, T value)
    {
        std::lock_guard lock(m_mutex);
        field = std::move(value);
    }

    const std::shared_ptr<KLParticipantRegistryHost> m_host;
    /// Names this registry among those with a choice queued on a thread.
    const quint64 m_choiceId;

    mutable std::recursive_mutex m_mutex;
    KLFeedClientList m_participants;
    QHash<QString, std::shared_ptr<KLFeedClient>> m_participantsMapper;
    std::shared_ptr<KLFeedClient> m_publisher;
    std::shared_ptr<KLFeedClient> m_displayingClient;
    std::shared_ptr<KLFeedClient> m_clickedFeed;
    std::unique_ptr<KLTimer> m_clickedFeedTimer;
    std::shared_ptr<KLFeedClient> m_lockedFeed;
    std::shared_ptr<KLFeedClient> m_remoteShareScreenFeed;
    std::shared_ptr<KLFeedClient> m_floorChangeFeed;
    bool m_isOnlyPersonEnterRoom = true;
};
