// The exported dictionary keys. Every constant is initialised from a literal, so all of them
// are ready before any dynamic initialiser of the host runs. The two meeting-key families
// share one array per text.
#include <KelvoUISDK/KLUISDKMeetingConfigKeys.h>

namespace {
constexpr char kClientAppId[] = "clientAppId";
constexpr char kQlsInfo[] = "qlsInfo";
constexpr char kMeetingUUID[] = "meetingUUID";
constexpr char kMemberUUID[] = "memberUUID";
constexpr char kMeetingToken[] = "meetingToken";
constexpr char kMeetingDomain[] = "meetingDomain";
constexpr char kUserId[] = "userId";
constexpr char kMuteAudio[] = "muteAudio";
constexpr char kMuteVideo[] = "muteVideo";
constexpr char kAllowNoMic[] = "allowNoMic";
constexpr char kAudioOnly[] = "audioOnly";
constexpr char kSpeakerEnabled[] = "speakerEnabled";
} // namespace

const char *const KLSDKMeetingConfigClientAppId = kClientAppId;
const char *const KLSDKMeetingConfigQlsInfo = kQlsInfo;
const char *const KLSDKMeetingConfigMeetingUUID = kMeetingUUID;
const char *const KLSDKMeetingConfigMemberUUID = kMemberUUID;
const char *const KLSDKMeetingConfigMeetingToken = kMeetingToken;
const char *const KLSDKMeetingConfigMeetingDomain = kMeetingDomain;
const char *const KLSDKMeetingConfigUserId = kUserId;
const char *const KLSDKMeetingConfigVanInternal = "vanInternal";
const char *const KLSDKMeetingConfigMuteAudio = kMuteAudio;
const char *const KLSDKMeetingConfigMuteVideo = kMuteVideo;
const char *const KLSDKMeetingConfigAllowNoMic = kAllowNoMic;
const char *const KLSDKMeetingConfigAudioOnly = kAudioOnly;
const char *const KLSDKMeetingConfigSpeakerEnabled = kSpeakerEnabled;
const char *const KLSDKMeetingWebRTCLogEnabled = "webRTCLogEnabled";
const char *const KLSDKMeetingConfigApiBaseUrl = "apiBaseUrl";
const char *const KLSDKMeetingConfigItMonitorBaseUrl = "itMonitorBaseUrl";
const char *const KLSDKMeetingConfigCaFile = "caFile";
const char *const KLSDKMeetingConfigMediaEngine = "mediaEngine";

const char *const KLUISDKGuiConfigAppLogo = "appLogo";
const char *const KLUISDKGuiConfigLogoBanner = "logoBanner";
const char *const KLUISDKGuiConfigMeetingTopic = "meetingTopic";
const char *const KLUISDKGuiConfigMeetingTime = "meetingTime";
const char *const KLUISDKGuiConfigMeetingCode = "meetingCode";
const char *const KLUISDKGuiConfigMeetingUrl = "meetingUrl";
const char *const KLUISDKGuiConfigMeetingRateUrl = "meetingRateUrl";
const char *const KLUISDKGuiConfigInviteMember = "inviteMember";

const char *const KLUISDKMeetingConfigClientAppId = kClientAppId;
const char *const KLUISDKMeetingConfigQlsInfo = kQlsInfo;
const char *const KLUISDKMeetingConfigMeetingUUID = kMeetingUUID;
const char *const KLUISDKMeetingConfigMemberUUID = kMemberUUID;
const char *const KLUISDKMeetingConfigMeetingToken = kMeetingToken;
const char *const KLUISDKMeetingConfigMeetingDomain = kMeetingDomain;
const char *const KLUISDKMeetingConfigUserId = kUserId;
const char *const KLUISDKMeetingConfigMuteAudio = kMuteAudio;
const char *const KLUISDKMeetingConfigMuteVideo = kMuteVideo;
const char *const KLUISDKMeetingConfigAudioOnly = kAudioOnly;
const char *const KLUISDKMeetingConfigAllowNoMic = kAllowNoMic;
const char *const KLUISDKMeetingConfigSpeakerEnabled = kSpeakerEnabled;
