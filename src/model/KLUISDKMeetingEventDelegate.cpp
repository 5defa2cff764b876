#include <KelvoUISDK/KLUISDKMeetingEventDelegate.h>

KLUISDKMeetingEventDelegate::~KLUISDKMeetingEventDelegate() = default;

void KLUISDKMeetingEventDelegate::onMeetingUserStatusChange(
    const std::shared_ptr<KLSDKMeetingUser> &, int)
{
}
