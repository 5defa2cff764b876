// The toolbar's dialogs: leaving or ending the meeting, closing video on a weak network and
// the howling warning. Each is guarded against a second copy while it is shown.

#include "window/KLHubViewController.h"

#include "conference/registry/KLFeedClient.h"
#include "model/KLSDKMeetingEventDelegate.h"
#include "presentation/KLDialogQueue.h"
#include "presentation/KLToastManager.h"
#include "runtime/KLLocalization.h"
#include "runtime/KLSDKLog.h"

#include <KelvoUISDK/KLSDKDispatch.h>

namespace {
const char *const kTag = "KLHubViewController";
// Internal finish reasons told to the meeting window.
constexpr int kFinishLeftByUser = 0;
constexpr int kFinishEndedForAll = 8;

QString text(const char *key)
{
    return KLLocalizedString(QLatin1String(key));
}
} // namespace

void KLHubViewController::leaveClicked()
{
    log(QStringLiteral("hub-leave-button"));
    if (m_leaveDialogShown)
        return;
    m_leaveDialogShown = true;
    showLeaveDialog();
}

// A master with others in the room may end the meeting for everyone; someone alone is asked
// whether to end it; anyone else only leaves.
void KLHubViewController::showLeaveDialog()
{
    const int online = static_cast<int>(m_meeting->participantsWithOnline(true).size());
    std::weak_ptr<KLHubViewController> weak = weak_from_this();
    auto run = [weak](std::function<void(KLHubViewController &)> work) {
        return [weak, work] {
            if (auto self = weak.lock()) {
                self->m_leaveDialogShown = false;
                if (work)
                    work(*self);
            }
        };
    };
    auto leave = run([](KLHubViewController &hub) { hub.leave(kFinishLeftByUser); });
    KLDialogRequest request;
    if (m_meeting->isMaster() && online >= 2) {
        request.title = text("LEAVE_ROOM_TOAST_DIALOG");
        request.desc = text("LEAVE_ROOM_TOAST_DIALOG_DESC");
        request.firstButtonText = text("LEAVE_ROOM_TOAST_EXIT_MEETING");
        request.firstBlock = leave;
        request.secondButtonText = text("LEAVE_ROOM_TOAST_FINISH_MEETING");
        request.secondBorderColor = QStringLiteral("#1F3858");
        request.secondButtonBgColor = QStringLiteral("#FFFFFF");
        request.secondButtonTextColor = QStringLiteral("#1F3858");
        request.secondBlock = run([](KLHubViewController &hub) { hub.finishForAll(); });
        request.showThirdButton = true;
        request.thirdBlock = run(nullptr);
    } else if (online == 1) {
        request.title = text("LEAVE_ROOM_SELF_TOAST_DIALOG");
        request.desc = text("LEAVE_ROOM_SELF_TOAST_DIALOG_DESC");
        request.firstButtonText = text("LEAVE_ROOM_TOAST_FINISH_MEETING_SELF");
        request.firstBlock = leave;
        request.secondButtonText = text("CANCEL");
        request.secondBlock = run(nullptr);
    } else {
        request.title = text("LEAVE_ROOM_OTHER_TOAST_DIALOG");
        request.desc = text("LEAVE_ROOM_OTHER_TOAST_DESC");
        request.firstButtonText = text("LEAVE_ROOM_TOAST_EXIT_MEETING");
        request.firstBlock = leave;
        request.secondButtonText = text("CANCEL");
        request.secondBlock = run(nullptr);
    }
    KLToastManager::shared().showToastDialog(std::move(request));
}

// Internal users' sessions end by closing the application, and a rating page reports the
// finish itself once it is rated; everyone else's host hears of the finish here.
void KLHubViewController::leave(std::optional<int> finishReason)
{
    // Decided before leaving: the leave may close the window and let the meeting go.
    const bool report = finishReason && !m_meeting->isInternal() && !m_showRate;
    m_setup.leaveRoom(true);
    if (!report)
        return;
    if (auto window = m_setup.meetingWindow.lock())
        window->onMeetingFinish(*finishReason, QString());
}

void KLHubViewController::finishForAll()
{
    m_meeting->setIsLeavingRoomBySelf();
    std::weak_ptr<KLHubViewController> weak = weak_from_this();
    auto leaveOnMain = [weak](std::optional<int> reason) {
        KLPerformBlockOnMainThread([weak, reason] {
            if (auto self = weak.lock())
                self->leave(reason);
        });
    };
    m_meeting->finishMeetingForAll(
        [leaveOnMain](const QJsonValue &) { leaveOnMain(kFinishEndedForAll); },
        [leaveOnMain](const QString &code, const QString &message) {
            KL_LOG_WARN(kTag, QStringLiteral("ending the meeting failed: %1 %2").arg(code, message));
            leaveOnMain(std::nullopt);
        });
}

void KLHubViewController::weakNetworkCloseVideo()
{
    if (m_closeVideoDialogShown)
        return;
    m_closeVideoDialogShown = true;
    showCloseVideoDialog();
}

void KLHubViewController::showCloseVideoDialog()
{
    std::weak_ptr<KLHubViewController> weak = weak_from_this();
    KLDialogRequest request;
    request.title = text("SELF_WEAK_CLOSE_VIDEO");
    request.firstButtonText = text("Close_Video_Tips");
    request.firstBlock = [weak] {
        if (auto self = weak.lock()) {
            self->m_closeVideoDialogShown = false;
            self->m_meeting->muteVideo(self->m_meeting->publisher(), true, true);
        }
    };
    request.secondButtonText = text("Ignore_tips");
    request.secondBlock = [weak] {
        if (auto self = weak.lock())
            self->m_closeVideoDialogShown = false;
    };
    KLToastManager::shared().showToastDialog(std::move(request));
}

// Howling matters only while the user can be heard or can hear; the warning comes back at
// most every two minutes, so a noisy room is not flooded with dialogs.
void KLHubViewController::noiseDetected(const QString &titleKey)
{
    const auto own = m_meeting->publisher();
    const bool microphoneOn = own && own->audioEnabled();
    if (!microphoneOn && !m_meeting->isSpeakerOpen())
        return;
    if (m_howlingDialogShown) {
        KL_LOG_INFO(kTag, QStringLiteral("whistlingNoise Dialog is show now"));
        return;
    }
    const QDateTime now = m_setup.now();
    if (m_show5003ErrorTime && m_show5003ErrorTime->secsTo(now) < kHowlingRepeatSeconds)
        return;
    m_show5003ErrorTime = now;
    m_howlingDialogShown = true;
    showHowlingDialog(titleKey);
}

void KLHubViewController::showHowlingDialog(const QString &titleKey)
{
    std::weak_ptr<KLHubViewController> weak = weak_from_this();
    KLDialogRequest request;
    request.title = KLLocalizedString(titleKey);
    request.firstButtonText = text("CONFIRM_YES");
    request.firstBlock = [weak] {
        auto self = weak.lock();
        if (!self)
            return;
        self->m_howlingDialogShown = false;
        const auto own = self->m_meeting->publisher();
        if (own && own->audioEnabled())
            self->toggleMicrophone();
        self->m_meeting->setIsSpeakerOpen(false);
        self->m_meeting->muteSpeaker(true);
        self->setButton(KLHubButton::Speaker, speakerLook(true));
    };
    request.secondButtonText = text("CONFIRM_NO");
    request.secondBlock = [weak] {
        if (auto self = weak.lock())
            self->m_howlingDialogShown = false;
    };
    KLToastManager::shared().showToastDialog(std::move(request));
}
