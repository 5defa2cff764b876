#include "ui/tiles/KLMeetingTileView.h"

#include "conference/registry/KLFeedClient.h"
#include "window/KLMemberListViewController.h"
#include "media/KLRTCMediaStream.h"
#include "media/KLRTCMediaVideoRenderView.h"
#include "runtime/KLLocalization.h"
#include "runtime/KLNotificationCenter.h"
#include "runtime/KLNotificationNames.h"
#include "ui/KLTheme.h"
#include "ui/KLUiThreadLink.h"
#include "ui/tiles/KLTileAnimation.h"
#include "ui/video/KLVideoRenderWidget.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolButton>

namespace {
constexpr int kMargin = 8;

// A stable colour per member for the name placeholder.
QColor placeholderColor(const QString &uuid)
{
    static const char *const palette[] = {"#3A6EA5", "#4F8A5B", "#8A5BA5", "#A5703A", "#3A8A8A", "#A54F5B"};
    uint hash = 0;
    for (const QChar c : uuid)
        hash = hash * 31 + c.unicode();
    return KLTheme::color(QLatin1String(palette[hash % 6]));
}
} // namespace

KLMeetingTileView::KLMeetingTileView(bool bigView, QWidget *parent)
    : QWidget(parent),
      m_bigView(bigView),
      m_link(KLUiThreadLink::create(this)),
      m_video(new KLVideoRenderWidget(this)),
      m_name(new QLabel(this)),
      m_network(new QLabel(this)),
      m_roomLabel(new QLabel(this)),
      m_callingLabel(new QLabel(this)),
      m_speakingLabel(new QLabel(this)),
      m_muteButton(new QToolButton(this)),
      m_calling(std::make_unique<KLTileAnimation>(m_callingLabel, QStringLiteral("callImageThread"))),
      m_speaking(std::make_unique<KLTileAnimation>(m_speakingLabel, QStringLiteral("speakImageThread")))
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_video->hide();
    m_name->setFont(KLTheme::font(bigView ? 14 : 12));
    m_name->setStyleSheet(QStringLiteral("color: %1; background: rgba(0,0,0,110); border-radius: 4px; padding: 2px 6px;")
                              .arg(KLTheme::kTextLight));
    m_name->hide();
    m_network->hide();
    m_roomLabel->setFont(KLTheme::font(bigView ? 14 : 11));
    m_roomLabel->setStyleSheet(QStringLiteral("color: %1;").arg(KLTheme::kTextLight));
    m_roomLabel->setAlignment(Qt::AlignCenter);
    m_roomLabel->hide();
    m_callingLabel->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_speakingLabel->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_callingLabel->hide();
    m_speakingLabel->hide();
    m_muteButton->setObjectName(QStringLiteral("tile-mute-button"));
    m_muteButton->setAutoRaise(true);
    m_muteButton->setIconSize(QSize(16, 16));
    m_muteButton->setStyleSheet(QStringLiteral("QToolButton { border: none; background: transparent; padding: 0; }"));
    m_muteButton->hide();
    connect(m_muteButton, &QToolButton::clicked, this, [this] { muteButtonClicked(); });

    observe(KLNotificationNames::AudioVideoChangeNotification, false);
    observe(KLNotificationNames::ReceiveVideoChangeNotification, false);
    observe(KLNotificationNames::RingChangeNotification, false);
    // Net scores change for many members at once.
    observe(KLNotificationNames::MeetingMemberNetStatusUpdate, true);
}

KLMeetingTileView::~KLMeetingTileView()
{
    KLNotificationCenter::defaultCenter().removeObserver(this);
    m_link->detach();
    blockSignals(true); // whoever listens may be half destroyed already
    m_calling->stop();
    m_speaking->stop();
    unbindStream();
}

void KLMeetingTileView::observe(const QString &notification, bool anyClient)
{
    std::weak_ptr<KLUiThreadLink> weakLink = m_link;
    KLMeetingTileView *self = this;
    KLNotificationCenter::defaultCenter().addObserver(this, notification, [weakLink, self, anyClient](const KLNotification &note) {
        const auto link = weakLink.lock();
        if (!link)
            return;
        QString uuid;
        if (!anyClient)
            if (const auto feed = note.userInfo.value(KLNotificationKeys::client).value<std::shared_ptr<KLFeedClient>>())
                uuid = feed->uuid();
        link->post([self, uuid, anyClient] {
            if (self->m_feed && (anyClient || self->m_feed->uuid() == uuid))
                self->refresh();
        });
    });
}

