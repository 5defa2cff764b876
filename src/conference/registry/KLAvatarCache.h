#pragma once

// Members' avatar pictures, downloaded once per URL into one cache shared by every meeting
// of the process. The bytes are kept as they came (no image decoding in the core); the
// views turn them into pictures.

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>

class KLAvatarCache {
public:
    /// Hands the downloaded bytes over; `ok` false (bytes ignored) when the download failed.
    using DownloadDone = std::function<void(bool ok, const QByteArray &bytes)>;
    /// Fetches `url`, trusting the authorities of `caFile` (PEM, may be empty) besides the
    /// system's, and calls `done` exactly once, on any thread.
    using Downloader =
        std::function<void(const QUrl &url, const QString &caFile, DownloadDone done)>;

    /// A cache that downloads with `downloader`; with none, a verified HTTPS GET through
    /// KLHttpManager.
    explicit KLAvatarCache(Downloader downloader = {});
    ~KLAvatarCache();
    KLAvatarCache(const KLAvatarCache &) = delete;
    KLAvatarCache &operator=(const KLAvatarCache &) = delete;

    /// The process-wide cache, created on first use.
    static KLAvatarCache &shared();

    /// "<baseUrl>/<empId>.360x360.jpg?accessToken=<token>" with the token percent-encoded;
    /// an invalid URL when the base or the employee number is empty.
    static QUrl avatarUrl(const QString &baseUrl, const QString &empId, const QString &accessToken);

    /// Unless the picture of `url` is cached or already being downloaded, downloads it on the
    /// SDK's background pool and stores the bytes under the URL. A failed download stores
    /// nothing, so a later call tries again. Invalid URLs are ignored. `caFile` is handed to
    /// the downloader.
    void loadImage(const QUrl &url, const QString &caFile = QString());

    /// The cached bytes for `url`; empty when there are none (yet).
    QByteArray imageForUrl(const QUrl &url) const;
    bool hasImage(const QUrl &url) const;
    /// True while a download of `url` is running.
    bool isLoading(const QUrl &url) const;
    /// Forgets every picture (downloads still running store theirs when they finish).
    void removeAllImages();

    struct State;

private:
    std::shared_ptr<State> m_state;
};
