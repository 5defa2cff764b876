#include "ui/toolbar/KLHubPopover.h"

#include "ui/KLTheme.h"

#include <QBitmap>
#include <QPainter>
#include <QPainterPath>
#include <QLayout>
#include <QScreen>
#include <QVBoxLayout>

namespace {
constexpr int kArrow = 8;
constexpr QSize kSize(240, 160);
} // namespace

KLHubPopover::KLHubPopover(QWidget *anchor)
    : QFrame(anchor, Qt::Popup | Qt::FramelessWindowHint), m_anchor(anchor), m_content(new QWidget(this))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_TranslucentBackground);
    setObjectName(QStringLiteral("hub-popover"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8 + kArrow);
    layout->addWidget(m_content);
    resize(kSize);
}

void KLHubPopover::showAnchored()
{
    const QPoint anchorTop = m_anchor->mapToGlobal(QPoint(m_anchor->width() / 2, 0));
    const QPoint anchorBottom = m_anchor->mapToGlobal(QPoint(m_anchor->width() / 2, m_anchor->height()));
    QPoint topLeft(anchorTop.x() - width() / 2, anchorTop.y() - height() - 2);
    m_below = false;
    if (const QScreen *screen = m_anchor->screen()) {
        const QRect bounds = screen->availableGeometry();
        topLeft.setX(qBound(bounds.left(), topLeft.x(), bounds.right() - width()));
        // No room over the button: open under it, the arrow pointing up.
        if (topLeft.y() < bounds.top()) {
            m_below = true;
            topLeft.setY(anchorBottom.y() + 2);
        }
    }
    layout()->setContentsMargins(8, 8 + (m_below ? kArrow : 0), 8, 8 + (m_below ? 0 : kArrow));
    m_arrowX = qBound(kArrow * 2, anchorTop.x() - topLeft.x(), width() - kArrow * 2);
    updateMask();
    move(topLeft);
    show();
}

QPoint KLHubPopover::arrowTip() const
{
    return mapToGlobal(QPoint(m_arrowX, m_below ? 0 : height()));
}

QPainterPath KLHubPopover::outline() const
{
    const qreal top = m_below ? kArrow + 0.5 : 0.5;
    const QRectF body(0.5, top, width() - 1.0, height() - kArrow - 1.0);
    QPainterPath path;
    path.addRoundedRect(body, 8, 8);
    QPainterPath arrow;
    const qreal base = m_below ? body.top() : body.bottom();
    const qreal tip = m_below ? 0.5 : body.bottom() + kArrow;
    arrow.moveTo(m_arrowX - kArrow, base);
    arrow.lineTo(m_arrowX, tip);
    arrow.lineTo(m_arrowX + kArrow, base);
    arrow.closeSubpath();
    return path.united(arrow);
}

void KLHubPopover::updateMask()
{
    // A one-bit picture of the outline (its border included) becomes the window's shape.
    QBitmap shape(size());
    shape.fill(Qt::color0);
    QPainter p(&shape);
    p.setPen(QPen(Qt::color1, 1));
    p.setBrush(Qt::color1);
    p.drawPath(outline());
    p.end();
    setMask(shape);
}

void KLHubPopover::resizeEvent(QResizeEvent *event)
{
    QFrame::resizeEvent(event);
    updateMask();
}

void KLHubPopover::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(KLTheme::color(QStringLiteral("#D9DEE6")), 1));
    p.setBrush(KLTheme::color(KLTheme::kWindowBackground));
    p.drawPath(outline());
}
