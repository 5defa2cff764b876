#include "ui/toolbar/KLHubWidget.h"

#include "runtime/KLLocalization.h"
#include "runtime/KLSDKLog.h"
#include "media/capture/KLScreenCapture.h"
#include "ui/KLTheme.h"
#include "ui/share/KLScreenPicker.h"
#include "ui/share/KLShareNoticeWindow.h"
#include "ui/toolbar/KLHubButtonWidget.h"
#include "ui/toolbar/KLHubPopover.h"
#include "window/KLHubViewController.h"

#include <QBoxLayout>
#include <QGuiApplication>
#include <QScreen>
#include <QLabel>
#include <QPointer>

namespace {
const char *const kTag = "KLHubWidget";

KLHubButtonState defaults(const char *icon, const char *labelKey)
{
    KLHubButtonState state;
    state.icon = QLatin1String(icon);
    state.label = KLLocalizedString(QLatin1String(labelKey));
    state.backgroundColor = QStringLiteral("#EDF0F5");
    state.hoverColor = QStringLiteral("#E7F2FC");
    state.pressedColor = QStringLiteral("#D1E5FA");
    state.cornerRadius = 90;
    return state;
}

// The controller holds its view by shared_ptr; the widget belongs to its parent. The adapter
// forwards to the widget while it lives. Every call comes on the main thread.
class HubViewAdapter final : public KLHubView {
public:
    explicit HubViewAdapter(KLHubWidget *widget) : m_widget(widget) {}
    void setButtonState(KLHubButton which, const KLHubButtonState &state) override
    {
        if (m_widget)
            m_widget->applyButtonState(which, state);
    }
    void minimiseWindow() override
    {
        if (m_widget && m_widget->window())
            m_widget->window()->showMinimized();
    }
    void showShareNotice(const QString &name) override
    {
        if (m_widget)
            m_widget->showShareNotice(name);
    }
    void closeShareNotice() override
    {
        if (m_widget)
            m_widget->closeShareNotice();
    }
    void showScreenRecordingPermissionDialog() override
    {
        KL_LOG_WARN(kTag, QStringLiteral("screen recording is not permitted; sharing needs the desktop's permission"));
    }

private:
    QPointer<KLHubWidget> m_widget;
};
} // namespace

struct KLHubWidget::Private {
    std::shared_ptr<KLHubViewController> hub;
    std::shared_ptr<HubViewAdapter> adapter;
    QHash<int, KLHubButtonWidget *> byKind;
    QHash<QString, KLHubButtonWidget *> byControl;
    QPointer<KLHubPopover> popover;
    QString popoverControl;
    std::function<void(const QString &, KLHubPopover *)> popoverFiller;
    QPointer<KLShareNoticeWindow> shareNotice;
    QPointer<KLScreenPicker> screenPicker;
    KLScreenChoice screenChoice;
    std::function<QList<KLScreenInfo>()> screens = &KLScreenPicker::systemScreens;
    std::function<QPixmap(const QString &)> thumbnail = &KLScreenPicker::grabThumbnail;
};

