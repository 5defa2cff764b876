#include "ui/multiprojector/KLMultiProjectorWindowWidget.h"

#include "conference/service/KLConferenceService.h"
#include "conference/registry/KLFeedClient.h"
#include "conference/registry/KLParticipantRegistry.h"
#include "multiprojector/KLMultiProjectorSession.h"
#include "multiprojector/KLMultiProjectorViewFactory.h"
#include "runtime/KLLocalization.h"
#include "runtime/KLNotificationCenter.h"
#include "runtime/KLNotificationNames.h"
#include "runtime/KLTimer.h"
#include "ui/KLTheme.h"
#include "ui/dialog/KLDialogWidget.h"
#include "ui/toast/KLToastWidget.h"
#include "ui/video/KLVideoRenderWidget.h"

#include <KelvoUISDK/KLSDKDispatch.h>

#include <QBoxLayout>
#include <QCloseEvent>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QStackedWidget>

namespace {

QString text(const char *key)
{
    return KLLocalizedString(QLatin1String(key));
}

// The session's window calls, forwarded to the widget while it lives. Main thread.
class WindowView final : public KLMultiProjectorWindowView {
public:
    explicit WindowView(KLMultiProjectorWindowWidget *widget)
        : m_widget(widget), m_dialogs(KLDialogWidget::viewFor(widget->dialogWidget())),
          m_toasts(KLToastWidget::viewFor(widget->toasts()))
    {
    }
    void setWindowTitle(const QString &title) override
    {
        if (m_widget)
            m_widget->setWindowTitle(title);
    }
    void showContent() override
    {
        if (m_widget)
            m_widget->showContent();
    }
    void startMProjectorForSender() override
    {
        if (m_widget)
            m_widget->refresh();
    }
    void showMultiProjectorConfirmDialog(const QList<std::shared_ptr<KLFeedClient>> &, bool, bool, bool) override
    {
        // The busy rooms are shown in the member list with their state; nothing to confirm here.
        if (m_widget)
            m_widget->refresh();
    }
    void showHubLeaveDialog() override {}
    void setKickByOthers() override
    {
        if (m_widget)
            m_widget->setKickByOthers();
    }
    void updateShareBar(const KLMultiProjectorShareBarState &state) override
    {
        if (m_widget)
            m_widget->setAudioMeetingOpen(state.audioMeetingOpen);
    }
    bool isFullScreen() const override { return m_widget && m_widget->isFullScreen(); }
    void leaveFullScreen() override
    {
        if (m_widget)
            m_widget->showNormal();
    }
    void hideWindow() override
    {
        if (m_widget)
            m_widget->showMinimized();
    }
    void attachSession(const std::shared_ptr<KLMultiProjectorSession> &session) override
    {
        if (m_widget)
            m_widget->attachSession(session);
    }
    void closeWindow() override
    {
        if (m_widget)
            m_widget->closeFromSession();
    }
    std::shared_ptr<KLDialogView> dialogView() override { return m_dialogs; }
    std::shared_ptr<KLToastView> toastView() override { return m_toasts; }

private:
    QPointer<KLMultiProjectorWindowWidget> m_widget;
    std::shared_ptr<KLDialogView> m_dialogs;
    std::shared_ptr<KLToastView> m_toasts;
};

QPushButton *makeButton(const QString &label, const QString &name, const QString &background, QWidget *parent)
{
    auto *button = new QPushButton(label, parent);
    button->setObjectName(name);
    button->setFont(KLTheme::font(13, true));
    button->setCursor(Qt::PointingHandCursor);
    button->setMinimumHeight(34);
    button->setStyleSheet(QStringLiteral("QPushButton { background: %1; color: white; border: none; border-radius: 6px;"
                                         " padding: 6px 18px; } QPushButton:disabled { background: #A9B4C2; }")
                              .arg(background));
    return button;
}

} // namespace

