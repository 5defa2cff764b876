#include "runtime/KLHttpSession.h"

#include "runtime/KLSDKLog.h"

#include <QCoreApplication>
#include <QDir>
#include <QNetworkAccessManager>
#include <QNetworkDiskCache>
#include <QSslCertificate>
#include <QStandardPaths>

namespace {
const QString kLogTag = QStringLiteral("KLHttpManager");
constexpr qint64 kDiskCacheBytes = 268435456;
} // namespace

KLHttpSession &KLHttpSession::shared()
{
    static KLHttpSession session;
    return session;
}

KLHttpSession::KLHttpSession()
    : m_queue(QStringLiteral("com.kelvo.http"))
{
    qAddPostRoutine(&KLHttpSession::closeConnectionsAtExit);
}

void KLHttpSession::closeConnectionsAtExit()
{
    KLHttpSession &session = shared();
    session.m_queue.sync([&session] {
        qDeleteAll(session.m_managers);
        session.m_managers.clear();
    });
}

QNetworkAccessManager *KLHttpSession::accessManager(const QString &cacheName,
                                                   const QString &caFile)
{
    const QPair<QString, QString> key(cacheName, caFile);
    if (QNetworkAccessManager *existing = m_managers.value(key))
        return existing;
    auto *manager = new QNetworkAccessManager(m_queue.context());
    if (!cacheName.isEmpty()) {
        auto *cache = new QNetworkDiskCache(manager);
        const QString root = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
        cache->setCacheDirectory(QDir(root).filePath(cacheName));
        cache->setMaximumCacheSize(kDiskCacheBytes);
        manager->setCache(cache);
    }
    m_managers.insert(key, manager);
    return manager;
}

QSslConfiguration KLHttpSession::tlsConfiguration(const QString &caFile)
{
    std::lock_guard<std::mutex> lock(m_tlsMutex);
    auto found = m_tls.constFind(caFile);
    if (found != m_tls.constEnd())
        return *found;
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setPeerVerifyMode(QSslSocket::VerifyPeer);
    if (!caFile.isEmpty()) {
        const QList<QSslCertificate> extra = QSslCertificate::fromPath(caFile, QSsl::Pem);
        if (extra.isEmpty())
            KL_LOG_ERROR(kLogTag, QStringLiteral("no certificate could be read from CA file %1")
                                      .arg(caFile));
        configuration.addCaCertificates(extra);
    }
    m_tls.insert(caFile, configuration);
    return configuration;
}
