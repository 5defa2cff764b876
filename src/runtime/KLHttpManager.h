#pragma once

// The SDK's HTTP client. Every request gets a fresh client object (its own headers, base,
// trust and timeout), while the connections themselves live in one network session on the
// network queue, so consecutive requests to a service reuse their TLS connection.

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QPair>
#include <QString>
#include <QUrl>
#include <QVariantMap>

#include <functional>
#include <memory>

/// What came back from one request. A request succeeded when `ok()`: a response with a 2xx
/// status and, when JSON decoding is on, a body that decodes (an empty body decodes to an
/// undefined `json`). Anything else is a transport failure described by `errorCode` (negative
/// URL-loading codes such as -1001 "timed out", -1004 "cannot connect", -1202 "untrusted
/// certificate", -1011 "bad status", -1016 "unacceptable content type"; 3840 for a body
/// that is not JSON) with `errorDescription` and `errorInfo`.
struct KLHttpResult {
    QUrl url;
    bool hasResponse = false;
    int statusCode = 0;
    QByteArray contentType;
    QByteArray body;
    QJsonValue json;
    long errorCode = 0;
    QString errorDescription;
    /// "NSErrorFailingURLStringKey" (the URL) and "NSLocalizedDescription" (the description).
    QVariantMap errorInfo;

    bool ok() const { return errorCode == 0; }
};

/// What the client does with the body of a 2xx response when JSON decoding is on: the content
/// type is checked, then the body fills `json` or the error fields (3840 for a body that is not
/// JSON). Exposed for the parsers' fuzzing harness.
void KL_decodeJsonBody(KLHttpResult &result);

class KLHttpManager {
public:
    using Completion = std::function<void(const KLHttpResult &result)>;

    /// A fresh client: no base URL, form-encoded request bodies, JSON response decoding that
    /// accepts "application/json", "text/json", "text/javascript", "text/html" and
    /// "application/x-www-form-urlencoded"; a 60-second timeout; completions on the main thread.
    static std::shared_ptr<KLHttpManager> manager();

    /// Sets (or with an empty value still sends as empty) one request header.
    void setValueForHTTPHeaderField(const QString &value, const QString &field);
    /// Paths that are not absolute URLs are resolved against this base.
    void setBaseUrl(const QString &baseUrl) { m_baseUrl = baseUrl; }
    /// A PEM file of certificate authorities trusted besides the system's. Verification is
    /// never switched off.
    void setCaFile(const QString &caFile) { m_caFile = caFile; }
    /// "host:port" to connect to instead of the URL's host; the URL's host stays in the Host
    /// header and the certificate is verified for the address connected to.
    void setConnectTo(const QString &hostAndPort) { m_connectTo = hostAndPort; }
    void setTimeoutSeconds(int seconds) { m_timeoutSeconds = seconds; }
    /// Off: any 2xx body is passed on raw, whatever its type.
    void setDecodesJson(bool decodes) { m_decodesJson = decodes; }
    /// Off: the completion runs on the network queue instead of the main thread.
    void setCompletesOnMainThread(bool onMain) { m_completesOnMain = onMain; }
    /// A response cache of the session under this name in the user's cache folder.
    void setCacheName(const QString &name) { m_cacheName = name; }

    /// POST of `parameters` as an "application/x-www-form-urlencoded" body.
    void POST(const QString &url, const QJsonObject &parameters, Completion completion);
    /// POST of a ready body; the caller sets "Content-Type" and friends as headers.
    void POSTData(const QString &url, const QByteArray &body, Completion completion);
    void GET(const QString &url, Completion completion);

    /// The absolute URL a request for `url` goes to (base applied).
    QUrl resolvedUrl(const QString &url) const;

private:
    KLHttpManager() = default;
    void send(const QByteArray &method, const QString &url, const QByteArray &body,
              Completion completion);

    QList<QPair<QByteArray, QByteArray>> m_headers;
    QString m_baseUrl;
    QString m_caFile;
    QString m_connectTo;
    QString m_cacheName;
    int m_timeoutSeconds = 60;
    bool m_decodesJson = true;
    bool m_completesOnMain = true;
};
