#include "ui/layout/KLMeetingLayoutWidget.h"

#include "conference/service/KLConferenceService.h"
#include "conference/registry/KLParticipantRegistry.h"
#include "model/KLSDKMeetingConfigInternal.h"
#include "runtime/KLLocalization.h"
#include "runtime/KLSDKLog.h"
#include "ui/KLTheme.h"
#include "ui/chat/KLChatBubbleWidget.h"
#include "ui/meetinginfo/KLHubPanels.h"
#include "ui/tiles/KLMeetingBigView.h"
#include "ui/memberlist/KLMeetingSidePanel.h"
#include "ui/notes/KLMeetingNotePanelWidget.h"
#include "ui/tiles/KLMeetingVideoArea.h"
#include "ui/toast/KLToastWidget.h"
#include "ui/toolbar/KLHubButtonWidget.h"
#include "ui/toolbar/KLHubWidget.h"
#include "ui/web/KLMeetingRateView.h"
#include "window/KLHubViewController.h"
#include "window/KLUISDKMeetingWindow.h"

#include <QBoxLayout>
#include <QEvent>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QStackedWidget>
#include <QToolButton>

namespace {

const char *const kTag = "KLMeetingLayoutWidget";
constexpr int kHeaderHeight = 44;

class LayoutViewAdapter final : public KLMeetingLayoutView {
public:
    explicit LayoutViewAdapter(KLMeetingLayoutWidget *widget) : m_widget(widget) {}
    void showLoading(bool loading) override { with([=](auto &w) { w.showLoading(loading); }); }
    void showLeavePage() override { with([](auto &w) { w.showLeavePage(); }); }
    void showMainClient(const std::shared_ptr<KLFeedClient> &feed) override { with([&](auto &w) { w.showMainClient(feed); }); }
    void refreshSmallClients() override { with([](auto &w) { w.refreshSmallClients(); }); }
    void loadRatePage(const QString &url) override { with([&](auto &w) { w.loadRatePage(url); }); }
    void showRatePage() override { with([](auto &w) { w.showRatePage(); }); }
    void showMeetingInformation(const KLMeetingInformationText &info) override { with([&](auto &w) { w.showMeetingInformation(info); }); }
    void startMeetingTimer() override { with([](auto &w) { w.startMeetingTimer(); }); }
    void meetingLeft() override { with([](auto &w) { w.meetingLeft(); }); }
    void clientLeave(const std::shared_ptr<KLFeedClient> &feed) override { with([&](auto &w) { w.clientLeave(feed); }); }
    void membersChanged() override { with([](auto &w) { w.membersChanged(); }); }
    void refreshLocalPreview() override { with([](auto &w) { w.refreshLocalPreview(); }); }
    void showTipPopovers(bool settings, bool note) override { with([=](auto &w) { w.showTipPopovers(settings, note); }); }
    void closeTipPopover(KLTipPopover which) override { with([=](auto &w) { w.closeTipPopover(which); }); }
    void setChromeVisible(bool visible) override { with([=](auto &w) { w.setChromeVisible(visible); }); }
    void exitFullScreen() override { with([](auto &w) { w.exitFullScreen(); }); }
    void showCaptionView() override { with([](auto &w) { w.showCaptionView(); }); }

private:
    template <typename F> void with(F &&work)
    {
        if (m_widget)
            work(*m_widget);
    }
    QPointer<KLMeetingLayoutWidget> m_widget;
};

QLabel *label(QWidget *parent, int pixelSize, bool bold, const QString &color)
{
    auto *l = new QLabel(parent);
    l->setFont(KLTheme::font(pixelSize, bold));
    l->setStyleSheet(QStringLiteral("color: %1;").arg(color));
    return l;
}

QLabel *picture(QWidget *parent, const QString &key, int size)
{
    auto *l = new QLabel(parent);
    l->setPixmap(KLTheme::iconPixmap(key, QSize(size, size), parent->devicePixelRatioF()));
    l->setAlignment(Qt::AlignHCenter);
    return l;
}

// A small bubble pointing at a toolbar button: the tip's text and the button that closes it.
QWidget *tipBubble(QWidget *parent, const QString &text, std::function<void()> closed)
{
    auto *bubble = new QFrame(parent);
    bubble->setObjectName(QStringLiteral("tip-popover"));
    bubble->setAttribute(Qt::WA_StyledBackground);
    bubble->setStyleSheet(QStringLiteral("#tip-popover { background: %1; border-radius: 8px; }").arg(KLTheme::kAccentBlue));
    auto *row = new QHBoxLayout(bubble);
    row->setContentsMargins(14, 8, 8, 8);
    row->setSpacing(10);
    auto *tip = label(bubble, 13, false, KLTheme::kTextLight);
    tip->setText(text);
    auto *gotIt = new QPushButton(KLLocalizedString(QStringLiteral("KNOW_TIPS")), bubble);
    gotIt->setObjectName(QStringLiteral("tip-popover-close"));
    gotIt->setFont(KLTheme::font(12));
    gotIt->setCursor(Qt::PointingHandCursor);
    gotIt->setStyleSheet(QStringLiteral("QPushButton { background: #FFFFFF; color: %1; border: none;"
                                        " border-radius: 11px; padding: 3px 12px; }")
                             .arg(KLTheme::kAccentBlue));
    QObject::connect(gotIt, &QPushButton::clicked, bubble, std::move(closed));
    row->addWidget(tip);
    row->addWidget(gotIt);
    bubble->adjustSize();
    return bubble;
}

} // namespace

