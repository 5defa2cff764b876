#pragma once

#include <KelvoUISDK/KLSDKDispatch.h>

#include <QString>

#include <deque>
#include <memory>
#include <optional>

/// One confirmation or message dialog: a title, a description, up to three buttons and one
/// action per button. Texts are already localised; colours are "#RRGGBB" and empty means
/// "the default look".
struct KLDialogRequest {
    QString title;
    QString desc;
    QString firstButtonText;
    QString firstButtonBgColor;
    QString secondButtonText;
    QString secondBorderColor;
    QString secondButtonBgColor;
    QString secondButtonTextColor;
    bool showThirdButton = false;
    KLBlock firstBlock;
    KLBlock secondBlock;
    KLBlock thirdBlock;
};

enum class KLDialogButton { First, Second, Third };

/// How one button of the visible dialog is drawn.
struct KLDialogButtonLook {
    bool visible = false;
    QString text;
    QString backgroundColor;
    QString borderColor;
    QString textColor;
    int cornerRadius = 0;
};

/// Everything the view needs to draw one dialog. `dialogId` identifies this showing; the
/// view hands it back with a button press.
struct KLDialogPresentation {
    quint64 dialogId = 0;
    QString title;
    QString desc;
    bool titleVisible = false;
    bool descVisible = false;
    KLDialogButtonLook first;
    KLDialogButtonLook second;
    KLDialogButtonLook third;
};

/// The dialog window, drawn by the widget layer. Called on the main thread only.
class KLDialogView {
public:
    virtual ~KLDialogView() = default;
    /// Shows `dialog`, replacing whatever the window showed before.
    virtual void showDialog(const KLDialogPresentation &dialog) = 0;
    /// Closes the dialog window.
    virtual void closeDialog() = 0;
};

/// The single route of the meeting window's dialogs: one dialog visible at a time, later
/// requests wait first in first out and are shown one after another.
///
/// Requests may come from any thread; the queue, the visible dialog and every view call live
/// on the main thread. The object itself is created and destroyed on the main thread.
class KLDialogQueue {
public:
    KLDialogQueue();
    ~KLDialogQueue();
    KLDialogQueue(const KLDialogQueue &) = delete;
    KLDialogQueue &operator=(const KLDialogQueue &) = delete;

    /// The process-wide queue of the meeting window, created on first use.
    static KLDialogQueue &shared();

    /// Main thread. Without a view, requests are still queued and shown once a view is set.
    void setView(std::shared_ptr<KLDialogView> view);

    /// Any thread: shows the request at once when no dialog is visible, else queues it.
    void showToastDialog(KLDialogRequest request);

    /// Main thread, from the view. The first button runs its action, then hides the dialog;
    /// the second and third hide the dialog, then run theirs. Hiding shows the next request.
    /// A press for a dialog no longer visible, or for a button it does not have, is ignored,
    /// so every action runs at most once. True when the press was taken.
    bool buttonPressed(quint64 dialogId, KLDialogButton button);

    /// Main thread: the network came back. A visible network-lost dialog goes away; the next
    /// queued request, if any, takes its place. Also driven by "NetWorkAvaliable".
    void networkAvailable();

    /// Main-thread reads.
    bool isShowDialog() const { return m_isShowDialog; }
    int queuedCount() const { return static_cast<int>(m_queue.size()); }
    QString currentNetToastTitle() const { return m_currentNetToastTitle; }

    /// The look the view gets for a request (pure; the third button's text is localised).
    static KLDialogPresentation presentationFor(const KLDialogRequest &request, quint64 dialogId);
    /// The button Enter presses: the first when shown, else the second; none without buttons.
    static std::optional<KLDialogButton> defaultButton(const KLDialogPresentation &dialog);
    /// The button Escape presses: the third (always "Cancel") when shown, else the second or
    /// the first button when it declines (it reads CANCEL, CONFIRM_NO or Ignore_tips); none
    /// when no button declines, so that Escape cannot pick a leave or a confirmation.
    static std::optional<KLDialogButton> cancelButton(const KLDialogPresentation &dialog);

private:
    void requestOnMain(KLDialogRequest request);
    void show(KLDialogRequest request);
    void hide();
    void dialogHidden();

    std::shared_ptr<KLDialogView> m_view;
    bool m_isShowDialog = false;
    bool m_hasCurrent = false;
    KLDialogRequest m_current;
    quint64 m_currentId = 0;
    quint64 m_nextId = 1;
    std::deque<KLDialogRequest> m_queue;
    QString m_currentNetToastTitle;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};
