#include "conference/status/KLMediaStatusWindow.h"

#include "host/KLHostUtils.h"
#include "model/KLJSONReader.h"

#include <QJsonArray>
#include <QJsonValue>

namespace {

const QString kVideoBwe = QStringLiteral("videoBwe");
const QString kSendAudio = QStringLiteral("sendAudio");
const QString kSendVideo = QStringLiteral("sendVideo");
const QString kSendScreen = QStringLiteral("sendScreen");
const QString kReceiveAudio = QStringLiteral("receiveAudio");
const QString kReceiveVideo = QStringLiteral("receiveVideo");
const QString kRecvAudio = QStringLiteral("recvAudio");
const QString kRecvVideo = QStringLiteral("recvVideo");
const QString kScreenPrefix = QStringLiteral("screen-");

/// A text entry as the engine may write it: a string, or a number written out.
QString textOf(const QJsonValue &value)
{
    if (value.isString())
        return value.toString();
    if (value.isDouble()) {
        const double number = value.toDouble();
        const qint64 integral = value.toInteger();
        return double(integral) == number ? QString::number(integral) : QString::number(number);
    }
    return QString();
}

/// A flag as the engine may write it: a bool or a number (non-zero is true).
bool flagOf(const QJsonValue &value)
{
    if (value.isBool())
        return value.toBool();
    if (value.isDouble())
        return value.toDouble() != 0.0;
    return false;
}

/// An integer entry: a number, or a text holding one; anything else reads as 0.
qint64 integerOf(const QJsonValue &value)
{
    if (value.isDouble())
        return KL_truncatedInteger(value.toDouble());
    if (value.isString()) {
        bool ok = false;
        const qint64 parsed = value.toString().trimmed().toLongLong(&ok);
        if (ok)
            return parsed;
        const double real = value.toString().trimmed().toDouble(&ok);
        return ok ? qint64(real) : 0;
    }
    return 0;
}

/// The feed's display name, else its uuid.
QString nameOf(const KLMediaStatusFeed &feed)
{
    return feed.display.isEmpty() ? feed.uuid : feed.display;
}

/// The first sample of a bucket, or the empty string when the bucket is missing or empty.
QJsonValue firstSampleOf(const std::shared_ptr<KLMediaObject> &bucket)
{
    if (!bucket || bucket->mediaStatus.isEmpty())
        return QString();
    return bucket->mediaStatus.first();
}

QJsonObject statusRecord(const QString &mtype, const QJsonObject &status)
{
    return QJsonObject{{QStringLiteral("value"), QStringLiteral("mediaStatus")},
                       {QStringLiteral("mtype"), mtype},
                       {QStringLiteral("mediaStatus"), KLHostUtils::convertToJsonData(status)}};
}

} // namespace

QStringList KLMediaStatusWindow::aggregatedKeys(const QString &kind)
{
    if (kind == kRecvAudio) {
        return {QStringLiteral("accRate"),    QStringLiteral("expRate"),
                QStringLiteral("curDelayMs"), QStringLiteral("jitBufMs"),
                QStringLiteral("preJitBufMs"), QStringLiteral("flushedBuf"),
                QStringLiteral("sndDecRate"), QStringLiteral("speechExpRate")};
    }
    if (kind == kRecvVideo) {
        return {QStringLiteral("recvFR"),     QStringLiteral("decFR"),
                QStringLiteral("outFR"),      QStringLiteral("curDelayMs"),
                QStringLiteral("jitBufMs"),   QStringLiteral("syncDelayMs"),
                QStringLiteral("nacksSent")};
    }
    return {};
}

KLMediaStatusOutcome KLMediaStatusWindow::uploadMediaStatus(const QJsonObject &sample,
                                                            const KLMediaStatusContext &context)
{
    KLMediaStatusOutcome outcome;
    if (m_mediaCount++ == 0)
        addBucket(QString(), kVideoBwe, QString(), sample.value(kVideoBwe));

    const QJsonArray audio = sample.value(QStringLiteral("audio")).toArray();
    for (const QJsonValue &entry : audio) {
        if (entry.isObject())
            takeAudio(entry.toObject(), context, outcome);
    }
    const QJsonArray video = sample.value(QStringLiteral("video")).toArray();
    for (const QJsonValue &entry : video) {
        if (entry.isObject())
            takeVideo(entry.toObject(), context);
    }

    if (m_mediaCount >= kSamplesPerWindow)
        outcome.records = reportWindow(context.conferenceMode);
    return outcome;
}

