#include "ui/toast/KLToastWidget.h"

#include "presentation/KLOverlayStack.h"
#include "presentation/KLToastManager.h"
#include "ui/KLTheme.h"

#include <QBoxLayout>
#include <QEvent>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QToolButton>

namespace {

constexpr int kPillHeight = KLOverlayStack::kToastHeight;
constexpr int kIconSize = 16;

QString iconKey(KLToastIcon icon)
{
    switch (icon) {
    case KLToastIcon::Information: return QStringLiteral("conf_toast_info");
    case KLToastIcon::Warning: return QStringLiteral("conf_toast_warning");
    case KLToastIcon::None: break;
    }
    return {};
}

class ToastViewAdapter final : public KLToastView {
public:
    explicit ToastViewAdapter(KLToastWidget *widget) : m_widget(widget) {}
    bool isToastVisible() const override { return m_widget && !m_widget->toast()->isHidden(); }
    void showToast(const KLToastMessage &message) override
    {
        if (m_widget)
            m_widget->showToast(message);
    }
    void hideToast() override
    {
        if (m_widget)
            m_widget->hideToast();
    }
    bool isNetToastVisible() const override { return m_widget && !m_widget->netToast()->isHidden(); }
    void showNetToast(const QString &text, const KLToastStyle &style, int offset) override
    {
        if (m_widget)
            m_widget->showNetToast(text, style, offset);
    }
    void placeNetToast(int offset) override
    {
        if (m_widget)
            m_widget->placeNetToast(offset);
    }
    void hideNetToast() override
    {
        if (m_widget)
            m_widget->hideNetToast();
    }
    bool isPermanentToastVisible() const override { return m_widget && !m_widget->permanentToast()->isHidden(); }
    void showPermanentToast(const QString &text, const KLToastStyle &style) override
    {
        if (m_widget)
            m_widget->showPermanentToast(text, style);
    }
    void hidePermanentToast() override
    {
        if (m_widget)
            m_widget->hidePermanentToast();
    }
    void showOnePersonToast(const KLOnePersonToast &toast) override
    {
        if (m_widget)
            m_widget->showOnePersonToast(toast);
    }
    void hideOnePersonToast() override
    {
        if (m_widget)
            m_widget->hideOnePersonToast();
    }

private:
    QPointer<KLToastWidget> m_widget;
};

} // namespace

// --- One notice ------------------------------------------------------------------------------

KLToastPill::KLToastPill(bool closable, QWidget *parent)
    : QFrame(parent)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setFixedHeight(kPillHeight);
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(14, 0, closable ? 8 : 16, 0);
    row->setSpacing(8);
    m_icon = new QLabel(this);
    m_icon->setFixedSize(kIconSize, kIconSize);
    m_text = new QLabel(this);
    m_text->setFont(KLTheme::font(13));
    row->addWidget(m_icon);
    row->addWidget(m_text);
    if (closable) {
        m_close = new QToolButton(this);
        m_close->setObjectName(QStringLiteral("toast-close-button"));
        m_close->setIcon(KLTheme::icon(QStringLiteral("conf_toast_close")));
        m_close->setIconSize(QSize(14, 14));
        m_close->setAutoRaise(true);
        m_close->setCursor(Qt::PointingHandCursor);
        m_close->setStyleSheet(QStringLiteral("QToolButton { border: none; background: transparent; }"));
        connect(m_close, &QToolButton::clicked, this, &KLToastPill::closeClicked);
        row->addWidget(m_close);
    }
    hide();
}

void KLToastPill::setContent(const QString &text, const KLToastColor &background, const KLToastColor &textColor,
                             KLToastIcon icon)
{
    m_background = KLTheme::color(background.hex, background.alpha);
    m_text->setText(text);
    const QColor fg = KLTheme::color(textColor.hex, textColor.alpha);
    m_textColor = fg;
    m_text->setStyleSheet(QStringLiteral("color: rgba(%1,%2,%3,%4);")
                              .arg(fg.red()).arg(fg.green()).arg(fg.blue()).arg(fg.alphaF()));
    const QString key = iconKey(icon);
    m_icon->setVisible(!key.isEmpty());
    if (!key.isEmpty())
        m_icon->setPixmap(KLTheme::iconPixmap(key, QSize(kIconSize, kIconSize), devicePixelRatioF()));
    adjustSize();
    update();
}

