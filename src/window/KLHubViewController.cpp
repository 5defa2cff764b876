#include "window/KLHubViewController.h"

#include "cloudlog/KLQLSLogger.h"
#include "conference/service/KLConferenceService.h"
#include "host/StringUtils.h"
#include "conference/registry/KLFeedClient.h"
#include "host/KLMessageMode.h"
#include "media/capture/KLScreenCapture.h"
#include "model/KLCallState.h"
#include "model/KLParticipant.h"
#include "model/KLUISDKGuiConfigInternal.h"
#include "platform/KLPlatform.h"
#include "presentation/KLDialogQueue.h"
#include "presentation/KLToastManager.h"
#include "runtime/KLLocalization.h"
#include "runtime/KLNotificationCenter.h"
#include "runtime/KLNotificationNames.h"
#include "runtime/KLSDKLog.h"
#include "runtime/KLTimer.h"
#include "window/KLMeetingLayoutViewController.h"

#include <KelvoUISDK/KLSDKDispatch.h>

namespace {
const char *const kTag = "KLHubViewController";


// The microphone, camera and speaker share one pair of looks, told apart by their icons.
KLHubButtonState mediaLook(const char *normalIcon, const char *mutedIcon, bool muted)
{
    KLHubButtonState state;
    state.icon = QLatin1String(muted ? mutedIcon : normalIcon);
    state.backgroundColor = QLatin1String(muted ? "#FF6910" : "#EDF0F5");
    state.hoverColor = QLatin1String(muted ? "#FF6910" : "#E7F2FC");
    state.pressedColor = QLatin1String(muted ? "#F26900" : "#D1E5FA");
    state.cornerRadius = 90;
    return state;
}

bool isSameFeed(const KLHubFeedPtr &a, const KLHubFeedPtr &b)
{
    return a && b && a->uuid() == b->uuid();
}
} // namespace

// --- Looks -------------------------------------------------------------------------------------

KLHubButtonState KLHubViewController::microphoneLook(bool muted)
{
    return mediaLook("conf_tool_audio_normal", "conf_tool_audio_mute", muted);
}

KLHubButtonState KLHubViewController::cameraLook(bool muted, bool videoMeeting)
{
    if (videoMeeting)
        return mediaLook("conf_tool_camera_normal", "conf_tool_camera_mute", muted);
    KLHubButtonState state;
    state.icon = QStringLiteral("conf_video_disabled");
    state.label = KLLocalizedString(QStringLiteral("Camera_Tips"));
    state.labelColor = QStringLiteral("#C9CFD7");
    state.labelAlpha = 0.6;
    state.backgroundColor = QStringLiteral("#F8F9FB");
    state.enabled = false;
    return state;
}

KLHubButtonState KLHubViewController::speakerLook(bool muted)
{
    return mediaLook("conf_tool_speaker_normal", "conf_tool_speaker_mute", muted);
}

KLHubButtonState KLHubViewController::shareLook(bool sharing)
{
    KLHubButtonState state;
    state.label = KLLocalizedString(QLatin1String(sharing ? "STOP_SHARE_HUB" : "Share_Tips"));
    return state;
}

KLHubButtonState KLHubViewController::meetingNoteLook(bool available, bool running)
{
    KLHubButtonState state;
    state.visible = available;
    state.busy = running;
    state.tooltip = KLLocalizedString(QLatin1String(running ? "NOTE_OPEN_TOOLTIPS" : "NOTE_CLOSE_TOOLTIPS"));
    if (!running)
        state.icon = QStringLiteral("conf_caption_not_open");
    return state;
}

// --- Creation ----------------------------------------------------------------------------------