void KLMediaStatusWindow::takeAudio(const QJsonObject &entry, const KLMediaStatusContext &context,
                                    KLMediaStatusOutcome &outcome)
{
    const QString ssrc = textOf(entry.value(QStringLiteral("ssrc")));
    if (auto bucket = findMediaObjectBySsrc(ssrc)) {
        bucket->pushStats(entry);
        return;
    }
    if (flagOf(entry.value(kSendAudio))) {
        outcome.publisherAudio.append(
            {qint32(integerOf(entry.value(QStringLiteral("iLevel")))),
             integerOf(entry.value(QStringLiteral("pktsSent")))});
        if (m_mediaCount == kSamplesPerWindow)
            addBucket(ssrc, kSendAudio, QString(), entry);
        return;
    }
    const auto feed = clientWithMediaTrackId(
        context.feeds, textOf(entry.value(QStringLiteral("trackId"))), QStringLiteral("audio"));
    if (feed)
        addBucket(ssrc, kReceiveAudio, nameOf(*feed), entry);
}

void KLMediaStatusWindow::takeVideo(const QJsonObject &entry, const KLMediaStatusContext &context)
{
    const QString ssrc = textOf(entry.value(QStringLiteral("ssrc")));
    const std::shared_ptr<KLMediaObject> bucket = findMediaObjectBySsrc(ssrc);
    const bool sendVideo = flagOf(entry.value(kSendVideo));
    if (sendVideo || flagOf(entry.value(kSendScreen))) {
        if (m_mediaCount != kSamplesPerWindow)
            return;
        if (bucket)
            bucket->pushStats(entry);
        else
            addBucket(ssrc, sendVideo ? kSendVideo : kSendScreen, QString(), entry);
        return;
    }
    takeReceivedVideo(entry, ssrc, bucket, context);
}

void KLMediaStatusWindow::takeReceivedVideo(const QJsonObject &entry, const QString &ssrc,
                                            const std::shared_ptr<KLMediaObject> &bucket,
                                            const KLMediaStatusContext &context)
{
    const std::optional<KLMediaStatusFeed> &main = context.mainFeed;
    const std::optional<QString> mainUuid = main ? std::optional<QString>(main->uuid)
                                                 : std::nullopt;
    // A main view that changed since the previous entry is taken in first; its video counts
    // from the next one on, once the view has settled.
    if (!m_originMainScreen || m_originMainScreen != mainUuid) {
        m_originMainScreen = mainUuid;
        return;
    }
    if (!main->videoEnabled)
        return;
    if (bucket) {
        bucket->pushStats(entry);
        return;
    }
    const auto feed = clientWithMediaTrackId(
        context.feeds, textOf(entry.value(QStringLiteral("trackId"))), QStringLiteral("video"));
    if (!feed || feed->uuid != main->uuid)
        return;
    // A feed without a display name is named by its uuid, which already carries the prefix
    // of a share.
    QString userName;
    if (feed->display.isEmpty())
        userName = feed->uuid;
    else if (feed->uuid.startsWith(kScreenPrefix))
        userName = kScreenPrefix + feed->display;
    else
        userName = feed->display;
    addBucket(ssrc, kReceiveVideo, userName, entry);
}

