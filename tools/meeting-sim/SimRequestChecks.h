#pragma once

// The checks every meeting API request passes before a route answers it: the eight signing
// headers, the HMAC signature over the parameter text, the common authentication parameters
// and the access token. Server-thread only (keeps the nonces seen so far).

#include "SimHttpMessage.h"

#include <QDateTime>
#include <QHash>
#include <QJsonObject>
#include <QString>

namespace kelvosim {

struct SimCheckResult {
    bool ok = true;
    QString reason; ///< which check failed, when !ok
    static SimCheckResult pass() { return {}; }
    static SimCheckResult failure(const QString &why) { return {false, why}; }
};

class SimRequestChecks
{
public:
    static constexpr qint64 kMaxSkewMs = 15 * 60 * 1000;
    static constexpr const char *kAuthAppCode = "tandu_mac";
    static constexpr const char *kAuthSalt = "5e2d94a1-7c3b-11e8-9f4a-0a1b2c3d4e5f";

    /// `accessToken`: when not empty, requests must carry it in "__accesstoken".
    explicit SimRequestChecks(QString accessToken = {}) : m_accessToken(std::move(accessToken)) {}

    /// All checks, in order: headers, signature, authentication parameters, access token.
    /// `form` is the structured form (see SimForm.h).
    SimCheckResult check(const SimHttpRequest &request, const QJsonObject &form, const QDateTime &now);

    /// The text the client signs: "POST\n<timestamp>\n<nonce>\n<path>\n<parameter text>".
    static QString stringToSign(const QString &method, const QString &timestamp, const QString &nonce,
                                const QString &path, const QJsonObject &form);
    /// Reads "yyyy-MM-ddTHH:mm:ss.SSS+hh:mm" (or "Z"); the year may be the week-based year, so
    /// near a year end the neighbouring year is tried too. Returns the candidate instant
    /// closest to `now`, or an invalid QDateTime when the text does not parse.
    static QDateTime parseTimestamp(const QString &text, const QDateTime &now);

private:
    SimCheckResult checkHeaders(const SimHttpRequest &request, const QDateTime &now);
    SimCheckResult checkAuthParameters(const QString &path, const QJsonObject &form) const;
    void forgetOldNonces(qint64 nowMs);

    QString m_accessToken;
    QHash<QByteArray, qint64> m_nonces; // nonce -> its millisecond time
};

} // namespace kelvosim
