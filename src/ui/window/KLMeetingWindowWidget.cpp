#include "ui/window/KLMeetingWindowWidget.h"

#include "runtime/KLLocalization.h"
#include "runtime/KLNotificationCenter.h"
#include "runtime/KLNotificationNames.h"
#include "runtime/KLSDKLog.h"
#include "ui/KLTheme.h"
#include "ui/dialog/KLDialogWidget.h"
#include "ui/layout/KLMeetingLayoutWidget.h"
#include "ui/tiles/KLMeetingVideoArea.h"
#include "window/KLMeetingLayoutViewController.h"
#include "window/KLUISDKMeetingWindow.h"

#include <QApplication>
#include <QBoxLayout>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QPointer>
#include <QScreen>
#include <QSettings>
#include <QWindow>

namespace {

const char *const kTag = "KLMeetingWindowWidget";
const QSize kPreferredSize(1280, 800);
const QSize kMinimumSize(880, 600);

class WindowViewAdapter final : public KLMeetingWindowView {
public:
    explicit WindowViewAdapter(KLMeetingWindowWidget *widget) : m_widget(widget) {}
    void showWindow() override
    {
        if (m_widget)
            m_widget->showMeetingWindow();
    }
    void closeWindow() override
    {
        if (m_widget)
            m_widget->closeFromMeeting();
    }

private:
    QPointer<KLMeetingWindowWidget> m_widget;
};

} // namespace

KLMeetingWindowWidget::KLMeetingWindowWidget(const std::shared_ptr<KLUISDKMeetingWindow> &meetingWindow)
    : QWidget(nullptr), m_meetingWindow(meetingWindow)
{
    setObjectName(QStringLiteral("meeting-window"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    setMinimumSize(kMinimumSize);
    setWindowTitle(KLLocalizedString(QStringLiteral("APP_NAME")));
    setWindowIcon(KLTheme::icon(QStringLiteral("conf_meeting_logo")));
    QPalette pal = palette();
    pal.setColor(QPalette::Window, KLTheme::color(KLTheme::kWindowBackground));
    setPalette(pal);
    setAutoFillBackground(true);

    m_layout = new KLMeetingLayoutWidget(meetingWindow ? meetingWindow->layout() : nullptr,
                                         meetingWindow ? meetingWindow->hub() : nullptr, this);
    // The member list and chat beside the video; the tiles' mute buttons follow the list's rule.
    m_layout->attachSidePanel(meetingWindow);
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(m_layout);
    m_dialog = new KLDialogWidget(this);

    connect(m_layout, &KLMeetingLayoutWidget::subjectChanged, this, [this](const QString &subject) {
        const QString app = KLLocalizedString(QStringLiteral("APP_NAME"));
        setWindowTitle(subject.isEmpty() ? app : QStringLiteral("%1 - %2").arg(subject, app));
    });
    connect(m_layout, &KLMeetingLayoutWidget::fullScreenToggleRequested, this, &KLMeetingWindowWidget::toggleFullScreen);
    connect(m_layout, &KLMeetingLayoutWidget::exitFullScreenRequested, this, [this] {
        if (isFullScreen())
            showNormal();
    });
    // Keys pressed anywhere in this window pass here first, as a window-wide key monitor.
    qApp->installEventFilter(this);
}

KLMeetingWindowWidget::~KLMeetingWindowWidget()
{
    qApp->removeEventFilter(this);
}

std::shared_ptr<KLMeetingWindowView> KLMeetingWindowWidget::viewFor(KLMeetingWindowWidget *widget)
{
    return std::make_shared<WindowViewAdapter>(widget);
}

void KLMeetingWindowWidget::showMeetingWindow()
{
    const QByteArray saved = QSettings().value(QLatin1String(kGeometryKey)).toByteArray();
    if (saved.isEmpty() || !restoreGeometry(saved)) {
        const QRect available = screen() ? screen()->availableGeometry() : QRect(QPoint(0, 0), kPreferredSize);
        const QSize size = kPreferredSize.boundedTo(available.size() * 0.9).expandedTo(kMinimumSize);
        resize(size);
        move(available.center() - QPoint(size.width() / 2, size.height() / 2));
    }
    show();
    raise();
    activateWindow();
}

void KLMeetingWindowWidget::closeFromMeeting()
{
    if (m_closingFromMeeting)
        return;
    m_closingFromMeeting = true;
    m_layout->releaseRenderViews();
    saveGeometryToSettings();
    close();
    deleteLater();
}

void KLMeetingWindowWidget::toggleFullScreen()
{
    if (isFullScreen())
        showNormal();
    else
        showFullScreen();
}

void KLMeetingWindowWidget::saveGeometryToSettings()
{
    if (isFullScreen() || isMinimized() || !isVisible())
        return;
    QSettings settings;
    settings.setValue(QLatin1String(kGeometryKey), saveGeometry());
    settings.sync();
}

// The user's close: the meeting is left through the window controller, which then closes
// this widget. Until then the window stays, so that nothing is drawn into a closed window.
void KLMeetingWindowWidget::closeEvent(QCloseEvent *event)
{
    if (m_closingFromMeeting) {
        event->accept();
        return;
    }
    event->ignore();
    saveGeometryToSettings();
    if (auto meetingWindow = m_meetingWindow.lock()) {
        KL_LOG_INFO(kTag, QStringLiteral("the user closes the meeting window"));
        meetingWindow->performUserAction(KLUISDKUserAction::Close, QString());
    } else {
        closeFromMeeting();
    }
}

void KLMeetingWindowWidget::post(const char *name)
{
    KLNotificationCenter::defaultCenter().postNotification(QLatin1String(name), m_meetingWindow.lock().get());
}

void KLMeetingWindowWidget::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange)
        return;
    const bool minimised = isMinimized();
    if (minimised != m_wasMinimised) {
        m_wasMinimised = minimised;
        post(minimised ? "windowDidMiniaturize" : "windowDidDeMiniaturize");
    }
    const bool fullScreen = isFullScreen();
    if (fullScreen != m_wasFullScreen) {
        m_wasFullScreen = fullScreen;
        m_layout->setFullScreenShown(fullScreen);
        if (auto meetingWindow = m_meetingWindow.lock())
            if (auto layout = meetingWindow->layout())
                layout->fullScreenChanged(fullScreen);
    }
}

