#include "runtime/KLHttpManager.h"

#include "runtime/KLFormEncoding.h"
#include "runtime/KLHttpSession.h"
#include "runtime/KLMainThread.h"
#include "runtime/KLSDKLog.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace {

const QString kLogTag = QStringLiteral("KLHttpManager");

// URL-loading error codes the meeting layers and hosts know.
constexpr long kErrorUnknown = -1;
constexpr long kErrorTimedOut = -1001;
constexpr long kErrorCannotFindHost = -1003;
constexpr long kErrorCannotConnectToHost = -1004;
constexpr long kErrorConnectionLost = -1005;
constexpr long kErrorNotConnected = -1009;
constexpr long kErrorBadServerResponse = -1011;
constexpr long kErrorUnacceptableContentType = -1016;
constexpr long kErrorSecureConnectionFailed = -1200;
constexpr long kErrorServerCertificateUntrusted = -1202;
constexpr long kErrorJsonReading = 3840;

long urlErrorCode(QNetworkReply::NetworkError error)
{
    switch (error) {
    case QNetworkReply::TimeoutError:
    case QNetworkReply::OperationCanceledError: // what a transfer timeout reports
        return kErrorTimedOut;
    case QNetworkReply::HostNotFoundError:
        return kErrorCannotFindHost;
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::ProxyConnectionRefusedError:
        return kErrorCannotConnectToHost;
    case QNetworkReply::RemoteHostClosedError:
    case QNetworkReply::ProxyConnectionClosedError:
        return kErrorConnectionLost;
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
        return kErrorNotConnected;
    case QNetworkReply::SslHandshakeFailedError:
        return kErrorServerCertificateUntrusted;
    case QNetworkReply::UnknownNetworkError:
        return kErrorSecureConnectionFailed;
    default:
        return kErrorUnknown;
    }
}

bool isAcceptableJsonType(const QByteArray &contentType)
{
    static const QList<QByteArray> accepted = {
        "application/json", "text/json", "text/javascript", "text/html",
        "application/x-www-form-urlencoded"};
    const QByteArray type = contentType.split(';').first().trimmed().toLower();
    return type.isEmpty() || accepted.contains(type);
}

void fail(KLHttpResult &result, long code, const QString &description)
{
    result.errorCode = code;
    result.errorDescription = description;
    result.errorInfo.insert(QStringLiteral("NSErrorFailingURLStringKey"), result.url.toString());
    result.errorInfo.insert(QStringLiteral("NSLocalizedDescription"), description);
}

void decodeJson(KLHttpResult &result)
{
    if (!isAcceptableJsonType(result.contentType)) {
        fail(result, kErrorUnacceptableContentType,
             QStringLiteral("Request failed: unacceptable content-type: %1")
                 .arg(QString::fromLatin1(result.contentType)));
        return;
    }
    if (result.body.trimmed().isEmpty())
        return;
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(result.body, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        fail(result, kErrorJsonReading,
             QStringLiteral("The data couldn't be read because it isn't in the correct format: %1")
                 .arg(parseError.errorString()));
        return;
    }
    result.json = document.isObject() ? QJsonValue(document.object())
                                      : QJsonValue(document.array());
}

KLHttpResult resultOf(QNetworkReply *reply, const QUrl &url, bool decodesJson)
{
    KLHttpResult result;
    result.url = url;
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    result.hasResponse = status.isValid();
    result.statusCode = status.toInt();
    result.contentType = reply->header(QNetworkRequest::ContentTypeHeader).toByteArray();
    result.body = reply->readAll();
    if (!result.hasResponse) {
        fail(result, urlErrorCode(reply->error()), reply->errorString());
    } else if (result.statusCode < 200 || result.statusCode > 299) {
        fail(result, kErrorBadServerResponse,
             QStringLiteral("Request failed: %1 (%2)")
                 .arg(reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString())
                 .arg(result.statusCode));
    } else if (decodesJson) {
        decodeJson(result);
    }
    return result;
}

} // namespace

void KL_decodeJsonBody(KLHttpResult &result)
{
    decodeJson(result);
}

std::shared_ptr<KLHttpManager> KLHttpManager::manager()
{
    return std::shared_ptr<KLHttpManager>(new KLHttpManager());
}

void KLHttpManager::setValueForHTTPHeaderField(const QString &value, const QString &field)
{
    const QByteArray name = field.toUtf8();
    // A null value would make Qt drop the header; an empty header is still sent.
    const QByteArray bytes = value.isEmpty() ? QByteArray("") : value.toUtf8();
    for (auto &header : m_headers) {
        if (header.first.compare(name, Qt::CaseInsensitive) == 0) {
            header.second = bytes;
            return;
        }
    }
    m_headers.append({name, bytes});
}

QUrl KLHttpManager::resolvedUrl(const QString &url) const
{
    const QUrl given(url);
    if (!given.scheme().isEmpty() || m_baseUrl.isEmpty())
        return given;
    QString base = m_baseUrl;
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    return QUrl(url.startsWith(QLatin1Char('/')) ? base + url : base + QLatin1Char('/') + url);
}

void KLHttpManager::POST(const QString &url, const QJsonObject &parameters, Completion completion)
{
    bool typed = false;
    for (const auto &header : m_headers)
        typed = typed || header.first.compare("Content-Type", Qt::CaseInsensitive) == 0;
    if (!typed)
        setValueForHTTPHeaderField(QStringLiteral("application/x-www-form-urlencoded"),
                                   QStringLiteral("Content-Type"));
    send("POST", url, KLFormEncoding::encode(parameters), std::move(completion));
}

void KLHttpManager::POSTData(const QString &url, const QByteArray &body, Completion completion)
{
    send("POST", url, body, std::move(completion));
}

void KLHttpManager::GET(const QString &url, Completion completion)
{
    send("GET", url, QByteArray(), std::move(completion));
}

void KLHttpManager::send(const QByteArray &method, const QString &url, const QByteArray &body,
                         Completion completion)
{
    const QUrl target = resolvedUrl(url);
    QNetworkRequest request(target);
    for (const auto &header : m_headers)
        request.setRawHeader(header.first, header.second);
    if (!m_connectTo.isEmpty()) {
        // Connect to the given address; the service's own name stays in the Host header.
        const QUrl address(QStringLiteral("//") + m_connectTo);
        QUrl connected = target;
        connected.setHost(address.host());
        connected.setPort(address.port(target.port(443)));
        request.setUrl(connected);
        request.setRawHeader("Host", target.authority().toUtf8());
        request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    }
    request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    request.setTransferTimeout(m_timeoutSeconds * 1000);
    KLHttpSession &session = KLHttpSession::shared();
    request.setSslConfiguration(session.tlsConfiguration(m_caFile));

    const bool decodesJson = m_decodesJson;
    const bool onMain = m_completesOnMain;
    const QString cacheName = m_cacheName;
    const QString caFile = m_caFile;
    session.queue().async([=, &session] {
        QNetworkReply *reply =
            session.accessManager(cacheName, caFile)->sendCustomRequest(request, method, body);
        QObject::connect(reply, &QNetworkReply::finished, reply, [=] {
            reply->deleteLater();
            KLHttpResult result = resultOf(reply, target, decodesJson);
            if (!completion)
                return;
            if (!onMain) {
                completion(result);
            } else if (!KLMainThread::post([completion, result] { completion(result); })) {
                KL_LOG_WARN(kLogTag, QStringLiteral("no main thread for the reply of %1")
                                         .arg(target.toString()));
            }
        });
    });
}
