#include "ui/share/KLShareNoticeWindow.h"

#include "runtime/KLLocalization.h"
#include "runtime/KLTimer.h"
#include "ui/KLTheme.h"
#include "ui/share/KLScreens.h"

#include <QBitmap>
#include <QBoxLayout>
#include <QDateTime>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QPointer>

namespace {
QScreen *screenNamed(const QString &name)
{
    QScreen *screen = KLScreens::named(name);
    return screen ? screen : QGuiApplication::primaryScreen();
}
} // namespace

KLShareNoticeWindow::KLShareNoticeWindow(const QString &name, const QString &screenName, Actions actions)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      m_actions(std::move(actions))
{
    setObjectName(QStringLiteral("share-notice"));
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TranslucentBackground);
    setFocusPolicy(Qt::StrongFocus);

    auto *dot = new QLabel(this);
    dot->setFixedSize(10, 10);
    dot->setStyleSheet(QStringLiteral("background: #F03118; border-radius: 5px;"));

    m_state = new QLabel(this);
    m_state->setObjectName(QStringLiteral("share-notice-state"));
    m_state->setFont(KLTheme::font(13, true));
    m_state->setStyleSheet(QStringLiteral("color: %1;").arg(KLTheme::kTextLight));
    const QString sharing = KLLocalizedString(QStringLiteral("SHARE_ING"));
    m_state->setText(name.isEmpty() ? sharing : QStringLiteral("%1 · %2").arg(name, sharing));

    m_elapsed = new QLabel(QStringLiteral("00:00"), this);
    m_elapsed->setObjectName(QStringLiteral("share-notice-elapsed"));
    m_elapsed->setFont(KLTheme::font(12));
    m_elapsed->setStyleSheet(QStringLiteral("color: #C9D2DE;"));

    m_stop = new QPushButton(KLLocalizedString(QStringLiteral("STOP_SHARE_HUB")), this);
    m_stop->setObjectName(QStringLiteral("share-notice-stop-button"));
    m_stop->setFont(KLTheme::font(12, true));
    m_stop->setCursor(Qt::PointingHandCursor);
    m_stop->setFocusPolicy(Qt::NoFocus);
    m_stop->setStyleSheet(QStringLiteral("QPushButton { background: #F03118; color: white; border: none;"
                                         " border-radius: 6px; padding: 6px 14px; }"
                                         "QPushButton:hover { background: #F65A45; }"
                                         "QPushButton:pressed { background: #D42A13; }"));
    connect(m_stop, &QPushButton::clicked, this, [this] {
        if (m_actions.stop)
            m_actions.stop();
    });

    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(16, 10, 10, 10);
    row->setSpacing(10);
    row->addWidget(dot);
    row->addWidget(m_state);
    row->addWidget(m_elapsed);
    row->addSpacing(8);
    row->addWidget(m_stop);
    adjustSize();

    if (QScreen *screen = screenNamed(screenName)) {
        const QRect area = screen->availableGeometry();
        move(area.center().x() - width() / 2, area.top() + 12);
    }

    // The running time is the window's own display; a wall-clock second is what the user reads.
    m_startedMs = QDateTime::currentMSecsSinceEpoch();
    QPointer<KLShareNoticeWindow> self(this);
    m_clock = std::make_unique<KLTimer>(1.0, true, [self] {
        if (self)
            self->tick();
    });
    m_clock->startTimer();
}

KLShareNoticeWindow::~KLShareNoticeWindow()
{
    m_clock->stopTimer();
}

QString KLShareNoticeWindow::stateText() const
{
    return m_state->text();
}

void KLShareNoticeWindow::tick()
{
    const qint64 seconds = (QDateTime::currentMSecsSinceEpoch() - m_startedMs) / 1000;
    m_elapsed->setText(QStringLiteral("%1:%2").arg(seconds / 60, 2, 10, QLatin1Char('0')).arg(seconds % 60, 2, 10, QLatin1Char('0')));
}

void KLShareNoticeWindow::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        if (m_actions.escape)
            m_actions.escape();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void KLShareNoticeWindow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    // Without a compositor a translucent window shows black around its card: the card's
    // outline is the window's shape.
    QBitmap shape(size());
    shape.fill(Qt::color0);
    QPainter painter(&shape);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::color1);
    painter.drawRoundedRect(rect(), 10, 10);
    painter.end();
    setMask(shape);
}

void KLShareNoticeWindow::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(31, 56, 88, 235));
    painter.drawRoundedRect(rect(), 10, 10);
}
