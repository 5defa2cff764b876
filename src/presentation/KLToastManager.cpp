#include "presentation/KLToastManager.h"

#include "presentation/KLDialogQueue.h"
#include "runtime/KLLocalization.h"
#include "runtime/KLMainThread.h"
#include "runtime/KLNotificationCenter.h"
#include "runtime/KLNotificationNames.h"
#include "runtime/KLSDKLog.h"
#include "runtime/KLTimer.h"

namespace {

const QString kTag = QStringLiteral("KLToastManager");
const QChar kIdeographicComma(0x3001);

KLToastStyle warningStyle()
{
    return {{QStringLiteral("#FDECEA"), 1.0}, {QStringLiteral("#1F3858"), 0.8}, KLToastIcon::Warning};
}

KLToastStyle informationStyle()
{
    return {{QStringLiteral("#000000"), 0.8}, {QStringLiteral("#FFFFFF"), 1.0}, KLToastIcon::Information};
}

} // namespace

KLToastManager::KLToastManager(KLDialogQueue *dialogs)
    : m_dialogs(dialogs)
{
    KLNotificationCenter::defaultCenter().addObserver(
        this, KLNotificationNames::ToastMessageIncoming,
        [this](const KLNotification &notification) { handleIncomingMessage(notification.userInfo); });
}

KLToastManager::~KLToastManager()
{
    // After this returns no handler of ours runs any more.
    KLNotificationCenter::defaultCenter().removeObserver(this);
}

KLToastManager &KLToastManager::shared()
{
    static std::once_flag once;
    static KLToastManager *manager = nullptr;
    std::call_once(once, []() { manager = new KLToastManager; });
    return *manager;
}

void KLToastManager::setView(std::shared_ptr<KLToastView> view)
{
    std::lock_guard lock(m_mutex);
    m_view = std::move(view);
}

void KLToastManager::runOnMain(std::vector<KLBlock> viewWork)
{
    for (KLBlock &block : viewWork)
        KLPerformBlockOnMainThread(std::move(block));
}

void KLToastManager::pushToastMessage(KLToastMessage message)
{
    std::vector<KLBlock> work;
    {
        std::lock_guard lock(m_mutex);
        if (!m_currentToastMessage) {
            showLocked(std::move(message), work);
        } else {
            const bool sameKind = m_currentToastMessage->messageType == message.messageType;
            const bool sameClient = m_currentToastMessage->isAboutSameClient(message);
            if (sameKind != sameClient)
                showLocked(std::move(message), work);
            else
                cacheLocked(std::move(message));
        }
    }
    runOnMain(std::move(work));
}

void KLToastManager::cacheLocked(KLToastMessage message)
{
    int sameClientIndex = -1;
    bool absorbed = false;
    for (int i = 0; i < m_messageArray.size(); ++i) {
        KLToastMessage &queued = m_messageArray[i];
        if (queued.messageType == message.messageType && !queued.isAboutSameClient(message)) {
            queued.displayMessage = queued.displayMessage + kIdeographicComma + message.displayMessage;
            absorbed = true;
            break;
        }
        if (queued.isAboutSameClient(message))
            sameClientIndex = i;
    }
    // An older notice about the same person is outdated by the new one.
    if (sameClientIndex >= 0)
        m_messageArray.removeAt(sameClientIndex);
    if (!absorbed)
        m_messageArray.append(std::move(message));
}

void KLToastManager::showLocked(KLToastMessage message, std::vector<KLBlock> &viewWork)
{
    m_currentToastMessage = message;
    const quint64 generation = ++m_showGeneration;
    // The fire is handed on through the main thread's queue rather than handled inside the
    // timer's own callback, so that replacing the timer never deletes it while it fires.
    std::weak_ptr<bool> alive = m_alive;
    m_timer = std::make_unique<KLTimer>(kToastSeconds, false, [this, alive, generation]() {
        KLMainThread::post([this, alive, generation]() {
            if (alive.lock())
                timeout(generation);
        });
    });
    m_timer->startTimer();
    if (!m_view)
        return;
    viewWork.push_back([view = m_view, message = std::move(message)]() {
        if (view->isNetToastVisible() && !view->isToastVisible())
            view->placeNetToast(kRaisedOffset);
        view->showToast(message);
    });
}