std::shared_ptr<KLHubViewController>
KLHubViewController::create(std::shared_ptr<KLConferenceService> service,
                            std::shared_ptr<KLMeetingLayoutViewController> layout,
                            std::shared_ptr<KLUISDKGuiConfigInternal> guiConfig,
                            std::weak_ptr<KLSDKMeetingEventDelegate> meetingWindow)
{
    Setup setup;
    std::weak_ptr<KLMeetingLayoutViewController> weakLayout = layout;
    setup.leaveRoom = [weakLayout](bool userInitiated) {
        if (auto layout = weakLayout.lock())
            layout->toolbarLeaveRoom(userInitiated);
    };
    setup.exitFullScreen = [weakLayout] {
        auto layout = weakLayout.lock();
        return layout && layout->exitFullScreenForShare();
    };
    setup.meetingWindow = std::move(meetingWindow);
    setup.meetingRateUrl = guiConfig ? guiConfig->meetingRateUrl() : QString();
    return create(std::make_shared<KLHubMeetingAdapter>(service), std::move(setup));
}

std::shared_ptr<KLHubViewController> KLHubViewController::create(std::shared_ptr<KLHubMeeting> meeting, Setup setup)
{
    std::shared_ptr<KLHubViewController> hub(new KLHubViewController(std::move(meeting), std::move(setup)));
    hub->observeNotifications();
    hub->refreshButtons();
    return hub;
}

KLHubViewController::KLHubViewController(std::shared_ptr<KLHubMeeting> meeting, Setup setup)
    : m_meeting(std::move(meeting)),
      m_setup(std::move(setup)),
      m_showRate(!m_meeting->isInternal() && StringUtils::isWebAddress(m_setup.meetingRateUrl))
{
    if (!m_setup.actionLog)
        m_setup.actionLog = [](const QString &control) { KLMessageMode::sharedInstance().actionLog(control); };
    if (!m_setup.now)
        m_setup.now = [] { return QDateTime::currentDateTimeUtc(); };
    if (!m_setup.leaveRoom)
        m_setup.leaveRoom = [](bool) { KL_LOG_WARN(kTag, QStringLiteral("no leave-room step")); };
}

KLHubViewController::~KLHubViewController()
{
    KLNotificationCenter::defaultCenter().removeObserver(this);
    if (m_minimiseTimer)
        m_minimiseTimer->stopTimer();
}

void KLHubViewController::observeNotifications()
{
    auto &center = KLNotificationCenter::defaultCenter();
    auto on = [this, &center](QLatin1String name, std::function<void(KLHubViewController &, const QVariantMap &)> work) {
        std::weak_ptr<KLHubViewController> weak = weak_from_this();
        center.addObserver(this, name, [weak, work](const KLNotification &note) {
            const QVariantMap userInfo = note.userInfo;
            KLPerformBlockOnMainThread([weak, work, userInfo] {
                if (auto self = weak.lock())
                    work(*self, userInfo);
            });
        });
    };
    on(KLNotificationNames::STOP_SHARE_INTERNAL, [](KLHubViewController &hub, const QVariantMap &) { hub.stopShareAction(); });
    on(KLNotificationNames::STOP_SHARE_ALREADY, [](KLHubViewController &hub, const QVariantMap &) {
        hub.withView([](KLHubView &view) { view.closeShareNotice(); });
    });
    on(KLNotificationNames::WhistlingNoise, [](KLHubViewController &hub, const QVariantMap &) {
        hub.noiseDetected(QStringLiteral("HOWLING_DETECTED_TIPS"));
    });
    on(KLNotificationNames::RingToneDetected, [](KLHubViewController &hub, const QVariantMap &) {
        hub.noiseDetected(QStringLiteral("RINGTONE_DETECTED_TIPS"));
    });
    on(KLNotificationNames::SELF_WEAK_CLOSE_VIDEO, [](KLHubViewController &hub, const QVariantMap &) { hub.weakNetworkCloseVideo(); });
    auto refreshForOwnFeed = [](KLHubViewController &hub, const QVariantMap &userInfo) {
        const auto feed = userInfo.value(KLNotificationKeys::client).value<KLHubFeedPtr>();
        if (hub.isOwnFeed(feed))
            hub.refreshButtons();
    };
    on(KLNotificationNames::AudioVideoChangeNotification, refreshForOwnFeed);
    on(KLNotificationNames::OnlineOfflineChangeNotification, refreshForOwnFeed);
    auto noteSwitched = [](KLHubViewController &hub, const QVariantMap &userInfo) {
        const QVariant start = userInfo.value(KLNotificationKeys::start);
        if (start.isValid())
            hub.meetingNoteSwitched(start.toBool());
    };
    on(KLNotificationNames::MeetingNoteSummaryStart, noteSwitched);
    on(KLNotificationNames::MeetingNoteSummaryStop, noteSwitched);
    // The meeting's own state changes without a notification of its own when the user's feed
    // is registered (the looks would stay those of a meeting without one) and when the notes
    // start or stop: the looks are read again then.
    auto refresh = [](KLHubViewController &hub, const QVariantMap &) { hub.refreshButtons(); };
    on(KLNotificationNames::MeetingMemberUpdate, refresh);
    on(KLNotificationNames::MeetingNoteSummaryStart, refresh);
    on(KLNotificationNames::MeetingNoteSummaryStop, refresh);
    on(KLNotificationNames::StartMeetingNoteBySelf, refresh);
    on(KLNotificationNames::StopMeetingNote, refresh);
}

