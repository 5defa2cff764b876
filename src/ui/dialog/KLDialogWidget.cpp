#include "ui/dialog/KLDialogWidget.h"

#include "runtime/KLSDKLog.h"
#include "ui/KLTheme.h"

#include <QBoxLayout>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QPushButton>

namespace {

const char *const kTag = "KLDialogWidget";
constexpr int kCardWidth = 420;
constexpr int kButtonHeight = 32;

class DialogViewAdapter final : public KLDialogView {
public:
    explicit DialogViewAdapter(KLDialogWidget *widget) : m_widget(widget) {}
    void showDialog(const KLDialogPresentation &dialog) override
    {
        if (m_widget)
            m_widget->showDialog(dialog);
    }
    void closeDialog() override
    {
        if (m_widget)
            m_widget->closeDialog();
    }

private:
    QPointer<KLDialogWidget> m_widget;
};

QString rgba(const QString &hex, double alpha = 1.0)
{
    const QColor c = KLTheme::color(hex, alpha);
    return QStringLiteral("rgba(%1,%2,%3,%4)").arg(c.red()).arg(c.green()).arg(c.blue()).arg(c.alphaF());
}

} // namespace

KLDialogWidget::KLDialogWidget(QWidget *window)
    : QWidget(window)
{
    setObjectName(QStringLiteral("meeting-dialog"));
    setFocusPolicy(Qt::StrongFocus);
    hide();
    window->installEventFilter(this);
    setGeometry(window->rect());

    m_card = new QWidget(this);
    m_card->setObjectName(QStringLiteral("meeting-dialog-card"));
    m_card->setAttribute(Qt::WA_StyledBackground);
    m_card->setStyleSheet(QStringLiteral("#meeting-dialog-card { background: #FFFFFF; border-radius: 12px; }"));
    m_card->setFixedWidth(kCardWidth);

    auto *column = new QVBoxLayout(m_card);
    column->setContentsMargins(28, 24, 28, 22);
    column->setSpacing(10);
    m_title = new QLabel(m_card);
    m_title->setFont(KLTheme::font(16, true));
    m_title->setWordWrap(true);
    m_title->setAlignment(Qt::AlignHCenter);
    m_title->setStyleSheet(QStringLiteral("color: %1;").arg(KLTheme::kTextDark));
    m_desc = new QLabel(m_card);
    m_desc->setFont(KLTheme::font(13));
    m_desc->setWordWrap(true);
    m_desc->setAlignment(Qt::AlignHCenter);
    m_desc->setStyleSheet(QStringLiteral("color: %1;").arg(rgba(KLTheme::kTextDark, 0.6)));
    column->addWidget(m_title);
    column->addWidget(m_desc);
    column->addSpacing(8);

    // Up to three buttons, stacked full width: long labels in either language fit.
    static const char *const kNames[] = {"dialog-first-button", "dialog-second-button", "dialog-third-button"};
    static const KLDialogButton kWhich[] = {KLDialogButton::First, KLDialogButton::Second, KLDialogButton::Third};
    for (int i = 0; i < 3; ++i) {
        auto *button = new QPushButton(m_card);
        button->setObjectName(QLatin1String(kNames[i]));
        button->setMinimumHeight(kButtonHeight);
        button->setFont(KLTheme::font(14));
        button->setCursor(Qt::PointingHandCursor);
        button->setFocusPolicy(Qt::NoFocus);
        connect(button, &QPushButton::clicked, this, [this, which = kWhich[i]] { press(which); });
        column->addWidget(button);
        m_buttons[i] = button;
    }
}

KLDialogWidget::~KLDialogWidget() = default;

std::shared_ptr<KLDialogView> KLDialogWidget::viewFor(KLDialogWidget *widget)
{
    return std::make_shared<DialogViewAdapter>(widget);
}

QPushButton *KLDialogWidget::button(KLDialogButton which) const
{
    return m_buttons[static_cast<int>(which)];
}

void KLDialogWidget::styleButton(QPushButton *button, const KLDialogButtonLook &look, bool primary)
{
    button->setVisible(look.visible);
    if (!look.visible)
        return;
    button->setText(look.text);
    const QString background = look.backgroundColor.isEmpty() ? QStringLiteral("#FFFFFF") : look.backgroundColor;
    const QString text = look.textColor.isEmpty() ? (primary ? KLTheme::kTextLight : KLTheme::kTextDark) : look.textColor;
    const QString border = look.borderColor.isEmpty() ? (primary ? background : rgba(KLTheme::kTextDark, 0.3))
                                                      : look.borderColor;
    const int radius = look.cornerRadius > 0 ? std::min(look.cornerRadius, kButtonHeight / 2) : kButtonHeight / 2;
    button->setStyleSheet(QStringLiteral("QPushButton { background: %1; color: %2; border: 1px solid %3;"
                                         " border-radius: %4px; padding: 0 16px; }"
                                         "QPushButton:hover { background: %5; }"
                                         "QPushButton:pressed { background: %6; }")
                              .arg(background, text, border)
                              .arg(radius)
                              .arg(KLTheme::color(background).lighter(108).name(),
                                   KLTheme::color(background).darker(110).name()));
}

void KLDialogWidget::showDialog(const KLDialogPresentation &dialog)
{
    m_dialog = dialog;
    m_title->setText(dialog.title);
    m_title->setVisible(dialog.titleVisible);
    m_desc->setText(dialog.desc);
    m_desc->setVisible(dialog.descVisible);
    styleButton(m_buttons[0], dialog.first, true);
    styleButton(m_buttons[1], dialog.second, false);
    styleButton(m_buttons[2], dialog.third, false);
    m_card->adjustSize();
    m_card->move((width() - m_card->width()) / 2, (height() - m_card->height()) / 2);
    m_shown = true;
    setGeometry(parentWidget()->rect());
    show();
    raise();
    setFocus(Qt::OtherFocusReason);
    update();
}

void KLDialogWidget::closeDialog()
{
    m_shown = false;
    hide();
}

void KLDialogWidget::press(KLDialogButton which)
{
    if (!m_shown)
        return;
    if (!KLDialogQueue::shared().buttonPressed(m_dialog.dialogId, which))
        KL_LOG_INFO(kTag, QStringLiteral("a press on a dialog no longer shown was ignored"));
}

bool KLDialogWidget::handleKey(int key)
{
    if (!m_shown)
        return false;
    std::optional<KLDialogButton> which;
    if (key == Qt::Key_Return || key == Qt::Key_Enter)
        which = KLDialogQueue::defaultButton(m_dialog);
    else if (key == Qt::Key_Escape)
        which = KLDialogQueue::cancelButton(m_dialog);
    else
        return false;
    // A dialog without a declining button swallows Escape: it must be answered.
    if (which)
        press(*which);
    return true;
}

void KLDialogWidget::keyPressEvent(QKeyEvent *event)
{
    if (!handleKey(event->key()))
        QWidget::keyPressEvent(event);
}

bool KLDialogWidget::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize) {
        setGeometry(parentWidget()->rect());
        m_card->move((width() - m_card->width()) / 2, (height() - m_card->height()) / 2);
    }
    return QWidget::eventFilter(watched, event);
}

void KLDialogWidget::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), KLTheme::color(QStringLiteral("#000000"), 0.45));
}
