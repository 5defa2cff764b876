#pragma once

/// @file
/// Keys of the two dictionaries a host hands to the meeting entry object.
///
/// The meeting dictionary carries credentials and start options; the display dictionary
/// carries what the meeting window shows. Each constant's value is the key text itself
/// (`KLSDKMeetingConfigMeetingUUID` is "meetingUUID"), so a host may use either the constant
/// or the literal. The constants are plain C strings, constant-initialised inside the
/// library, so they are safe to use from the host's own static initialisers; under
/// QT_NO_CAST_FROM_ASCII wrap them in QLatin1String.
///
/// Value types: strings are QString, flags are any number (bool, int, double; non-zero is
/// true). A value of the wrong type reads as absent for strings and as false for flags —
/// not as the flag's default — so "allowNoMic" given as the text "true" reads false.

#include <KelvoUISDK/KelvoUISDKExport.h>

// ---- Meeting dictionary -------------------------------------------------------------------

/// "clientAppId" (string): the host application's id. Default: none.
extern KELVOUISDK_EXPORT const char *const KLSDKMeetingConfigClientAppId;
/// "qlsInfo" (string holding a JSON object): cloud-log settings. Text that is not a JSON
/// object is ignored. Its keys:
/// - "project", "logServiceEndpoint", "logstore": the log service's project, regional endpoint
///   domain and log store; records go to "https://<project>.<logServiceEndpoint>". Without all
///   three nothing is uploaded.
/// - "accessKeyId", "accessKeySecret" and optionally "securityToken": credentials for the
///   signed upload used for internal users; without a key id and secret those uploads stay off.
/// - "logServiceAddress" (optional, "host:port"): connect there instead of resolving the
///   service's name, keeping the name in the Host header (a gateway or a local service). The
///   certificate is verified for the address connected to.
extern KELVOUISDK_EXPORT const char *const KLSDKMeetingConfigQlsInfo;
/// "meetingUUID" (string, mandatory): the meeting to join.
extern KELVOUISDK_EXPORT const char *const KLSDKMeetingConfigMeetingUUID;
/// "memberUUID" (string): this member's UUID. Either it or "userId" is mandatory.
extern KELVOUISDK_EXPORT const char *const KLSDKMeetingConfigMemberUUID;
/// "meetingToken" (string, mandatory): the meeting token issued by the meeting service.
extern KELVOUISDK_EXPORT const char *const KLSDKMeetingConfigMeetingToken;
/// "meetingDomain" (string): the meeting service's domain.
extern KELVOUISDK_EXPORT const char *const KLSDKMeetingConfigMeetingDomain;
/// "userId" (string): the host's user id. Either it or "memberUUID" is mandatory.
extern KELVOUISDK_EXPORT const char *const KLSDKMeetingConfigUserId;
/// "vanInternal" (flag): the user is internal staff of the meeting service's organisation.
/// Default: false.
extern KELVOUISDK_EXPORT const char *const KLSDKMeetingConfigVanInternal;
/// "muteAudio" (flag): join with the microphone muted. Default: false.
extern KELVOUISDK_EXPORT const char *const KLSDKMeetingConfigMuteAudio;
/// "muteVideo" (flag): join with the camera off. Default: false.
extern KELVOUISDK_EXPORT const char *const KLSDKMeetingConfigMuteVideo;
/// "allowNoMic" (flag): the meeting may go on without a usable microphone; also keeps the
/// meeting window open after an error. Default: true.
extern KELVOUISDK_EXPORT const char *const KLSDKMeetingConfigAllowNoMic;
/// "audioOnly" (flag): audio-only meeting. Default: false.
extern KELVOUISDK_EXPORT const char *const KLSDKMeetingConfigAudioOnly;
/// "speakerEnabled" (flag): loudspeaker enabled. Default: true.
extern KELVOUISDK_EXPORT const char *const KLSDKMeetingConfigSpeakerEnabled;
/// "apiBaseUrl" (string): the HTTPS base the meeting API's paths are resolved against.
/// Default: "https://" followed by "meetingDomain".
extern KELVOUISDK_EXPORT const char *const KLSDKMeetingConfigApiBaseUrl;
/// "itMonitorBaseUrl" (string): the HTTPS base of the IT-monitoring service that hears of
/// projector casts. Default: "https://" followed by "meetingDomain".
extern KELVOUISDK_EXPORT const char *const KLSDKMeetingConfigItMonitorBaseUrl;
/// "caFile" (string): a PEM file of certificate authorities trusted in addition to the
/// system's, for a meeting service with a private CA. Certificates are always verified.
extern KELVOUISDK_EXPORT const char *const KLSDKMeetingConfigCaFile;
/// "mediaEngine" (string): the media engine of the meeting. Default (absent, or "webrtc"): the
/// WebRTC engine, real audio and video through the meeting's WebRTC media server. Where it
/// cannot run (a GStreamer element missing) an error line says why and the built-in engine is
/// used. "builtin": the built-in engine, simulated media against the local meeting service's
/// own media server. An unknown name is logged and taken as the default. Applied when the
/// meeting is created; an engine the host installed itself is kept whatever this key says.
extern KELVOUISDK_EXPORT const char *const KLSDKMeetingConfigMediaEngine;
/// "webRTCLogEnabled": reserved. The SDK does not read it; media-engine logging stays off.
extern KELVOUISDK_EXPORT const char *const KLSDKMeetingWebRTCLogEnabled;