void KLMeetingTileView::setPallasMeeting(bool pallas)
{
    m_pallas = pallas;
}

void KLMeetingTileView::setMemberList(std::weak_ptr<KLMemberListViewController> memberList)
{
    m_memberList = std::move(memberList);
    applyMuteButton();
}

// The mute rule is the member list's row rule; the tile only shows whether it applies.
void KLMeetingTileView::applyMuteButton()
{
    const auto memberList = m_memberList.lock();
    const bool member = m_feed && m_feed->participant() && !m_feed->isShareScreen() && m_feed->isOnline();
    const bool canMute = member && memberList && memberList->canMute(m_feed);
    m_muteButton->setVisible(member && (m_state.muted || canMute));
    m_muteButton->setEnabled(canMute);
    m_muteButton->setCursor(canMute ? Qt::PointingHandCursor : Qt::ArrowCursor);
    m_muteButton->setIcon(KLTheme::icon(QLatin1String(m_state.muted ? "conf_tile_mic_mute" : "conf_tile_mic_normal")));
    m_muteButton->setToolTip(canMute ? KLLocalizedString(QLatin1String(m_state.muted ? "Tile_Unmute_Tips" : "Tile_Mute_Tips"))
                                     : QString());
}

void KLMeetingTileView::muteButtonClicked()
{
    const auto memberList = m_memberList.lock();
    if (!memberList || !m_feed)
        return;
    memberList->muteClicked(m_feed->uuid());
    refresh();
}

std::shared_ptr<KLRTCMediaVideoRenderView> KLMeetingTileView::renderView() const
{
    return m_video->renderView();
}

void KLMeetingTileView::setFeed(const std::shared_ptr<KLFeedClient> &feed)
{
    if (feed && feed == m_feed) {
        refresh();
        return;
    }
    unbindStream();
    m_video->clearFrame();
    m_feed = feed;
    refresh();
}

void KLMeetingTileView::refresh()
{
    m_state = KLVideoTileModel::describe(m_feed, m_bigView, m_pallas);
    if (m_feed && m_state.content == KLVideoTileContent::Video)
        bindStream();
    else if (m_bound)
        unbindStream();
    applyState();
    stateChanged();
    update();
}

void KLMeetingTileView::bindStream()
{
    const auto stream = m_feed->mediaStream();
    if (m_bound && m_boundStream.lock() == stream)
        return;
    unbindStream();
    if (!stream)
        return;
    const auto view = m_video->renderView();
    view->setRenderStreamId(stream->getID().isEmpty() ? m_feed->uuid() : stream->getID());
    if (m_feed->isPublisher())
        m_feed->addPreview(view);
    else
        m_feed->addRenderer(view);
    m_boundStream = stream;
    m_bound = true;
    Q_EMIT rendererBound(m_feed->uuid(), view, true);
}

void KLMeetingTileView::unbindStream()
{
    if (!m_bound)
        return;
    const auto view = m_video->renderView();
    if (const auto stream = m_boundStream.lock())
        stream->stopPlayWithView(view);
    else if (m_feed)
        m_feed->removeRenderer(view);
    view->setRenderStreamId(QString());
    m_bound = false;
    m_boundStream.reset();
    m_video->clearFrame();
    Q_EMIT rendererBound(m_feed ? m_feed->uuid() : QString(), view, false);
}

void KLMeetingTileView::stopRenderer()
{
    unbindStream();
    m_state.content = m_state.content == KLVideoTileContent::Video ? KLVideoTileContent::Avatar : m_state.content;
    applyState();
    update();
}

void KLMeetingTileView::applyState()
{
    const bool hasFeed = m_feed != nullptr;
    m_video->setVisible(hasFeed && m_state.content == KLVideoTileContent::Video && m_bound);
    m_name->setText(m_state.name);
    m_name->setVisible(hasFeed && !m_state.name.isEmpty());
    m_name->adjustSize();
    if (m_state.network.visible) {
        m_network->setPixmap(KLTheme::iconPixmap(m_state.network.icon, QSize(16, 16), devicePixelRatioF()));
        m_network->setToolTip(KLLocalizedString(m_state.network.tooltipKey));
    }
    m_network->setVisible(hasFeed && m_state.network.visible);
    m_roomLabel->setText(m_state.roomLabel);
    m_roomLabel->setVisible(hasFeed && !m_state.roomLabel.isEmpty() && m_state.content != KLVideoTileContent::Video);
    applyMuteButton();

    layoutOverlays();
    if (hasFeed && m_state.calling)
        m_calling->start(KLVideoTileModel::callingFrameName, KLVideoTileModel::kCallingFrames,
                         KLVideoTileModel::kAnimationFrameSeconds, QStringLiteral("calling"));
    else
        m_calling->stop();
    if (hasFeed && m_state.speaking) {
        const bool big = m_bigView;
        m_speaking->start([big](int i) { return KLVideoTileModel::speakingFrameName(big, i); },
                          KLVideoTileModel::kSpeakingFrames, KLVideoTileModel::kAnimationFrameSeconds,
                          QStringLiteral("speaking"));
    } else {
        m_speaking->stop();
    }
}