KLMultiProjectorWindowWidget::KLMultiProjectorWindowWidget(bool sender) : QWidget(nullptr), m_sender(sender)
{
    setObjectName(sender ? QStringLiteral("multi-projector-sender") : QStringLiteral("multi-projector-receiver"));
    setAttribute(Qt::WA_DeleteOnClose);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, KLTheme::color(sender ? KLTheme::kWindowBackground : KLTheme::kMeetingBackground));
    setPalette(pal);
    resize(sender ? QSize(560, 640) : QSize(960, 540));

    m_pages = new QStackedWidget(this);
    m_loading = new QLabel(text(sender ? "MULTIPROJECTOR_CONNECTING" : "MULTIPROJECTOR_WAIT_FOR_SHARE"), this);
    m_loading->setAlignment(Qt::AlignCenter);
    m_loading->setFont(KLTheme::font(15));
    m_loading->setStyleSheet(QStringLiteral("color: %1;").arg(sender ? KLTheme::kTextDark : KLTheme::kTextLight));
    m_pages->addWidget(m_loading);
    m_pages->addWidget(sender ? buildSenderPage() : buildReceiverPage());
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(m_pages);

    m_dialog = new KLDialogWidget(this);
    m_toasts = new KLToastWidget(this, m_pages);
    m_view = std::make_shared<WindowView>(this);

    // Presence changes arrive as member updates; the timer catches what has no notification.
    QPointer<KLMultiProjectorWindowWidget> self(this);
    KLNotificationCenter::defaultCenter().addObserver(this, KLNotificationNames::MeetingMemberUpdate,
                                                      [self](const KLNotification &) {
                                                          KLPerformBlockOnMainThread([self] {
                                                              if (self)
                                                                  self->refresh();
                                                          });
                                                      });
    m_refreshTimer = std::make_unique<KLTimer>(1.0, true, [self] {
        if (self)
            self->refresh();
    });
    m_refreshTimer->startTimer();
}

KLMultiProjectorWindowWidget::~KLMultiProjectorWindowWidget()
{
    KLNotificationCenter::defaultCenter().removeObserver(this);
    m_refreshTimer->stopTimer();
}

QWidget *KLMultiProjectorWindowWidget::buildSenderPage()
{
    auto *page = new QWidget(this);
    auto *column = new QVBoxLayout(page);
    column->setContentsMargins(24, 20, 24, 20);
    column->setSpacing(12);

    m_state = new QLabel(page);
    m_state->setObjectName(QStringLiteral("multi-projector-state"));
    m_state->setFont(KLTheme::font(18, true));
    m_state->setStyleSheet(QStringLiteral("color: %1;").arg(KLTheme::kTextDark));
    column->addWidget(m_state);

    auto *audioRow = new QHBoxLayout;
    m_audioState = new QLabel(page);
    m_audioState->setFont(KLTheme::font(13));
    m_audioState->setStyleSheet(QStringLiteral("color: #5B6B80;"));
    audioRow->addWidget(m_audioState, 1);
    m_audio = makeButton(text("MULTIPROJECTOR_OPEN_AUDIO"), QStringLiteral("sharebar-open-audio-button"),
                         KLTheme::kAccentBlue, page);
    audioRow->addWidget(m_audio);
    column->addLayout(audioRow);

    auto *listTitle = new QLabel(text("MULTIPROJECTOR_INVITED"), page);
    listTitle->setFont(KLTheme::font(13, true));
    listTitle->setStyleSheet(QStringLiteral("color: %1;").arg(KLTheme::kTextDark));
    column->addWidget(listTitle);

    auto *scroll = new QScrollArea(page);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    m_rowsBox = new QWidget(scroll);
    m_rowsLayout = new QVBoxLayout(m_rowsBox);
    m_rowsLayout->setContentsMargins(0, 0, 0, 0);
    m_rowsLayout->setSpacing(6);
    m_rowsLayout->addStretch(1);
    scroll->setWidget(m_rowsBox);
    column->addWidget(scroll, 1);

    auto *buttons = new QHBoxLayout;
    m_call = makeButton(text("MULTIPROJECTOR_CALL_BUTTON"), QStringLiteral("sharebar-call-button"), QStringLiteral("#22A06B"), page);
    m_stop = makeButton(text("MULTIPROJECTOR_STOP_BUTTON"), QStringLiteral("sharebar-stop-share-button"), QStringLiteral("#F03118"), page);
    buttons->addWidget(m_call);
    buttons->addStretch(1);
    buttons->addWidget(m_stop);
    column->addLayout(buttons);

    // The audio meeting's button opens it, or, once open, offers the calls, as the call button does.
    auto openAudio = [this] {
        if (auto session = m_session.lock())
            session->shareBarOpenAudioPressed();
    };
    connect(m_audio, &QPushButton::clicked, this, openAudio);
    connect(m_call, &QPushButton::clicked, this, openAudio);
    connect(m_stop, &QPushButton::clicked, this, [this] {
        if (auto session = m_session.lock())
            session->shareBarStopSharePressed();
    });
    setAudioMeetingOpen(false);
    return page;
}