void KLToastManager::timeout(quint64 generation)
{
    std::vector<KLBlock> work;
    {
        std::lock_guard lock(m_mutex);
        if (generation != m_showGeneration || !m_currentToastMessage)
            return;  // a later message replaced the one this timer was for
        m_timer.reset();
        m_currentToastMessage.reset();
        if (m_messageArray.isEmpty() && m_currentResidentToastMessage) {
            if (m_view)
                work.push_back([view = m_view, resident = *m_currentResidentToastMessage]() {
                    view->showToast(resident);
                });
        } else if (m_messageArray.isEmpty()) {
            if (m_view) {
                work.push_back([view = m_view]() {
                    view->hideToast();
                    if (view->isNetToastVisible() && !view->isPermanentToastVisible())
                        view->placeNetToast(0);
                });
            }
        } else {
            showLocked(m_messageArray.takeFirst(), work);
        }
    }
    runOnMain(std::move(work));
}

void KLToastManager::showResidentToast(KLToastMessage message)
{
    std::vector<KLBlock> work;
    {
        std::lock_guard lock(m_mutex);
        m_currentResidentToastMessage = message;
        // A transient toast on screen keeps its time; the resident one shows once it is done.
        if (!m_currentToastMessage && m_view) {
            work.push_back([view = m_view, message = std::move(message)]() {
                if (view->isNetToastVisible() && !view->isToastVisible())
                    view->placeNetToast(kRaisedOffset);
                view->showToast(message);
            });
        }
    }
    runOnMain(std::move(work));
}

void KLToastManager::closeResidentToast()
{
    std::vector<KLBlock> work;
    {
        std::lock_guard lock(m_mutex);
        if (!m_currentResidentToastMessage)
            return;
        m_currentResidentToastMessage.reset();
        if (!m_currentToastMessage && m_view) {
            work.push_back([view = m_view]() {
                view->hideToast();
                if (view->isNetToastVisible() && !view->isPermanentToastVisible())
                    view->placeNetToast(0);
            });
        }
    }
    runOnMain(std::move(work));
}

std::optional<KLToastMessage> KLToastManager::currentResidentToastMessage() const
{
    std::lock_guard lock(m_mutex);
    return m_currentResidentToastMessage;
}

void KLToastManager::showOnePersonToast(KLOnePersonToast toast, KLBlock action)
{
    std::vector<KLBlock> work;
    {
        std::lock_guard lock(m_mutex);
        m_onePersonToast = toast;
        m_onePersonAction = std::move(action);
        if (m_view)
            work.push_back([view = m_view, toast = std::move(toast)]() { view->showOnePersonToast(toast); });
    }
    runOnMain(std::move(work));
}

void KLToastManager::hideOnePersonToast()
{
    std::vector<KLBlock> work;
    {
        std::lock_guard lock(m_mutex);
        if (!m_onePersonToast)
            return;
        m_onePersonToast.reset();
        m_onePersonAction = nullptr;
        if (m_view)
            work.push_back([view = m_view]() { view->hideOnePersonToast(); });
    }
    runOnMain(std::move(work));
}

bool KLToastManager::isOnePersonToastShown() const
{
    std::lock_guard lock(m_mutex);
    return m_onePersonToast.has_value();
}

bool KLToastManager::onePersonToastActionPressed()
{
    KLBlock action;
    {
        std::lock_guard lock(m_mutex);
        if (!m_onePersonToast)
            return false;
        action = m_onePersonAction;
    }
    if (action)
        action();
    return true;
}

QString KLToastManager::permanentMessageKey(int kind)
{
    switch (kind) {
    case KLPermanentToastKind::CloseSpeakerAndMic:
        return QStringLiteral("CLOSE_SPEAKER_AND_MIC_TIPS");
    case KLPermanentToastKind::CloseMic:
        return QStringLiteral("CLOSE_MIC_TIPS");
    case KLPermanentToastKind::LevelNotChange:
        return QStringLiteral("NO_LEVEL_NOT_CHANGE");
    case KLPermanentToastKind::NetworkLost:
        return QStringLiteral("NO_NETWEAK_TIPS");
    default:
        return QString();
    }
}

void KLToastManager::showPermanentMessage(int kind)
{
    std::vector<KLBlock> work;
    {
        std::lock_guard lock(m_mutex);
        m_currentPermanentMessageType = kind;
        if (m_view) {
            const QString key = permanentMessageKey(kind);
            const QString text = key.isEmpty() ? QString() : KLLocalizedString(key);
            const KLToastStyle style =
                kind == KLPermanentToastKind::NetworkLost ? warningStyle() : informationStyle();
            work.push_back([view = m_view, text, style]() {
                if (view->isNetToastVisible() && !view->isPermanentToastVisible())
                    view->placeNetToast(kRaisedOffset);
                view->showPermanentToast(text, style);
            });
        }
    }
    runOnMain(std::move(work));
}