// ---- Display dictionary -------------------------------------------------------------------

/// "appLogo" (string): kept with the display options; not shown.
extern KELVOUISDK_EXPORT const char *const KLUISDKGuiConfigAppLogo;
/// "logoBanner" (string): the banner shown by the meeting window.
extern KELVOUISDK_EXPORT const char *const KLUISDKGuiConfigLogoBanner;
/// "meetingTopic" (string): shown in the toolbar and the meeting information panel.
extern KELVOUISDK_EXPORT const char *const KLUISDKGuiConfigMeetingTopic;
/// "meetingTime" (string): shown in the meeting information panel.
extern KELVOUISDK_EXPORT const char *const KLUISDKGuiConfigMeetingTime;
/// "meetingCode" (string): shown in the toolbar and the meeting information panel.
extern KELVOUISDK_EXPORT const char *const KLUISDKGuiConfigMeetingCode;
/// "meetingUrl" (string): the meeting link offered for copying and sharing.
extern KELVOUISDK_EXPORT const char *const KLUISDKGuiConfigMeetingUrl;
/// "meetingRateUrl" (string): the rating page opened after the meeting.
extern KELVOUISDK_EXPORT const char *const KLUISDKGuiConfigMeetingRateUrl;
/// "inviteMember" (flag): the member list offers an invite button. Default: false.
extern KELVOUISDK_EXPORT const char *const KLUISDKGuiConfigInviteMember;

// ---- Meeting dictionary, host-facing aliases ------------------------------------------------
// The same key texts as the KLSDKMeetingConfig… constants above (the very same pointers).

/// "clientAppId": the same key as `KLSDKMeetingConfigClientAppId`.
extern KELVOUISDK_EXPORT const char *const KLUISDKMeetingConfigClientAppId;
/// "qlsInfo": the same key as `KLSDKMeetingConfigQlsInfo`.
extern KELVOUISDK_EXPORT const char *const KLUISDKMeetingConfigQlsInfo;
/// "meetingUUID": the same key as `KLSDKMeetingConfigMeetingUUID`.
extern KELVOUISDK_EXPORT const char *const KLUISDKMeetingConfigMeetingUUID;
/// "memberUUID": the same key as `KLSDKMeetingConfigMemberUUID`.
extern KELVOUISDK_EXPORT const char *const KLUISDKMeetingConfigMemberUUID;
/// "meetingToken": the same key as `KLSDKMeetingConfigMeetingToken`.
extern KELVOUISDK_EXPORT const char *const KLUISDKMeetingConfigMeetingToken;
/// "meetingDomain": the same key as `KLSDKMeetingConfigMeetingDomain`.
extern KELVOUISDK_EXPORT const char *const KLUISDKMeetingConfigMeetingDomain;
/// "userId": the same key as `KLSDKMeetingConfigUserId`.
extern KELVOUISDK_EXPORT const char *const KLUISDKMeetingConfigUserId;
/// "muteAudio": the same key as `KLSDKMeetingConfigMuteAudio`.
extern KELVOUISDK_EXPORT const char *const KLUISDKMeetingConfigMuteAudio;
/// "muteVideo": the same key as `KLSDKMeetingConfigMuteVideo`.
extern KELVOUISDK_EXPORT const char *const KLUISDKMeetingConfigMuteVideo;
/// "audioOnly": the same key as `KLSDKMeetingConfigAudioOnly`.
extern KELVOUISDK_EXPORT const char *const KLUISDKMeetingConfigAudioOnly;
/// "allowNoMic": the same key as `KLSDKMeetingConfigAllowNoMic`.
extern KELVOUISDK_EXPORT const char *const KLUISDKMeetingConfigAllowNoMic;
/// "speakerEnabled": the same key as `KLSDKMeetingConfigSpeakerEnabled`.
extern KELVOUISDK_EXPORT const char *const KLUISDKMeetingConfigSpeakerEnabled;
