// The avatar cache's once-per-URL rule, through an injected downloader that holds each
// download until the test completes it (there is no avatar server on loopback to talk to).

#include "KLTestSupport.h"

#include "conference/KLAvatarCache.h"

#include <gtest/gtest.h>

#include <QUrlQuery>

#include <mutex>
#include <vector>

using namespace kltest;

namespace {

struct HeldDownloads {
    KLAvatarCache::Downloader downloader()
    {
        return [this](const QUrl &, const QString &caFile, KLAvatarCache::DownloadDone done) {
            std::lock_guard lock(mutex);
            caFiles.append(caFile);
            pending.push_back(std::move(done));
        };
    }
    qsizetype started()
    {
        std::lock_guard lock(mutex);
        return caFiles.size();
    }
    void completeOldest(bool ok, const QByteArray &bytes)
    {
        KLAvatarCache::DownloadDone done;
        {
            std::lock_guard lock(mutex);
            done = std::move(pending.front());
            pending.erase(pending.begin());
        }
        done(ok, bytes);
    }

    std::mutex mutex;
    QStringList caFiles;
    std::vector<KLAvatarCache::DownloadDone> pending;
};

const QUrl kUrl = KLAvatarCache::avatarUrl("https://127.0.0.1/avatar", "1001", "t");

TEST(AvatarCache, DownloadsEachUrlOnceStoresBytesAndRetriesFailures)
{
    HeldDownloads downloads;
    KLAvatarCache cache(downloads.downloader());
    cache.loadImage(kUrl, "/tmp/ca.pem");
    cache.loadImage(kUrl); // in flight: joins the running download
    EXPECT_TRUE(cache.isLoading(kUrl));
    ASSERT_TRUE(waitUntil([&] { return downloads.started() == 1; }));
    downloads.completeOldest(false, QByteArray());
    EXPECT_FALSE(cache.hasImage(kUrl));
    EXPECT_FALSE(cache.isLoading(kUrl));

    cache.loadImage(kUrl); // the failure stored nothing: tried again
    ASSERT_TRUE(waitUntil([&] { return downloads.started() == 2; }));
    downloads.completeOldest(true, "jpeg-bytes");
    EXPECT_EQ(cache.imageForUrl(kUrl), QByteArray("jpeg-bytes"));

    const QUrl other = KLAvatarCache::avatarUrl("https://127.0.0.1/avatar", "1002", "t");
    cache.loadImage(kUrl); // cached: nothing to download
    cache.loadImage(other);
    ASSERT_TRUE(waitUntil([&] { return downloads.started() == 3; }));
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
