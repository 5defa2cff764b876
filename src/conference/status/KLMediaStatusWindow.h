#pragma once

// The media status reporter's bookkeeping, without threads or timers: statistics samples go
// in one at a time, and every tenth sample the window's monitor records come out. The
// reporting service (KLMediaStatusService) feeds it from the engine's statistics answers;
// tests feed it directly.
//
// A sample is the dictionary KLRTCMediaConnection::getStatusForMedia answers: "videoBwe" (a
// dictionary), "audio" and "video" (lists of per-stream dictionaries with "ssrc", "trackId"
// and the send flags). Every other key is passed through into the records unchanged.

#include "conference/status/KLMediaStatusSource.h"
#include "model/KLMediaObject.h"

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

/// What the conference service shows at the time of one sample.
struct KLMediaStatusContext {
    /// The feed in the main view, if any.
    std::optional<KLMediaStatusFeed> mainFeed;
    /// The registered feeds, in registry order (looked up by track id).
    QList<KLMediaStatusFeed> feeds;
    /// 0 ordinary meeting, 1 multi-projector session.
    int conferenceMode = 0;
};

/// A sending audio entry's level and packet count, to be stored on the own feed.
struct KLMediaStatusPublisherAudio {
    qint32 iLevel = 0;
    qint64 packetsSent = 0;
};

/// What one sample produced.
struct KLMediaStatusOutcome {
    /// One per sending audio entry without a bucket, in entry order.
    QList<KLMediaStatusPublisherAudio> publisherAudio;
    /// The window's records when this sample closed it (the tenth), else empty. Each is sent
    /// with level kRecordLevel and group kRecordGroup.
    QList<QJsonObject> records;
};

class KLMediaStatusWindow {
public:
    static constexpr int kSamplesPerWindow = 10;
    static constexpr int kRecordLevel = 3;
    static constexpr int kRecordGroup = 2;

    /// Aggregated keys of a listener record, by kind ("recvAudio", "recvVideo").
    static QStringList aggregatedKeys(const QString &kind);

    /// Takes one sample; see docs/media-status.md for the rules.
    KLMediaStatusOutcome uploadMediaStatus(const QJsonObject &sample,
                                           const KLMediaStatusContext &context);
    /// Forgets the window: no samples, no buckets, no main feed seen.
    void reset();

    int mediaCount() const { return m_mediaCount; }
    const std::vector<std::shared_ptr<KLMediaObject>> &mediaObjectList() const
    {
        return m_mediaObjectList;
    }
    /// The uuid of the main feed at the previous received-video entry; empty when none.
    std::optional<QString> originMainScreen() const { return m_originMainScreen; }

    /// The first bucket with this ssrc / type, or null. An empty ssrc matches nothing.
    std::shared_ptr<KLMediaObject> findMediaObjectBySsrc(const QString &ssrc) const;
    std::shared_ptr<KLMediaObject> findMediaObjectByType(const QString &type) const;
    /// The first feed that has engine media, is not the own feed, and whose audio ("audio") or
    /// video ("video") track id equals `trackId`. An empty track id matches nothing.
    static std::optional<KLMediaStatusFeed>
    clientWithMediaTrackId(const QList<KLMediaStatusFeed> &feeds, const QString &trackId,
                           const QString &type);

    /// The listener record of one receive bucket, `kind` "recvAudio" or "recvVideo".
    static QJsonObject listenerRecord(const KLMediaObject &bucket, const QString &kind);

private:
    void takeAudio(const QJsonObject &entry, const KLMediaStatusContext &context,
                   KLMediaStatusOutcome &outcome);
    void takeVideo(const QJsonObject &entry, const KLMediaStatusContext &context);
    void takeReceivedVideo(const QJsonObject &entry, const QString &ssrc,
                           const std::shared_ptr<KLMediaObject> &bucket,
                           const KLMediaStatusContext &context);
    QList<QJsonObject> reportWindow(int conferenceMode);
    void addBucket(const QString &ssrc, const QString &type, const QString &userName,
                   const QJsonValue &firstSample);

    int m_mediaCount = 0;
    std::vector<std::shared_ptr<KLMediaObject>> m_mediaObjectList;
    std::optional<QString> m_originMainScreen;
};