void KLMeetingTileView::layoutOverlays()
{
    const QRect area = rect();
    m_video->setGeometry(area);
    const int nameHeight = m_name->sizeHint().height();
    int x = kMargin;
    const int y = area.height() - kMargin - nameHeight;
    const int speakSize = nameHeight;
    m_speakingLabel->setGeometry(x, y, speakSize, speakSize);
    if (m_speakingLabel->isVisible())
        x += speakSize + 4;
    m_name->setGeometry(x, y, qMin(m_name->sizeHint().width(), area.width() - x - kMargin - 24), nameHeight);
    const QRect name = m_name->geometry();
    m_muteButton->setGeometry(name.right() + 4, name.y() + (name.height() - 18) / 2, 18, 18);
    m_network->setGeometry(area.width() - kMargin - 16, kMargin, 16, 16);
    const int callSize = qMax(24, qMin(area.width(), area.height()) / 4);
    m_callingLabel->setGeometry((area.width() - callSize) / 2, (area.height() - callSize) / 2, callSize, callSize);
    m_roomLabel->setGeometry(0, area.height() / 2 + qMin(area.width(), area.height()) / 5, area.width(),
                             m_roomLabel->sizeHint().height());
}

void KLMeetingTileView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    layoutOverlays();
}

void KLMeetingTileView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && m_feed)
        Q_EMIT clicked(m_feed);
    QWidget::mouseReleaseEvent(event);
}

void KLMeetingTileView::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRect area = rect();
    if (!m_feed) {
        p.fillRect(area, KLTheme::color(KLTheme::kMeetingBackground));
        return;
    }
    if (m_state.content == KLVideoTileContent::Video && m_bound)
        return; // the render view covers the tile
    if (m_state.content == KLVideoTileContent::ScreenShare) {
        QLinearGradient shade(area.topLeft(), area.bottomRight());
        shade.setColorAt(0, KLTheme::color(QStringLiteral("#1D3A5F")));
        shade.setColorAt(1, KLTheme::color(QStringLiteral("#0F1E33")));
        p.fillRect(area, shade);
        const int side = qMin(area.width(), area.height()) / 3;
        const QRect iconRect((area.width() - side) / 2, area.height() / 2 - side * 3 / 4, side, side);
        p.drawPixmap(iconRect, KLTheme::iconPixmap(QStringLiteral("conf_share_screen"), iconRect.size(), devicePixelRatioF()));
        p.setPen(KLTheme::color(KLTheme::kTextLight));
        p.setFont(KLTheme::font(m_bigView ? 16 : 12));
        p.drawText(QRect(0, iconRect.bottom() + 8, area.width(), 24), Qt::AlignHCenter | Qt::AlignTop,
                   KLLocalizedString(QStringLiteral("SHARE_ING")));
        return;
    }
    // The name placeholder: the first letter of the name on the member's colour.
    p.fillRect(area, KLTheme::color(KLTheme::kMeetingBackground));
    const int side = qMax(24, qMin(area.width(), area.height()) * 2 / 5);
    const QRect circle((area.width() - side) / 2, (area.height() - side) / 2, side, side);
    if (m_state.isRoom) {
        p.setBrush(KLTheme::color(QStringLiteral("#2B3340")));
        p.setPen(Qt::NoPen);
        p.drawEllipse(circle);
        const QRect inner = circle.adjusted(side / 4, side / 4, -side / 4, -side / 4);
        p.drawPixmap(inner, KLTheme::iconPixmap(QStringLiteral("conf_meeting_room"), inner.size(), devicePixelRatioF()));
        return;
    }
    p.setBrush(placeholderColor(m_state.uuid));
    p.setPen(Qt::NoPen);
    p.drawEllipse(circle);
    const QString initial = m_state.displayName.trimmed().left(1).toUpper();
    p.setPen(KLTheme::color(KLTheme::kTextLight));
    p.setFont(KLTheme::font(side * 2 / 5, true));
    p.drawText(circle, Qt::AlignCenter, initial);
}