void KLMeetingWindowWidget::moveEvent(QMoveEvent *event)
{
    QWidget::moveEvent(event);
    if (isVisible())
        post("windowDidChangeMove");
}

void KLMeetingWindowWidget::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!m_screenWatched && windowHandle()) {
        m_screenWatched = true;
        connect(windowHandle(), &QWindow::screenChanged, this, [this] { post("windowDidChangeScreen"); });
    }
}

void KLMeetingWindowWidget::escPressed()
{
    if (isFullScreen())
        showNormal();
    if (auto meetingWindow = m_meetingWindow.lock())
        if (auto layout = meetingWindow->layout())
            layout->escPressed();
}

bool KLMeetingWindowWidget::eventFilter(QObject *watched, QEvent *event)
{
    // In full screen a double click on the meeting shows or hides the header and toolbar.
    if (event->type() == QEvent::MouseButtonDblClick && isFullScreen()) {
        auto *target = qobject_cast<QWidget *>(watched);
        if (target && target->window() == this && !m_dialog->isDialogShown()) {
            KLNotificationCenter::defaultCenter().postNotification(KLNotificationNames::FullScreenShowAndHiddenPressed);
            return true;
        }
    }
    if (event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    auto *target = qobject_cast<QWidget *>(watched);
    if (!target || target->window() != this)
        return QWidget::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent *>(event)->key();
    // The dialog answers Enter and Escape while it is up.
    if (m_dialog->isDialogShown())
        return m_dialog->handleKey(key) || QWidget::eventFilter(watched, event);
    if (key == Qt::Key_Escape) {
        escPressed();
        return true;  // consumed; every other key passes on
    }
    return QWidget::eventFilter(watched, event);
}
