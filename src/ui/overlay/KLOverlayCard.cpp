#include "ui/overlay/KLOverlayCard.h"

#include "ui/KLTheme.h"

#include <QBoxLayout>
#include <QEvent>
#include <QLabel>
#include <QPainter>

KLOverlayCard::KLOverlayCard(QWidget *window, int width) : QWidget(window)
{
    m_card = new QFrame(this);
    m_card->setObjectName(QStringLiteral("overlay-card"));
    m_card->setAttribute(Qt::WA_StyledBackground);
    m_card->setStyleSheet(QStringLiteral("#overlay-card { background: #FFFFFF; border-radius: 10px; }"));
    m_card->setFixedWidth(width);
    m_content = new QVBoxLayout(m_card);
    m_content->setContentsMargins(24, 20, 24, 20);
    m_content->setSpacing(10);
    m_title = new QLabel(m_card);
    m_title->setObjectName(QStringLiteral("overlay-title"));
    m_title->setFont(KLTheme::font(16, true));
    m_title->setWordWrap(true);
    m_title->setStyleSheet(QStringLiteral("color: %1;").arg(KLTheme::kTextDark));
    m_content->addWidget(m_title);
    if (window) {
        window->installEventFilter(this);
        setGeometry(window->rect());
    }
    hide();
}

void KLOverlayCard::showOver()
{
    if (parentWidget())
        setGeometry(parentWidget()->rect());
    m_card->adjustSize();
    show();
    raise();
}

void KLOverlayCard::resizeEvent(QResizeEvent *)
{
    m_card->adjustSize();
    m_card->move((width() - m_card->width()) / 2, (height() - m_card->height()) / 2);
}

bool KLOverlayCard::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        setGeometry(parentWidget()->rect());
    return QWidget::eventFilter(watched, event);
}

void KLOverlayCard::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor(0, 0, 0, 110));
}
