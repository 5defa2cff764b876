#include "model/KLHostCodeTranslation.h"

#include "model/KLSDKMeetingConfigInternal.h"
#include "model/KLSDKMeetingEventDelegate.h"

#include <KelvoUISDK/KLUISDKMeetingEventDelegate.h>

std::optional<int> KLHostErrorCodeForInternal(int internalCode)
{
    switch (internalCode) {
    case KLSDKMeetingErrorClientConfig:
        return KLUISDKMeetingErrorInvalidParameter;
    case KLSDKMeetingErrorMeetingServer:
        return KLUISDKMeetingErrorMeetingServer;
    case KLSDKMeetingErrorDevicePermission:
        return KLUISDKMeetingErrorDevicePermission;
    case KLSDKMeetingErrorDeviceMissing:
        return KLUISDKMeetingErrorDeviceMissing;
    case KLSDKMeetingErrorMediaHangUp:
        return KLUISDKMeetingErrorMediaHangUp;
    case KLSDKMeetingErrorRoomFull:
        return KLUISDKMeetingErrorRoomFull;
    case KLSDKMeetingErrorJoinTimeout:
        return KLUISDKMeetingErrorJoinTimeout;
    case KLSDKMeetingErrorNetworkUnavailable:
        return KLUISDKMeetingErrorNetworkUnavailable;
    case KLSDKMeetingErrorMediaFatal:
        return KLUISDKMeetingErrorMediaFatal;
    default:
        return std::nullopt;
    }
}

std::optional<int> KLHostFinishReasonForInternal(int internalReason)
{
    switch (internalReason) {
    case KLSDKMeetingFinishUserLeft:
        return KLUISDKMeetingFinishUserLeft;
    case KLSDKMeetingFinishRemoved:
        return KLUISDKMeetingFinishRemoved;
    case KLSDKMeetingFinishEndedForAll:
        return KLUISDKMeetingFinishEndedForAll;
    case KLSDKMeetingFinishJoinedElsewhere:
        return KLUISDKMeetingFinishJoinedElsewhere;
    case KLSDKMeetingFinishRatingComplete:
        return KLUISDKMeetingFinishRatingComplete;
    case KLSDKMeetingFinishSystemSleep:
        return KLUISDKMeetingFinishSystemSleep;
    default:
        return std::nullopt;
    }
}

bool KLIsHostUserEvent(int event)
{
    return event >= KLUISDKMeetingUserOnline && event <= KLUISDKMeetingUserFloorChanged;
}

std::optional<KLHostError> KLValidateMeetingCredentials(const KLSDKMeetingConfigInternal &config)
{
    // The texts are part of the host contract, byte for byte: the first has an ASCII colon,
    // the other two a full-width one.
    if (config.meetingUUID().isEmpty())
        return KLHostError{KLUISDKMeetingErrorInvalidParameter,
                           QStringLiteral("非法参数: 会议ID为空")};
    if (config.userId().isEmpty() && config.memberUUID().isEmpty())
        return KLHostError{KLUISDKMeetingErrorInvalidParameter,
                           QStringLiteral("非法参数：用户ID为空")};
    if (config.meetingToken().isEmpty())
        return KLHostError{KLUISDKMeetingErrorInvalidParameter,
                           QStringLiteral("非法参数：会议Token为空")};
    return std::nullopt;
}