KLHubWidget::KLHubWidget(std::shared_ptr<KLHubViewController> hub, QWidget *parent)
    : QWidget(parent), d(std::make_unique<Private>())
{
    d->hub = std::move(hub);
    setObjectName(QStringLiteral("hub"));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, KLTheme::color(KLTheme::kWindowBackground));
    setPalette(pal);
    setMinimumHeight(76);

    auto add = [this](const QString &control, KLHubButtonState look, std::optional<KLHubButton> kind,
                      std::function<void()> click) {
        auto *button = new KLHubButtonWidget(control, std::move(look), this);
        d->byControl.insert(control, button);
        if (kind)
            d->byKind.insert(static_cast<int>(*kind), button);
        connect(button, &QAbstractButton::clicked, this, [click = std::move(click)] { click(); });
        return button;
    };
    auto hubCall = [this](void (KLHubViewController::*step)()) {
        return [this, step] {
            if (d->hub)
                (d->hub.get()->*step)();
        };
    };
    auto popover = [this](const QString &control) {
        return [this, control] {
            if (d->hub)
                d->hub->popoverClicked(control);
            openPopover(control);
        };
    };

    KLHubButtonState leaveLook;
    leaveLook.label = KLLocalizedString(QStringLiteral("Leave_Tips"));
    leaveLook.backgroundColor = QStringLiteral("#F03118");
    leaveLook.hoverColor = QStringLiteral("#F65A45");
    leaveLook.pressedColor = QStringLiteral("#D42A13");
    leaveLook.labelColor = KLTheme::kTextLight;
    leaveLook.cornerRadius = 8;

    auto *left = new QHBoxLayout;
    left->setSpacing(14);
    left->addWidget(add(QStringLiteral("hub-mute-button"), defaults("conf_tool_audio_normal", "Microphone_Tips"),
                        KLHubButton::Microphone, hubCall(&KLHubViewController::muteClicked)));
    left->addWidget(add(QStringLiteral("hub-video-mute-button"), defaults("conf_tool_camera_normal", "Camera_Tips"),
                        KLHubButton::Camera, hubCall(&KLHubViewController::cameraClicked)));
    left->addWidget(add(QStringLiteral("hub-speaker-button"), defaults("conf_tool_speaker_normal", "Speaker_Tips"),
                        KLHubButton::Speaker, hubCall(&KLHubViewController::speakerClicked)));

    auto *middle = new QHBoxLayout;
    middle->setSpacing(14);
    middle->addWidget(add(QStringLiteral("hub-share-button"), defaults("conf_tool_share", "Share_Tips"),
                          KLHubButton::Share, [this] { shareButtonClicked(); }));
    middle->addWidget(add(QStringLiteral("hub-meeting-info-button"), defaults("conf_tool_info", "Meeting_Info_Tips"),
                          std::nullopt, popover(QStringLiteral("hub-meeting-info-button"))));
    middle->addWidget(add(QStringLiteral("hub-phone-enter-button"), defaults("conf_tool_phone", "Phone_Enter_Tips"),
                          std::nullopt, popover(QStringLiteral("hub-phone-enter-button"))));
    middle->addWidget(add(QStringLiteral("hub-meetingNote-button"), defaults("conf_caption_open", "Meeting_Note_Tips"),
                          KLHubButton::MeetingNote, hubCall(&KLHubViewController::meetingNoteClicked)));
    middle->addWidget(add(QStringLiteral("hub-setting-button"), defaults("conf_tool_setting", "Setting_Tips"),
                          std::nullopt, popover(QStringLiteral("hub-setting-button"))));
    middle->addWidget(add(QStringLiteral("hub-more-button"), defaults("conf_tool_more", "More_Tips"),
                          std::nullopt, popover(QStringLiteral("hub-more-button"))));

    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(20, 8, 20, 6);
    row->addLayout(left);
    row->addStretch(1);
    row->addLayout(middle);
    row->addStretch(1);
    row->addWidget(add(QStringLiteral("hub-leave-button"), leaveLook, KLHubButton::Leave,
                       hubCall(&KLHubViewController::leaveClicked)));

    if (d->hub) {
        d->adapter = std::make_shared<HubViewAdapter>(this);
        d->hub->setView(d->adapter);
    }
    if (auto *application = qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        // Queued: the screen list is read once Qt has finished changing it.
        connect(application, &QGuiApplication::screenAdded, this, &KLHubWidget::screensChanged, Qt::QueuedConnection);
        connect(application, &QGuiApplication::screenRemoved, this, &KLHubWidget::screensChanged, Qt::QueuedConnection);
    }
}

KLHubWidget::~KLHubWidget()
{
    if (d->hub && d->adapter)
        d->hub->setView(nullptr);
    closeShareNotice();
}

void KLHubWidget::applyButtonState(KLHubButton which, const KLHubButtonState &state)
{
    if (auto *button = d->byKind.value(static_cast<int>(which)))
        button->setState(state);
}