void KLHubViewController::setView(std::shared_ptr<KLHubView> view)
{
    m_view = std::move(view);
    if (!m_view)
        return;
    for (auto it = m_buttons.cbegin(); it != m_buttons.cend(); ++it)
        m_view->setButtonState(static_cast<KLHubButton>(it.key()), it.value());
}

void KLHubViewController::withView(const std::function<void(KLHubView &)> &work)
{
    if (m_view)
        work(*m_view);
}

void KLHubViewController::setButton(KLHubButton which, const KLHubButtonState &state)
{
    const bool changed = m_buttons.value(static_cast<int>(which)) != state || !m_buttons.contains(static_cast<int>(which));
    m_buttons.insert(static_cast<int>(which), state);
    withView([which, &state](KLHubView &view) { view.setButtonState(which, state); });
    if (changed && m_observer)
        m_observer();
}

KLHubButtonState KLHubViewController::buttonState(KLHubButton which) const
{
    return m_buttons.value(static_cast<int>(which));
}

void KLHubViewController::log(const QString &control)
{
    m_setup.actionLog(control);
}

bool KLHubViewController::isOwnFeed(const KLHubFeedPtr &feed) const
{
    return isSameFeed(feed, m_meeting->publisher());
}

// The own screen share is a feed of its own whose uuid is the own uuid with "screen-" added.
bool KLHubViewController::isOwnShare(const KLHubFeedPtr &shared) const
{
    const auto own = m_meeting->publisher();
    return shared && (shared->isPublisher() || (own && shared->participantUUID() == own->uuid()));
}

void KLHubViewController::refreshButtons()
{
    const auto own = m_meeting->publisher();
    const bool audioOn = own && own->audioEnabled() && m_meeting->isMicrophoneAvailable();
    setButton(KLHubButton::Microphone, microphoneLook(!audioOn));
    const bool videoMeeting = m_meeting->isVideoMeeting();
    setButton(KLHubButton::Camera, cameraLook(!(own && own->videoEnabled()), videoMeeting));
    setButton(KLHubButton::Speaker, speakerLook(!m_meeting->isSpeakerOpen()));
    if (!m_buttons.contains(static_cast<int>(KLHubButton::Share)))
        setButton(KLHubButton::Share, shareLook(false));
    KLHubButtonState leave;
    leave.backgroundColor = QStringLiteral("#F03118");
    setButton(KLHubButton::Leave, leave);
    setButton(KLHubButton::MeetingNote,
              meetingNoteLook(m_meeting->isShowMeetingSummaryModule(), m_meeting->isOpenSummary()));
}

// --- Microphone, camera, speaker ----------------------------------------------------------------

void KLHubViewController::muteClicked()
{
    log(QStringLiteral("hub-mute-button"));
    toggleMicrophone();
}

