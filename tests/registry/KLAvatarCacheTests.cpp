// The avatar cache's once-per-URL rule, through an injected downloader that holds each
// download until the test completes it (there is no avatar server on loopback to talk to).

#include "KLTestSupport.h"

#include "conference/registry/KLAvatarCache.h"

#include <gtest/gtest.h>

#include <QUrlQuery>

#include <mutex>
#include <vector>

using namespace kltest;

namespace {

/// Downloads arrive on the cache's worker; the test completes them in order.
struct HeldDownloads {
    KLAvatarCache::Downloader downloader()
    {
        return [this](const QUrl &, const QString &caFile, KLAvatarCache::DownloadDone done) {
            std::lock_guard lock(mutex);
            caFiles.append(caFile);
            pending.push_back(std::move(done));
        };
    }
    bool started(qsizetype count)
    {
        return waitUntil([&] { std::lock_guard lock(mutex); return caFiles.size() == count; });
    }
    void completeOldest(bool ok, const QByteArray &bytes)
    {
        std::unique_lock lock(mutex);
        auto done = std::move(pending.front());
        pending.erase(pending.begin());
        lock.unlock();
        done(ok, bytes);
    }

    std::mutex mutex;
    QStringList caFiles;
    std::vector<KLAvatarCache::DownloadDone> pending;
};

TEST(AvatarCache, DownloadsEachUrlOnceStoresBytesAndRetriesFailures)
{
    const QUrl url = KLAvatarCache::avatarUrl("https://127.0.0.1/avatar", "1001", "t");
    const QUrl other = KLAvatarCache::avatarUrl("https://127.0.0.1/avatar", "1002", "t");
    HeldDownloads downloads;
    KLAvatarCache cache(downloads.downloader());
    cache.loadImage(url, "/tmp/ca.pem");
    cache.loadImage(url); // in flight: joins the running download
    EXPECT_TRUE(cache.isLoading(url));
    ASSERT_TRUE(downloads.started(1));
    downloads.completeOldest(false, QByteArray());
    EXPECT_FALSE(cache.hasImage(url) || cache.isLoading(url));

    cache.loadImage(url); // the failure stored nothing: tried again
    ASSERT_TRUE(downloads.started(2));
    downloads.completeOldest(true, "jpeg-bytes");
    EXPECT_EQ(cache.imageForUrl(url), QByteArray("jpeg-bytes"));

    cache.loadImage(url); // cached: nothing to download
    cache.loadImage(other);
    ASSERT_TRUE(downloads.started(3));
    cache.loadImage(QUrl()); // refused at once
    downloads.completeOldest(true, "other-bytes");
    EXPECT_EQ(cache.imageForUrl(other), QByteArray("other-bytes"));
    EXPECT_EQ(downloads.caFiles, (QStringList{"/tmp/ca.pem", "", ""}));
}

TEST(AvatarCache, UrlCarriesEmployeeFileAndEncodedToken)
{
    const QUrl url = KLAvatarCache::avatarUrl("https://dir.example.com/photos/", "E 7", "a+b&c=/");
    EXPECT_EQ(url.path(), "/photos/E 7.360x360.jpg");
    EXPECT_EQ(QUrlQuery(url).queryItems(QUrl::FullyDecoded),
              (QList<QPair<QString, QString>>{{"accessToken", "a+b&c=/"}}));
    EXPECT_FALSE(KLAvatarCache::avatarUrl("", "E7", "t").isValid());
    EXPECT_FALSE(KLAvatarCache::avatarUrl("https://dir.example.com", "", "t").isValid());
}

} // namespace
