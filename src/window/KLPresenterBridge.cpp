#include "window/KLPresenterBridge.h"

#include "presentation/KLToastManager.h"
#include "runtime/KLLocalization.h"
#include "window/KLCallRoomViewController.h"
#include "window/KLEnterNameViewController.h"
#include "window/KLHubViewController.h"
#include "window/KLMemberListViewController.h"

#include <KelvoUISDK/KLUISDKMeetingPresenter.h>

#include <QCoreApplication>
#include <QTimer>

namespace {

// The permanent notice kind whose text is `text`; the manager hands the view the text only.
int permanentKindForText(const QString &text)
{
    const QString key = KLLocalization::keyForText(text);
    for (int kind = KLUISDKNoticeSpeakerAndMicOff; kind <= KLUISDKNoticeNetworkLost; ++kind) {
        if (!key.isEmpty() && KLToastManager::permanentMessageKey(kind) == key)
            return kind;
    }
    return 0;
}

// The toolbar in its drawn order: the controller's buttons with their looks, and the buttons
// that only open popovers, whose look never changes.
struct ToolbarEntry {
    const char *control;
    std::optional<KLHubButton> kind;
    const char *icon;
    const char *labelKey;
};
// The icon and label a button has where its look leaves them out (the drawn toolbar's defaults).
const ToolbarEntry kToolbar[] = {
    {"hub-mute-button", KLHubButton::Microphone, "conf_tool_audio_normal", "Microphone_Tips"},
    {"hub-video-mute-button", KLHubButton::Camera, "conf_tool_camera_normal", "Camera_Tips"},
    {"hub-speaker-button", KLHubButton::Speaker, "conf_tool_speaker_normal", "Speaker_Tips"},
    {"hub-share-button", KLHubButton::Share, "conf_tool_share", "Share_Tips"},
    {"hub-meeting-info-button", std::nullopt, "conf_tool_info", "Meeting_Info_Tips"},
    {"hub-phone-enter-button", std::nullopt, "conf_tool_phone", "Phone_Enter_Tips"},
    {"hub-meetingNote-button", KLHubButton::MeetingNote, "conf_caption_open", "Meeting_Note_Tips"},
    {"hub-setting-button", std::nullopt, "conf_tool_setting", "Setting_Tips"},
    {"hub-more-button", std::nullopt, "conf_tool_more", "More_Tips"},
    {"hub-leave-button", KLHubButton::Leave, "", "Leave_Tips"},
};

} // namespace

KLPresenterBridge::KLPresenterBridge(std::shared_ptr<KLUISDKMeetingPresenter> presenter)
    : m_presenter(std::move(presenter))
{
}

KLUISDKDialog KLPresenterBridge::dialogFor(const KLDialogPresentation &dialog)
{
    KLUISDKDialog out;
    out.id = dialog.dialogId;
    if (dialog.titleVisible) {
        out.title = dialog.title;
        out.titleKey = KLLocalization::keyForText(dialog.title);
    }
    if (dialog.descVisible) {
        out.desc = dialog.desc;
        out.descKey = KLLocalization::keyForText(dialog.desc);
    }
    const KLDialogButtonLook *buttons[] = {&dialog.first, &dialog.second, &dialog.third};
    int count = 0;
    for (int i = 0; i < 3; ++i) {
        if (buttons[i]->visible)
            count = i + 1;
    }
    for (int i = 0; i < count; ++i) {
        const QString text = buttons[i]->visible ? buttons[i]->text : QString();
        out.buttons.append(text);
        out.buttonKeys.append(KLLocalization::keyForText(text));
    }
    return out;
}

void KLPresenterBridge::showDialog(const KLDialogPresentation &dialog)
{
    if (m_presenter)
        m_presenter->showDialog(dialogFor(dialog));
}

void KLPresenterBridge::closeDialog()
{
    if (m_presenter)
        m_presenter->closeDialog();
}