QString KLToastPill::text() const
{
    return m_text->text();
}

void KLToastPill::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(rimColor(), 1));
    painter.setBrush(m_background);
    const QRectF pill = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    painter.drawRoundedRect(pill, pill.height() / 2.0, pill.height() / 2.0);
}

QColor KLToastPill::rimColor() const
{
    QColor rim = m_textColor.isValid() ? m_textColor : QColor(Qt::white);
    rim.setAlphaF(rim.alphaF() * 0.35);
    return rim;
}

// --- The one-person toast ----------------------------------------------------------------------

KLOnePersonToastWidget::KLOnePersonToastWidget(QWidget *parent)
    : QFrame(parent)
{
    setObjectName(QStringLiteral("one-person-toast"));
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(QStringLiteral("#one-person-toast { background: rgba(255,255,255,0.96); border-radius: 12px; }"));
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(28, 22, 28, 22);
    column->setSpacing(8);
    auto *avatar = new QLabel(this);
    avatar->setPixmap(KLTheme::iconPixmap(QStringLiteral("conf_one_person"), QSize(48, 48), devicePixelRatioF()));
    avatar->setAlignment(Qt::AlignHCenter);
    m_title = new QLabel(this);
    m_title->setFont(KLTheme::font(15, true));
    m_title->setAlignment(Qt::AlignHCenter);
    m_title->setStyleSheet(QStringLiteral("color: %1;").arg(KLTheme::kTextDark));
    m_subject = new QLabel(this);
    m_subject->setFont(KLTheme::font(13));
    m_subject->setAlignment(Qt::AlignHCenter);
    m_subject->setStyleSheet(QStringLiteral("color: rgba(31,56,88,0.6);"));
    m_action = new QPushButton(this);
    m_action->setObjectName(QStringLiteral("one-person-toast-action"));
    m_action->setFont(KLTheme::font(14));
    m_action->setMinimumHeight(32);
    m_action->setCursor(Qt::PointingHandCursor);
    m_action->setStyleSheet(QStringLiteral("QPushButton { background: %1; color: #FFFFFF; border: none;"
                                           " border-radius: 16px; padding: 0 22px; }"
                                           "QPushButton:hover { background: #3A93EC; }"
                                           "QPushButton:pressed { background: #1268BF; }")
                                .arg(KLTheme::kAccentBlue));
    connect(m_action, &QPushButton::clicked, this, [] { KLToastManager::shared().onePersonToastActionPressed(); });
    column->addWidget(avatar);
    column->addWidget(m_title);
    column->addWidget(m_subject);
    column->addSpacing(6);
    column->addWidget(m_action, 0, Qt::AlignHCenter);
    hide();
}

void KLOnePersonToastWidget::setToast(const KLOnePersonToast &toast)
{
    m_title->setText(toast.title);
    m_subject->setText(toast.subject);
    m_subject->setVisible(!toast.subject.isEmpty());
    m_action->setText(toast.actionText);
    adjustSize();
}

QString KLOnePersonToastWidget::titleText() const
{
    return m_title->text();
}

// --- The notice areas --------------------------------------------------------------------------

KLToastWidget::KLToastWidget(QWidget *host, QWidget *anchor)
    : QObject(host),
      m_host(host),
      m_anchor(anchor),
      m_toast(new KLToastPill(false, host)),
      m_net(new KLToastPill(true, host)),
      m_permanent(new KLToastPill(false, host)),
      m_onePerson(new KLOnePersonToastWidget(host))
{
    m_toast->setObjectName(QStringLiteral("toast"));
    m_net->setObjectName(QStringLiteral("net-toast"));
    m_permanent->setObjectName(QStringLiteral("permanent-toast"));
    connect(m_net, &KLToastPill::closeClicked, this, [this] {
        hideNetToast();
        KLToastManager::shared().netToastDismissedByUser();
    });
    host->installEventFilter(this);
    anchor->installEventFilter(this);
}

