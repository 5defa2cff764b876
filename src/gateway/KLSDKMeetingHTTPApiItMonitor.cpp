// The IT-monitoring notification of projector casts: a GET with an MD5-signed query to a
// service of its own, outside the meeting API.

#include "gateway/KLSDKMeetingHTTPApi.h"

#include "cloudlog/KLQLSLogger.h"
#include "gateway/KLMeetingApiResponse.h"
#include "host/KLHostUtils.h"
#include "runtime/KLHttpManager.h"
#include "runtime/KLSDKLog.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QElapsedTimer>

namespace {

const QString kLogTag = QStringLiteral("KLSDKMeetingHTTPApi");
const QString kEndpointPath = QStringLiteral("/openapi/ProjectorUsedApi.json");
constexpr const char *kMonitorSalt = "$#!%4Qzm";

QString orText(const QString &text, const QString &fallback)
{
    return text.isEmpty() ? fallback : text;
}

QString signedQuery(const QString &query)
{
    const QByteArray salted = query.toUtf8() + QByteArray(kMonitorSalt);
    const QString sign =
        QString::fromLatin1(QCryptographicHash::hash(salted, QCryptographicHash::Md5).toHex());
    return sign.isEmpty() ? query : query + QStringLiteral("&_sign=") + sign;
}

void handleMonitorReply(const KLHttpResult &result, const QString &endpoint, double seconds,
                        const KLApiSuccessBlock &success, const KLApiFailureBlock &failure)
{
    if (!result.ok()) {
        KL_LOG_INFO(kLogTag, QStringLiteral("notifyItMonitorForMultiProjector failed"));
        return;
    }
    KL_LOG_INFO(kLogTag, QStringLiteral("It Monitor Request Time: %1").arg(seconds, 0, 'f', 6));
    const QJsonObject reply = result.json.toObject();
    if (KLMeetingApiResponse::succeeded(reply)) {
        if (success)
            success(KLMeetingApiResponse::payload(reply));
        KL_LOG_INFO(kLogTag, QStringLiteral("notifyItMonitorForMultiProjector success"));
        return;
    }
    const KLMeetingApiResponse::Error error = KLMeetingApiResponse::errorOf(reply);
    QJsonObject record{{QStringLiteral("value"), QStringLiteral("apiError")},
                       {QStringLiteral("url"), endpoint}};
    if (!error.code.isEmpty())
        record.insert(QStringLiteral("errCode"), error.code);
    if (!error.message.isEmpty())
        record.insert(QStringLiteral("errMsg"), error.message);
    KLQLSLogger::sharedInstance().commitMonitorLevel(5, 3, record);
    if (failure)
        failure(error.code, error.message);
    KL_LOG_INFO(kLogTag, QStringLiteral("notifyItMonitorForMultiProjector failed"));
}

} // namespace

void KLSDKMeetingHTTPApi::notifyItMonitorForMultiProjectorWithType(
    const QString &type, const QString &projectId, const QString &meetingId, const QString &status,
    KLApiSuccessBlock success, KLApiFailureBlock failure)
{
    const QString query =
        QStringLiteral("agent=%1&empId=%2&ip=%3&mac=%4&meetingId=%5&moreScreen=%6&os=%7"
                       "&partner_id=%8&projectId=%9")
            .arg(QStringLiteral("tanduPc"), workId(),
                 orText(KLHostUtils::ipAddress(), QStringLiteral("127.0.0.1")),
                 orText(KLHostUtils::wiFiInterface(), QStringLiteral("no-mac")), meetingId,
                 QStringLiteral("2"), QStringLiteral("2"), QStringLiteral("tandu"), projectId)
        + QStringLiteral("&success=%1&ts=%2&type=%3&version=%4")
              .arg(status)
              .arg(QDateTime::currentMSecsSinceEpoch())
              .arg(type, KLHostUtils::appVersion());
    const std::shared_ptr<KLHttpManager> manager = KLHttpManager::manager();
    manager->setBaseUrl(m_shared->itMonitorBaseUrl);
    manager->setCaFile(m_shared->caFile);
    const QString endpoint = manager->resolvedUrl(kEndpointPath).toString();
    const QString url = QStringLiteral("%1?%2").arg(endpoint, signedQuery(query));

    QElapsedTimer built;
    built.start();
    manager->GET(url, [endpoint, built, success = std::move(success),
                       failure = std::move(failure)](const KLHttpResult &result) {
        handleMonitorReply(result, endpoint, built.elapsed() / 1000.0, success, failure);
    });
}
