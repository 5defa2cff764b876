#include "ui/tiles/KLMeetingSmallView.h"

#include "ui/KLTheme.h"

KLMeetingSmallView::KLMeetingSmallView(QWidget *parent)
    : KLMeetingTileView(false, parent), m_mute(new QLabel(this))
{
    m_mute->hide();
}

void KLMeetingSmallView::stateChanged()
{
    const bool muted = feed() && state().muted;
    if (muted)
        m_mute->setPixmap(KLTheme::iconPixmap(QStringLiteral("conf_tile_mic_mute"), QSize(16, 16), devicePixelRatioF()));
    m_mute->setVisible(muted);
    layoutOverlays();
}

void KLMeetingSmallView::layoutOverlays()
{
    KLMeetingTileView::layoutOverlays();
    if (!m_mute)
        return;
    const QRect name = nameLabel()->geometry();
    m_mute->setGeometry(name.right() + 4, name.y() + (name.height() - 16) / 2, 16, 16);
}
