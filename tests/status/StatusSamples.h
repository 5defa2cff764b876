#pragma once

// Statistics samples in the shape KLRTCMediaConnection::getStatusForMedia answers, numbered so
// that a test can tell which sample a record carries.

#include "conference/status/KLMediaStatusSource.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace klstatus {

inline QJsonObject sample(int n, const QJsonArray &audio, const QJsonArray &video)
{
    return {{"videoBwe", QJsonObject{{"n", n}}}, {"audio", audio}, {"video", video}};
}

inline QJsonObject sendAudio(int n)
{
    return {{"ssrc", "a-own"}, {"trackId", "own-audio"}, {"sendAudio", true},
            {"iLevel", 100 + n}, {"pktsSent", 5000000000.0 + n}};
}

/// A sending video stream, or the shared screen when `screen`.
inline QJsonObject sendVideo(int n, bool screen = false)
{
    return {{"ssrc", screen ? "v-screen" : "v-own"}, {"sendVideo", !screen},
            {"sendScreen", screen}, {"n", n}};
}

/// A received stream: every aggregated key of both kinds, and one key that is not.
inline QJsonObject received(const QString &ssrc, const QString &trackId, int n)
{
    QJsonObject entry{{"ssrc", ssrc}, {"trackId", trackId}, {"packetsLost", n}};
    for (const char *key : {"accRate", "expRate", "curDelayMs", "jitBufMs", "preJitBufMs",
                            "flushedBuf", "sndDecRate", "speechExpRate", "recvFR", "decFR",
                            "outFR", "syncDelayMs", "nacksSent"})
        entry.insert(key, n);
    return entry;
}

/// A remote feed with engine media and the tracks "<uuid>-audio" and "<uuid>-video".
inline KLMediaStatusFeed remoteFeed(const QString &uuid, const QString &display)
{
    KLMediaStatusFeed feed;
    feed.uuid = uuid;
    feed.display = display;
    feed.hasRTCMedia = true;
    feed.audioTrackId = uuid + "-audio";
    feed.videoTrackId = uuid + "-video";
    return feed;
}

/// The dictionary a record's "mediaStatus" text holds.
inline QJsonObject parsed(const QJsonObject &record)
{
    return QJsonDocument::fromJson(record.value("mediaStatus").toString().toUtf8()).object();
}

/// The lists collected for one stream in a listener record.
inline QJsonObject collected(const QJsonObject &record, const QString &kind, const QString &ssrc)
{
    return parsed(record).value(kind).toObject().value(ssrc).toObject();
}

} // namespace klstatus
