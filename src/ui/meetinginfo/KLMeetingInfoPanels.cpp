#include "ui/meetinginfo/KLMeetingInfoPanels.h"

#include "runtime/KLLocalization.h"
#include "runtime/KLSDKLog.h"
#include "ui/KLTheme.h"

#include <QDesktopServices>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

namespace {
const char *const kTag = "KLMeetingInfoPanels";

QString text(const char *key)
{
    return KLLocalizedString(QLatin1String(key));
}

QLabel *label(const QString &content, int size, bool bold, const QString &color, QWidget *parent)
{
    auto *l = new QLabel(content, parent);
    l->setFont(KLTheme::font(size, bold));
    l->setStyleSheet(QStringLiteral("color: %1;").arg(color));
    return l;
}

QPushButton *linkButton(const QString &title, QWidget *parent)
{
    auto *button = new QPushButton(title, parent);
    button->setFont(KLTheme::font(13));
    button->setCursor(Qt::PointingHandCursor);
    button->setStyleSheet(QStringLiteral("QPushButton { color: %1; background: #EDF0F5; border: none; border-radius: 6px;"
                                         " padding: 6px 10px; } QPushButton:hover { background: #E7F2FC; }")
                              .arg(KLTheme::kAccentBlue));
    return button;
}
} // namespace

KLMeetingInfoPanel::KLMeetingInfoPanel(std::shared_ptr<KLMeetingInfoViewController> controller, QWidget *parent)
    : QWidget(parent), m_controller(std::move(controller))
{
    setObjectName(QStringLiteral("meeting-info-panel"));
    const KLMeetingShareSource shown = m_controller->shown();
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(12, 10, 12, 10);
    column->setSpacing(10);
    auto *title = label(shown.topic, 16, true, KLTheme::kTextDark, this);
    title->setObjectName(QStringLiteral("meeting-info-topic"));
    title->setWordWrap(true);
    column->addWidget(title);

    auto *grid = new QGridLayout;
    grid->setHorizontalSpacing(14);
    grid->setVerticalSpacing(6);
    const std::pair<const char *, QString> rows[] = {{"MEETING_INFO_TIME", shown.time},
                                                     {"MEETING_INFO_CODE", shown.code},
                                                     {"MEETING_INFO_LINK", shown.url}};
    int row = 0;
    for (const auto &[key, value] : rows) {
        if (value.isEmpty())
            continue;
        grid->addWidget(label(text(key), 13, false, QStringLiteral("#8A97A8"), this), row, 0, Qt::AlignTop);
        auto *shownValue = label(value, 13, false, KLTheme::kTextDark, this);
        shownValue->setTextInteractionFlags(Qt::TextSelectableByMouse);
        shownValue->setWordWrap(true);
        shownValue->setMinimumWidth(280);
        grid->addWidget(shownValue, row++, 1);
    }
    column->addLayout(grid);

    auto *buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    const std::pair<KLMeetingInfoViewController::Copy, const char *> actions[] = {
        {KLMeetingInfoViewController::Copy::Share, "COPY_SHARE_TIPS"},
        {KLMeetingInfoViewController::Copy::Password, "COPY_PASSWORD_TIPS"},
        {KLMeetingInfoViewController::Copy::Link, "COPY_LINK_TIPS"}};
    for (const auto &[what, key] : actions) {
        auto *button = linkButton(text(key), this);
        m_buttons[static_cast<int>(what)] = button;
        std::weak_ptr<KLMeetingInfoViewController> weak = m_controller;
        connect(button, &QPushButton::clicked, this, [weak, what = what] {
            // The copy closes the popover and with it this panel; the controller outlives it.
            if (auto controller = weak.lock())
                controller->copy(what);
        });
        buttons->addWidget(button);
    }
    column->addLayout(buttons);
}

QPushButton *KLMeetingInfoPanel::copyButton(KLMeetingInfoViewController::Copy what) const
{
    return m_buttons[static_cast<int>(what)];
}

KLDialInPanel::KLDialInPanel(std::shared_ptr<KLMeetingInfoViewController> controller, QWidget *parent)
    : QWidget(parent), m_controller(std::move(controller)), m_lines(m_controller->dialInLines())
{
    setObjectName(QStringLiteral("dial-in-panel"));
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(12, 10, 12, 10);
    column->setSpacing(6);
    column->addWidget(label(text("DIAL_IN_TITLE"), 15, true, KLTheme::kTextDark, this));
    if (m_lines.isEmpty())
        column->addWidget(label(text("DIAL_IN_NONE"), 13, false, QStringLiteral("#8A97A8"), this));
    for (const QString &line : std::as_const(m_lines)) {
        auto *entry = label(line, 13, false, KLTheme::kTextDark, this);
        entry->setObjectName(QStringLiteral("dial-in-line"));
        entry->setTextInteractionFlags(Qt::TextSelectableByMouse);
        column->addWidget(entry);
    }
    m_more = linkButton(text("MORE_PHONE_TIPS"), this);
    m_more->setObjectName(QStringLiteral("dial-in-more"));
    const QString page = m_controller->dialInPageUrl();
    m_more->setEnabled(!page.isEmpty());
    connect(m_more, &QPushButton::clicked, this, [page] {
        if (!QDesktopServices::openUrl(QUrl(page)))
            KL_LOG_WARN(kTag, QStringLiteral("the dial-in page %1 could not be opened").arg(page));
    });
    column->addSpacing(4);
    column->addWidget(m_more, 0, Qt::AlignLeft);
}

QStringList KLDialInPanel::lines() const
{
    return m_lines;
}
