#pragma once

// The network session behind every KLHttpManager: one queue ("com.kelvo.http") whose thread
// owns the QNetworkAccessManagers (one per response-cache name), plus the TLS trust built from
// extra CA files. Internal to the HTTP client.

#include "runtime/KLDispatchQueue.h"

#include <QHash>
#include <QPair>
#include <QSslConfiguration>
#include <QString>

#include <mutex>

class QNetworkAccessManager;

class KLHttpSession {
public:
    static KLHttpSession &shared();

    KLDispatchQueue &queue() { return m_queue; }
    /// The access manager for a cache name ("" = no cache) and a CA file. Connections are
    /// pooled per manager, and Qt reuses a pooled connection whatever the trust of the new
    /// request, so requests that trust different authorities never share a manager. Call on
    /// the queue only.
    QNetworkAccessManager *accessManager(const QString &cacheName, const QString &caFile);
    /// The system's trust plus the certificates of `caFile` (read once per path). An unreadable
    /// file is logged and adds nothing, so its server fails verification.
    QSslConfiguration tlsConfiguration(const QString &caFile);

private:
    KLHttpSession();
    /// Closes every connection while the application object still exists: connections left
    /// for the process's exit are torn down by Qt after its TLS backend is gone.
    static void closeConnectionsAtExit();

    KLDispatchQueue m_queue;
    QHash<QPair<QString, QString>, QNetworkAccessManager *> m_managers; // owned by the queue's context object
    std::mutex m_tlsMutex;
    QHash<QString, QSslConfiguration> m_tls;
};
