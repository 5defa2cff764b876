#include "gateway/KLSDKMeetingHTTPApi.h"

#include "cloudlog/KLQLSLogger.h"
#include "gateway/KLMeetingApiParameters.h"
#include "gateway/KLMeetingApiResponse.h"
#include "host/UserPersistentData.h"
#include "model/KLSDKMeetingConfigInternal.h"
#include "runtime/KLHttpManager.h"
#include "runtime/KLNotificationCenter.h"
#include "runtime/KLNotificationNames.h"
#include "runtime/KLSDKLog.h"

#include <QDateTime>

namespace {

const QString kLogTag = QStringLiteral("KLSDKMeetingHTTPApi");

bool skipsStatusCheck(const QString &url)
{
    return url.contains(QLatin1String("/conference/api/getClientConfig"))
           || url.contains(QLatin1String("/webvc/savePcJumpStatus"));
}

void commitApiError(const QString &url, const KLMeetingApiResponse::Error &error)
{
    QJsonObject record{{QStringLiteral("url"), url}};
    if (!error.code.isEmpty())
        record.insert(QStringLiteral("errCode"), error.code);
    if (!error.message.isEmpty())
        record.insert(QStringLiteral("errMsg"), error.message);
    const bool warning = KLMeetingApiResponse::isCallMemberWarning(url, error.code);
    record.insert(QStringLiteral("value"),
                  warning ? QStringLiteral("apiWarning") : QStringLiteral("apiError"));
    KLQLSLogger::sharedInstance().commitMonitorLevel(warning ? 4 : 5, warning ? 2 : 3, record);
}

void handleTransportFailure(const KLHttpResult &result, const QString &url,
                            const std::shared_ptr<KLSDKMeetingHTTPApi::Shared> &shared,
                            const KLApiFailureBlock &failure)
{
    KL_LOG_INFO(kLogTag, QStringLiteral("request %1 failed: %2 (%3)")
                             .arg(url, result.errorDescription)
                             .arg(result.errorCode));
    if (!result.errorInfo.isEmpty()) {
        QJsonObject record = QJsonObject::fromVariantMap(result.errorInfo);
        record.insert(QStringLiteral("value"), QStringLiteral("apiError"));
        record.insert(QStringLiteral("url"), url);
        KLQLSLogger::sharedInstance().commitMonitorLevel(5, 3, record);
    }
    if (!failure)
        return;
    if (shared->netWorkAvaliable.load())
        failure(QString::number(result.errorCode), QString());
    else
        KLNotificationCenter::defaultCenter().postNotification(
            KLNotificationNames::NetWorkUnAvaliable);
}

void handleResult(const KLHttpResult &result, const QString &path,
                  const std::shared_ptr<KLSDKMeetingHTTPApi::Shared> &shared, qint64 startedMs,
                  const KLApiSuccessBlock &success, const KLApiFailureBlock &failure)
{
    const QString url = result.url.toString();
    if (!result.ok()) {
        handleTransportFailure(result, url, shared, failure);
        return;
    }
    shared->netWorkAvaliable.store(true);
    const QJsonObject reply = result.json.toObject();
    if (!skipsStatusCheck(url) && !KLMeetingApiResponse::succeeded(reply)) {
        const KLMeetingApiResponse::Error error = KLMeetingApiResponse::errorOf(reply);
        commitApiError(url, error);
        if (failure)
            failure(error.code, error.message);
        return;
    }
    if (path.contains(QLatin1String("getIceServerList"))) {
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        KL_LOG_INFO(kLogTag, QStringLiteral("getIceServerList time start:%1, response:%2, "
                                            "interval: %3 ms")
                                 .arg(startedMs)
                                 .arg(now)
                                 .arg(now - startedMs));
    }
    if (success)
        success(KLMeetingApiResponse::payload(reply));
}

} // namespace

KLSDKMeetingHTTPApi::KLSDKMeetingHTTPApi(KLMeetingConfigPtr config,
                                         std::unique_ptr<KLReachability> reachability,
                                         KLMeetingApiSigner signer)
    : m_shared(std::make_shared<Shared>())
    , m_signer(std::move(signer))
{
    if (config) {
        m_shared->apiBaseUrl = config->apiBaseUrl();
        m_shared->itMonitorBaseUrl = config->itMonitorBaseUrl();
        m_shared->caFile = config->caFile();
    }
    if (m_shared->apiBaseUrl.isEmpty())
        KL_LOG_ERROR(kLogTag, QStringLiteral("no meeting API base: neither apiBaseUrl nor "
                                             "meetingDomain is set"));
    startReachability(reachability ? std::move(reachability) : KLReachability::create());
}

KLSDKMeetingHTTPApi::~KLSDKMeetingHTTPApi() = default;

void KLSDKMeetingHTTPApi::startReachability(std::unique_ptr<KLReachability> reachability)
{
    m_reachability = std::move(reachability);
    m_reachability->startUpdating(
        std::shared_ptr<std::atomic<bool>>(m_shared, &m_shared->netWorkAvaliable));
}

bool KLSDKMeetingHTTPApi::isNetWorkAvailable() const
{
    return m_shared->netWorkAvaliable.load();
}

void KLSDKMeetingHTTPApi::setConferenceChannel(std::shared_ptr<KLConferenceSignalChannel>)
{
}

void KLSDKMeetingHTTPApi::httpPostRequestFunction(const QString &path, const QJsonObject &params,
                                                  KLApiSuccessBlock success,
                                                  KLApiFailureBlock failure)
{
    const KLApiIdentity identity = KLApiIdentity::current();
    const QJsonObject parameters = KLMeetingApiParameters::finalParameters(
        params, path, identity, QDateTime::currentSecsSinceEpoch());
    const std::shared_ptr<KLHttpManager> manager = KLHttpManager::manager();
    manager->setBaseUrl(m_shared->apiBaseUrl);
    manager->setCaFile(m_shared->caFile);
    const auto headers = m_signer.createHttpHeaderForURI(path, QStringLiteral("POST"), parameters,
                                                         identity.workId, identity.machineId);
    for (const auto &header : headers)
        manager->setValueForHTTPHeaderField(header.second, header.first);

    const qint64 startedMs = QDateTime::currentMSecsSinceEpoch();
    manager->POST(path, parameters,
                  [path, shared = m_shared, startedMs, success = std::move(success),
                   failure = std::move(failure)](const KLHttpResult &result) {
                      handleResult(result, path, shared, startedMs, success, failure);
                  });
}

QString KLSDKMeetingHTTPApi::workId() const
{
    return UserPersistentData::sharedInstance().readNormalizeWorkId();
}
