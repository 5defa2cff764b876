#include "cloudlog/KLQLSUpload.h"

#include "runtime/KLDispatchQueue.h"
#include "runtime/KLSDKDispatcher.h"
#include "runtime/KLSDKLog.h"

#include <QJsonDocument>
#include <QJsonParseError>

namespace KLQLSUpload {

Underway::Underway(const QString &tag, const QString &url)
    : m_tag(tag), m_url(url), m_hold(KLDispatchQueue::holdForMeeting())
{
}

std::shared_ptr<Underway> Underway::begin(const QString &tag, const QString &url)
{
    auto underway = std::make_shared<Underway>(tag, url);
    // The time limit holds the upload weakly: an upload that is over is not kept for it.
    std::weak_ptr<Underway> weak = underway;
    KLSDKDispatcher::asyncRunOnSerialQueue([weak] {
        if (auto pending = weak.lock())
            pending->giveUp();
    }, kMeetingWaitSeconds);
    return underway;
}

void Underway::answered()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_hold.reset();
}

void Underway::giveUp()
{
    std::shared_ptr<void> hold;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        hold = std::move(m_hold);
    }
    if (hold)
        KL_LOG_WARN(m_tag, QStringLiteral("no answer within %1 s, the meeting's end does not wait for it: %2")
                               .arg(kMeetingWaitSeconds)
                               .arg(m_url));
}

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