KLMeetingLayoutWidget::KLMeetingLayoutWidget(std::shared_ptr<KLMeetingLayoutViewController> layout,
                                             std::shared_ptr<KLHubViewController> hub, QWidget *parent)
    : QWidget(parent), m_layout(std::move(layout))
{
    setObjectName(QStringLiteral("meeting-layout"));
    m_pages = new QStackedWidget(this);
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(m_pages);

    m_loadingPage = buildLoadingPage();
    m_meetingPage = buildMeetingPage();
    m_leftPage = buildLeftPage();
    m_pages->addWidget(m_loadingPage);
    m_pages->addWidget(m_meetingPage);
    m_pages->addWidget(m_leftPage);

    // The toolbar is built last so that it attaches itself to its controller once it exists.
    m_hub = new KLHubWidget(std::move(hub), m_meetingPage);
    m_meetingPage->layout()->addWidget(m_hub);
    QWidget *bigView = m_video->bigView();
    m_toasts = new KLToastWidget(m_meetingPage, bigView ? bigView : static_cast<QWidget *>(m_video));
    // The first press of settings or of the meeting note also settles its tip.
    const std::pair<const char *, KLTipPopover> tipButtons[] = {{"hub-setting-button", KLTipPopover::NewSettings},
                                                                {"hub-meetingNote-button", KLTipPopover::NewMeetingNote}};
    for (const auto &[control, which] : tipButtons) {
        if (auto *button = m_hub->button(QLatin1String(control))) {
            connect(button, &QAbstractButton::clicked, this, [this, which = which] {
                if (tipPopover(which) && m_layout)
                    m_layout->tipPopoverClosed(which);
            });
        }
    }
    // The toolbar's popovers, the invitation page and the device window.
    new KLHubPanels(m_layout, m_hub, this);
    m_meetingPage->installEventFilter(this);
    if (m_layout)
        showMeetingInformation(m_layout->meetingInformation());
    m_pages->setCurrentWidget(m_loadingPage);
}

KLMeetingLayoutWidget::~KLMeetingLayoutWidget() = default;

std::shared_ptr<KLMeetingLayoutView> KLMeetingLayoutWidget::viewFor(KLMeetingLayoutWidget *widget)
{
    return std::make_shared<LayoutViewAdapter>(widget);
}

QWidget *KLMeetingLayoutWidget::buildLoadingPage()
{
    auto *page = new QWidget(this);
    page->setObjectName(QStringLiteral("loading-page"));
    page->setAttribute(Qt::WA_StyledBackground);
    page->setStyleSheet(QStringLiteral("#loading-page { background: %1; }").arg(KLTheme::kWindowBackground));
    auto *column = new QVBoxLayout(page);
    column->addStretch(2);
    column->addWidget(picture(page, QStringLiteral("conf_meeting_logo"), 64));
    column->addSpacing(14);
    auto *joining = label(page, 16, false, KLTheme::kTextDark);
    joining->setObjectName(QStringLiteral("loading-text"));
    joining->setText(KLLocalizedString(QStringLiteral("MEETING_LOADING_TIPS")));
    joining->setAlignment(Qt::AlignHCenter);
    column->addWidget(joining);
    column->addSpacing(22);

    // The meeting's information part: hidden once the meeting has been entered.
    m_loadingInformation = new QWidget(page);
    auto *info = new QVBoxLayout(m_loadingInformation);
    info->setSpacing(6);
    m_loadingSubject = label(m_loadingInformation, 20, true, KLTheme::kTextDark);
    m_loadingTime = label(m_loadingInformation, 14, false, QStringLiteral("rgba(31,56,88,0.6)"));
    m_loadingCode = label(m_loadingInformation, 14, false, QStringLiteral("rgba(31,56,88,0.6)"));
    for (QLabel *l : {m_loadingSubject, m_loadingTime, m_loadingCode}) {
        l->setAlignment(Qt::AlignHCenter);
        info->addWidget(l);
    }
    column->addWidget(m_loadingInformation);
    column->addStretch(3);
    return page;
}

