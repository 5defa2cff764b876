#include "gateway/KLMeetingApiSigner.h"

#include "runtime/KLFormEncoding.h"

#include <QMessageAuthenticationCode>
#include <QRandomGenerator>
#include <QStringList>
#include <QTimeZone>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace {

bool parameterKeyLess(const QString &a, const QString &b)
{
    const int folded = a.compare(b, Qt::CaseInsensitive);
    return folded != 0 ? folded < 0 : a < b;
}

/// Now, at the local zone's offset. The offset is looked up at most once a minute: asking the
/// zone reads the zone file each time, which cost more than the rest of signing. A stale
/// offset right after a daylight-saving switch still names the right instant.
QDateTime currentLocalTime()
{
    static std::atomic<qint64> checkedAtMs{0};
    static std::atomic<int> offsetSeconds{0};
    const QDateTime utc = QDateTime::currentDateTimeUtc();
    const qint64 nowMs = utc.toMSecsSinceEpoch();
    if (nowMs - checkedAtMs.load(std::memory_order_relaxed) > 60000) {
        offsetSeconds.store(QDateTime::currentDateTime().offsetFromUtc());
        checkedAtMs.store(nowMs, std::memory_order_relaxed);
    }
    return utc.toOffsetFromUtc(offsetSeconds.load());
}

} // namespace

KLMeetingApiSigner::KLMeetingApiSigner()
    : KLMeetingApiSigner([] { return currentLocalTime(); },
                         [] { return static_cast<int>(QRandomGenerator::global()->bounded(10)); })
{
}

KLMeetingApiSigner::KLMeetingApiSigner(Clock clock, DigitSource digits)
    : m_clock(std::move(clock))
    , m_digits(std::move(digits))
{
}

QString KLMeetingApiSigner::timestamp(const QDateTime &localTime)
{
    // Fields are read from the UTC reading shifted by the offset: one zone lookup instead
    // of one per field (the local-time accessors each consult the zone).
    const int offset = localTime.offsetFromUtc();
    const QDateTime shifted = QDateTime::fromMSecsSinceEpoch(
        localTime.toMSecsSinceEpoch() + qint64(offset) * 1000, Qt::UTC);
    const QDate date = shifted.date();
    const QTime time = shifted.time();
    int weekYear = 0;
    date.weekNumber(&weekYear);
    const int minutes = std::abs(offset) / 60;
    char text[40];
    const int length = std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03d%c%02d:%02d",
                                     weekYear, date.month(), date.day(), time.hour(),
                                     time.minute(), time.second(), time.msec(),
                                     offset < 0 ? '-' : '+', minutes / 60, minutes % 60);
    return QString::fromLatin1(text, length);
}

QString KLMeetingApiSigner::nonce(qint64 epochMilliseconds, const DigitSource &digits)
{
    QString text = QString::number(epochMilliseconds);
    for (int i = 0; i < 4; ++i)
        text += QLatin1Char(static_cast<char>('0' + digits() % 10));
    return text;
}

QString KLMeetingApiSigner::formatParameters(const QJsonObject &parameters)
{
    QStringList keys = parameters.keys();
    std::sort(keys.begin(), keys.end(), parameterKeyLess);
    QStringList pairs;
    pairs.reserve(keys.size());
    for (const QString &key : keys)
        pairs << key + QLatin1Char('=') + KLFormEncoding::describe(parameters.value(key));
    return pairs.join(QLatin1Char('&'));
}

QString KLMeetingApiSigner::stringToSign(const QString &method, const QString &timestamp,
                                         const QString &nonce, const QString &uri,
                                         const QString &parameterText)
{
    return QStringList{method, timestamp, nonce, uri, parameterText}.join(QLatin1Char('\n'));
}

QString KLMeetingApiSigner::signature(const QString &stringToSign)
{
    return hmacSha256Base64(stringToSign.toUtf8(), QByteArray());
}

QString KLMeetingApiSigner::hmacSha256Base64(const QByteArray &data, const QByteArray &key)
{
    return QString::fromLatin1(
        QMessageAuthenticationCode::hash(data, key, QCryptographicHash::Sha256).toBase64());
}

QList<KLMeetingApiSigner::Header> KLMeetingApiSigner::createHttpHeaderForURI(
    const QString &uri, const QString &method, const QJsonObject &parameters,
    const QString &workId, const QString &machineId) const
{
    const QDateTime now = m_clock();
    const QString time = timestamp(now);
    const QString once = nonce(now.toMSecsSinceEpoch(), m_digits);
    const QString signed_ =
        signature(stringToSign(method, time, once, uri, formatParameters(parameters)));
    return {
        {QStringLiteral("X-Hmac-Auth-Timestamp"), time},
        {QStringLiteral("X-Hmac-Auth-Version"), QStringLiteral("1.0")},
        {QStringLiteral("X-Hmac-Auth-Nonce"), once},
        {QStringLiteral("apiKey"), QString()},
        {QStringLiteral("empId"), workId},
        {QStringLiteral("X-Hmac-Auth-Signature"), signed_},
        {QStringLiteral("X-Hmac-Auth-MAC"),
         machineId.isEmpty() ? QStringLiteral("no-mac") : machineId},
        {QStringLiteral("X-Hmac-Auth-IP"), QStringLiteral("127.0.0.1")},
    };
}
