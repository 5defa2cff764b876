#include "window/KLPresenterBridge.h"

#include "presentation/KLToastManager.h"
#include "runtime/KLLocalization.h"

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