QWidget *KLMeetingLayoutWidget::buildMeetingPage()
{
    auto *page = new QWidget(this);
    page->setObjectName(QStringLiteral("meeting-page"));
    page->setAttribute(Qt::WA_StyledBackground);
    page->setStyleSheet(QStringLiteral("#meeting-page { background: %1; }").arg(KLTheme::kWindowBackground));
    auto *column = new QVBoxLayout(page);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    m_header = new QWidget(page);
    m_header->setObjectName(QStringLiteral("meeting-header"));
    m_header->setAttribute(Qt::WA_StyledBackground);
    m_header->setStyleSheet(QStringLiteral("#meeting-header { background: %1; }").arg(KLTheme::kMeetingBackground));
    m_header->setFixedHeight(kHeaderHeight);
    auto *row = new QHBoxLayout(m_header);
    row->setContentsMargins(16, 0, 10, 0);
    row->setSpacing(14);
    m_subject = label(m_header, 14, true, KLTheme::kTextLight);
    m_subject->setObjectName(QStringLiteral("meeting-subject"));
    m_code = label(m_header, 13, false, QStringLiteral("rgba(255,255,255,0.6)"));
    m_members = label(m_header, 13, false, QStringLiteral("rgba(255,255,255,0.6)"));
    m_timer = label(m_header, 13, false, KLTheme::kTextLight);
    m_timer->setObjectName(QStringLiteral("meeting-timer"));
    m_timer->setText(KLMeetingLayoutViewController::meetingTimerText(0));
    m_fullScreen = new QToolButton(m_header);
    m_fullScreen->setObjectName(QStringLiteral("full-screen-button"));
    m_fullScreen->setAutoRaise(true);
    m_fullScreen->setIconSize(QSize(18, 18));
    m_fullScreen->setCursor(Qt::PointingHandCursor);
    m_fullScreen->setStyleSheet(QStringLiteral("QToolButton { border: none; padding: 4px; border-radius: 4px; }"
                                               "QToolButton:hover { background: rgba(255,255,255,0.12); }"));
    setFullScreenShown(false);
    connect(m_fullScreen, &QToolButton::clicked, this, &KLMeetingLayoutWidget::fullScreenToggleRequested);
    row->addWidget(m_subject);
    row->addWidget(m_code);
    row->addStretch(1);
    row->addWidget(m_members);
    row->addWidget(m_timer);
    row->addWidget(m_fullScreen);
    column->addWidget(m_header);

    m_video = new KLMeetingVideoArea(m_layout, page);
    connect(m_video, &KLMeetingVideoArea::meetingTimerChanged, m_timer, &QLabel::setText);
    m_body = new QHBoxLayout;
    m_body->setSpacing(0);
    m_body->addWidget(m_video, 1);
    column->addLayout(m_body, 1);
    return page;
}

QWidget *KLMeetingLayoutWidget::buildLeftPage()
{
    auto *page = new QWidget(this);
    page->setObjectName(QStringLiteral("left-page"));
    page->setAttribute(Qt::WA_StyledBackground);
    page->setStyleSheet(QStringLiteral("#left-page { background: %1; }").arg(KLTheme::kWindowBackground));
    auto *column = new QVBoxLayout(page);
    column->addStretch(2);
    column->addWidget(picture(page, QStringLiteral("conf_meeting_left"), 64));
    column->addSpacing(14);
    auto *left = label(page, 18, true, KLTheme::kTextDark);
    left->setText(KLLocalizedString(QStringLiteral("LEAVE_PAGE_TIPS")));
    left->setAlignment(Qt::AlignHCenter);
    m_leftSubject = label(page, 14, false, QStringLiteral("rgba(31,56,88,0.6)"));
    m_leftSubject->setAlignment(Qt::AlignHCenter);
    column->addWidget(left);
    column->addWidget(m_leftSubject);
    column->addStretch(3);
    return page;
}

KLMeetingLayoutWidget::Page KLMeetingLayoutWidget::page() const
{
    if (m_pages->currentWidget() == m_meetingPage)
        return Page::Meeting;
    if (m_pages->currentWidget() == m_leftPage)
        return Page::Left;
    if (m_ratePage && m_pages->currentWidget() == m_ratePage)
        return Page::Rate;
    return Page::Loading;
}

