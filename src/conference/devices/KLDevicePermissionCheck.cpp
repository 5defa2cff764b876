#include "conference/devices/KLDevicePermissionCheck.h"

#include "cloudlog/KLQLSLogger.h"
#include "runtime/KLSDKLog.h"

#include <QJsonObject>

#include <utility>

namespace {

const QString kTag = QStringLiteral("KLDevicePermissionCheck");

/// The first version with capture permissions, and the first with a screen-recording one.
constexpr KLOSVersion kCapturePermissionVersion{10, 14, 0};
constexpr KLOSVersion kScreenRecordingPermissionVersion{10, 15, 0};

/// The checks compare major and minor only ("10.14.6" counts as "10.14").
bool isOlderThan(const KLOSVersion &version, const KLOSVersion &reference)
{
    return KLOSVersion{version.major, version.minor, 0} < reference;
}

std::shared_ptr<KLPlatform> platformOrShared(std::shared_ptr<KLPlatform> platform)
{
    return platform ? std::move(platform) : KLPlatform::shared();
}

void finish(const KLDevicePermissionCheck::Completion &completion, KLPermissionOutcome outcome,
            const KLPermissionState &state)
{
    if (completion)
        completion(KLPermissionResult{outcome, state});
}

int readStatus(KLPlatform &platform, KLMediaType type, const char *logLabel)
{
    const int status = platform.authorizationStatusForMediaType(type);
    KL_LOG_INFO(kTag, QStringLiteral("%1 status : %2").arg(QLatin1String(logLabel)).arg(status));
    KLQLSLogger::sharedInstance().commitMonitorLevel(
        3, 2,
        QJsonObject{{QStringLiteral("value"), QStringLiteral("mediaAuthorization")},
                    {QStringLiteral("device"), KLPlatform::mediaTypeName(type)},
                    {QStringLiteral("status"), status}});
    return status;
}

/// The microphone may be used: go on with the camera in video meetings.
void microphoneAuthorized(KLPermissionState state, KLDevicePermissionCheck::Completion completion,
                          std::shared_ptr<KLPlatform> platform)
{
    state.bAudioCanRecord = true;
    if (state.isVideoMeeting)
        KLDevicePermissionCheck::isValidToVisitCamera(state, std::move(completion),
                                                      std::move(platform));
    else
        finish(completion, KLPermissionOutcome::Proceed, state);
}

} // namespace

int KLPermissionResult::leaveReason() const
{
    switch (outcome) {
    case KLPermissionOutcome::HangupForMicrophone:
        return 8;
    case KLPermissionOutcome::HangupForCamera:
        return 9;
    case KLPermissionOutcome::Proceed:
    case KLPermissionOutcome::Nothing:
        break;
    }
    return 0;
}

void KLDevicePermissionCheck::isValidToVisitMicroPhone(const KLPermissionState &initial,
                                                       Completion completion,
                                                       std::shared_ptr<KLPlatform> platform)
{
    platform = platformOrShared(std::move(platform));
    KLPermissionState state = initial;

    const std::optional<KLOSVersion> version = platform->osVersion();
    if (!version) {
        finish(completion, KLPermissionOutcome::Proceed, state);
        return;
    }
    if (isOlderThan(*version, kCapturePermissionVersion)) {
        state.bAudioCanRecord = true;
        state.bVideoCanRecord = true;
        finish(completion, KLPermissionOutcome::Proceed, state);
        return;
    }

    const int status = readStatus(*platform, KLMediaType::Audio, "audio");
    switch (status) {
    case KLAuthorizationStatusNotDetermined:
        platform->requestAccessForMediaType(
            KLMediaType::Audio, [state, completion, platform](bool granted) {
                if (granted) {
                    KL_LOG_INFO(kTag, QStringLiteral("-- granted"));
                    microphoneAuthorized(state, completion, platform);
                } else {
                    KL_LOG_INFO(kTag, QStringLiteral("-- not granted"));
                    finish(completion, KLPermissionOutcome::HangupForMicrophone, state);
                }
            });
        return;
    case KLAuthorizationStatusRestricted:
    case KLAuthorizationStatusDenied:
        KL_LOG_INFO(kTag, status == KLAuthorizationStatusRestricted ? QStringLiteral("-- Restricted")
                                                                    : QStringLiteral("-- Denied"));
        state.bAudioCanRecord = false;
        finish(completion, KLPermissionOutcome::HangupForMicrophone, state);
        return;
    case KLAuthorizationStatusAuthorized:
        KL_LOG_INFO(kTag, QStringLiteral("-- Authorized"));
        microphoneAuthorized(state, std::move(completion), std::move(platform));
        return;
    default:
        finish(completion, KLPermissionOutcome::Nothing, state);
        return;
    }
}

void KLDevicePermissionCheck::isValidToVisitCamera(const KLPermissionState &initial,
                                                   Completion completion,
                                                   std::shared_ptr<KLPlatform> platform)
{
    platform = platformOrShared(std::move(platform));
    KLPermissionState state = initial;

    if (!state.isVideoMeeting || !platform->hasVideoCaptureDevice()) {
        finish(completion, KLPermissionOutcome::Proceed, state);
        return;
    }

    const int status = readStatus(*platform, KLMediaType::Video, "Video");
    switch (status) {
    case KLAuthorizationStatusNotDetermined:
        // The flag is set before asking; a refusal hangs up, after which it no longer counts.
        state.bVideoCanRecord = true;
        platform->requestAccessForMediaType(KLMediaType::Video, [state, completion](bool granted) {
            KL_LOG_INFO(kTag, granted ? QStringLiteral("-- granted")
                                      : QStringLiteral("-- not granted"));
            finish(completion,
                   granted ? KLPermissionOutcome::Proceed : KLPermissionOutcome::HangupForCamera,
                   state);
        });
        return;
    case KLAuthorizationStatusRestricted:
    case KLAuthorizationStatusDenied:
        KL_LOG_INFO(kTag, status == KLAuthorizationStatusRestricted ? QStringLiteral("-- Restricted")
                                                                    : QStringLiteral("-- Denied"));
        state.bVideoCanRecord = false;
        finish(completion, KLPermissionOutcome::HangupForCamera, state);
        return;
    case KLAuthorizationStatusAuthorized:
        KL_LOG_INFO(kTag, QStringLiteral("-- Authorized"));
        state.bVideoCanRecord = true;
        finish(completion, KLPermissionOutcome::Proceed, state);
        return;
    default:
        finish(completion, KLPermissionOutcome::Nothing, state);
        return;
    }
}

bool KLDevicePermissionCheck::isValidToVisitScreenRecording(KLPlatform &platform)
{
    const std::optional<KLOSVersion> version = platform.osVersion();
    if (!version || isOlderThan(*version, kScreenRecordingPermissionVersion))
        return true;
    return canRecordScreen(platform) || recordScreenFromCreateStream(platform);
}

bool KLDevicePermissionCheck::canRecordScreen(KLPlatform &platform)
{
    const bool allowed = platform.canRecordScreen();
    KL_LOG_INFO(kTag, QStringLiteral("canRecordScreen: %1").arg(allowed));
    return allowed;
}

bool KLDevicePermissionCheck::recordScreenFromCreateStream(KLPlatform &platform)
{
    const bool allowed = platform.recordScreenFromCreateStream();
    KL_LOG_INFO(kTag, QStringLiteral("recordScreenFromCreateStream: %1").arg(allowed));
    return allowed;
}