KLHubButtonWidget *KLHubWidget::button(const QString &control) const
{
    return d->byControl.value(control);
}

void KLHubWidget::openPopover(const QString &control)
{
    auto *anchor = d->byControl.value(control);
    if (!anchor)
        return;
    if (d->popover) {
        const bool same = d->popoverControl == control && d->popover->isVisible();
        d->popover->close();
        if (same)
            return; // a second press closes it
    }
    d->popover = new KLHubPopover(anchor);
    d->popoverControl = control;
    if (d->popoverFiller)
        d->popoverFiller(control, d->popover);
    d->popover->showAnchored();
}

void KLHubWidget::setPopoverFiller(std::function<void(const QString &, KLHubPopover *)> filler)
{
    d->popoverFiller = std::move(filler);
}

QWidget *KLHubWidget::openPopoverWidget() const
{
    return d->popover && d->popover->isVisible() ? d->popover.data() : nullptr;
}

QString KLHubWidget::openPopoverControl() const
{
    return openPopoverWidget() ? d->popoverControl : QString();
}

// With several screens the user says which one first; a share going on is stopped at once.
void KLHubWidget::shareButtonClicked()
{
    if (!d->hub)
        return;
    if (d->hub->isSharingOwnScreen()) {
        d->screenChoice.shareEnded();
        d->hub->shareClicked();
        return;
    }
    d->screenChoice.setScreens(d->screens());
    if (!d->screenChoice.needsPicker()) {
        d->screenChoice.chooseWithoutAsking();
        d->hub->shareClicked();
        return;
    }
    if (d->screenPicker)
        d->screenPicker->close();
    QPointer<KLHubWidget> self(this);
    d->screenPicker = new KLScreenPicker(window(), d->screenChoice, d->thumbnail, [self](const QString &screenName) {
        if (!self || !self->d->hub || !self->d->screenChoice.choose(screenName))
            return;
        self->d->hub->shareClicked();
    });
    d->screenPicker->open();
}

void KLHubWidget::setScreenSource(std::function<QList<KLScreenInfo>()> screens, std::function<QPixmap(const QString &)> thumbnail)
{
    d->screens = std::move(screens);
    d->thumbnail = std::move(thumbnail);
}

const KLScreenChoice &KLHubWidget::screenChoice() const
{
    return d->screenChoice;
}

void KLHubWidget::screensChanged()
{
    if (d->screenPicker) {
        KL_LOG_INFO(kTag, QStringLiteral("the screens changed while the picker was open; it closes"));
        d->screenPicker->close();
    }
    const bool sharing = d->hub && d->hub->isSharingOwnScreen();
    if (!sharing)
        d->screenChoice.shareEnded();
    if (d->screenChoice.screensChanged(d->screens()) && sharing)
        d->hub->stopShareAction();
}

KLScreenPicker *KLHubWidget::screenPicker() const
{
    return d->screenPicker && d->screenPicker->isVisible() ? d->screenPicker.data() : nullptr;
}

void KLHubWidget::showShareNotice(const QString &name)
{
    closeShareNotice();
    std::weak_ptr<KLHubViewController> hub = d->hub;
    KLShareNoticeWindow::Actions actions;
    actions.stop = [hub] {
        if (auto controller = hub.lock())
            controller->stopShareAction();
    };
    actions.escape = [hub] {
        if (auto controller = hub.lock())
            controller->shareEscPressed();
    };
    auto *notice = new KLShareNoticeWindow(name, KLScreenCapture::chosenScreen(), std::move(actions));
    notice->show();
    d->shareNotice = notice;
}

void KLHubWidget::closeShareNotice()
{
    if (d->shareNotice)
        d->shareNotice->close();
    d->shareNotice = nullptr;
}

bool KLHubWidget::isShareNoticeShown() const
{
    return d->shareNotice && d->shareNotice->isVisible();
}

KLShareNoticeWindow *KLHubWidget::shareNotice() const
{
    return d->shareNotice.data();
}
