#include "SimTestClient.h"

#include "KLTestSupport.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QJsonDocument>
#include <QMessageAuthenticationCode>
#include <QNetworkRequest>
#include <QSslCertificate>
#include <QUrl>

#include <algorithm>
#include <atomic>

namespace simtest {

QJsonObject HttpResult::json() const
{
    return QJsonDocument::fromJson(body).object();
}

SimClient::SimClient(const kelvosim::MeetingSim &sim) : m_base(sim.baseUrl())
{
    m_tls = QSslConfiguration::defaultConfiguration();
    m_tls.setCaCertificates(QSslCertificate::fromPath(sim.caFile()));
    m_tls.setPeerVerifyMode(QSslSocket::VerifyPeer);
}

QNetworkReply *SimClient::start(const QByteArray &method, const QString &pathAndQuery,
                                const QList<QPair<QByteArray, QByteArray>> &headers, const QByteArray &body)
{
    QNetworkRequest request(QUrl(m_base + pathAndQuery));
    request.setSslConfiguration(m_tls);
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    for (const auto &header : headers)
        request.setRawHeader(header.first, header.second);
    return m_manager.sendCustomRequest(request, method, body);
}

HttpResult SimClient::wait(QNetworkReply *reply, int timeoutMs)
{
    HttpResult result;
    QPointer<QNetworkReply> guard(reply);
    if (!kltest::waitUntil([&] { return !guard || guard->isFinished(); }, timeoutMs) || !guard)
        return result;
    result.finished = true;
    result.error = reply->error();
    result.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    result.contentType = reply->rawHeader("Content-Type");
    result.body = reply->readAll();
    reply->deleteLater();
    return result;
}

HttpResult SimClient::send(const QByteArray &method, const QString &pathAndQuery,
                           const QList<QPair<QByteArray, QByteArray>> &headers, const QByteArray &body)
{
    return wait(start(method, pathAndQuery, headers, body));
}

HttpResult SimClient::signedPost(const QString &path, const QByteArray &body, const QString &parameterText,
                                 const QString &nonce)
{
    const QString timestamp = hmacTimestamp();
    const QString usedNonce = nonce.isEmpty() ? freshNonce() : nonce;
    const QString toSign = QStringLiteral("POST\n") + timestamp + QLatin1Char('\n') + usedNonce + QLatin1Char('\n')
        + path + QLatin1Char('\n') + parameterText;
    return send("POST", path,
                {{"Content-Type", "application/x-www-form-urlencoded"},
                 {"X-Hmac-Auth-Timestamp", timestamp.toLatin1()},
                 {"X-Hmac-Auth-Version", "1.0"},
                 {"X-Hmac-Auth-Nonce", usedNonce.toLatin1()},
                 {"apiKey", ""},
                 {"empId", "E10001"},
                 {"X-Hmac-Auth-Signature", hmacSha256Base64(toSign.toUtf8())},
                 {"X-Hmac-Auth-MAC", "02:00:00:aa:bb:cc"},
                 {"X-Hmac-Auth-IP", "127.0.0.1"}},
                body);
}

QByteArray formBody(const Pairs &pairs)
{
    QByteArrayList parts;
    for (const auto &pair : pairs)
        parts.append(QUrl::toPercentEncoding(pair.first) + '=' + QUrl::toPercentEncoding(pair.second));
    return parts.join('&');
}

QString flatParameterText(const Pairs &pairs)
{
    Pairs sorted = pairs;
    std::sort(sorted.begin(), sorted.end(), [](const auto &a, const auto &b) {
        return a.first.toLower() < b.first.toLower();
    });
    QStringList parts;
    for (const auto &pair : sorted)
        parts.append(pair.first + QLatin1Char('=') + pair.second);
    return parts.join(QLatin1Char('&'));
}

Pairs commonParameters(const QString &accessToken)
{
    return {{"appcode", ""}, {"clientid", ""}, {"ownerId", "E10001"}, {"authAppCode", "tandu_mac"},
            {"authContent", kAuthContent}, {"authSign", kAuthSign}, {"clientVersion", "v1.0.0 (100)"},
            {"__appcode", ""}, {"__accesstoken", accessToken}};
}

QString hmacTimestamp()
{
    const QDateTime now = QDateTime::currentDateTime();
    const int offset = now.offsetFromUtc();
    const int minutes = qAbs(offset) / 60;
    return now.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")) + (offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
        + QStringLiteral("%1:%2").arg(minutes / 60, 2, 10, QLatin1Char('0')).arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QString freshNonce()
{
    static std::atomic<int> counter{0};
    return QString::number(QDateTime::currentMSecsSinceEpoch())
        + QStringLiteral("%1").arg(counter++ % 10000, 4, 10, QLatin1Char('0'));
}

QByteArray hmacSha256Base64(const QByteArray &text)
{
    return QMessageAuthenticationCode::hash(text, QByteArray(), QCryptographicHash::Sha256).toBase64();
}

QByteArray hmacSha1Base64(const QByteArray &key, const QByteArray &text)
{
    return QMessageAuthenticationCode::hash(text, key, QCryptographicHash::Sha1).toBase64();
}

QByteArray md5Hex(const QByteArray &data)
{
    return QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex();
}

} // namespace simtest
