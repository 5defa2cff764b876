#include "ui/memberlist/KLMemberRowWidget.h"

#include "runtime/KLLocalization.h"
#include "ui/KLTheme.h"

#include <QBoxLayout>
#include <QEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QToolButton>

namespace {

constexpr int kAvatarSize = 30;
constexpr int kIconSize = 18;

QLabel *mark(QWidget *parent, const QString &icon, const QString &objectName)
{
    auto *label = new QLabel(parent);
    label->setObjectName(objectName);
    label->setPixmap(KLTheme::iconPixmap(icon, QSize(kIconSize, kIconSize), parent->devicePixelRatioF()));
    return label;
}

// A round badge with the name's first letter, in a colour of its own per member.
QPixmap initialBadge(const QString &name, const QString &uuid, qreal ratio)
{
    static const char *const colors[] = {"#5B8FF9", "#5AD8A6", "#F6BD16", "#E8684A", "#6DC8EC", "#9270CA"};
    QPixmap pixmap(QSize(kAvatarSize, kAvatarSize) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(KLTheme::color(QLatin1String(colors[qHash(uuid) % 6])));
    painter.drawEllipse(QRectF(0, 0, kAvatarSize, kAvatarSize));
    painter.setPen(Qt::white);
    painter.setFont(KLTheme::font(14, true));
    const QString trimmed = name.trimmed();
    painter.drawText(QRectF(0, 0, kAvatarSize, kAvatarSize), Qt::AlignCenter,
                     trimmed.isEmpty() ? QStringLiteral("?") : trimmed.left(1).toUpper());
    return pixmap;
}

} // namespace

KLMemberRowWidget::KLMemberRowWidget(const KLMemberRow &row, QWidget *parent) : QWidget(parent), m_row(row)
{
    setObjectName(QStringLiteral("member-row"));
    setProperty("uuid", row.uuid);
    setFixedHeight(kRowHeight);
    setCursor(Qt::PointingHandCursor);
    auto *line = new QHBoxLayout(this);
    line->setContentsMargins(14, 0, 10, 0);
    line->setSpacing(8);

    auto *avatar = new QLabel(this);
    avatar->setPixmap(initialBadge(row.name, row.uuid, devicePixelRatioF()));
    line->addWidget(avatar);

    QString name = row.name;
    if (row.isSelf)
        name = QStringLiteral("%1 (%2)").arg(name, KLLocalizedString(QStringLiteral("SELF_TIPS")));
    m_name = new QLabel(this);
    m_name->setObjectName(QStringLiteral("member-name"));
    m_name->setFont(KLTheme::font(13, row.focused));
    m_name->setStyleSheet(QStringLiteral("color: %1;").arg(row.online ? KLTheme::kTextDark : QStringLiteral("rgba(31,56,88,0.55)")));
    m_name->setMinimumWidth(40);
    m_name->setToolTip(row.name);
    // Elided to the label's width once laid out; the tooltip keeps the whole name.
    m_fullName = name;
    m_name->setText(name);
    m_name->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_name->installEventFilter(this);
    line->addWidget(m_name, 1);

    if (row.calling) {
        auto *calling = new QLabel(KLLocalizedString(QStringLiteral("CALLING_TIPS")), this);
        calling->setObjectName(QStringLiteral("member-calling"));
        calling->setFont(KLTheme::font(12));
        calling->setStyleSheet(QStringLiteral("color: %1;").arg(KLTheme::kAccentBlue));
        line->addWidget(calling);
    }
    if (row.online) {
        if (!row.video)
            line->addWidget(mark(this, QStringLiteral("conf_member_camera_off"), QStringLiteral("member-camera-off")));
        if (row.speaking && !row.muted)
            line->addWidget(mark(this, QStringLiteral("conf_member_speaking"), QStringLiteral("member-speaking")));
    }

    for (const QString &name : row.buttons) {
        if (name == QLatin1String("mute"))
            line->addWidget(addButton(name, row.muted ? QStringLiteral("conf_member_mic_mute") : QStringLiteral("conf_member_mic_normal"),
                                      KLLocalizedString(row.muted ? QStringLiteral("UNMUTE_MEMBER_TIPS") : QStringLiteral("MUTE_MEMBER_TIPS"))));
        else if (name == QLatin1String("lock"))
            line->addWidget(addButton(name, row.locked ? QStringLiteral("conf_member_unlock") : QStringLiteral("conf_member_lock"),
                                      KLLocalizedString(row.locked ? QStringLiteral("Unlock_Member_ToolTips") : QStringLiteral("Lock_Member_ToolTips"))));
        else if (name == QLatin1String("hangup"))
            line->addWidget(addButton(name, QStringLiteral("conf_member_hangup"), KLLocalizedString(QStringLiteral("HANGUP_MEMBER_TIPS"))));
        else if (name == QLatin1String("call"))
            line->addWidget(addButton(name, row.calling ? QStringLiteral("conf_member_hangup") : QStringLiteral("conf_member_call"),
                                      KLLocalizedString(row.calling ? QStringLiteral("HANGUP_MEMBER_TIPS") : QStringLiteral("CALL_MEMBER_TIPS"))));
        else if (name == QLatin1String("callCell"))
            line->addWidget(addButton(name, QStringLiteral("conf_member_cell"), KLLocalizedString(QStringLiteral("CALL_CELL_TIPS"))));
        else if (name == QLatin1String("callDetail"))
            line->addWidget(addButton(name, QStringLiteral("conf_list_menu_normal"), KLLocalizedString(QStringLiteral("CALL_DETAIL_TIPS"))));
    }
    // A muted member without a mute button still shows that it is muted.
    if (row.online && row.muted && !m_buttons.contains(QStringLiteral("mute")))
        line->insertWidget(line->count() - int(row.buttons.size()),
                           mark(this, QStringLiteral("conf_member_mic_mute"), QStringLiteral("member-muted")));
    setCallEnabled(row.callEnabled);
}

QToolButton *KLMemberRowWidget::addButton(const QString &name, const QString &icon, const QString &tooltip)
{
    auto *button = new QToolButton(this);
    button->setObjectName(QStringLiteral("member-%1-button").arg(name));
    button->setIcon(KLTheme::icon(icon));
    button->setIconSize(QSize(kIconSize, kIconSize));
    button->setToolTip(tooltip);
    button->setAutoRaise(true);
    button->setCursor(Qt::PointingHandCursor);
    button->setStyleSheet(QStringLiteral("QToolButton { border: none; padding: 3px; border-radius: 4px; }"
                                         "QToolButton:hover { background: #E7F2FC; }"
                                         "QToolButton:disabled { background: transparent; }"));
    connect(button, &QToolButton::clicked, this, [this, name] { Q_EMIT buttonClicked(m_row.uuid, name); });
    m_buttons.insert(name, button);
    return button;
}

QToolButton *KLMemberRowWidget::button(const QString &name) const
{
    return m_buttons.value(name);
}

void KLMemberRowWidget::setCallEnabled(bool enabled)
{
    for (const char *name : {"call", "callCell"})
        if (auto *b = m_buttons.value(QLatin1String(name)))
            b->setEnabled(enabled);
}

void KLMemberRowWidget::setLockState(const KLMemberLockState &state)
{
    if (auto *b = m_buttons.value(QStringLiteral("lock"))) {
        b->setIcon(KLTheme::icon(state.icon));
        b->setToolTip(state.tooltip);
    }
}

void KLMemberRowWidget::setDetailOpen(bool open)
{
    if (auto *b = m_buttons.value(QStringLiteral("callDetail")))
        b->setIcon(KLTheme::icon(open ? QStringLiteral("conf_list_menu_pressed") : QStringLiteral("conf_list_menu_normal")));
}

bool KLMemberRowWidget::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_name && event->type() == QEvent::Resize)
        elideName();
    return QWidget::eventFilter(watched, event);
}

void KLMemberRowWidget::elideName()
{
    const QString shown = m_name->fontMetrics().elidedText(m_fullName, Qt::ElideRight, m_name->width());
    if (shown != m_name->text())
        m_name->setText(shown);
}

void KLMemberRowWidget::mousePressEvent(QMouseEvent *event)
{
    // Taken here: a click on a row is not a click in the panel's background.
    event->accept();
    if (event->button() == Qt::LeftButton)
        Q_EMIT rowClicked(m_row.uuid);
}

void KLMemberRowWidget::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (m_row.focused)
        painter.fillRect(rect(), KLTheme::color(QStringLiteral("#E7F2FC")));
    else if (underMouse())
        painter.fillRect(rect(), KLTheme::color(QStringLiteral("#F5F7FA")));
}