QWidget *KLMultiProjectorWindowWidget::buildReceiverPage()
{
    auto *page = new QWidget(this);
    auto *stack = new QStackedWidget(page);
    auto *column = new QVBoxLayout(page);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(stack);
    m_video = new KLVideoRenderWidget(stack);
    m_video->setObjectName(QStringLiteral("multi-projector-cast"));
    m_waiting = new QLabel(text("MULTIPROJECTOR_WAIT_FOR_SHARE"), stack);
    m_waiting->setAlignment(Qt::AlignCenter);
    m_waiting->setFont(KLTheme::font(15));
    m_waiting->setStyleSheet(QStringLiteral("color: %1;").arg(KLTheme::kTextLight));
    stack->addWidget(m_waiting);
    stack->addWidget(m_video);
    return page;
}

std::shared_ptr<KLMultiProjectorWindowView> KLMultiProjectorWindowWidget::view()
{
    return m_view;
}

void KLMultiProjectorWindowWidget::attachSession(const std::shared_ptr<KLMultiProjectorSession> &session)
{
    m_session = session;
    refresh();
}

bool KLMultiProjectorWindowWidget::isContentShown() const
{
    return m_pages->currentIndex() == 1;
}

QString KLMultiProjectorWindowWidget::castStateText() const
{
    return m_state ? m_state->text() : QString();
}

QString KLMultiProjectorWindowWidget::presenceKey(const KLFeedClient &feed)
{
    if (feed.isMultiProjectorReceive())
        return QStringLiteral("MULTIPROJECTOR_PRESENCE_RECEIVING");
    if (feed.isMultiProjectorAudioOpen())
        return QStringLiteral("MULTIPROJECTOR_PRESENCE_IN_AUDIO");
    if (feed.isCalling())
        return QStringLiteral("MULTIPROJECTOR_PRESENCE_CALLING");
    if (feed.multiProjectRejectCode() != 0)
        return QStringLiteral("MULTIPROJECTOR_PRESENCE_DECLINED");
    if (feed.isOnline())
        return QStringLiteral("MULTIPROJECTOR_PRESENCE_ONLINE");
    return QStringLiteral("MULTIPROJECTOR_PRESENCE_OFFLINE");
}

void KLMultiProjectorWindowWidget::showContent()
{
    m_pages->setCurrentIndex(1);
    refresh();
}

void KLMultiProjectorWindowWidget::setAudioMeetingOpen(bool open)
{
    m_audioOpen = open;
    if (!m_audio)
        return;
    m_audioState->setText(text(open ? "MULTIPROJECTOR_AUDIO_MEETING_IS_OPEN" : "MULTIPROJECTOR_AUDIO_MEETING_IS_CLOSED"));
    m_audio->setText(text(open ? "MULTIPROJECTOR_AUDIO_ON" : "MULTIPROJECTOR_OPEN_AUDIO"));
    m_audio->setProperty("audioOpen", open);
}

void KLMultiProjectorWindowWidget::setKickByOthers()
{
    m_kicked = true;
    if (m_stop)
        m_stop->setEnabled(false);
    if (m_call)
        m_call->setEnabled(false);
    if (m_audio)
        m_audio->setEnabled(false);
    refresh();
}

void KLMultiProjectorWindowWidget::closeFromSession()
{
    m_closingFromSession = true;
    close();
}