KLToastWidget::~KLToastWidget() = default;

std::shared_ptr<KLToastView> KLToastWidget::viewFor(KLToastWidget *widget)
{
    return std::make_shared<ToastViewAdapter>(widget);
}

QRect KLToastWidget::anchorRect() const
{
    return QRect(m_anchor->mapTo(m_host, QPoint(0, 0)), m_anchor->size());
}

QPoint KLToastWidget::origin() const
{
    std::optional<QRect> bubble;
    if (m_bubble && !m_bubble->isHidden() && m_bubble->parentWidget() == m_host)
        bubble = m_bubble->geometry();
    return KLOverlayStack::toastOrigin(anchorRect(), bubble);
}

void KLToastWidget::setChatBubble(QWidget *bubble)
{
    if (m_bubble)
        m_bubble->removeEventFilter(this);
    m_bubble = bubble;
    if (m_bubble)
        m_bubble->installEventFilter(this);
    relayout();
}

void KLToastWidget::place(QWidget *pill, int verticalOffset)
{
    pill->adjustSize();
    const QPoint at = origin();
    pill->move(at.x() - pill->width() / 2, at.y() - pill->height() + verticalOffset);
    pill->raise();
}

void KLToastWidget::relayout()
{
    place(m_permanent, 0);
    place(m_toast, 0);  // over the permanent notice while it lasts
    place(m_net, m_netOffset);
    const QRect area = anchorRect();
    m_onePerson->adjustSize();
    m_onePerson->move(area.center().x() - m_onePerson->width() / 2, area.center().y() - m_onePerson->height() / 2);
}

void KLToastWidget::showToast(const KLToastMessage &message)
{
    m_toast->setContent(message.text(), message.backgroundColor, message.textColor,
                        message.toastImage.isEmpty() ? KLToastIcon::None : KLToastIcon::Information);
    place(m_toast, 0);
    m_toast->show();
}

void KLToastWidget::hideToast()
{
    m_toast->hide();
}

void KLToastWidget::showNetToast(const QString &text, const KLToastStyle &style, int verticalOffset)
{
    m_net->setContent(text, style.backgroundColor, style.textColor, style.icon);
    m_netOffset = verticalOffset;
    place(m_net, verticalOffset);
    m_net->show();
}

void KLToastWidget::placeNetToast(int verticalOffset)
{
    m_netOffset = verticalOffset;
    place(m_net, verticalOffset);
}

void KLToastWidget::hideNetToast()
{
    m_net->hide();
}

void KLToastWidget::showPermanentToast(const QString &text, const KLToastStyle &style)
{
    m_permanent->setContent(text, style.backgroundColor, style.textColor, style.icon);
    place(m_permanent, 0);
    m_permanent->show();
    if (!m_toast->isHidden())
        m_toast->raise();
}

void KLToastWidget::hidePermanentToast()
{
    m_permanent->hide();
    // The network toast goes back down when nothing else is left under it.
    KLToastManager::shared().layoutNetToast();
}

void KLToastWidget::showOnePersonToast(const KLOnePersonToast &toast)
{
    m_onePerson->setToast(toast);
    relayout();
    m_onePerson->show();
    m_onePerson->raise();
}

void KLToastWidget::hideOnePersonToast()
{
    m_onePerson->hide();
}

bool KLToastWidget::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if ((watched == m_host || watched == m_anchor) && (type == QEvent::Resize || type == QEvent::Move))
        relayout();
    else if (watched == m_bubble && (type == QEvent::Resize || type == QEvent::Move || type == QEvent::Show ||
                                     type == QEvent::Hide))
        relayout();
    return QObject::eventFilter(watched, event);
}
