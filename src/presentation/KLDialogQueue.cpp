#include "presentation/KLDialogQueue.h"

#include "runtime/KLLocalization.h"
#include "runtime/KLMainThread.h"
#include "runtime/KLNotificationCenter.h"
#include "runtime/KLNotificationNames.h"
#include "runtime/KLSDKLog.h"

namespace {
const QString kTag = QStringLiteral("KLDialogQueue");
const QString kDefaultFirstButtonColor = QStringLiteral("#177EE6");
const QString kWhite = QStringLiteral("#FFFFFF");
const QString kThirdButtonTextColor = QStringLiteral("#1F3858");
constexpr int kFirstButtonCornerRadius = 14;
} // namespace

KLDialogQueue::KLDialogQueue()
{
    KLNotificationCenter::defaultCenter().addObserver(
        this, KLNotificationNames::NetWorkAvaliable,
        [this, alive = std::weak_ptr<bool>(m_alive)](const KLNotification &) {
            KLPerformBlockOnMainThread([this, alive]() {
                if (alive.lock())
                    networkAvailable();
            });
        });
}

KLDialogQueue::~KLDialogQueue()
{
    KLNotificationCenter::defaultCenter().removeObserver(this);
}

KLDialogQueue &KLDialogQueue::shared()
{
    // Never destroyed: dialogs may still be requested while the process shuts down.
    static auto *queue = new KLDialogQueue;
    return *queue;
}

void KLDialogQueue::setView(std::shared_ptr<KLDialogView> view)
{
    m_view = std::move(view);
    if (m_view && m_hasCurrent)
        m_view->showDialog(presentationFor(m_current, m_currentId));
}

void KLDialogQueue::showToastDialog(KLDialogRequest request)
{
    KLPerformBlockOnMainThread([this, alive = std::weak_ptr<bool>(m_alive),
                                request = std::move(request)]() mutable {
        if (alive.lock())
            requestOnMain(std::move(request));
    });
}

void KLDialogQueue::requestOnMain(KLDialogRequest request)
{
    if (!m_isShowDialog) {
        m_isShowDialog = true;
        show(std::move(request));
        return;
    }
    m_queue.push_back(std::move(request));
}

KLDialogPresentation KLDialogQueue::presentationFor(const KLDialogRequest &request, quint64 dialogId)
{
    KLDialogPresentation dialog;
    dialog.dialogId = dialogId;
    dialog.title = request.title;
    dialog.desc = request.desc;
    dialog.titleVisible = !request.title.isEmpty();
    dialog.descVisible = !request.desc.isEmpty();

    dialog.first.visible = !request.firstButtonText.isEmpty();
    dialog.first.text = request.firstButtonText;
    dialog.first.backgroundColor =
        request.firstButtonBgColor.isEmpty() ? kDefaultFirstButtonColor : request.firstButtonBgColor;
    dialog.first.textColor = kWhite;
    dialog.first.cornerRadius = kFirstButtonCornerRadius;

    dialog.second.visible = !request.secondButtonText.isEmpty();
    dialog.second.text = request.secondButtonText;
    dialog.second.borderColor = request.secondBorderColor;
    dialog.second.backgroundColor = request.secondButtonBgColor;
    dialog.second.textColor = request.secondButtonTextColor;

    dialog.third.visible = request.showThirdButton;
    dialog.third.text = KLLocalizedString(QStringLiteral("CANCEL"));
    dialog.third.textColor = kThirdButtonTextColor;
    dialog.third.backgroundColor = kWhite;
    return dialog;
}

void KLDialogQueue::show(KLDialogRequest request)
{
    m_current = std::move(request);
    m_hasCurrent = true;
    m_currentId = m_nextId++;
    if (m_current.title == KLLocalizedString(QStringLiteral("NO_NETWEAK_TIPS")))
        m_currentNetToastTitle = m_current.title;
    else
        m_currentNetToastTitle.clear();
    if (m_view)
        m_view->showDialog(presentationFor(m_current, m_currentId));
}

void KLDialogQueue::hide()
{
    if (m_view)
        m_view->closeDialog();
    dialogHidden();
}

void KLDialogQueue::dialogHidden()
{
    m_isShowDialog = false;
    m_hasCurrent = false;
    m_current = KLDialogRequest();
    m_currentNetToastTitle.clear();
    if (m_queue.empty())
        return;
    KLDialogRequest next = std::move(m_queue.front());
    m_queue.pop_front();
    m_isShowDialog = true;
    show(std::move(next));
}

bool KLDialogQueue::buttonPressed(quint64 dialogId, KLDialogButton button)
{
    if (!m_hasCurrent || dialogId != m_currentId) {
        KL_LOG_WARN(kTag, QStringLiteral("press for dialog %1 ignored: not visible").arg(dialogId));
        return false;
    }
    const KLDialogPresentation look = presentationFor(m_current, m_currentId);
    const bool present = (button == KLDialogButton::First && look.first.visible)
                         || (button == KLDialogButton::Second && look.second.visible)
                         || (button == KLDialogButton::Third && look.third.visible);
    if (!present)
        return false;
    // From here on a second press on this dialog (also one made by its own action) is stale.
    m_currentId = 0;
    if (button == KLDialogButton::First) {
        // The action runs while the dialog is still the visible one: a request it makes waits.
        KLBlock action = std::move(m_current.firstBlock);
        if (action)
            action();
        hide();
        return true;
    }
    KLBlock action = std::move(button == KLDialogButton::Second ? m_current.secondBlock
                                                                : m_current.thirdBlock);
    hide();
    if (action)
        action();
    return true;
}

void KLDialogQueue::networkAvailable()
{
    if (!m_isShowDialog || m_currentNetToastTitle.isEmpty())
        return;
    KL_LOG_INFO(kTag, QStringLiteral("network back: network-lost dialog withdrawn"));
    if (m_queue.empty()) {
        if (m_view)
            m_view->closeDialog();
        m_isShowDialog = false;
        m_hasCurrent = false;
        m_current = KLDialogRequest();
        m_currentNetToastTitle.clear();
        return;
    }
    KLDialogRequest next = std::move(m_queue.front());
    m_queue.pop_front();
    show(std::move(next));
}

std::optional<KLDialogButton> KLDialogQueue::defaultButton(const KLDialogPresentation &dialog)
{
    if (dialog.first.visible)
        return KLDialogButton::First;
    if (dialog.second.visible)
        return KLDialogButton::Second;
    return std::nullopt;
}

std::optional<KLDialogButton> KLDialogQueue::cancelButton(const KLDialogPresentation &dialog)
{
    if (dialog.third.visible)
        return KLDialogButton::Third;
    const auto declines = [](const KLDialogButtonLook &button) {
        if (!button.visible)
            return false;
        for (const char *key : {"CANCEL", "CONFIRM_NO", "Ignore_tips"}) {
            if (button.text == KLLocalizedString(QLatin1String(key)))
                return true;
        }
        return false;
    };
    if (declines(dialog.second))
        return KLDialogButton::Second;
    if (declines(dialog.first))
        return KLDialogButton::First;
    return std::nullopt;
}