void KLMultiProjectorWindowWidget::refresh()
{
    auto session = m_session.lock();
    auto service = session ? session->service() : nullptr;
    if (!service)
        return;
    const auto feeds = service->registry().participants();
    if (!m_sender) {
        std::shared_ptr<KLFeedClient> cast;
        for (const auto &feed : feeds)
            if (feed->isShareScreen() && !feed->isPublisher() && feed->hasRTCMedia())
                cast = feed;
        if (!cast) {
            m_playingUuid.clear();
            qobject_cast<QStackedWidget *>(m_video->parentWidget())->setCurrentWidget(m_waiting);
            return;
        }
        if (cast->uuid() != m_playingUuid) {
            m_playingUuid = cast->uuid();
            m_video->clearFrame();
            cast->addRenderer(m_video->renderView());
        }
        qobject_cast<QStackedWidget *>(m_video->parentWidget())->setCurrentWidget(m_video);
        return;
    }
    bool casting = false;
    QList<Row> rooms, people;
    for (const auto &feed : feeds) {
        if (feed->isShareScreen()) {
            casting = casting || feed->isPublisher();
            continue;
        }
        if (feed->isPublisher() || feed->isFreeSwitchFeed() || !feed->participant())
            continue;
        Row row{feed->uuid(), feed->display(), feed->isMeetingRoom(), presenceKey(*feed)};
        (row.room ? rooms : people) << row;
    }
    m_state->setText(text(m_kicked ? "MULTIPROJECTOR_BY_KICK_TOAST_DIALOG"
                                   : casting ? "MULTIPROJECTOR_CASTING" : "MULTIPROJECTOR_NOT_CASTING"));
    const QList<Row> rows = rooms + people;
    if (rows.size() != m_rows.size() || !std::equal(rows.begin(), rows.end(), m_rows.begin(), [](const Row &a, const Row &b) {
            return a.uuid == b.uuid && a.name == b.name && a.presenceKey == b.presenceKey;
        })) {
        m_rows = rows;
        drawRows();
    }
}

void KLMultiProjectorWindowWidget::drawRows()
{
    while (m_rowsLayout->count() > 1) {
        QLayoutItem *item = m_rowsLayout->takeAt(0);
        delete item->widget();
        delete item;
    }
    int index = 0;
    for (const Row &row : m_rows) {
        auto *line = new QFrame(m_rowsBox);
        line->setObjectName(QStringLiteral("multi-projector-row-%1").arg(row.uuid));
        line->setStyleSheet(QStringLiteral("QFrame { background: #F4F6F9; border-radius: 6px; }"));
        auto *cells = new QHBoxLayout(line);
        cells->setContentsMargins(12, 8, 12, 8);
        auto *kind = new QLabel(text(row.room ? "MULTIPROJECTOR_KIND_ROOM" : "MULTIPROJECTOR_KIND_PERSON"), line);
        kind->setFont(KLTheme::font(11));
        kind->setStyleSheet(QStringLiteral("color: white; background: %1; border-radius: 4px; padding: 2px 6px;")
                                .arg(row.room ? QStringLiteral("#7B61FF") : QStringLiteral("#177EE6")));
        auto *name = new QLabel(row.name, line);
        name->setFont(KLTheme::font(13));
        name->setStyleSheet(QStringLiteral("color: %1; background: transparent;").arg(KLTheme::kTextDark));
        auto *presence = new QLabel(KLLocalizedString(row.presenceKey), line);
        presence->setObjectName(QStringLiteral("presence"));
        presence->setFont(KLTheme::font(12));
        const bool receiving = row.presenceKey == QLatin1String("MULTIPROJECTOR_PRESENCE_RECEIVING");
        presence->setStyleSheet(QStringLiteral("color: %1; background: transparent;")
                                    .arg(receiving ? QStringLiteral("#22A06B") : QStringLiteral("#5B6B80")));
        cells->addWidget(kind);
        cells->addWidget(name, 1);
        cells->addWidget(presence);
        m_rowsLayout->insertWidget(index++, line);
    }
}

void KLMultiProjectorWindowWidget::closeEvent(QCloseEvent *event)
{
    // The user closing the window leaves the session; the session's end closes it silently.
    if (!m_closingFromSession) {
        if (auto session = m_session.lock()) {
            session->windowWillClose();
            m_closingFromSession = true;
        }
    }
    event->accept();
}

void KLMultiProjectorWindowWidget::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (m_toasts)
        m_toasts->relayout();
}
