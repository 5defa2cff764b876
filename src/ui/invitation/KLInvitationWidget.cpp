#include "ui/invitation/KLInvitationWidget.h"

#include "model/KLParticipant.h"
#include "runtime/KLLocalization.h"
#include "ui/KLTheme.h"

#include <QBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QToolButton>

namespace {
QString text(const char *key)
{
    return KLLocalizedString(QLatin1String(key));
}

// What identifies a result besides its name: a room's name, else the department, else the
// e-mail or a phone.
QString detailOf(const KLParticipant &p)
{
    const QString department = KLLocalization::isEnglish() && !p.deptNameEn.isEmpty() ? p.deptNameEn : p.deptName;
    for (const QString &value : {department, p.email, p.cellPhone, p.extensionPhone})
        if (!value.isEmpty())
            return value;
    return {};
}

QString nameOf(const KLParticipant &p)
{
    if (!p.displayName().isEmpty())
        return p.displayName();
    if (!p.roomName.isEmpty())
        return p.roomName;
    return !p.email.isEmpty() ? p.email : p.cellPhone;
}

class InvitationViewAdapter final : public KLInvitationView {
public:
    explicit InvitationViewAdapter(KLInvitationWidget *widget) : m_widget(widget) {}
    void showResults(const QString &header, const QList<KLParticipantPtr> &results) override
    {
        if (m_widget)
            m_widget->showResults(header, results);
    }
    void setResultsVisible(bool visible) override
    {
        if (m_widget)
            m_widget->setResultsVisible(visible);
    }
    void setClearButtonVisible(bool visible) override
    {
        if (m_widget)
            m_widget->clearButton()->setVisible(visible);
    }
    void setInvitees(const QList<KLParticipantPtr> &invitees, const QString &countText) override
    {
        if (m_widget)
            m_widget->setInvitees(invitees, countText);
    }
    void closePage() override
    {
        if (m_widget)
            m_widget->close();
    }

private:
    QPointer<KLInvitationWidget> m_widget;
};

const QString kListStyle = QStringLiteral(
    "QListWidget { border: 1px solid #E3E8EF; border-radius: 6px; background: white; color: %1; outline: none; }"
    " QListWidget::item { padding: 6px 8px; } QListWidget::item:hover { background: #E7F2FC; }"
    " QListWidget::item:selected { background: #D1E5FA; color: %1; }").arg(KLTheme::kTextDark);
} // namespace

