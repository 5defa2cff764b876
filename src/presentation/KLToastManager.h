#pragma once

#include "presentation/KLToastMessage.h"
#include "presentation/KLToastView.h"

#include <KelvoUISDK/KLSDKDispatch.h>

#include <QList>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <mutex>

class KLDialogQueue;
struct KLDialogRequest;
class KLTimer;

/// A feed as the weak-network tip sees it: who it is, its weak-network state (1 normal,
/// 2 weak, 3 disconnected) and how to reset that state to 1 when the user dismisses the tip.
struct KLToastFeed {
    KLToastClient client;
    int isWeakNet = 1;
    std::function<void()> resetWeakNet;
};

/// Permanent notice kinds; any other kind shows an empty text.
namespace KLPermanentToastKind {
inline constexpr int None = 0;
inline constexpr int CloseSpeakerAndMic = 1;
inline constexpr int CloseMic = 2;
inline constexpr int LevelNotChange = 3;
inline constexpr int NetworkLost = 4;
} // namespace KLPermanentToastKind

/// The meeting window's notices: transient toasts (three seconds each, queued and merged by
/// kind), the weak-network tip and the permanent notice; dialogs are forwarded to the dialog
/// queue.
///
/// Pushing, queueing and the timer's handling may run on any thread (the state is guarded by
/// one mutex, never held while the view is called); every view call runs on the main thread.
/// The manager is created and destroyed on the main thread.
class KLToastManager {
public:
    static constexpr double kToastSeconds = 3.0;
    static constexpr int kRaisedOffset = -40;

    /// `dialogs` receives the dialogs; the process-wide queue when none is given.
    explicit KLToastManager(KLDialogQueue *dialogs = nullptr);
    ~KLToastManager();
    KLToastManager(const KLToastManager &) = delete;
    KLToastManager &operator=(const KLToastManager &) = delete;

    /// The process-wide manager, created on first use.
    static KLToastManager &shared();

    void setView(std::shared_ptr<KLToastView> view);

    /// Shows the message at once when nothing is shown, or when it is of the shown kind about
    /// another person, or of another kind about the shown person; otherwise queues it.
    void pushToastMessage(KLToastMessage message);

    void showPermanentMessage(int kind);
    /// Hides the permanent notice only when `kind` is the one shown.
    void closePermanentMessage(int kind);

    /// The weak-network tip for the own feed and the feed in the main view.
    void checkWeakTips(const KLToastFeed &publisher, const KLToastFeed &mainFeed);
    void showNetWeakTips(const QString &text, const KLToastFeed &feed);
    void hideNetWeakTips();
    /// From the view: the user closed the network toast; the feed's state goes back to 1.
    void netToastDismissedByUser();
    /// From the view, when the permanent area finished hiding: puts the network toast at the
    /// toast area's origin when both other areas are hidden, else 40 points above it.
    void layoutNetToast();

    /// The resident toast: a message that stays in the toast area while no transient toast is
    /// shown. A transient toast covers it for its three seconds; when the queue runs empty the
    /// resident message comes back instead of the area hiding.
    void showResidentToast(KLToastMessage message);
    void closeResidentToast();
    std::optional<KLToastMessage> currentResidentToastMessage() const;

    /// The one-person toast and the action its button runs (main thread).
    void showOnePersonToast(KLOnePersonToast toast, KLBlock action);
    void hideOnePersonToast();
    bool isOnePersonToastShown() const;
    /// From the view: the one-person toast's button was pressed. False when none is shown.
    bool onePersonToastActionPressed();

    /// Forwards a dialog request unchanged to the dialog queue.
    void showToastDialog(KLDialogRequest request);

    /// Handles a "ToastMessageIncoming" user info ("message" with "errorLevel",
    /// "errorMsgEn", "errorMsgZh"). Also driven by the notification.
    void handleIncomingMessage(const QVariantMap &userInfo);

    std::optional<KLToastMessage> currentToastMessage() const;
    QList<KLToastMessage> queuedMessages() const;
    int currentPermanentMessageType() const;

    /// The localisation key of a permanent notice kind, empty for unknown kinds.
    static QString permanentMessageKey(int kind);

private:
    void showLocked(KLToastMessage message, std::vector<KLBlock> &viewWork);
    void cacheLocked(KLToastMessage message);
    void timeout(quint64 generation);
    void runOnMain(std::vector<KLBlock> viewWork);

    KLDialogQueue *m_dialogs;
    mutable std::mutex m_mutex;
    std::shared_ptr<KLToastView> m_view;
    std::unique_ptr<KLTimer> m_timer;
    QList<KLToastMessage> m_messageArray;
    std::optional<KLToastMessage> m_currentToastMessage;
    quint64 m_showGeneration = 0;
    int m_currentPermanentMessageType = KLPermanentToastKind::None;
    std::function<void()> m_netToastReset;
    std::optional<KLToastMessage> m_currentResidentToastMessage;
    std::optional<KLOnePersonToast> m_onePersonToast;
    KLBlock m_onePersonAction;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};