void KLPresenterBridge::showToast(const KLToastMessage &message)
{
    m_toastVisible = true;
    if (m_presenter)
        m_presenter->showToast(static_cast<int>(message.messageType), message.messageKey, message.text());
}

void KLPresenterBridge::showNetToast(const QString &text, const KLToastStyle &, int)
{
    m_netToastVisible = true;
    m_netToastText = text;
    if (m_presenter)
        m_presenter->noticeChanged(KLUISDKNoticeWeakNetwork, text, true);
}

void KLPresenterBridge::hideNetToast()
{
    if (!m_netToastVisible)
        return;
    m_netToastVisible = false;
    if (m_presenter)
        m_presenter->noticeChanged(KLUISDKNoticeWeakNetwork, m_netToastText, false);
}

void KLPresenterBridge::showPermanentToast(const QString &text, const KLToastStyle &)
{
    // A new notice replaces the shown one: the host hears both.
    hidePermanentToast();
    m_permanentKind = permanentKindForText(text);
    if (m_permanentKind == 0)
        return;
    m_permanentText = text;
    if (m_presenter)
        m_presenter->noticeChanged(m_permanentKind, text, true);
}

void KLPresenterBridge::hidePermanentToast()
{
    if (m_permanentKind == 0)
        return;
    const int kind = m_permanentKind;
    m_permanentKind = 0;
    if (m_presenter)
        m_presenter->noticeChanged(kind, m_permanentText, false);
}

void KLPresenterBridge::show(const QString &text, const QString &senderUuid)
{
    if (m_presenter)
        m_presenter->showChatMessage(senderUuid, text);
}

void KLPresenterBridge::showRatePage()
{
    if (m_presenter)
        m_presenter->showRatePage(m_rateUrl);
}

// Told on a later turn of the main loop: what the closing itself still reports (the finish
// of a leave, the dialog going away) reaches the host first, so "closed" is the last word.
void KLPresenterBridge::closeWindow()
{
    if (!m_presenter)
        return;
    QTimer::singleShot(0, QCoreApplication::instance(), [weak = weak_from_this(), presenter = m_presenter] {
        if (auto self = weak.lock())
            self->m_presenter.reset();
        presenter->windowClosed();
    });
}

// --- Member list, toolbar, call rooms, enter name -----------------------------------------------

KLUISDKMember KLPresenterBridge::memberFor(const KLMemberRow &row)
{
    KLUISDKMember member;
    member.uuid = row.uuid;
    member.name = row.name;
    member.memberType = int(row.memberType);
    member.online = row.online;
    member.muted = row.muted;
    member.video = row.video;
    member.calling = row.calling;
    member.speaking = row.speaking;
    member.locked = row.locked;
    member.focused = row.focused;
    member.isSelf = row.isSelf;
    for (const QString &button : row.buttons) {
        // A call button inside its five seconds cannot be pressed.
        const bool callButton = button == QLatin1String("call") || button == QLatin1String("callCell");
        if (!callButton || row.callEnabled)
            member.buttons.append(button);
    }
    return member;
}

QList<KLUISDKToolbarButton> KLPresenterBridge::toolbarFor(const KLHubViewController &hub)
{
    QList<KLUISDKToolbarButton> buttons;
    for (const ToolbarEntry &entry : kToolbar) {
        KLUISDKToolbarButton button;
        button.control = QLatin1String(entry.control);
        button.icon = QLatin1String(entry.icon);
        button.label = KLLocalizedString(QLatin1String(entry.labelKey));
        if (entry.kind) {
            const KLHubButtonState state = hub.buttonState(*entry.kind);
            if (!state.icon.isEmpty())
                button.icon = state.icon;
            if (!state.label.isEmpty())
                button.label = state.label;
            button.tooltip = state.tooltip;
            button.enabled = state.enabled;
            button.visible = state.visible;
            button.busy = state.busy;
        }
        buttons.append(button);
    }
    return buttons;
}

