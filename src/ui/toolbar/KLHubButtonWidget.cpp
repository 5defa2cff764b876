#include "ui/toolbar/KLHubButtonWidget.h"

#include "runtime/KLTimer.h"
#include "ui/KLTheme.h"

#include <QEnterEvent>
#include <QFocusEvent>
#include <QPainter>
#include <QPainterPath>

namespace {
constexpr int kFace = 40;      // the round face of a control
constexpr int kLabelGap = 4;
constexpr int kLabelHeight = 16;
constexpr int kPillWidth = 88; // controls with a text face (leave)

template <class T>
T orDefault(const T &value, const T &fallback)
{
    return value.isEmpty() ? fallback : value;
}
} // namespace

KLHubButtonWidget::KLHubButtonWidget(const QString &controlId, KLHubButtonState defaults, QWidget *parent)
    : QAbstractButton(parent), m_defaults(std::move(defaults))
{
    setObjectName(controlId);
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_Hover);
    setFocusPolicy(Qt::TabFocus);
    setState(KLHubButtonState{});
}

KLHubButtonWidget::~KLHubButtonWidget()
{
    if (m_spinner)
        m_spinner->stopTimer();
}

void KLHubButtonWidget::setState(const KLHubButtonState &state)
{
    KLHubButtonState drawn = state;
    drawn.icon = orDefault(state.icon, m_defaults.icon);
    drawn.backgroundColor = orDefault(state.backgroundColor, m_defaults.backgroundColor);
    drawn.hoverColor = orDefault(state.hoverColor, orDefault(m_defaults.hoverColor, drawn.backgroundColor));
    drawn.pressedColor = orDefault(state.pressedColor, orDefault(m_defaults.pressedColor, drawn.hoverColor));
    drawn.label = orDefault(state.label, m_defaults.label);
    drawn.labelColor = orDefault(state.labelColor, m_defaults.labelColor);
    drawn.tooltip = orDefault(state.tooltip, orDefault(m_defaults.tooltip, drawn.label));
    if (state.cornerRadius == 0)
        drawn.cornerRadius = m_defaults.cornerRadius;
    m_drawn = drawn;
    setEnabled(drawn.enabled);
    setVisible(drawn.visible);
    setToolTip(drawn.tooltip);
    setAccessibleName(drawn.label);
    updateSpinner();
    updateGeometry();
    update();
}

void KLHubButtonWidget::updateSpinner()
{
    const bool spin = m_drawn.busy && m_drawn.visible;
    if (spin && !m_spinner) {
        m_spinner = std::make_unique<KLTimer>(0.05, true, [this] {
            m_spinAngle = (m_spinAngle + 30) % 360;
            update();
        });
        m_spinner->startTimer();
    } else if (!spin && m_spinner) {
        m_spinner->stopTimer();
        m_spinner.reset();
    }
}

bool KLHubButtonWidget::isSpinning() const
{
    return m_spinner != nullptr;
}

QSize KLHubButtonWidget::sizeHint() const
{
    const bool pill = m_drawn.icon.isEmpty();
    const QFontMetrics metrics(KLTheme::font(11));
    const int labelWidth = pill ? 0 : metrics.horizontalAdvance(m_drawn.label) + 8;
    const int width = qMax(pill ? kPillWidth : kFace, labelWidth);
    return {qMax(width, 56), kFace + (pill ? 0 : kLabelGap + kLabelHeight)};
}

QRect KLHubButtonWidget::faceRect() const
{
    const bool pill = m_drawn.icon.isEmpty();
    const int w = pill ? qMin(width(), kPillWidth) : kFace;
    return {(width() - w) / 2, 0, w, kFace};
}

QColor KLHubButtonWidget::currentBackground() const
{
    const QString hex = isDown() ? m_drawn.pressedColor : (m_hovered || underMouse()) ? m_drawn.hoverColor
                                                                                        : m_drawn.backgroundColor;
    return KLTheme::color(hex.isEmpty() ? QStringLiteral("#EDF0F5") : hex);
}

void KLHubButtonWidget::enterEvent(QEnterEvent *event)
{
    m_hovered = true;
    update();
    QAbstractButton::enterEvent(event);
}

void KLHubButtonWidget::leaveEvent(QEvent *event)
{
    m_hovered = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void KLHubButtonWidget::focusInEvent(QFocusEvent *event)
{
    m_keyboardFocus = event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason
        || event->reason() == Qt::ShortcutFocusReason;
    update();
    QAbstractButton::focusInEvent(event);
}

void KLHubButtonWidget::focusOutEvent(QFocusEvent *event)
{
    m_keyboardFocus = false;
    update();
    QAbstractButton::focusOutEvent(event);
}

void KLHubButtonWidget::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRect face = faceRect();
    // A radius larger than half the face makes it round (the media buttons' 90).
    const qreal radius = qMin<qreal>(m_drawn.cornerRadius, face.height() / 2.0);
    QPainterPath path;
    path.addRoundedRect(QRectF(face), radius, radius);
    p.fillPath(path, currentBackground());
    const bool pill = m_drawn.icon.isEmpty();
    if (pill) {
        p.setPen(KLTheme::color(orDefault(m_drawn.labelColor, KLTheme::kTextLight), m_drawn.labelAlpha));
        p.setFont(KLTheme::font(13, true));
        p.drawText(face, Qt::AlignCenter, m_drawn.label);
    } else {
        const QSize iconSize(22, 22);
        const QRect iconRect(face.center().x() - iconSize.width() / 2 + 1, face.center().y() - iconSize.height() / 2 + 1,
                             iconSize.width(), iconSize.height());
        if (!isEnabled())
            p.setOpacity(0.6);
        p.drawPixmap(iconRect, KLTheme::iconPixmap(m_drawn.icon, iconSize, devicePixelRatioF()));
        p.setOpacity(1.0);
        p.setPen(KLTheme::color(orDefault(m_drawn.labelColor, KLTheme::kTextDark), m_drawn.labelAlpha));
        p.setFont(KLTheme::font(11));
        const QRect labelRect(0, face.bottom() + kLabelGap, width(), kLabelHeight);
        p.drawText(labelRect, Qt::AlignHCenter | Qt::AlignTop,
                   QFontMetrics(p.font()).elidedText(m_drawn.label, Qt::ElideRight, width()));
    }
    if (isSpinning()) {
        QPen pen(KLTheme::color(KLTheme::kAccentBlue), 2.5);
        pen.setCapStyle(Qt::RoundCap);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(face).adjusted(1.5, 1.5, -1.5, -1.5), -m_spinAngle * 16, 100 * 16);
    }
    if (hasFocus() && m_keyboardFocus) {
        p.setPen(QPen(KLTheme::color(KLTheme::kAccentBlue), 1.5));
        p.setBrush(Qt::NoBrush);
        p.drawPath(path);
    }
}
