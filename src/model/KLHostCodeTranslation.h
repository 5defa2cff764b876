#pragma once

// What the host is told: the meeting's internal error codes and finish reasons translated
// into the host delegate's codes (<KelvoUISDK/KLUISDKMeetingEventDelegate.h>), which user
// events reach the host, and the credential check the entry object runs before anything
// else. Pure functions, callable from any thread.

#include <QString>

#include <optional>

class KLSDKMeetingConfigInternal;

/// The host error code for an internal error code (KLSDKMeetingErrorCode); none for the
/// codes the host never sees (0, 1, 3, negative values and anything above 11).
std::optional<int> KLHostErrorCodeForInternal(int internalCode);

/// The host finish reason for an internal finish reason (KLSDKMeetingFinishReason); none for
/// reasons the host never sees (1, 2, 3, 6, 7, negative values and anything above 10).
std::optional<int> KLHostFinishReasonForInternal(int internalReason);

/// True for the user events the host receives (0 to 8, passed on unchanged).
bool KLIsHostUserEvent(int event);

/// A failed credential check, as the host receives it through onError.
struct KLHostError {
    int code = 0;
    QString reason;
};

/// Checks the mandatory credentials in this order and reports the first that is missing
/// (absent or empty): the meeting UUID, then the user (userId or memberUUID; either one
/// suffices), then the meeting token. None when all are present.
std::optional<KLHostError> KLValidateMeetingCredentials(const KLSDKMeetingConfigInternal &config);
