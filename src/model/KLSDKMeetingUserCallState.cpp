// KLSDKMeetingUserCallState is declared in the public header beside the user it belongs to.
#include <KelvoUISDK/KLSDKMeetingUser.h>
#include "model/KLCallStateReset.h"

#include "runtime/KLDictionary.h"

KLSDKMeetingUserCallState KLSDKMeetingUserCallState::callStateWithDictionary(
    const QVariantMap &dictionary)
{
    KLSDKMeetingUserCallState state;
    state.callType = KL_longLongForKey(dictionary, QStringLiteral("callType"));
    state.cellphone = KL_longLongForKey(dictionary, QStringLiteral("cellphone"));
    state.extension = KL_longLongForKey(dictionary, QStringLiteral("extension"));
    state.hasVideo = KL_longLongForKey(dictionary, QStringLiteral("hasVideo"));
    state.mute = KL_longLongForKey(dictionary, QStringLiteral("mute"));
    state.online = KL_longLongForKey(dictionary, QStringLiteral("online"));
    state.ringing = KL_longLongForKey(dictionary, QStringLiteral("ringing"));
    state.vmute = KL_longLongForKey(dictionary, QStringLiteral("vmute"));
    state.multiScreen = KL_longLongForKey(dictionary, QStringLiteral("multiScreen"));
    return state;
}

void KLSDKMeetingUserCallState::reset()
{
    KLResetCallStateFields(*this);
}
