// Screen sharing, the placeholder stream, device switching and the media pass-throughs the
// views use.

#include "conference/service/KLConferenceService.h"

#include "cloudlog/KLQLSLogger.h"
#include "conference/registry/KLConferenceManagerDataSource.h"
#include "conference/devices/KLDevicePermissionCheck.h"
#include "conference/registry/KLFeedClient.h"
#include "conference/registry/KLParticipantRegistry.h"
#include "gateway/KLSDKMeetingApiProtocol.h"
#include "media/KLRTCMediaSDK.h"
#include "media/KLRTCMediaTypes.h"
#include "platform/KLPlatform.h"
#include "runtime/KLNotificationCenter.h"
#include "runtime/KLNotificationNames.h"
#include "runtime/KLSDKLog.h"

#include <KelvoUISDK/KLSDKDispatch.h>

namespace {
const char *const kTag = "KLConferenceService";
constexpr int kShareStatusSharing = 5;
} // namespace

std::shared_ptr<KLRTCMediaStream>
KLConferenceService::createLocalStream(const QJsonObject &mediaDictionary)
{
    auto engine = KLRTCMediaSDK::shared();
    if (!engine)
        return nullptr;
    auto stream = engine->createStream(mediaDictionary, weakSelf());
    if (!stream)
        return nullptr;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_localStreams.append(stream);
    }
    stream->initStream();
    return stream;
}

bool KLConferenceService::isValidToVisitScreenRecording() const
{
    auto platform = KLPlatform::shared();
    return !platform || KLDevicePermissionCheck::isValidToVisitScreenRecording(*platform);
}

void KLConferenceService::desktopShare()
{
    if (m_conferenceMode == 0) {
        createLocalStream({{"screen", true}});
        KLQLSLogger::sharedInstance().commitMonitorLevel(3, 1, {{"value", "share"}});
        return;
    }
    createLocalStream({{"screen", true}, {"screenFps", clientConfiguration().multiScreenFps}});
    const KLFeedPtr own = publisher();
    m_meetingApi->notifyMultiScreenWithAppointmentId(
        appointmentId(), own ? own->uuid() : QString(), kShareStatusSharing,
        [](const QJsonValue &) { KL_LOG_INFO(kTag, QStringLiteral("notify multiscreen stop share success")); },
        [](const QString &, const QString &) {
            KL_LOG_INFO(kTag, QStringLiteral("notify multiscreen stop share failed"));
        });
}

void KLConferenceService::stopShare()
{
    const KLFeedPtr share = m_registry->shareScreenLocalClient();
    if (!share)
        return;
    if (auto connection = mediaConnection(); connection && share->mediaStream())
        connection->unPublishStream(share->mediaStream());
    m_registry->removeClient(share);
    if (const KLFeedPtr own = publisher())
        own->setAssocicateShareFeed(nullptr);
    if (m_conferenceMode == 0) {
        KLNotificationCenter::defaultCenter().postNotification(
            KLNotificationNames::STOP_SHARE_ALREADY, this);
        KLQLSLogger::sharedInstance().commitMonitorLevel(3, 1, {{"value", "endShare"}});
    } else if (m_conferenceMode == 1 && !m_isRefreshStage) {
        KLNotificationCenter::defaultCenter().postNotification(
            KLNotificationNames::STOP_SHARE_ALREADY, this);
    }
    displayClientAutomatically();
}

void KLConferenceService::noAudioVideoStream()
{
    createLocalStream({{"fakeStream", true}});
}

void KLConferenceService::changeAudioInputDevice(const KLRTCMediaDevice &device)
{
    if (auto connection = mediaConnection())
        connection->changeAudioInputDevice(device.deviceId);
}

void KLConferenceService::changeAudioOutputDevice(const KLRTCMediaDevice &device)
{
    if (auto connection = mediaConnection())
        connection->changeAudioOutputDevice(device.deviceId);
}

void KLConferenceService::changeVideoInputDevice(const KLRTCMediaDevice &device)
{
    auto connection = mediaConnection();
    if (!connection)
        return;
    connection->changeVideoInputDevice(device.deviceId, 1280, 720);
    KLNotificationCenter::defaultCenter().postNotification(KLNotificationNames::ChangeVideoDevice,
                                                           this);
}

void KLConferenceService::muteSpeaker(bool muted)
{
    if (auto connection = mediaConnection())
        connection->muteSpeaker(muted);
}

void KLConferenceService::enableHDVideo(const KLFeedPtr &feed)
{
    auto connection = mediaConnection();
    if (feed && connection)
        connection->enableHDVideo(feed->uuid());
}

void KLConferenceService::streamVideo(const KLFeedPtr &feed, bool enabled)
{
    auto connection = mediaConnection();
    if (feed && connection && feed->mediaStream())
        connection->streamVideo(feed->mediaStream(), enabled);
}

std::shared_ptr<KLRTCMediaVideoRenderView>
KLConferenceService::rendererViewForClient(const KLFeedPtr &feed)
{
    auto source = dataSource();
    return source ? source->rendererViewForClient(feed) : nullptr;
}

std::shared_ptr<KLRTCMediaVideoRenderView>
KLConferenceService::previewRendererViewForClient(const KLFeedPtr &feed)
{
    auto source = dataSource();
    return source ? source->previewRendererViewForClient(feed) : nullptr;
}

void KLConferenceService::updateRendererViewContent(const KLFeedPtr &feed)
{
    if (auto source = dataSource())
        source->updateRendererViewContent(feed);
}