QList<QJsonObject> KLMediaStatusWindow::reportWindow(int conferenceMode)
{
    QList<QJsonObject> records;
    for (const auto &bucket : m_mediaObjectList) {
        if (bucket->type == kReceiveAudio)
            records.append(listenerRecord(*bucket, kRecvAudio));
        else if (bucket->type == kReceiveVideo)
            records.append(listenerRecord(*bucket, kRecvVideo));
    }

    if (conferenceMode == 1) {
        const auto sendVideo = findMediaObjectByType(kSendVideo);
        if (sendVideo && !sendVideo->mediaStatus.isEmpty()) {
            records.append(statusRecord(QStringLiteral("screen"),
                                        {{kSendVideo, sendVideo->mediaStatus.first()}}));
        }
    } else {
        records.append(statusRecord(
            QStringLiteral("main"),
            {{kSendAudio, firstSampleOf(findMediaObjectByType(kSendAudio))},
             {kSendVideo, firstSampleOf(findMediaObjectByType(kSendVideo))},
             {QStringLiteral("sendVideoBwe"), firstSampleOf(findMediaObjectByType(kVideoBwe))}}));
        if (const auto sendScreen = findMediaObjectByType(kSendScreen)) {
            records.append(statusRecord(QStringLiteral("screen"),
                                        {{kSendVideo, firstSampleOf(sendScreen)}}));
        }
    }

    // The main feed seen last stays: a window ends, the main view does not change by it.
    m_mediaObjectList.clear();
    m_mediaCount = 0;
    return records;
}

QJsonObject KLMediaStatusWindow::listenerRecord(const KLMediaObject &bucket, const QString &kind)
{
    QJsonObject collected;
    if (!bucket.mediaStatus.isEmpty()) {
        const QJsonObject &first = bucket.mediaStatus.first();
        for (auto it = first.begin(); it != first.end(); ++it)
            collected.insert(it.key(), QJsonArray{it.value()});
        const QStringList keys = aggregatedKeys(kind);
        for (qsizetype i = 1; i < bucket.mediaStatus.size(); ++i) {
            const QJsonObject &later = bucket.mediaStatus.at(i);
            for (const QString &key : keys) {
                // A key the first sample lacked is not collected for this bucket at all.
                if (!collected.contains(key))
                    continue;
                QJsonArray values = collected.value(key).toArray();
                values.append(later.contains(key) ? later.value(key) : QJsonValue(QString()));
                collected.insert(key, values);
            }
        }
    }
    const QJsonObject status{{kind, QJsonObject{{bucket.ssrc, collected}}}};
    return QJsonObject{{QStringLiteral("value"), QStringLiteral("mediaStatus")},
                       {QStringLiteral("mtype"), QStringLiteral("listener")},
                       {QStringLiteral("memberUserName"), bucket.memberUserName},
                       {QStringLiteral("mediaStatus"), KLHostUtils::convertToJsonData(status)}};
}

void KLMediaStatusWindow::reset()
{
    m_mediaCount = 0;
    m_mediaObjectList.clear();
    m_originMainScreen.reset();
}

std::shared_ptr<KLMediaObject> KLMediaStatusWindow::findMediaObjectBySsrc(const QString &ssrc) const
{
    // An entry without an ssrc is no stream of any bucket (the bandwidth bucket has none).
    if (ssrc.isEmpty())
        return nullptr;
    for (const auto &bucket : m_mediaObjectList) {
        if (bucket->ssrc == ssrc)
            return bucket;
    }
    return nullptr;
}

std::shared_ptr<KLMediaObject> KLMediaStatusWindow::findMediaObjectByType(const QString &type) const
{
    for (const auto &bucket : m_mediaObjectList) {
        if (bucket->type == type)
            return bucket;
    }
    return nullptr;
}

std::optional<KLMediaStatusFeed>
KLMediaStatusWindow::clientWithMediaTrackId(const QList<KLMediaStatusFeed> &feeds,
                                            const QString &trackId, const QString &type)
{
    if (trackId.isEmpty())
        return std::nullopt;
    const bool audio = type == QLatin1String("audio");
    if (!audio && type != QLatin1String("video"))
        return std::nullopt;
    for (const KLMediaStatusFeed &feed : feeds) {
        if (!feed.hasRTCMedia || feed.isPublisher)
            continue;
        if ((audio ? feed.audioTrackId : feed.videoTrackId) == trackId)
            return feed;
    }
    return std::nullopt;
}

void KLMediaStatusWindow::addBucket(const QString &ssrc, const QString &type,
                                    const QString &userName, const QJsonValue &firstSample)
{
    m_mediaObjectList.push_back(std::make_shared<KLMediaObject>(ssrc, type, userName, firstSample));
}
