#include "window/KLMeetingCodeEntry.h"

#include "window/KLEnterNameViewController.h"

#include "host/KLHostUtils.h"
#include "host/UserPersistentData.h"
#include "runtime/KLNotificationCenter.h"
#include "runtime/KLNotificationNames.h"
#include "runtime/KLSDKLog.h"

namespace {
const char *const kTag = "KLMeetingCodeEntry";
}

bool KLMeetingCodeEntry::canJoin(const QString &name, const QString &code)
{
    return !name.isEmpty() && !code.isEmpty();
}

QString KLMeetingCodeEntry::checkCode(const QString &code, QString *meetingId)
{
    if (!code.startsWith(QLatin1String("http"))) {
        const bool valid = code.size() == kCodeLength && KLHostUtils::isPositiveInteger(code);
        return valid ? QString() : QStringLiteral("ERROR_CODE_ERROR");
    }
    const QLatin1String marker("uuid=");
    const int at = code.indexOf(marker);
    if (at < 0)
        return QStringLiteral("ERROR_URL_INVALID");
    QString link = code;
    if (link.endsWith(QLatin1Char('/')))
        link.chop(1);
    const QString uuid = link.mid(at + marker.size());
    if (uuid.size() <= kShortestUuid)
        return QStringLiteral("ERROR_URL_INVALID");
    if (meetingId)
        *meetingId = uuid;
    return {};
}

KLMeetingCodeEntryResult KLMeetingCodeEntry::join(const QString &name, const QString &code, bool shouldUpdate)
{
    KLMeetingCodeEntryResult result;
    if (!canJoin(name, code))
        return result;
    if (shouldUpdate) {
        result.showDownload = true;
        return result;
    }
    result.nameErrorKey = KLEnterNameViewController::nameErrorKey(name); // the enter-name dialog's rules
    if (result.nameErrorKey.isEmpty() && !UserPersistentData::sharedInstance().writeVanNames(name))
        KL_LOG_WARN(kTag, QStringLiteral("the display name could not be stored"));
    result.codeErrorKey = checkCode(code, &result.meetingId);
    if (result.nameErrorKey.isEmpty() && result.codeErrorKey.isEmpty() && !result.meetingId.isEmpty()) {
        KL_LOG_INFO(kTag, QStringLiteral("entering meeting %1").arg(result.meetingId));
        KLNotificationCenter::defaultCenter().postNotification(KLNotificationNames::EnterMeetingWithMeetingId, nullptr,
                                                               {{QStringLiteral("meetingId"), result.meetingId}});
    }
    return result;
}
