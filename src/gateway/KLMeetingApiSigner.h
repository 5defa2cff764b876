#pragma once

// The HMAC signing headers of meeting-API requests. The service recomputes the signature over
// the method, the timestamp, the nonce, the path and the parameter text, so everything here is
// deterministic given a clock and a digit source (which tests fix).

#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QPair>
#include <QString>

#include <functional>

class KLMeetingApiSigner {
public:
    using Header = QPair<QString, QString>;
    using Clock = std::function<QDateTime()>;
    using DigitSource = std::function<int()>;

    /// Signs with the system clock and uniformly random digits.
    KLMeetingApiSigner();
    KLMeetingApiSigner(Clock clock, DigitSource digits);

    /// The eight headers for one request. `workId` goes into "empId", `machineId` into
    /// "X-Hmac-Auth-MAC" ("no-mac" when empty).
    QList<Header> createHttpHeaderForURI(const QString &uri, const QString &method,
                                         const QJsonObject &parameters, const QString &workId,
                                         const QString &machineId) const;

    /// Local time as "YYYY-MM-dd'T'HH:mm:ss.SSS+hh:mm" with the ISO week-based year.
    static QString timestamp(const QDateTime &localTime);
    /// Milliseconds since 1970 followed by four digits of `digits`.
    static QString nonce(qint64 epochMilliseconds, const DigitSource &digits);
    /// "key=value" pairs, keys sorted without regard to case, values as plain text, joined
    /// with "&" — never percent-encoded.
    static QString formatParameters(const QJsonObject &parameters);
    static QString stringToSign(const QString &method, const QString &timestamp,
                                const QString &nonce, const QString &uri,
                                const QString &parameterText);
    /// Base64 of HMAC-SHA256 with an empty key.
    static QString signature(const QString &stringToSign);
    /// Standard Base64 (no line breaks) of HMAC-SHA256 of `data` under `key`.
    static QString hmacSha256Base64(const QByteArray &data, const QByteArray &key);

private:
    Clock m_clock;
    DigitSource m_digits;
};