// A participant who is in the call by extension and cell phone at once is muted on the server
// only while both its local audio and its call state already say muted; otherwise the
// server's state would fight the phones'.
void KLHubViewController::toggleMicrophone()
{
    const auto feed = m_meeting->publisher();
    if (!feed) {
        KL_LOG_WARN(kTag, QStringLiteral("no own feed to mute"));
        return;
    }
    bool toServer = true;
    if (feed->isExtensionAndCellPhoneOnline()) {
        const auto participant = feed->participant();
        const auto state = participant ? participant->callState() : nullptr;
        toServer = !feed->audioEnabled() && state && state->mute == 1;
    }
    m_meeting->muteAudio(feed, feed->audioEnabled(), toServer);
    KLNotificationCenter::defaultCenter().postNotification(
        KLNotificationNames::AudioVideoChangeNotification, nullptr,
        {{KLNotificationKeys::client, QVariant::fromValue(feed)}});
    if (m_meeting->isMuteInitStage())
        m_meeting->setIsMuteInitStage(false);
}

void KLHubViewController::cameraClicked()
{
    log(QStringLiteral("hub-video-mute-button"));
    if (!m_meeting->isVideoMeeting())
        return;
    const auto feed = m_meeting->publisher();
    if (!feed)
        return;
    const bool mute = feed->videoEnabled();
    m_meeting->muteVideo(feed, mute, true);
    setButton(KLHubButton::Camera, cameraLook(mute, true));
    KLNotificationCenter::defaultCenter().postNotification(
        KLNotificationNames::AudioVideoChangeNotification, nullptr,
        {{KLNotificationKeys::client, QVariant::fromValue(feed)}});
}

void KLHubViewController::speakerClicked()
{
    log(QStringLiteral("hub-speaker-button"));
    if (m_meeting->isMuteInitStage())
        m_meeting->setIsMuteInitStage(false);
    const bool open = !m_meeting->isSpeakerOpen();
    m_meeting->setIsSpeakerOpen(open);
    m_meeting->muteSpeaker(!open);
    setButton(KLHubButton::Speaker, speakerLook(!open));
    KLQLSLogger::sharedInstance().commitMonitorLevel(
        3, 1, {{"value", open ? QStringLiteral("speakerUnmute") : QStringLiteral("speakerMute")}});
}

// --- Share -------------------------------------------------------------------------------------

void KLHubViewController::shareClicked()
{
    log(QStringLiteral("hub-share-button"));
    const auto shared = m_meeting->sharedFeed();
    if (isOwnShare(shared)) {
        stopShareAction();
        return;
    }
    if (shared && !m_meeting->isPallasMeeting())
        m_meeting->closeClient(shared);
    shareAction();
}

void KLHubViewController::shareAction()
{
    if (!m_meeting->isValidToVisitScreenRecording()) {
        showScreenRecordingDialog(KLAuthorizationStatusRestricted);
        return;
    }
    if (m_askingScreenCapture) {
        KL_LOG_INFO(kTag, QStringLiteral("share pressed again while the desktop is still asking; ignored"));
        return;
    }
    // The desktop may ask the user first (the portal's dialog): the share starts on its answer.
    m_askingScreenCapture = true;
    std::weak_ptr<KLHubViewController> weak = weak_from_this();
    const auto ask = m_setup.askScreenCapture ? m_setup.askScreenCapture : &KLScreenCapture::requestAccess;
    ask([weak](int status) {
        if (auto self = weak.lock()) {
            self->m_askingScreenCapture = false;
            self->screenCaptureAnswered(status);
        }
    });
}

void KLHubViewController::screenCaptureAnswered(int status)
{
    if (status != KLAuthorizationStatusAuthorized) {
        KL_LOG_WARN(kTag, QStringLiteral("the share does not start: screen capture status %1").arg(status));
        showScreenRecordingDialog(status);
        return;
    }
    const auto own = m_meeting->publisher();
    const QString name = own ? own->display() : QString();
    withView([&name](KLHubView &view) { view.showShareNotice(name); });
    m_meeting->desktopShare();
    setButton(KLHubButton::Share, shareLook(true));
    minimiseForShare();
}