QWidget *KLMeetingLayoutWidget::tipPopover(KLTipPopover which) const
{
    return which == KLTipPopover::NewSettings ? m_settingsTip : m_noteTip;
}

void KLMeetingLayoutWidget::showLoading(bool loading)
{
    if (page() == Page::Left || page() == Page::Rate)
        return;  // the meeting was left: nothing comes back
    if (!loading)
        m_entered = true;
    m_loadingInformation->setVisible(!m_entered);
    m_pages->setCurrentWidget(loading ? m_loadingPage : m_meetingPage);
    if (!loading)
        m_toasts->relayout();
}

void KLMeetingLayoutWidget::showLeavePage()
{
    closeTipPopover(KLTipPopover::NewSettings);
    closeTipPopover(KLTipPopover::NewMeetingNote);
    m_pages->setCurrentWidget(m_leftPage);
}

void KLMeetingLayoutWidget::showMainClient(const std::shared_ptr<KLFeedClient> &feed)
{
    m_video->showMainClient(feed);
}

void KLMeetingLayoutWidget::refreshSmallClients()
{
    m_video->refreshSmallClients();
}

// The rating page loads at once, hidden behind the meeting, so that it is ready when the
// meeting is left; what the page reports goes to the layout controller, which decides.
void KLMeetingLayoutWidget::loadRatePage(const QString &url)
{
    m_rateUrl = url;
    if (!m_ratePage) {
        const auto service = m_layout ? m_layout->service() : nullptr;
        const QString caFile = service && service->meetingConfig() ? service->meetingConfig()->caFile() : QString();
        std::weak_ptr<KLMeetingLayoutViewController> weak = m_layout;
        m_ratePage = new KLMeetingRateView(caFile, [weak](const QString &status) {
            if (auto layout = weak.lock())
                layout->rateStatusReceived(status);
        }, m_pages);
        m_pages->addWidget(m_ratePage);
    }
    m_ratePage->load(QUrl(url));
}

void KLMeetingLayoutWidget::showRatePage()
{
    closeTipPopover(KLTipPopover::NewSettings);
    closeTipPopover(KLTipPopover::NewMeetingNote);
    if (!m_ratePage) {
        KL_LOG_WARN(kTag, QStringLiteral("rating page asked for without an address; the leave page is shown"));
        m_pages->setCurrentWidget(m_leftPage);
        return;
    }
    m_pages->setCurrentWidget(m_ratePage);
}

void KLMeetingLayoutWidget::showMeetingInformation(const KLMeetingInformationText &information)
{
    m_loadingSubject->setText(information.subject);
    m_loadingSubject->setVisible(!information.subject.isEmpty());
    m_loadingTime->setText(information.time);
    m_loadingTime->setVisible(!information.time.isEmpty());
    const QString code = information.code.isEmpty()
                             ? QString()
                             : KLLocalizedString(QStringLiteral("MEETING_CODE_TITLE")).arg(information.code);
    m_loadingCode->setText(code);
    m_loadingCode->setVisible(!code.isEmpty());
    m_subject->setText(information.subject);
    m_code->setText(code);
    m_leftSubject->setText(information.subject);
    Q_EMIT subjectChanged(information.subject);
}

void KLMeetingLayoutWidget::startMeetingTimer()
{
    m_video->enterRoomSuccess();
    membersChanged();
}

void KLMeetingLayoutWidget::meetingLeft()
{
    m_video->releaseRenderViews();
    closeTipPopover(KLTipPopover::NewSettings);
    closeTipPopover(KLTipPopover::NewMeetingNote);
    setChromeVisible(true);
}

void KLMeetingLayoutWidget::clientLeave(const std::shared_ptr<KLFeedClient> &feed)
{
    m_video->clientLeave(feed);
}

void KLMeetingLayoutWidget::membersChanged()
{
    const auto service = m_layout ? m_layout->service() : nullptr;
    if (!service)
        return;
    const auto online = service->registry().participantsWithOnline(true).size();
    m_members->setText(KLLocalizedString(QStringLiteral("MEETING_MEMBER_COUNT")).arg(online));
    m_members->setVisible(online > 0);
}

void KLMeetingLayoutWidget::refreshLocalPreview()
{
    m_video->refreshSmallClients();
}

