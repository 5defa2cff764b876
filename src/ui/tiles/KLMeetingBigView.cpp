#include "ui/tiles/KLMeetingBigView.h"

#include "conference/registry/KLFeedClient.h"
#include "runtime/KLLocalization.h"
#include "runtime/KLNotificationCenter.h"
#include "runtime/KLNotificationNames.h"
#include "runtime/KLTimeScale.h"
#include "runtime/KLTimer.h"
#include "ui/KLTheme.h"

#include <QPushButton>

namespace {
constexpr int kMargin = 12;
}

KLMeetingBigView::KLMeetingBigView(QWidget *parent)
    : KLMeetingTileView(true, parent), m_lock(new QPushButton(this)), m_timer(new QLabel(this))
{
    m_lock->setCursor(Qt::PointingHandCursor);
    m_lock->setFont(KLTheme::font(12));
    m_lock->setIconSize(QSize(14, 14));
    m_lock->setStyleSheet(QStringLiteral(
        "QPushButton { color: %1; background: rgba(0,0,0,120); border: none; border-radius: 4px; padding: 4px 8px; }"
        "QPushButton:hover { background: rgba(0,0,0,170); }"
        "QPushButton:pressed { background: rgba(0,0,0,210); }").arg(KLTheme::kTextLight));
    m_lock->hide();
    connect(m_lock, &QPushButton::clicked, this, [this] { lockClicked(); });

    m_timer->setFont(KLTheme::font(13));
    m_timer->setStyleSheet(QStringLiteral("color: %1; background: rgba(0,0,0,110); border-radius: 4px; padding: 2px 6px;")
                               .arg(KLTheme::kTextLight));
    m_timer->setText(KLVideoTileModel::meetingTimerText(0));
    m_timer->hide();

    // The hub and the side panel appearing or going, or full screen, change the space given.
    observe(KLNotificationNames::hubAndRightViewsShow, true);
    observe(KLNotificationNames::hubAndRightViewsHidden, true);
    observe(KLNotificationNames::viewDidEnterScreenMode, true);
}

KLMeetingBigView::~KLMeetingBigView()
{
    stopMeetingTimer();
}

void KLMeetingBigView::stateChanged()
{
    const bool hasFeed = feed() != nullptr;
    m_lock->setText(KLLocalizedString(QLatin1String(state().locked ? "Unlock_From_Big_View" : "Lock_To_Big_View")));
    m_lock->setIcon(KLTheme::icon(QLatin1String(state().locked ? "conf_unlock" : "conf_lock")));
    m_lock->setToolTip(KLLocalizedString(QLatin1String(state().locked ? "Unlock_Member_ToolTips" : "Lock_Member_ToolTips")));
    m_lock->setVisible(hasFeed);
    m_lock->adjustSize();
    layoutOverlays();
}

void KLMeetingBigView::lockClicked()
{
    // The layout pins the feed shown on "LockClickMember" and lets it go on "UnlockMember".
    const bool locking = m_lock->text() == KLLocalizedString(QStringLiteral("Lock_To_Big_View"));
    QVariantMap info;
    if (feed())
        info.insert(KLNotificationKeys::client, QVariant::fromValue(feed()));
    KLNotificationCenter::defaultCenter().postNotification(
        locking ? QString(KLNotificationNames::LockClickMember) : QString(KLNotificationNames::UnlockMember), nullptr, info);
}

void KLMeetingBigView::startMeetingTimer()
{
    if (m_timerStarted)
        return;
    m_timerStarted = true;
    m_elapsed.start();
    m_meetingTimer = std::make_unique<KLTimer>(1.0, true, [this] { tick(); });
    m_meetingTimer->startTimer();
    m_timer->show();
    tick();
}

void KLMeetingBigView::stopMeetingTimer()
{
    if (m_meetingTimer)
        m_meetingTimer->stopTimer();
    m_meetingTimer.reset();
}

bool KLMeetingBigView::isMeetingTimerRunning() const
{
    return m_meetingTimer != nullptr;
}

QString KLMeetingBigView::meetingTimerText() const
{
    return m_timer->text();
}

void KLMeetingBigView::tick()
{
    // Meeting time, not wall time, under a shrunken time scale (tests).
    const double factor = KLTimeScale::factor() > 0 ? KLTimeScale::factor() : 1.0;
    const qint64 seconds = static_cast<qint64>(m_elapsed.elapsed() / 1000.0 / factor);
    const QString text = KLVideoTileModel::meetingTimerText(seconds);
    if (text == m_timer->text() && seconds > 0)
        return;
    m_timer->setText(text);
    m_timer->adjustSize();
    layoutOverlays();
    Q_EMIT meetingTimerChanged(text);
}

void KLMeetingBigView::layoutOverlays()
{
    KLMeetingTileView::layoutOverlays();
    if (!m_lock || !m_timer)
        return;
    m_lock->move(kMargin, kMargin);
    m_timer->adjustSize();
    const int right = networkLabel()->isVisible() ? networkLabel()->geometry().left() - 8 : width() - kMargin;
    m_timer->move(right - m_timer->width(), kMargin);
}