KLInvitationWidget::KLInvitationWidget(std::shared_ptr<KLInvitationViewController> controller, QWidget *parent)
    : QDialog(parent), m_controller(std::move(controller))
{
    setObjectName(QStringLiteral("invitation-page"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(text("INVITE_TITLE"));
    setAutoFillBackground(true);
    setStyleSheet(QStringLiteral("#invitation-page { background: %1; }").arg(KLTheme::kWindowBackground));
    resize(520, 560);

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(20, 18, 20, 18);
    column->setSpacing(10);

    auto *searchRow = new QHBoxLayout;
    m_search = new QLineEdit(this);
    m_search->setObjectName(QStringLiteral("invite-search"));
    m_search->setPlaceholderText(text("SEARCH_PLACEHOLDER"));
    m_search->setFont(KLTheme::font(14));
    m_search->setMinimumHeight(34);
    m_search->setStyleSheet(QStringLiteral("QLineEdit { border: 1px solid #C9D2DE; border-radius: 6px; padding: 0 10px; color: %1; }"
                                           " QLineEdit:focus { border-color: %2; }").arg(KLTheme::kTextDark, KLTheme::kAccentBlue));
    m_clear = new QToolButton(this);
    m_clear->setObjectName(QStringLiteral("invite-clear"));
    m_clear->setIcon(KLTheme::icon(QStringLiteral("conf_toast_close")));
    m_clear->setAutoRaise(true);
    m_clear->setVisible(false);
    searchRow->addWidget(m_search, 1);
    searchRow->addWidget(m_clear);
    column->addLayout(searchRow);

    m_header = new QLabel(this);
    m_header->setFont(KLTheme::font(12));
    m_header->setStyleSheet(QStringLiteral("color: #8A97A8;"));
    column->addWidget(m_header);
    m_results = new QListWidget(this);
    m_results->setObjectName(QStringLiteral("invite-results"));
    m_results->setFont(KLTheme::font(13));
    m_results->setStyleSheet(kListStyle);
    column->addWidget(m_results, 3);

    m_count = new QLabel(this);
    m_count->setObjectName(QStringLiteral("invite-count"));
    m_count->setFont(KLTheme::font(13, true));
    m_count->setStyleSheet(QStringLiteral("color: %1;").arg(KLTheme::kTextDark));
    column->addWidget(m_count);
    m_invitees = new QListWidget(this);
    m_invitees->setObjectName(QStringLiteral("invite-chips"));
    m_invitees->setFlow(QListView::LeftToRight);
    m_invitees->setWrapping(true);
    m_invitees->setSpacing(4);
    m_invitees->setFont(KLTheme::font(13));
    m_invitees->setStyleSheet(QStringLiteral(
        "QListWidget { border: none; background: transparent; outline: none; }"
        " QListWidget::item { background: #E7F2FC; color: %1; border-radius: 12px; padding: 4px 10px; }"
        " QListWidget::item:hover { background: #D1E5FA; }").arg(KLTheme::kTextDark));
    m_invitees->setToolTip(QString());
    column->addWidget(m_invitees, 1);

    m_add = new QPushButton(text("INVITE_ADD_BUTTON"), this);
    m_add->setObjectName(QStringLiteral("invite-add"));
    m_add->setFont(KLTheme::font(14, true));
    m_add->setMinimumHeight(36);
    m_add->setCursor(Qt::PointingHandCursor);
    m_add->setStyleSheet(QStringLiteral("QPushButton { background: #0079F2; color: white; border: none; border-radius: 6px; padding: 0 28px; }"
                                        " QPushButton:hover { background: #1986F3; } QPushButton:disabled { background: #B2D6FB; }"));
    auto *bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(m_add);
    column->addLayout(bottom);

    std::weak_ptr<KLInvitationViewController> weak = m_controller;
    connect(m_search, &QLineEdit::textChanged, this, [weak](const QString &typed) {
        if (auto c = weak.lock())
            c->textChanged(typed);
    });
    connect(m_clear, &QToolButton::clicked, m_search, &QLineEdit::clear);
    connect(m_results, &QListWidget::itemClicked, this, [this, weak](QListWidgetItem *item) {
        const int row = m_results->row(item);
        auto c = weak.lock();
        if (c && row >= 0 && row < m_shownResults.size())
            c->inviteMember(m_shownResults.at(row));
    });
    // A chip is removed by clicking it.
    connect(m_invitees, &QListWidget::itemClicked, this, [this, weak](QListWidgetItem *item) {
        if (auto c = weak.lock())
            c->removeInvitee(m_invitees->row(item));
    });
    connect(m_add, &QPushButton::clicked, this, [weak] {
        if (auto c = weak.lock())
            c->confirmAddPressed();
    });

    m_adapter = std::make_shared<InvitationViewAdapter>(this);
    m_controller->setView(m_adapter);
    setResultsVisible(false);
    m_controller->loadRecentContacts();
}

KLInvitationWidget::~KLInvitationWidget()
{
    m_controller->setView(nullptr);
}

void KLInvitationWidget::showResults(const QString &header, const QList<KLParticipantPtr> &results)
{
    m_shownResults = results;
    m_header->setText(header);
    m_results->clear();
    for (const auto &participant : results) {
        const QString detail = detailOf(*participant);
        auto *item = new QListWidgetItem(detail.isEmpty() ? nameOf(*participant)
                                                          : QStringLiteral("%1    %2").arg(nameOf(*participant), detail),
                                         m_results);
        if (participant->memberType.toInteger() == KLInvitationViewController::kRoom)
            item->setIcon(KLTheme::icon(QStringLiteral("conf_meeting_room")));
    }
}

void KLInvitationWidget::setResultsVisible(bool visible)
{
    m_results->setVisible(visible);
    m_header->setVisible(visible);
}

void KLInvitationWidget::setInvitees(const QList<KLParticipantPtr> &invitees, const QString &countText)
{
    m_count->setText(countText);
    m_invitees->clear();
    for (const auto &participant : invitees)
        new QListWidgetItem(nameOf(*participant) + QStringLiteral("  \u00D7"), m_invitees);
    m_add->setEnabled(!invitees.isEmpty());
}
