#include "model/KLUISDKGuiConfigInternal.h"

#include "runtime/KLDictionary.h"

#include <KelvoUISDK/KLUISDKMeetingConfigKeys.h>

namespace {
QString key(const char *name)
{
    return QString::fromLatin1(name);
}
} // namespace

KLUISDKGuiConfigInternal::KLUISDKGuiConfigInternal(const QVariantMap &dic)
{
    m_appLogo = KL_stringForKey(dic, key(KLUISDKGuiConfigAppLogo));
    m_logoBanner = KL_stringForKey(dic, key(KLUISDKGuiConfigLogoBanner));
    m_meetingTopic = KL_stringForKey(dic, key(KLUISDKGuiConfigMeetingTopic));
    m_meetingTime = KL_stringForKey(dic, key(KLUISDKGuiConfigMeetingTime));
    m_meetingCode = KL_stringForKey(dic, key(KLUISDKGuiConfigMeetingCode));
    m_meetingUrl = KL_stringForKey(dic, key(KLUISDKGuiConfigMeetingUrl));
    m_meetingRateUrl = KL_stringForKey(dic, key(KLUISDKGuiConfigMeetingRateUrl));
    m_meetingInviteMember = KL_boolForKey(dic, key(KLUISDKGuiConfigInviteMember), false);
}
