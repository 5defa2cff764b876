#pragma once

// What the media status reporter reads from the conference service. The service implements
// KLMediaStatusSource; the reporter holds it weakly and only ever asks for copies, so that it
// never touches a feed object from its own threads.

#include <QList>
#include <QString>

#include <memory>
#include <optional>

class KLRTCMediaConnection;

/// A copy of the facts the reporter needs about one registered feed, taken at one sample.
struct KLMediaStatusFeed {
    QString uuid;
    /// The feed's display name as the feed reads it (participant name, else stored name);
    /// may be empty.
    QString display;
    /// True for the local user's own feed.
    bool isPublisher = false;
    /// A stream is present and it reports engine media.
    bool hasRTCMedia = false;
    /// The stream's track ids; empty when the feed has no stream or no such track.
    QString audioTrackId;
    QString videoTrackId;
    /// The feed's `videoEnabled` (for a remote feed: not `videoMuted`).
    bool videoEnabled = true;
};

/// The conference service as the media status reporter sees it. Every member may be called
/// from any thread (the serial work queue and engine threads) and must not call back into
/// the reporter.
class KLMediaStatusSource {
public:
    virtual ~KLMediaStatusSource() = default;

    /// The meeting's media connection; expired when there is none (not joined yet, or the
    /// engine released it).
    virtual std::weak_ptr<KLRTCMediaConnection> mediaConnection() const = 0;
    /// 0 for an ordinary meeting, 1 for a multi-projector session.
    virtual int conferenceMode() const = 0;
    /// The feed shown in the main view (`displayingClient`), if any.
    virtual std::optional<KLMediaStatusFeed> displayingFeed() const = 0;
    /// Every registered feed, in registry order, copied under the service's own lock.
    virtual QList<KLMediaStatusFeed> registeredFeeds() const = 0;
    /// Stores a sending-audio sample's level and packet count on the own feed (`iLevel`,
    /// `packetsSent`), which the publish watchdog observes. Nothing when there is no own feed.
    virtual void updatePublisherAudioStatus(qint32 iLevel, qint64 packetsSent) = 0;
};
