#include "cloudlog/LogClient.h"

#include "cloudlog/KLQLSUpload.h"
#include "cloudlog/LogSigning.h"

#include <KelvoUISDK/KLSDKDispatch.h>

#include <QUrl>

namespace {

const QString kTag = QStringLiteral("LogClient");

} // namespace

LogClient::LogClient(const QString &endPoint, const QString &accessKeyID,
                     const QString &accessKeySecret, const QString &projectName)
    : m_endPoint(KLLogSigning::cleanedEndpoint(endPoint)),
      m_keyId(accessKeyID),
      m_keySecret(accessKeySecret),
      m_projectName(projectName)
{
}

void LogClient::SetToken(const QString &token)
{
    if (!token.isEmpty())
        m_token = token;
}

bool LogClient::canPost() const
{
    return !m_endPoint.isEmpty() && !m_projectName.isEmpty() && !m_keyId.isEmpty()
        && !m_keySecret.isEmpty();
}

QString LogClient::postUrl(const QString &logStoreName) const
{
    return QStringLiteral("https://%1.%2/logstores/%3/shards/lb")
        .arg(m_projectName, m_endPoint, logStoreName);
}

LogClient::Headers LogClient::GetHttpHeadersFrom(const QString &logStoreName, const QString &url,
                                                 const QByteArray &body,
                                                 const QByteArray &bodyZipped,
                                                 const QDateTime &now) const
{
    const QString md5 = KLLogSigning::contentMd5(bodyZipped);
    const QString date = KLLogSigning::gmtDateText(now);
    const QString signature = KLLogSigning::SHA1WithSecret(
        KLLogSigning::stringToSign(md5, date, m_token, body.size(), logStoreName), m_keySecret);

    Headers headers{
        {QStringLiteral("x-log-apiversion"), QLatin1String(KLLogSigning::kApiVersion)},
        {QStringLiteral("x-log-signaturemethod"), QLatin1String(KLLogSigning::kSignatureMethod)},
        {QStringLiteral("Content-Type"), QLatin1String(KLLogSigning::kContentType)},
        {QStringLiteral("Date"), date},
        {QStringLiteral("Content-MD5"), md5},
        {QStringLiteral("Content-Length"), QString::number(bodyZipped.size())},
        {QStringLiteral("x-log-bodyrawsize"), QString::number(body.size())},
        {QStringLiteral("x-log-compresstype"), QLatin1String(KLLogSigning::kCompressType)},
        {QStringLiteral("Host"), QUrl(url).host()},
    };
    if (!m_token.isEmpty())
        headers.append({QStringLiteral("x-acs-security-token"), m_token});
    headers.append({QStringLiteral("Authorization"),
                    QStringLiteral("LOG %1:%2").arg(m_keyId, signature)});
    return headers;
}

void LogClient::PostLog(const LogGroup &group, const QString &logStoreName, Completion call) const
{
    // Everything the task needs is copied: the client and the group may go away meanwhile.
    // The upload holds the meeting's end from now, before it waits for the concurrent queue.
    auto underway = KLQLSUpload::Underway::begin(kTag, postUrl(logStoreName));
    KLPerformBlockOnConcurrentQueue([client = *this, group, logStoreName, call, underway]() {
        const QString url = client.postUrl(logStoreName);
        const QByteArray raw = group.GetJsonPackage().toUtf8();
        const QByteArray zipped = KLLogSigning::compressedBody(raw);

        auto http = KLQLSUpload::manager(QStringLiteral("NimbraURLCache"), client.m_caFile,
                                         client.m_connectTo);
        for (const auto &[field, value] : client.GetHttpHeadersFrom(logStoreName, url, raw, zipped))
            http->setValueForHTTPHeaderField(value, field);
        http->POSTData(url, zipped, [url, call, underway](const KLHttpResult &result) {
            KLQLSUpload::logOutcome(kTag, url, result);
            underway->answered();
            if (call)
                call(result);
        });
    });
}