void KLPresenterBridge::attach(const std::shared_ptr<KLUISDKMeetingWindow> &window)
{
    if (!window)
        return;
    std::weak_ptr<KLPresenterBridge> weak = weak_from_this();
    auto call = [weak](void (KLPresenterBridge::*step)()) {
        return [weak, step] {
            if (auto self = weak.lock())
                (self.get()->*step)();
        };
    };
    if (auto members = window->memberList()) {
        m_memberList = members;
        members->setObserver(call(&KLPresenterBridge::sendMembers));
    }
    if (auto hub = window->hub()) {
        m_hub = hub;
        hub->setObserver(call(&KLPresenterBridge::sendToolbar));
        sendToolbar();
    }
    if (auto enterName = window->enterName()) {
        m_enterName = enterName;
        enterName->setObserver(call(&KLPresenterBridge::sendEnterName));
        sendEnterName();
    }
}

void KLPresenterBridge::sendMembers()
{
    const auto members = m_memberList.lock();
    if (!members || !m_presenter)
        return;
    watchCallRooms();
    auto snapshot = std::make_shared<KLMemberListSnapshot>(members->snapshot());
    if (m_sentMembers && *m_sentMembers == *snapshot)
        return;
    m_sentMembers = snapshot;
    QList<KLUISDKMember> online;
    QList<KLUISDKMember> offline;
    for (const KLMemberRow &row : std::as_const(snapshot->online))
        online.append(memberFor(row));
    for (const KLMemberRow &row : std::as_const(snapshot->offline))
        offline.append(memberFor(row));
    m_presenter->membersChanged(online, offline);
}

void KLPresenterBridge::sendToolbar()
{
    const auto hub = m_hub.lock();
    if (!hub || !m_presenter)
        return;
    QList<KLHubButtonState> looks;
    for (const ToolbarEntry &entry : kToolbar)
        if (entry.kind)
            looks.append(hub->buttonState(*entry.kind));
    // Before the toolbar decided any look there is nothing to tell.
    if (std::all_of(looks.cbegin(), looks.cend(), [](const KLHubButtonState &look) { return look.icon.isEmpty() && look.label.isEmpty(); }))
        return;
    if (m_sentToolbar && *m_sentToolbar == looks)
        return;
    m_sentToolbar = std::make_shared<const QList<KLHubButtonState>>(looks);
    m_presenter->toolbarChanged(toolbarFor(*hub));
}

// A call-rooms dialog that opened since the last look is followed until it closes.
void KLPresenterBridge::watchCallRooms()
{
    const auto members = m_memberList.lock();
    const auto open = members ? members->callRoomDialog() : nullptr;
    if (!open || open == m_callRooms)
        return;
    m_callRooms = open;
    std::weak_ptr<KLPresenterBridge> weak = weak_from_this();
    open->setObserver([weak] {
        if (auto self = weak.lock())
            self->sendCallRooms();
    });
    sendCallRooms();
}

void KLPresenterBridge::sendCallRooms()
{
    if (!m_callRooms || !m_presenter)
        return;
    QList<KLUISDKMember> rooms;
    const auto members = m_memberList.lock();
    for (const auto &room : m_callRooms->rooms())
        rooms.append(members ? memberFor(members->rowFor(room)) : KLUISDKMember{});
    const bool shown = !m_callRooms->isClosed();
    if (!shown)
        m_callRooms.reset();
    m_presenter->callRoomsChanged(rooms, shown);
}

void KLPresenterBridge::sendEnterName()
{
    const auto dialog = m_enterName.lock();
    if (!dialog || !m_presenter)
        return;
    const QString error = dialog->errorKey().isEmpty() ? QString() : KLLocalizedString(dialog->errorKey());
    if (!dialog->isOpen()) {
        m_enterNameShown = false;
        return;
    }
    if (m_enterNameShown && error == m_sentNameError)
        return;
    m_enterNameShown = true;
    m_sentNameError = error;
    m_presenter->showEnterName(error);
}
