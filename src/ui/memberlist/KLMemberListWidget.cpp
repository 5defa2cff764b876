#include "ui/memberlist/KLMemberListWidget.h"

#include "runtime/KLLocalization.h"
#include "ui/KLTheme.h"
#include "ui/memberlist/KLMemberRowWidget.h"

#include <QBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollArea>
#include <QToolButton>

namespace {

// The controller holds its view by shared_ptr; the widget belongs to its parent.
class MemberListViewAdapter final : public KLMemberListView {
public:
    explicit MemberListViewAdapter(KLMemberListWidget *widget) : m_widget(widget) {}
    void reloadMembers(bool includeOffline) override { with([=](auto &w) { w.reloadMembers(includeOffline); }); }
    void showOfflineSection(bool visible, const QString &title) override { with([&](auto &w) { w.showOfflineSection(visible, title); }); }
    void setMuteAllState(const KLMemberMuteAllState &state) override { with([&](auto &w) { w.setMuteAllState(state); }); }
    void setCallButtonEnabled(const QString &uuid, bool enabled) override { with([&](auto &w) { w.setCallButtonEnabled(uuid, enabled); }); }
    void setLockState(const QString &uuid, const KLMemberLockState &state) override { with([&](auto &w) { w.setLockState(uuid, state); }); }
    void showCallDetail(const QString &uuid) override { with([&](auto &w) { w.showCallDetail(uuid); }); }
    void showCallRoomDialog(const std::shared_ptr<KLCallRoomViewController> &dialog) override
    {
        with([&](auto &w) { Q_EMIT w.callRoomDialogRequested(dialog); });
    }

private:
    template <typename F> void with(F &&work)
    {
        if (m_widget)
            work(*m_widget);
    }
    QPointer<KLMemberListWidget> m_widget;
};

QScrollArea *sectionArea(QWidget *parent, QVBoxLayout *&section)
{
    auto *area = new QScrollArea(parent);
    area->setFrameShape(QFrame::NoFrame);
    area->setWidgetResizable(true);
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto *content = new QWidget(area);
    content->setObjectName(QStringLiteral("member-section"));
    content->setStyleSheet(QStringLiteral("#member-section { background: #FFFFFF; }"));
    section = new QVBoxLayout(content);
    section->setContentsMargins(0, 0, 0, 0);
    section->setSpacing(0);
    section->addStretch(1);
    area->setWidget(content);
    return area;
}

QPushButton *footerButton(QWidget *parent, const QString &objectName)
{
    auto *button = new QPushButton(parent);
    button->setObjectName(objectName);
    button->setFont(KLTheme::font(12));
    button->setCursor(Qt::PointingHandCursor);
    button->setIconSize(QSize(18, 18));
    button->setStyleSheet(QStringLiteral("QPushButton { background: #EDF0F5; color: %1; border: none; border-radius: 6px;"
                                         " padding: 6px 10px; }"
                                         "QPushButton:hover { background: #E7F2FC; }"
                                         "QPushButton:disabled { color: rgba(31,56,88,0.4); }")
                              .arg(KLTheme::kTextDark));
    return button;
}

} // namespace

KLMemberListWidget::KLMemberListWidget(std::shared_ptr<KLMemberListViewController> memberList, QWidget *parent)
    : QWidget(parent), m_controller(std::move(memberList))
{
    setObjectName(QStringLiteral("member-list"));
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(QStringLiteral("#member-list { background: #FFFFFF; }"));
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 10, 0, 8);
    column->setSpacing(4);

    m_title = new QLabel(this);
    m_title->setObjectName(QStringLiteral("member-list-title"));
    m_title->setFont(KLTheme::font(14, true));
    m_title->setStyleSheet(QStringLiteral("color: %1; padding: 0 14px 4px 14px;").arg(KLTheme::kTextDark));
    column->addWidget(m_title);

    m_onlineArea = sectionArea(this, m_onlineSection);
    column->addWidget(m_onlineArea, 1);
    m_offlineHeader = new QLabel(this);
    m_offlineHeader->setObjectName(QStringLiteral("member-offline-header"));
    m_offlineHeader->setFont(KLTheme::font(12, true));
    m_offlineHeader->setStyleSheet(QStringLiteral("color: rgba(31,56,88,0.6); background: #F5F7FA; padding: 6px 14px;"));
    column->addWidget(m_offlineHeader);
    m_offlineArea = sectionArea(this, m_offlineSection);
    column->addWidget(m_offlineArea, 1);
    m_offlineHeader->hide();
    m_offlineArea->hide();

    auto *footer = new QHBoxLayout;
    footer->setContentsMargins(12, 4, 12, 0);
    footer->setSpacing(8);
    m_muteAll = footerButton(this, QStringLiteral("member-mute-all-button"));
    m_callAll = footerButton(this, QStringLiteral("member-call-all-button"));
    m_callAll->setText(KLLocalizedString(QStringLiteral("CALL_ALL_MEMBER_TIPS")));
    m_callAll->setIcon(KLTheme::icon(QStringLiteral("conf_member_call")));
    m_callAll->hide();
    footer->addWidget(m_muteAll);
    footer->addWidget(m_callAll);
    footer->addStretch(1);
    column->addLayout(footer);

    std::weak_ptr<KLMemberListViewController> weak = m_controller;
    connect(m_muteAll, &QPushButton::clicked, this, [weak] {
        if (auto list = weak.lock())
            list->muteAllClicked();
    });
    connect(m_callAll, &QPushButton::clicked, this, [weak] {
        if (auto list = weak.lock())
            list->callAllClicked();
    });
    setMuteAllState(m_controller ? m_controller->muteAllState() : KLMemberMuteAllState{});
    if (m_controller) {
        m_adapter = std::make_shared<MemberListViewAdapter>(this);
        m_controller->setView(m_adapter);
    }
    reloadMembers(false);
}

