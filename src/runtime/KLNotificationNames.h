#pragma once

// The catalogue of in-process notification names and their user-info keys. Names are
// matched letter for letter, so always post and observe through these constants.

#include <QLatin1String>

namespace KLNotificationNames {
inline constexpr QLatin1String AudioVideoChangeNotification{"AudioVideoChangeNotification"};
inline constexpr QLatin1String OnlineOfflineChangeNotification{"OnlineOfflineChangeNotification"};
inline constexpr QLatin1String ReceiveVideoChangeNotification{"ReceiveVideoChangeNotification"};
inline constexpr QLatin1String RingChangeNotification{"RingChangeNotification"};
inline constexpr QLatin1String MeetingMemberUpdate{"MeetingMemberUpdate"};
inline constexpr QLatin1String MeetingMemberNetStatusUpdate{"MeetingMemberNetStatusUpdate"};
inline constexpr QLatin1String GetConferenceMember{"GetConferenceMember"};
inline constexpr QLatin1String GetAppointmentDetail{"GetAppointmentDetail"};
inline constexpr QLatin1String GetAppointmentRateUrl{"GetAppointmentRateUrl"};
inline constexpr QLatin1String MeetingNoteSummaryStart{"MeetingNoteSummaryStart"};
inline constexpr QLatin1String MeetingNoteSummaryStop{"MeetingNoteSummaryStop"};
inline constexpr QLatin1String StartMeetingNoteBySelf{"StartMeetingNoteBySelf"};
inline constexpr QLatin1String StopMeetingNoteAtion{"StopMeetingNoteAtion"};
inline constexpr QLatin1String StopMeetingNote{"StopMeetingNote"};
inline constexpr QLatin1String ToastMessageIncoming{"ToastMessageIncoming"};
inline constexpr QLatin1String SELF_WEAK_CLOSE_VIDEO{"SELF_WEAK_CLOSE_VIDEO"};
inline constexpr QLatin1String WhistlingNoise{"WhistlingNoise"};
inline constexpr QLatin1String RingToneDetected{"RingToneDetected"};
inline constexpr QLatin1String STOP_SHARE_ALREADY{"STOP_SHARE_ALREADY"};
inline constexpr QLatin1String STOP_SHARE_ROB_ALREADY{"STOP_SHARE_ROB_ALREADY"};
inline constexpr QLatin1String STOP_SHARE_INTERNAL{"STOP_SHARE_INTERNAL"};
inline constexpr QLatin1String ChangeVideoDevice{"ChangeVideoDevice"};
inline constexpr QLatin1String DEVICE_CHANGE{"DEVICE_CHANGE"};
inline constexpr QLatin1String BeautyChange{"BeautyChange"};
inline constexpr QLatin1String SelfCellPhoneEnter{"SelfCellPhoneEnter"};
inline constexpr QLatin1String SelfCellPhoneLeave{"SelfCellPhoneLeave"};
inline constexpr QLatin1String NetWorkUnAvaliable{"NetWorkUnAvaliable"};
inline constexpr QLatin1String NetWorkAvaliable{"NetWorkAvaliable"};
inline constexpr QLatin1String SystemWillSleep{"SystemWillSleep"};
inline constexpr QLatin1String KLHostUtilsCloseAppNotify{"KLHostUtilsCloseAppNotify"};
inline constexpr QLatin1String ShowRatePage{"ShowRatePage"};
inline constexpr QLatin1String ShowCaptionView{"ShowCaptionView"};
inline constexpr QLatin1String lockMember{"lockMember"};
/// The conference service asks the window for the call-rooms dialog (main thread).
inline constexpr QLatin1String ShowCallRoomDialog{"ShowCallRoomDialog"};
inline constexpr QLatin1String LockClickMember{"LockClickMember"};
inline constexpr QLatin1String UnlockMember{"UnlockMember"};
inline constexpr QLatin1String FullScreenShowAndHiddenPressed{"FullScreenShowAndHiddenPressed"};
inline constexpr QLatin1String hubAndRightViewsShow{"hubAndRightViewsShow"};
inline constexpr QLatin1String hubAndRightViewsHidden{"hubAndRightViewsHidden"};
inline constexpr QLatin1String viewDidEnterScreenMode{"viewDidEnterScreenMode"};
inline constexpr QLatin1String windowDidChangeMove{"windowDidChangeMove"};
inline constexpr QLatin1String windowDidChangeScreen{"windowDidChangeScreen"};
inline constexpr QLatin1String windowDidMiniaturize{"windowDidMiniaturize"};
inline constexpr QLatin1String windowDidDeMiniaturize{"windowDidDeMiniaturize"};
inline constexpr QLatin1String StartSearch{"StartSearch"};
inline constexpr QLatin1String EndSearch{"EndSearch"};
inline constexpr QLatin1String EnterMeetingWithMeetingId{"EnterMeetingWithMeetingId"};
inline constexpr QLatin1String MultiScreenStartEndNotification{"MultiScreenStartEndNotification"};
inline constexpr QLatin1String MultiScreenRejectNotification{"MultiScreenRejectNotification"};
inline constexpr QLatin1String OpenAudioMeetingForMultiProjector{"OpenAudioMeetingForMultiProjector"};
inline constexpr QLatin1String MultiProjectorViewerChange{"MultiProjectorViewerChange"};
inline constexpr QLatin1String DesktopSharing{"DesktopSharing"};
inline constexpr QLatin1String KLMultiProjectorInviteSuccess{"KLMultiProjectorInviteSuccess"};
} // namespace KLNotificationNames

/// User-info keys of the catalogue ("client" is the feed concerned).
namespace KLNotificationKeys {
inline constexpr QLatin1String client{"client"};
inline constexpr QLatin1String audioAction{"audioAction"};
inline constexpr QLatin1String videoAction{"videoAction"};
inline constexpr QLatin1String start{"start"};
inline constexpr QLatin1String detail{"detail"};
inline constexpr QLatin1String reasonCode{"reasonCode"};
inline constexpr QLatin1String meetingId{"meetingId"};
inline constexpr QLatin1String message{"message"};
inline constexpr QLatin1String withAudio{"withAudio"};
} // namespace KLNotificationKeys
