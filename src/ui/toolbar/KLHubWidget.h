#pragma once

// The meeting toolbar drawn: one button per toolbar control, looking as the toolbar controller
// says (KLHubButtonState) and forwarding clicks to it. Constructing it attaches it as the
// controller's view. Main thread only.

#include "media/capture/KLScreenChoice.h"

#include <QPixmap>
#include <QWidget>

#include <functional>
#include <memory>

class KLHubButtonWidget;
class KLHubPopover;
class KLHubViewController;
class KLScreenPicker;
class KLShareNoticeWindow;
enum class KLHubButton;
struct KLHubButtonState;

class KLHubWidget : public QWidget {
    Q_OBJECT
public:
    explicit KLHubWidget(std::shared_ptr<KLHubViewController> hub, QWidget *parent = nullptr);
    ~KLHubWidget() override;

    /// Draws `which` as the controller says.
    void applyButtonState(KLHubButton which, const KLHubButtonState &state);
    /// The control with the identifier the host's action log knows it by ("hub-mute-button").
    KLHubButtonWidget *button(const QString &control) const;
    /// The popover open now and the control it belongs to (null / empty when none).
    QWidget *openPopoverWidget() const;
    QString openPopoverControl() const;
    /// Fills a control's popover before it shows (the panels of the meeting window).
    void setPopoverFiller(std::function<void(const QString &control, KLHubPopover *popover)> filler);
    /// The always-on-top window that tells whose screen is shared, with its stop button.
    void showShareNotice(const QString &name);
    void closeShareNotice();
    bool isShareNoticeShown() const;
    KLShareNoticeWindow *shareNotice() const; ///< null when closed
    /// The screen picker asked before a share on a machine with several screens, while open.
    KLScreenPicker *screenPicker() const;
    /// Where the screens offered come from (Qt's screens and, under X11, their pictures, by
    /// default); the screen list is read at each share press and each screen change.
    void setScreenSource(std::function<QList<KLScreenInfo>()> screens, std::function<QPixmap(const QString &)> thumbnail);
    const KLScreenChoice &screenChoice() const;
    /// The screens changed (Qt reports one added or removed): a share of a screen gone stops.
    void screensChanged();

private:
    void openPopover(const QString &control);
    void shareButtonClicked();

    struct Private;
    std::unique_ptr<Private> d;
};