void KLToastManager::closePermanentMessage(int kind)
{
    std::vector<KLBlock> work;
    {
        std::lock_guard lock(m_mutex);
        if (kind != m_currentPermanentMessageType)
            return;
        m_currentPermanentMessageType = KLPermanentToastKind::None;
        if (m_view)
            work.push_back([view = m_view]() { view->hidePermanentToast(); });
    }
    runOnMain(std::move(work));
}

void KLToastManager::checkWeakTips(const KLToastFeed &publisher, const KLToastFeed &mainFeed)
{
    if (publisher.client.uuid == mainFeed.client.uuid) {
        if (publisher.isWeakNet == 2)
            showNetWeakTips(KLLocalizedString(QStringLiteral("SELF_WEAK_TIPS")), publisher);
        else
            hideNetWeakTips();
        return;
    }
    if (mainFeed.isWeakNet == 3) {
        showNetWeakTips(KLLocalizedString(QStringLiteral("OTHER_DISCONNECT_TIPS")).arg(mainFeed.client.displayName),
                        mainFeed);
    } else if (mainFeed.isWeakNet == 2) {
        showNetWeakTips(KLLocalizedString(QStringLiteral("OTHER_WEAK_TIPS")).arg(mainFeed.client.displayName),
                        mainFeed);
    } else if (publisher.isWeakNet == 2) {
        showNetWeakTips(KLLocalizedString(QStringLiteral("SELF_WEAK_TIPS")), publisher);
    } else {
        hideNetWeakTips();
    }
}

void KLToastManager::showNetWeakTips(const QString &text, const KLToastFeed &feed)
{
    std::vector<KLBlock> work;
    {
        std::lock_guard lock(m_mutex);
        m_netToastReset = feed.resetWeakNet;
        if (m_view) {
            work.push_back([view = m_view, text]() {
                const bool atOrigin = !view->isToastVisible() && !view->isPermanentToastVisible();
                view->showNetToast(text, warningStyle(), atOrigin ? 0 : kRaisedOffset);
            });
        }
    }
    runOnMain(std::move(work));
}

void KLToastManager::hideNetWeakTips()
{
    std::vector<KLBlock> work;
    {
        std::lock_guard lock(m_mutex);
        m_netToastReset = nullptr;
        if (m_view)
            work.push_back([view = m_view]() { view->hideNetToast(); });
    }
    runOnMain(std::move(work));
}

void KLToastManager::netToastDismissedByUser()
{
    std::function<void()> reset;
    {
        std::lock_guard lock(m_mutex);
        reset = std::move(m_netToastReset);
        m_netToastReset = nullptr;
    }
    if (reset)
        reset();
}

void KLToastManager::layoutNetToast()
{
    std::vector<KLBlock> work;
    {
        std::lock_guard lock(m_mutex);
        if (m_view) {
            work.push_back([view = m_view]() {
                if (!view->isNetToastVisible())
                    return;
                const bool atOrigin = !view->isToastVisible() && !view->isPermanentToastVisible();
                view->placeNetToast(atOrigin ? 0 : kRaisedOffset);
            });
        }
    }
    runOnMain(std::move(work));
}

void KLToastManager::showToastDialog(KLDialogRequest request)
{
    (m_dialogs ? *m_dialogs : KLDialogQueue::shared()).showToastDialog(std::move(request));
}

void KLToastManager::handleIncomingMessage(const QVariantMap &userInfo)
{
    const QVariantMap message = userInfo.value(KLNotificationKeys::message).toMap();
    const qint64 level = message.value(QStringLiteral("errorLevel")).toLongLong();
    const QString text = KLLocalization::isEnglish() ? message.value(QStringLiteral("errorMsgEn")).toString()
                                                     : message.value(QStringLiteral("errorMsgZh")).toString();
    if (level == 1 && !text.isEmpty()) {
        KLDialogRequest request;
        request.title = text;
        request.firstButtonText = KLLocalizedString(QStringLiteral("CONFIRM"));
        showToastDialog(std::move(request));
    } else if (level == 3) {
        pushToastMessage(KLToastMessage::custom(text));
    } else {
        KL_LOG_INFO(kTag, QStringLiteral("incoming tip of level %1 not shown").arg(level));
    }
}

std::optional<KLToastMessage> KLToastManager::currentToastMessage() const
{
    std::lock_guard lock(m_mutex);
    return m_currentToastMessage;
}

QList<KLToastMessage> KLToastManager::queuedMessages() const
{
    std::lock_guard lock(m_mutex);
    return m_messageArray;
}

int KLToastManager::currentPermanentMessageType() const
{
    std::lock_guard lock(m_mutex);
    return m_currentPermanentMessageType;
}
