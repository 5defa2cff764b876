#include "cloudlog/KLQLSUpload.h"

#include "runtime/KLSDKLog.h"

#include <QJsonDocument>
#include <QJsonParseError>

namespace KLQLSUpload {

std::shared_ptr<KLHttpManager> manager(const QString &cacheName, const QString &caFile,
                                       const QString &connectTo)
{
    auto http = KLHttpManager::manager();
    http->setTimeoutSeconds(60);
    http->setDecodesJson(false);
    http->setCompletesOnMainThread(false);
    http->setCacheName(cacheName);
    http->setCaFile(caFile);
    if (!connectTo.isEmpty())
        http->setConnectTo(connectTo);
    return http;
}

void logOutcome(const QString &tag, const QString &url, const KLHttpResult &result)
{
    if (!result.hasResponse) {
        KL_LOG_ERROR(tag, QStringLiteral("Invalid address: %1").arg(url));
    } else if (result.statusCode != 200) {
        QJsonParseError parseError{};
        const QJsonDocument body = QJsonDocument::fromJson(result.body, &parseError);
        if (parseError.error == QJsonParseError::NoError)
            KL_LOG_ERROR(tag, QStringLiteral("Result: %1")
                                  .arg(QString::fromUtf8(body.toJson(QJsonDocument::Compact))));
        else
            KL_LOG_ERROR(tag, QStringLiteral("Error: %1").arg(parseError.errorString()));
    }
    // A status other than 2xx is reported as an error too; the lines above already cover it.
    if (!result.ok() && !result.hasResponse)
        KL_LOG_ERROR(tag, QStringLiteral("Error: %1").arg(result.errorDescription));
}

} // namespace KLQLSUpload
