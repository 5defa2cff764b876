// The service's side of the signalling pushes: every push goes to the signalling event
// handler, and the notes interface's "I switched the summary" notifications are remembered so
// that the echo of the local user's own switch is not announced again.

#include "conference/service/KLConferenceService.h"

#include "conference/service/KLConferenceServiceSignallingContext.h"
#include "conference/events/KLSignalingEventHandler.h"
#include "model/KLSDKMeetingConfigInternal.h"
#include "runtime/KLNotificationCenter.h"
#include "runtime/KLNotificationNames.h"
#include "runtime/KLSDKLog.h"
#include "signalling/KLSignalingMessage.h"

namespace {
const char *const kTag = "KLConferenceService";
} // namespace

void KLConferenceService::setUpSignalingEvents()
{
    m_signalingContext = std::make_shared<SignalingEventContext>(weakSelf());
    m_signalingEvents = KLSignalingEventHandler::create(m_signalingContext);
    observeMeetingNoteSwitches();
}

// Only internal meetings have the notes interface that switches the summary.
void KLConferenceService::observeMeetingNoteSwitches()
{
    if (!m_meetingConfig->isVanInternal())
        return;
    auto weak = weakSelf();
    KLNotificationCenter &center = KLNotificationCenter::defaultCenter();
    center.addObserver(this, KLNotificationNames::StartMeetingNoteBySelf,
                       [weak](const KLNotification &) {
                           if (auto self = weak.lock())
                               self->m_startMeetingNoteBySelf = true;
                       });
    center.addObserver(this, KLNotificationNames::StopMeetingNoteAtion,
                       [weak](const KLNotification &) {
                           if (auto self = weak.lock())
                               self->m_stopMeetingNoteBySelf = true;
                       });
}

KLSignalingEventHandler &KLConferenceService::signalingEvents() const
{
    return *m_signalingEvents;
}

QString KLConferenceService::summaryLanguage() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_summaryLanguage;
}

void KLConferenceService::handleKelvoSignalingMessage(const KLSignalingMessage &message)
{
    KL_LOG_DEBUG(kTag, QStringLiteral("signalling event %1 about '%2'")
                           .arg(message.messageType)
                           .arg(message.memberUUID));
    m_signalingEvents->handleKelvoSignalingMessage(message);
}
