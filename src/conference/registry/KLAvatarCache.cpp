#include "conference/registry/KLAvatarCache.h"

#include "runtime/KLHttpManager.h"
#include "runtime/KLSDKLog.h"

#include <KelvoUISDK/KLSDKDispatch.h>

#include <QHash>
#include <QSet>

#include <mutex>

namespace {

const QString kLogTag = QStringLiteral("KLAvatarCache");

// Pictures are small; a slow directory must not hold a meeting's background pool for long.
constexpr int kDownloadTimeoutSeconds = 30;

void downloadOverHttps(const QUrl &url, const QString &caFile, KLAvatarCache::DownloadDone done)
{
    auto http = KLHttpManager::manager();
    http->setDecodesJson(false);
    http->setCompletesOnMainThread(false);
    http->setTimeoutSeconds(kDownloadTimeoutSeconds);
    if (!caFile.isEmpty())
        http->setCaFile(caFile);
    const QString target = url.toString(QUrl::FullyEncoded);
    http->GET(target, [done = std::move(done)](const KLHttpResult &result) {
        if (!result.ok()) {
            KL_LOG_WARN(kLogTag, QStringLiteral("avatar download failed (%1): %2")
                                     .arg(result.errorCode)
                                     .arg(result.errorDescription));
            done(false, QByteArray());
            return;
        }
        done(true, result.body);
    });
}

} // namespace

struct KLAvatarCache::State {
    KLAvatarCache::Downloader downloader;
    mutable std::mutex mutex;
    QHash<QString, QByteArray> images;
    QSet<QString> inFlight;
};

namespace {

// The whole URL, token included, is the key: the cache is shared by every meeting, and two
// tokens need not see the same picture.
QString cacheKey(const QUrl &url)
{
    return url.toString(QUrl::FullyEncoded);
}

void storeDownload(const std::shared_ptr<KLAvatarCache::State> &state, const QString &key,
                   bool ok, const QByteArray &bytes)
{
    std::lock_guard lock(state->mutex);
    state->inFlight.remove(key);
    if (ok && !bytes.isEmpty())
        state->images.insert(key, bytes);
}

/// Marks `key` as being downloaded; false when it is cached or already on its way.
bool claimDownload(KLAvatarCache::State &state, const QString &key)
{
    std::lock_guard lock(state.mutex);
    if (state.images.contains(key) || state.inFlight.contains(key))
        return false;
    state.inFlight.insert(key);
    return true;
}

} // namespace

KLAvatarCache::KLAvatarCache(Downloader downloader) : m_state(std::make_shared<State>())
{
    m_state->downloader = downloader ? std::move(downloader) : Downloader(downloadOverHttps);
}

KLAvatarCache::~KLAvatarCache() = default;

KLAvatarCache &KLAvatarCache::shared()
{
    static KLAvatarCache cache;
    return cache;
}

QUrl KLAvatarCache::avatarUrl(const QString &baseUrl, const QString &empId,
                              const QString &accessToken)
{
    if (baseUrl.isEmpty() || empId.isEmpty())
        return QUrl();
    QString base = baseUrl;
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    QUrl url(base + QLatin1Char('/') + QString::fromLatin1(QUrl::toPercentEncoding(empId))
             + QStringLiteral(".360x360.jpg"));
    // QUrlQuery would leave a token's "+" and "&" as they are; encode the value ourselves.
    url.setQuery(QStringLiteral("accessToken=")
                 + QString::fromLatin1(QUrl::toPercentEncoding(accessToken)));
    return url;
}

void KLAvatarCache::loadImage(const QUrl &url, const QString &caFile)
{
    if (!url.isValid() || url.isEmpty()) {
        KL_LOG_WARN(kLogTag, QStringLiteral("no avatar URL to load"));
        return;
    }
    const QString key = cacheKey(url);
    // Claimed here rather than on the pool, so that a second request made right after this
    // one already finds the download running.
    if (!claimDownload(*m_state, key))
        return;
    auto state = m_state;
    KLPerformBlockOnConcurrentQueue([state, url, caFile, key]() {
        state->downloader(url, caFile, [state, key](bool ok, const QByteArray &bytes) {
            storeDownload(state, key, ok, bytes);
        });
    });
}

QByteArray KLAvatarCache::imageForUrl(const QUrl &url) const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->images.value(cacheKey(url));
}

bool KLAvatarCache::hasImage(const QUrl &url) const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->images.contains(cacheKey(url));
}

bool KLAvatarCache::isLoading(const QUrl &url) const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->inFlight.contains(cacheKey(url));
}

void KLAvatarCache::removeAllImages()
{
    std::lock_guard lock(m_state->mutex);
    m_state->images.clear();
}
