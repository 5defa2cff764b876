// Ending the meeting (leave), forced leaves (hangupWithReason), re-entering without leaving
// (refresh) and the ICE restart.

#include "conference/service/KLConferenceService.h"

#include "cloudlog/KLQLSLogger.h"
#include "conference/registry/KLConferenceManagerDataSource.h"
#include "conference/registry/KLFeedClient.h"
#include "conference/status/KLHardwareStatusService.h"
#include "conference/status/KLMediaStatusService.h"
#include "conference/registry/KLParticipantRegistry.h"
#include "media/KLRTCMediaLocalTurnDetect.h"
#include "media/KLRTCMediaSDK.h"
#include "media/KLRTCMediaSettingStore.h"
#include "runtime/KLNotificationCenter.h"
#include "runtime/KLSDKLog.h"
#include "runtime/KLTimer.h"

namespace {
const char *const kTag = "KLConferenceService";
}

void KLConferenceService::leave()
{
    // From now on every forced leave only writes its console line (ending the meeting for
    // everyone raises the flag earlier, and the leave that follows still tears down). The flag
    // is raised under the lock that guards the media connection, so a connection being made
    // right now either is torn down below or sees the flag and releases itself.
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_isLeavingRoomBySelf = true;
        if (m_hasLeft)
            return;
        m_hasLeft = true;
    }
    KL_LOG_INFO(kTag, QStringLiteral("leave conference %1").arg(m_conferenceId));
    stopEnterTimeoutCheck();
    stopReporters();
    stopShare();
    tearDownMedia();
    tearDownSignalling();
    KLNotificationCenter::defaultCenter().removeObserver(this);
    m_registry->clearAll();
    if (auto engine = KLRTCMediaSDK::shared()) {
        engine->settingStore()->webrtcFileStop();
        engine->messageManager()->stopRTCLog();
    }
}

void KLConferenceService::hangupWithReason(int reason)
{
    if (m_isLeavingRoomBySelf) {
        KL_LOG_INFO(kTag, QStringLiteral("自己挂断的行为"));
        return;
    }
    KL_LOG_INFO(kTag, QStringLiteral("hangup with reason %1").arg(reason));
    if (auto source = dataSource())
        source->leaveRoomWithReason(reason);
}

void KLConferenceService::systemWillSleep()
{
    hangupWithReason(KLLeaveReasonSystemSleep);
}

void KLConferenceService::stopReporters()
{
    m_mediaStatus->stopTimer();
    m_hardWareStatus->stopTimer();
}

void KLConferenceService::tearDownMedia()
{
    std::shared_ptr<KLRTCMediaConnection> connection;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        connection = std::move(m_mediaConnectionObject);
        m_mediaConnectionObject.reset();
        m_mediaServerLocalDetect.reset();
        m_localStreams.clear();
    }
    if (connection)
        connection->disconnect();
}

// The engine released the connection: forget it without calling it again.
void KLConferenceService::dropMediaConnection()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_mediaConnectionObject.reset();
}

void KLConferenceService::tearDownSignalling()
{
    std::shared_ptr<KLConferenceSignalChannel> channel;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        channel = std::move(m_signalingChannel);
        m_signalingChannel.reset();
    }
    if (channel)
        channel->stopSignaling();
    m_meetingChannelConnected = false;
}

void KLConferenceService::refresh()
{
    if (m_isLeavingRoomBySelf)
        return;
    if (const KLFeedPtr own = publisher()) {
        m_isEnterRoomAudioShouldMute = !own->audioEnabled();
        m_isEnterRoomVideoShouldMute = !own->videoEnabled();
    }
    KL_LOG_INFO(kTag, QStringLiteral("refresh meeting"));
    m_enterRoomSuccess = false;
    m_isRefreshStage = true;
    m_registry->resetFeedSelections();
    if (m_conferenceMode == 1)
        m_isSelfShareForMultiProjector = m_registry->shareScreenLocalClient() != nullptr;
    if (auto source = dataSource())
        source->refreshRoom();
    stopReporters();
    tearDownMedia();
    m_mediaChannelConnected = false;
    m_registry->removeAllClient();
    KL_LOG_INFO(kTag, QStringLiteral("close conference ws"));
    tearDownSignalling();
    handleEnterMeeting(meetingInfo());
}

void KLConferenceService::iceConnectionRestart()
{
    if (m_meetingChannelConnected && m_mediaChannelConnected) {
        m_shouldIceRestart = false;
        KLQLSLogger::sharedInstance().commitMonitorLevel(3, 1, {{"value", "iceRestart"}});
        if (auto connection = mediaConnection())
            connection->connectIceRestart();
        return;
    }
    m_shouldIceRestart = true;
}

void KLConferenceService::checkForMeetingStatus()
{
    if (m_shouldIceRestart)
        iceConnectionRestart();
}
