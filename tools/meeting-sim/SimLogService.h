#pragma once

// The cloud log service: the unsigned tracking GET ("/logstores/<store>/track") and the signed,
// deflated POST ("/logstores/<store>/shards/lb"). Accepted logs come back as entries for
// MeetingSim::logEntries(). Stateless apart from its keys; callable from the server thread.

#include "SimOutcome.h"

#include <QDateTime>
#include <QJsonObject>
#include <QString>

namespace kelvosim {

class SimLogService
{
public:
    static constexpr qint64 kMaxSkewMs = 15 * 60 * 1000;

    /// `keys`: {"accessKeyId", "accessKeySecret", "securityToken"} (the scenario's "logService").
    explicit SimLogService(const QJsonObject &keys);

    static bool isLogPath(const QString &path) { return path.startsWith(QLatin1String("/logstores/")); }

    SimOutcome handle(const SimHttpRequest &request, const QDateTime &now) const;

    /// Inflates a zlib-container body that must come out exactly `rawSize` bytes long.
    static bool inflate(const QByteArray &compressed, qint64 rawSize, QByteArray *raw, QString *error);
    /// Reads "EEE, dd MMM yyyy HH:mm:ss GMT" (English names); invalid when it does not parse.
    static QDateTime parseDate(const QByteArray &text);
    /// The text the client signs with HMAC-SHA1.
    static QByteArray stringToSign(const SimHttpRequest &request, const QString &logstore);

private:
    SimOutcome track(const SimHttpRequest &request, const QString &logstore) const;
    SimOutcome post(const SimHttpRequest &request, const QString &logstore, const QDateTime &now) const;

    QString m_keyId;
    QString m_secret;
    QString m_token;
};

} // namespace kelvosim
