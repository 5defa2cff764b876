#include "window/KLHubMeeting.h"

#include "clientconfig/KLClientConfigManager.h"
#include "conference/service/KLConferenceService.h"
#include "conference/registry/KLFeedClient.h"
#include "conference/registry/KLParticipantRegistry.h"
#include "model/KLSDKMeetingConfigInternal.h"
#include "runtime/KLSDKLog.h"

namespace {
const char *const kTag = "KLHubMeetingAdapter";
}

KLHubMeetingAdapter::KLHubMeetingAdapter(std::weak_ptr<KLConferenceService> service)
    : m_service(std::move(service))
{
}

// Every read falls back to a harmless answer once the meeting is gone.
#define KL_HUB_READ(type, name, fallback, expression)                                           \
    type KLHubMeetingAdapter::name const                                                        \
    {                                                                                           \
        auto service = m_service.lock();                                                        \
        return service ? (expression) : (fallback);                                             \
    }
KL_HUB_READ(KLHubFeedPtr, publisher(), nullptr, service->publisher())
KL_HUB_READ(KLHubFeedPtr, sharedFeed(), nullptr, service->registry().sharedFeed())
KL_HUB_READ(KLHubFeedPtr, displayingClient(), nullptr, service->registry().displayingClient())
KL_HUB_READ(QList<KLHubFeedPtr>, participantsWithOnline(bool online), QList<KLHubFeedPtr>(),
            service->registry().participantsWithOnline(online))
KL_HUB_READ(bool, isMaster(), false, service->isMaster())
KL_HUB_READ(bool, isInternal(), false, service->meetingConfig() && service->meetingConfig()->isVanInternal())
KL_HUB_READ(bool, isVideoMeeting(), true, service->isVideoMeeting())
KL_HUB_READ(bool, isPallasMeeting(), true, service->isPallasMeeting())
KL_HUB_READ(bool, isMicrophoneAvailable(), false, service->checkMicphoneAvailable())
KL_HUB_READ(bool, isValidToVisitScreenRecording(), false, service->isValidToVisitScreenRecording())
KL_HUB_READ(bool, isShowMeetingSummaryModule(), false, service->isShowMeetingSummaryModule())
KL_HUB_READ(bool, isOpenSummary(), false, service->isOpenSummary())
KL_HUB_READ(bool, isMuteInitStage(), false, service->isMuteInitStage())
#undef KL_HUB_READ

bool KLHubMeetingAdapter::isStaff() const
{
    return KLClientConfigManager::sharedInstance().isStaff();
}

bool KLHubMeetingAdapter::isSpeakerOpen() const
{
    auto service = m_service.lock();
    return service && service->isSpeakerOpen();
}

void KLHubMeetingAdapter::setIsSpeakerOpen(bool open)
{
    if (auto service = m_service.lock())
        service->setIsSpeakerOpen(open);
}

void KLHubMeetingAdapter::setIsMuteInitStage(bool value)
{
    if (auto service = m_service.lock())
        service->setIsMuteInitStage(value);
}

void KLHubMeetingAdapter::setIsLeavingRoomBySelf()
{
    KL_LOG_INFO(kTag, QStringLiteral("ending the meeting for everyone"));
    if (auto service = m_service.lock())
        service->markLeavingBySelf();
}

void KLHubMeetingAdapter::muteSpeaker(bool muted)
{
    if (auto service = m_service.lock())
        service->muteSpeaker(muted);
}

void KLHubMeetingAdapter::desktopShare()
{
    if (auto service = m_service.lock())
        service->desktopShare();
}

void KLHubMeetingAdapter::stopShare()
{
    if (auto service = m_service.lock())
        service->stopShare();
}

void KLHubMeetingAdapter::closeClient(const KLHubFeedPtr &feed)
{
    if (auto service = m_service.lock())
        service->registry().closeClient(feed);
}

void KLHubMeetingAdapter::clickedClientFeed(const KLHubFeedPtr &feed)
{
    if (auto service = m_service.lock())
        service->clickedClientFeed(feed);
}

void KLHubMeetingAdapter::setMemberCallStatus(int status)
{
    if (auto service = m_service.lock())
        service->registry().setMemberCallStatus(status);
}

void KLHubMeetingAdapter::finishMeetingForAll(KLApiSuccessBlock success, KLApiFailureBlock failure)
{
    auto service = m_service.lock();
    auto api = service ? service->meetingApi() : nullptr;
    if (!api) {
        KL_LOG_WARN(kTag, QStringLiteral("no meeting API to end the meeting"));
        failure(QString(), QString());
        return;
    }
    api->finishAppointmentWithConfig(service->meetingConfig(), std::move(success), std::move(failure));
}

void KLHubMeetingAdapter::muteAudio(const KLHubFeedPtr &feed, bool muted, bool toServer)
{
    if (feed)
        feed->muteAudio(muted, toServer);
}

void KLHubMeetingAdapter::muteVideo(const KLHubFeedPtr &feed, bool muted, bool toServer)
{
    if (feed)
        feed->muteVideo(muted, toServer);
}

void KLHubMeetingAdapter::perform(const KLHubFeedPtr &feed, KLHubFeedAction action)
{
    if (!feed)
        return;
    switch (action) {
    case KLHubFeedAction::MakeCall:
        feed->makeConferenceCall();
        break;
    case KLHubFeedAction::MakeCellCall:
        feed->makeConferenceCellCall();
        break;
    case KLHubFeedAction::HangupCall:
        feed->hangupConferenceCall();
        break;
    case KLHubFeedAction::HangupMcuCall:
        feed->hangupMcuConferenceCall();
        break;
    case KLHubFeedAction::UnmuteCellPhone:
        feed->unmuteCellPhoneWhenExtensionCellphoneBothOnline();
        break;
    }
}
