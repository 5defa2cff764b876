#include "ui/chat/KLChatBubbleWidget.h"

#include "collab/KLChatText.h"
#include "collab/KLChatViews.h"
#include "presentation/KLOverlayStack.h"
#include "ui/KLTheme.h"

#include <QEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QPainter>
#include <QPointer>

namespace {

constexpr int kAvatarSize = 28;
// The text is measured with the bubble's font (12 points) within the chat's measure width.
constexpr int kFontPixels = 13;

class ChatBubbleAdapter final : public KLChatBubbleView {
public:
    explicit ChatBubbleAdapter(KLChatBubbleWidget *widget) : m_widget(widget) {}
    void show(const QString &text, const QString &senderUuid) override
    {
        if (m_widget)
            m_widget->showMessage(text, senderUuid);
    }
    void hide() override
    {
        if (m_widget)
            m_widget->hideMessage();
    }

private:
    QPointer<KLChatBubbleWidget> m_widget;
};

} // namespace

KLChatBubbleWidget::KLChatBubbleWidget(QWidget *area) : QWidget(area ? area->parentWidget() : nullptr), m_area(area)
{
    setObjectName(QStringLiteral("chat-bubble"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    m_avatar = new QLabel(this);
    m_avatar->setFixedSize(kAvatarSize, kAvatarSize);
    m_avatar->move(14, 12);
    m_text = new QLabel(this);
    m_text->setObjectName(QStringLiteral("chat-bubble-text"));
    m_text->setWordWrap(true);
    m_text->setFont(KLTheme::font(kFontPixels));
    m_text->setStyleSheet(QStringLiteral("color: #FFFFFF;"));
    m_text->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    if (m_area)
        m_area->installEventFilter(this);
    hide();
}

KLChatBubbleWidget::~KLChatBubbleWidget() = default;

std::shared_ptr<KLChatBubbleView> KLChatBubbleWidget::viewFor(KLChatBubbleWidget *widget)
{
    return std::make_shared<ChatBubbleAdapter>(widget);
}

void KLChatBubbleWidget::showMessage(const QString &text, const QString &senderUuid)
{
    m_sender = senderUuid;
    m_text->setText(text);
    const QRect measured = QFontMetrics(m_text->font())
                               .boundingRect(QRect(0, 0, KLChatText::kMeasureWidth, 10000), Qt::TextWordWrap, text);
    const QSize size = KLChatText::bubbleSize(measured.width(), measured.height());
    resize(size);
    m_text->setGeometry(14 + kAvatarSize + 10, (size.height() - measured.height()) / 2,
                        measured.width() + 4, measured.height());

    // The sender's initial on a round badge.
    const qreal ratio = devicePixelRatioF();
    QPixmap badge(QSize(kAvatarSize, kAvatarSize) * ratio);
    badge.setDevicePixelRatio(ratio);
    badge.fill(Qt::transparent);
    QPainter painter(&badge);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(KLTheme::color(KLTheme::kAccentBlue));
    painter.drawEllipse(QRectF(0, 0, kAvatarSize, kAvatarSize));
    painter.setPen(Qt::white);
    painter.setFont(KLTheme::font(13, true));
    const QString name = text.section(QChar(0xFF1A), 0, 0).trimmed();
    painter.drawText(QRectF(0, 0, kAvatarSize, kAvatarSize), Qt::AlignCenter,
                     name.isEmpty() ? QStringLiteral("?") : name.left(1).toUpper());
    painter.end();
    m_avatar->setPixmap(badge);
    m_avatar->move(14, (size.height() - kAvatarSize) / 2);

    place();
    show();
    raise();
}

void KLChatBubbleWidget::hideMessage()
{
    hide();
    m_text->clear();
    m_sender.clear();
}

void KLChatBubbleWidget::setView(QWidget *view)
{
    if (m_view)
        m_view->removeEventFilter(this);
    m_view = view;
    if (m_view)
        m_view->installEventFilter(this);
    place();
}

void KLChatBubbleWidget::place()
{
    QWidget *over = m_view && parentWidget() && parentWidget()->isAncestorOf(m_view) ? m_view : m_area;
    if (!over || !parentWidget())
        return;
    const QRect rect(over->mapTo(parentWidget(), QPoint(0, 0)), over->size());
    move(KLOverlayStack::bubbleRect(rect, size()).topLeft());
}

bool KLChatBubbleWidget::eventFilter(QObject *watched, QEvent *event)
{
    if ((watched == m_area || (watched == m_view && m_view)) &&
        (event->type() == QEvent::Resize || event->type() == QEvent::Move))
        place();
    return QWidget::eventFilter(watched, event);
}

void KLChatBubbleWidget::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // A faint rim keeps the dark bubble visible over a black picture.
    painter.setPen(QPen(QColor(255, 255, 255, 70), 1));
    painter.setBrush(QColor(0, 0, 0, 170));
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 12, 12);
}
