#pragma once

#include <QString>

/// The multi-projector window's title and the message of a server-side end, both decided from
/// the session's state alone.
namespace KLMultiProjectorTitle {

/// The window title. `meetingName` is the meeting's name (may be empty), `hasShare` whether a
/// screen is being shared, `noAudioMembers` whether nobody (the user included) has audio
/// connected; the last one only counts while the audio meeting is open.
QString windowTitle(bool audioMeetingOpen, bool hasShare, bool noAudioMembers,
                    const QString &meetingName);

/// The localisation key of the dialog shown when the meeting ends for `reason`
/// (KLLeaveReason); empty when the reason has no message.
QString leaveMessageKey(int reason, bool isSharer);

} // namespace KLMultiProjectorTitle
