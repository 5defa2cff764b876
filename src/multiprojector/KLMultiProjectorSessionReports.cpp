// What the session tells the meeting service, the cloud log and the host: status reports,
// the IT-monitor end report, the end of the cast for the members, monitor records and the
// action log. Meeting-service outcomes are only logged; the flows go on either way.

#include "multiprojector/KLMultiProjectorSession.h"

#include "cloudlog/KLQLSLogger.h"
#include "conference/registry/KLFeedClient.h"
#include "conference/multiprojector/KLMultiProjectorContext.h"
#include "gateway/KLSDKMeetingApiProtocol.h"
#include "host/KLMessageMode.h"
#include "runtime/KLSDKLog.h"

namespace {
const char *const kTag = "KLMultiProjectorSession";
// The IT monitor's end report: type "2" with status "1".
const QString kItMonitorEndType = QStringLiteral("2");
const QString kItMonitorEndStatus = QStringLiteral("1");
// shareMultiScreenMember type that ends the cast for the members named.
constexpr int kShareTypeEnd = 2;

void logOutcome(const QString &operation, bool ok, const QString &code = {}, const QString &message = {})
{
    if (ok)
        KL_LOG_INFO(kTag, QStringLiteral("%1 success").arg(operation));
    else
        KL_LOG_WARN(kTag, QStringLiteral("%1 failed: %2 %3").arg(operation, code, message));
}
} // namespace

void KLMultiProjectorSession::actionLog(const QString &button) const
{
    m_messages->actionLog(button);
}

void KLMultiProjectorSession::commitRecord(int level, int group, const QJsonObject &record) const
{
    KLQLSLogger::sharedInstance().commitMonitorLevel(level, group, record);
}

QString KLMultiProjectorSession::ownUuid() const
{
    const auto own = m_context->publisher();
    return own ? own->uuid() : QString();
}

// The user is the sharer when the own feed carries a share, or the current share is theirs.
bool KLMultiProjectorSession::isSharing() const
{
    const auto own = m_context->publisher();
    if (!own)
        return false;
    if (own->associcateShareFeed())
        return true;
    const auto shared = m_context->sharedFeed();
    return shared && shared->participantUUID() == own->uuid();
}

void KLMultiProjectorSession::reportItMonitorEnd() const
{
    auto api = m_context->meetingApi();
    if (!api)
        return;
    api->notifyItMonitorForMultiProjectorWithType(
        kItMonitorEndType, m_context->projectId(), m_context->appointmentId(), kItMonitorEndStatus,
        [](const QJsonValue &) { logOutcome(QStringLiteral("it-monitor end report"), true); },
        [](const QString &code, const QString &message) {
            logOutcome(QStringLiteral("it-monitor end report"), false, code, message);
        });
}

void KLMultiProjectorSession::stopShareToQls(bool stopAll) const
{
    reportItMonitorEnd();
    commitRecord(3, 1, {{"value", "projectEnd"}, {"reason", "userClick"},
                        {"desc", stopAll ? "stopAll" : "pause"}});
}

void KLMultiProjectorSession::reportStatus(int status, std::function<void()> then)
{
    auto api = m_context->meetingApi();
    if (!api) {
        if (then)
            then();
        return;
    }
    std::weak_ptr<KLMultiProjectorSession> weak = weak_from_this();
    auto finish = [weak, then](bool ok, const QString &code, const QString &message, int status) {
        logOutcome(QStringLiteral("notifyMultiScreen status %1").arg(status), ok, code, message);
        if (!then)
            return;
        if (auto self = weak.lock())
            self->onMain([then](KLMultiProjectorSession &) { then(); });
    };
    api->notifyMultiScreenWithAppointmentId(
        QJsonValue(m_context->appointmentId()), ownUuid(), QJsonValue(status),
        [finish, status](const QJsonValue &) { finish(true, {}, {}, status); },
        [finish, status](const QString &code, const QString &message) {
            finish(false, code, message, status);
        });
}

void KLMultiProjectorSession::endCastForMembers(const QString &uuids, bool enableCall,
                                                std::function<void()> then)
{
    auto api = m_context->meetingApi();
    if (uuids.isEmpty() || !api) {
        then();
        return;
    }
    std::weak_ptr<KLMultiProjectorSession> weak = weak_from_this();
    auto finish = [weak, then](bool ok, const QString &code, const QString &message) {
        logOutcome(QStringLiteral("shareMultiScreenMember end"), ok, code, message);
        if (auto self = weak.lock())
            self->onMain([then](KLMultiProjectorSession &) { then(); });
    };
    api->shareMultiScreenMemberForMemberUuid(
        uuids, QJsonValue(kShareTypeEnd), true, enableCall,
        [finish](const QJsonValue &) { finish(true, {}, {}); },
        [finish](const QString &code, const QString &message) { finish(false, code, message); });
}