void KLMeetingLayoutWidget::showTipPopovers(bool newSettings, bool newMeetingNote)
{
    std::weak_ptr<KLMeetingLayoutViewController> weak = m_layout;
    auto closer = [weak](KLTipPopover which) {
        return [weak, which] {
            if (auto layout = weak.lock())
                layout->tipPopoverClosed(which);
        };
    };
    if (newSettings && !m_settingsTip)
        m_settingsTip = tipBubble(m_meetingPage, KLLocalizedString(QStringLiteral("NEW_SETTINGS_TIPS")),
                                  closer(KLTipPopover::NewSettings));
    if (newMeetingNote && !m_noteTip)
        m_noteTip = tipBubble(m_meetingPage, KLLocalizedString(QStringLiteral("NEW_MEETING_NOTE_TIPS")),
                              closer(KLTipPopover::NewMeetingNote));
    placeTipPopovers();
}

void KLMeetingLayoutWidget::closeTipPopover(KLTipPopover which)
{
    QWidget *&tip = which == KLTipPopover::NewSettings ? m_settingsTip : m_noteTip;
    if (!tip)
        return;
    tip->hide();
    tip->deleteLater();
    tip = nullptr;
}

// Each tip sits above its toolbar button; when both are up the meeting note's sits one row
// higher so that they never cover each other.
void KLMeetingLayoutWidget::placeTipPopovers()
{
    int row = 0;
    const std::pair<QWidget *, const char *> tips[] = {{m_settingsTip, "hub-setting-button"},
                                                       {m_noteTip, "hub-meetingNote-button"}};
    for (const auto &[tip, control] : tips) {
        if (!tip)
            continue;
        QWidget *anchor = m_hub->button(QLatin1String(control));
        if (!anchor || anchor->isHidden())
            anchor = m_hub;
        const QPoint top = anchor->mapTo(m_meetingPage, QPoint(anchor->width() / 2, 0));
        int x = std::clamp(top.x() - tip->width() / 2, 8, std::max(8, m_meetingPage->width() - tip->width() - 8));
        tip->move(x, top.y() - tip->height() - 8 - row * (tip->height() + 8));
        tip->show();
        tip->raise();
        ++row;
    }
}

void KLMeetingLayoutWidget::attachSidePanel(const std::shared_ptr<KLUISDKMeetingWindow> &meetingWindow)
{
    if (m_sidePanel || !meetingWindow)
        return;
    m_video->setMemberList(meetingWindow->memberList());
    m_sidePanel = new KLMeetingSidePanel(meetingWindow, m_video, window(), m_meetingPage);
    m_body->addWidget(m_sidePanel);
    // The chat bubble, the notices and the big view's name share the foot of the big view.
    if (KLChatBubbleWidget *bubble = m_sidePanel->chatBubble()) {
        if (QWidget *bigView = m_video->bigView())
            bubble->setView(bigView);
        m_toasts->setChatBubble(bubble);
    }
}

void KLMeetingLayoutWidget::setChromeVisible(bool visible)
{
    m_header->setVisible(visible);
    m_hub->setVisible(visible);
    if (m_sidePanel)
        m_sidePanel->setVisible(visible);
}

void KLMeetingLayoutWidget::exitFullScreen()
{
    Q_EMIT exitFullScreenRequested();
}

// The notes panel opens beside the video (after the member list's place) and stays until its
// close button; it is built the first time, for the meeting of this window.
void KLMeetingLayoutWidget::showCaptionView()
{
    if (!m_notePanel) {
        m_notePanel = new KLMeetingNotePanelWidget(m_layout ? m_layout->service() : nullptr, m_meetingPage);
        connect(m_notePanel, &KLMeetingNotePanelWidget::closeRequested, m_notePanel, &QWidget::hide);
        m_body->insertWidget(1, m_notePanel);
    }
    m_notePanel->show();
    // However it was opened, the panel settles the notes' tip.
    if (tipPopover(KLTipPopover::NewMeetingNote) && m_layout)
        m_layout->tipPopoverClosed(KLTipPopover::NewMeetingNote);
}

void KLMeetingLayoutWidget::setFullScreenShown(bool fullScreen)
{
    m_fullScreen->setIcon(KLTheme::icon(fullScreen ? QStringLiteral("conf_fullscreen_exit")
                                                   : QStringLiteral("conf_fullscreen_enter")));
}

void KLMeetingLayoutWidget::releaseRenderViews()
{
    m_video->releaseRenderViews();
}

bool KLMeetingLayoutWidget::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_meetingPage && (event->type() == QEvent::Resize || event->type() == QEvent::LayoutRequest))
        placeTipPopovers();
    return QWidget::eventFilter(watched, event);
}