KLDialogRequest KLHubViewController::screenRecordingDialog(int status, KLBlock retry)
{
    KLDialogRequest request;
    request.title = KLLocalizedString(QStringLiteral("SCREEN_RECORD_PERMISSION_TITLE"));
    request.desc = KLLocalizedString(status == KLAuthorizationStatusDenied ? QStringLiteral("SCREEN_RECORD_PERMISSION_CANCELLED_DESC")
                                                                          : QStringLiteral("SCREEN_RECORD_PERMISSION_DESC"));
    request.firstButtonText = KLLocalizedString(QStringLiteral("SCREEN_RECORD_PERMISSION_RETRY"));
    request.firstBlock = std::move(retry);
    request.secondButtonText = KLLocalizedString(QStringLiteral("CANCEL"));
    request.secondBorderColor = QStringLiteral("#1F3858");
    request.secondButtonBgColor = QStringLiteral("#FFFFFF");
    request.secondButtonTextColor = QStringLiteral("#1F3858");
    return request;
}

// One copy at a time: pressing share again under it does not stack a second one.
void KLHubViewController::showScreenRecordingDialog(int status)
{
    withView([](KLHubView &view) { view.showScreenRecordingPermissionDialog(); });
    if (m_permissionDialogShown)
        return;
    m_permissionDialogShown = true;
    std::weak_ptr<KLHubViewController> weak = weak_from_this();
    auto done = [weak](bool retry) {
        return [weak, retry] {
            auto self = weak.lock();
            if (!self)
                return;
            self->m_permissionDialogShown = false;
            if (retry)
                self->shareAction();
        };
    };
    KLDialogRequest request = screenRecordingDialog(status, done(true));
    request.secondBlock = done(false);
    KLDialogQueue::shared().showToastDialog(std::move(request));
}

// A window in full screen cannot be minimised at once: it leaves full screen first.
void KLHubViewController::minimiseForShare()
{
    if (!m_setup.exitFullScreen || !m_setup.exitFullScreen()) {
        withView([](KLHubView &view) { view.minimiseWindow(); });
        return;
    }
    std::weak_ptr<KLHubViewController> weak = weak_from_this();
    m_minimiseTimer = std::make_unique<KLTimer>(kMinimiseAfterFullScreenSeconds, false, [weak] {
        if (auto self = weak.lock())
            self->withView([](KLHubView &view) { view.minimiseWindow(); });
    });
    m_minimiseTimer->startTimer();
}

void KLHubViewController::stopShareAction()
{
    if (isOwnShare(m_meeting->sharedFeed()))
        m_meeting->stopShare();
    withView([](KLHubView &view) { view.closeShareNotice(); });
    setButton(KLHubButton::Share, shareLook(false));
}

void KLHubViewController::shareEscPressed()
{
    log(QStringLiteral("share-notice-esc"));
    if (m_setup.exitFullScreen)
        m_setup.exitFullScreen();
    KLToastManager::shared().pushToastMessage(KLToastMessage::shareScreenEsc());
}

bool KLHubViewController::isSharingOwnScreen() const
{
    return isOwnShare(m_meeting->sharedFeed());
}

// --- Meeting note, popovers -----------------------------------------------------------------------

void KLHubViewController::meetingNoteClicked()
{
    log(QStringLiteral("hub-meetingNote-button"));
    KLNotificationCenter::defaultCenter().postNotification(KLNotificationNames::ShowCaptionView);
}

void KLHubViewController::popoverClicked(const QString &control)
{
    log(control);
}

void KLHubViewController::meetingNoteSwitched(bool started)
{
    const QString key = started ? QStringLiteral("NOTE_OPEN_BY_MASTER") : QStringLiteral("NOTE_CLOSE_BY_MASTER");
    KLToastManager::shared().pushToastMessage(KLToastMessage::custom(KLLocalizedString(key)));
}
