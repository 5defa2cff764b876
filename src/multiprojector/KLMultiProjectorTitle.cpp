#include "multiprojector/KLMultiProjectorTitle.h"

#include "conference/service/KLConferenceService.h"
#include "runtime/KLLocalization.h"

namespace KLMultiProjectorTitle {

QString windowTitle(bool audioMeetingOpen, bool hasShare, bool noAudioMembers,
                    const QString &meetingName)
{
    // Before the first share the window only says it is waiting; the audio meeting's note is
    // added while somebody is connected to it.
    const QString base = hasShare ? meetingName
                                  : KLLocalizedString(QStringLiteral("MULTIPROJECTOR_WAIT_FOR_SHARE"));
    if (!audioMeetingOpen || noAudioMembers)
        return base;
    return QStringLiteral("%1(%2)").arg(
        base, KLLocalizedString(QStringLiteral("MULTIPROJECTOR_AUDIO_MEETING_IS_OPEN")));
}

QString leaveMessageKey(int reason, bool isSharer)
{
    switch (reason) {
    case KLLeaveReasonRemoved:
        return isSharer ? QStringLiteral("MULTIPROJECTOR_BY_KICK_TOAST_DIALOG_MASTER")
                        : QStringLiteral("MULTIPROJECTOR_BY_KICK_TOAST_DIALOG");
    case KLLeaveReasonJoinedElsewhere:
        return QStringLiteral("LEAVE_MULTIPROJECTOR_BY_OTHER_CLIENT");
    case KLLeaveReasonRegisterFailed:
        return QStringLiteral("LEAVE_ROOM_BY_SIGNAL_REGISTER_FAILED");
    case KLLeaveReasonMediaFailed:
        return QStringLiteral("NO_NETWEAK_TIPS");
    case KLLeaveReasonSystemSleep:
        return QStringLiteral("SYSTEM_WILL_SLEEP_TIPS");
    case KLLeaveReasonEnterTimeout:
        return QStringLiteral("ENTER_ROOM_FAILED");
    default:
        return QString();
    }
}

} // namespace KLMultiProjectorTitle
