#pragma once

#include "cloudlog/LogGroup.h"
#include "runtime/KLHttpManager.h"

#include <QDateTime>
#include <QList>
#include <QPair>
#include <QString>

#include <functional>

/// Posts log groups to one project of the log service, signed with an access key and sent as
/// deflated JSON. A plain value: copies are independent, and a post works on a copy of the
/// client's settings, so the client may be changed or destroyed while a post is under way.
class LogClient {
public:
    using Headers = QList<QPair<QString, QString>>;
    /// Receives the upload's outcome (response and error) on the network queue.
    using Completion = std::function<void(const KLHttpResult &result)>;

    /// A client with every value empty: it reaches no service.
    LogClient() = default;
    /// `endPoint` is the service's regional domain; a leading "http://" or "https://" (in any
    /// letter case) is dropped.
    LogClient(const QString &endPoint, const QString &accessKeyID,
              const QString &accessKeySecret, const QString &projectName);

    /// Sets the security token; an empty token is ignored.
    void SetToken(const QString &token);
    QString GetToken() const { return m_token; }
    QString GetEndPoint() const { return m_endPoint; }
    QString GetKeyID() const { return m_keyId; }
    QString GetKeySecret() const { return m_keySecret; }
    QString GetProjectName() const { return m_projectName; }

    /// Extra PEM certificate authorities trusted for the uploads; certificates are always
    /// verified.
    void SetCaFile(const QString &caFile) { m_caFile = caFile; }
    /// "host:port" to connect to instead of the service's name (which stays in the Host header).
    void SetConnectTo(const QString &hostAndPort) { m_connectTo = hostAndPort; }

    /// True when the client has what a post needs: endpoint, project, key id and secret.
    bool canPost() const;

    /// "https://<project>.<endpoint>/logstores/<logStore>/shards/lb".
    QString postUrl(const QString &logStoreName) const;

    /// The request headers, in this order: x-log-apiversion, x-log-signaturemethod,
    /// Content-Type, Date, Content-MD5 (of the sent body), Content-Length (sent body),
    /// x-log-bodyrawsize (raw body), x-log-compresstype, Host, x-acs-security-token (only with a
    /// token), Authorization ("LOG <key id>:<signature>").
    Headers GetHttpHeadersFrom(const QString &logStoreName, const QString &url,
                               const QByteArray &body, const QByteArray &bodyZipped,
                               const QDateTime &now = QDateTime::currentDateTimeUtc()) const;

    /// Compresses, signs and POSTs the group's package to the log store on the SDK's
    /// concurrent queue. A failure is only logged; `call` (optional) then runs with the outcome.
    void PostLog(const LogGroup &group, const QString &logStoreName, Completion call) const;

private:
    QString m_endPoint;
    QString m_keyId;
    QString m_keySecret;
    QString m_projectName;
    QString m_token;
    QString m_caFile;
    QString m_connectTo;
};