KLMemberListWidget::~KLMemberListWidget()
{
    if (m_controller && m_adapter)
        m_controller->setView(nullptr);
}

KLMemberRowWidget *KLMemberListWidget::row(const QString &uuid) const
{
    for (const auto *rows : {&m_onlineRows, &m_offlineRows})
        for (auto *row : *rows)
            if (row->row().uuid == uuid)
                return row;
    return nullptr;
}

void KLMemberListWidget::fillSection(QVBoxLayout *section, QList<KLMemberRowWidget *> &rows,
                                     const QList<KLMemberRow> &members)
{
    for (auto *row : std::as_const(rows))
        row->deleteLater();
    for (auto *row : std::as_const(rows))
        section->removeWidget(row);
    rows.clear();
    int index = 0;
    for (const KLMemberRow &member : members) {
        auto *row = new KLMemberRowWidget(member, section->parentWidget());
        connect(row, &KLMemberRowWidget::buttonClicked, this, &KLMemberListWidget::rowButton);
        connect(row, &KLMemberRowWidget::rowClicked, this, [this](const QString &uuid) {
            if (m_controller)
                m_controller->rowClicked(uuid);
        });
        section->insertWidget(index++, row);
        rows.append(row);
    }
}

void KLMemberListWidget::reloadMembers(bool includeOffline)
{
    if (!m_controller)
        return;
    const KLMemberListSnapshot snapshot = m_controller->snapshot();
    m_title->setText(KLLocalizedString(QStringLiteral("MEMBER_LIST_TITLE")).arg(snapshot.online.size()));
    fillSection(m_onlineSection, m_onlineRows, snapshot.online);
    fillSection(m_offlineSection, m_offlineRows, includeOffline ? snapshot.offline : QList<KLMemberRow>());
    // With offline members listed the online table shows at most five rows and scrolls.
    if (snapshot.maxOnlineRows > 0) {
        const int rows = std::min<int>(snapshot.maxOnlineRows, std::max<int>(1, snapshot.online.size()));
        m_onlineArea->setMaximumHeight(rows * KLMemberRowWidget::kRowHeight + 2);
    } else {
        m_onlineArea->setMaximumHeight(QWIDGETSIZE_MAX);
    }
    showOfflineSection(snapshot.offlineSectionVisible, snapshot.offlineTitle);
    setMuteAllState(snapshot.muteAll);
}

void KLMemberListWidget::showOfflineSection(bool visible, const QString &title)
{
    m_offlineHeader->setText(QStringLiteral("%1 (%2)").arg(title).arg(m_offlineRows.size()));
    m_offlineHeader->setVisible(visible);
    m_offlineArea->setVisible(visible);
    m_callAll->setVisible(visible);
}

void KLMemberListWidget::setMuteAllState(const KLMemberMuteAllState &state)
{
    m_muteAll->setText(state.label);
    m_muteAll->setIcon(KLTheme::icon(state.icon));
    m_muteAll->setEnabled(state.enabled);
}

void KLMemberListWidget::setCallButtonEnabled(const QString &uuid, bool enabled)
{
    if (auto *r = row(uuid))
        r->setCallEnabled(enabled);
}

void KLMemberListWidget::setLockState(const QString &uuid, const KLMemberLockState &state)
{
    if (auto *r = row(uuid))
        r->setLockState(state);
}

void KLMemberListWidget::rowButton(const QString &uuid, const QString &button)
{
    if (!m_controller)
        return;
    if (button == QLatin1String("mute"))
        m_controller->muteClicked(uuid);
    else if (button == QLatin1String("hangup"))
        m_controller->hangupClicked(uuid);
    else if (button == QLatin1String("lock"))
        m_controller->lockClicked(uuid);
    else if (button == QLatin1String("call"))
        m_controller->callClicked(uuid);
    else if (button == QLatin1String("callCell"))
        m_controller->callCellClicked(uuid);
    else if (button == QLatin1String("callDetail"))
        m_controller->callDetailClicked(uuid);
}

// The call-staff popover: the staff call and the cell phone call, anchored to the row's button.
void KLMemberListWidget::showCallDetail(const QString &uuid)
{
    auto *r = row(uuid);
    QToolButton *anchor = r ? r->button(QStringLiteral("callDetail")) : nullptr;
    if (!anchor)
        return;
    if (m_detailMenu)
        m_detailMenu->close();
    auto *menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("member-call-detail"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->setFont(KLTheme::font(13));
    std::weak_ptr<KLMemberListViewController> weak = m_controller;
    menu->addAction(KLLocalizedString(QStringLiteral("CALL_STAFF_TIPS")), this, [weak, uuid] {
        if (auto list = weak.lock())
            list->callStaffClicked(uuid);
    })->setObjectName(QStringLiteral("call-staff"));
    menu->addAction(KLLocalizedString(QStringLiteral("CALL_CELL_TIPS")), this, [weak, uuid] {
        if (auto list = weak.lock())
            list->callCellClicked(uuid);
    })->setObjectName(QStringLiteral("call-cell"));
    r->setDetailOpen(true);
    QPointer<KLMemberRowWidget> guarded(r);
    connect(menu, &QMenu::aboutToHide, this, [guarded] {
        if (guarded)
            guarded->setDetailOpen(false);
    });
    m_detailMenu = menu;
    menu->popup(anchor->mapToGlobal(QPoint(0, anchor->height())));
}

void KLMemberListWidget::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && m_controller)
        m_controller->backgroundClicked();
    QWidget::mousePressEvent(event);
}
