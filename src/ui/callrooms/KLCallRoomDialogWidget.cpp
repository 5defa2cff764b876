#include "ui/callrooms/KLCallRoomDialogWidget.h"

#include "conference/registry/KLFeedClient.h"
#include "runtime/KLLocalization.h"
#include "ui/KLTheme.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>

namespace {

class CallRoomAdapter final : public KLCallRoomView {
public:
    explicit CallRoomAdapter(KLCallRoomDialogWidget *widget) : m_widget(widget) {}
    void reloadRooms() override
    {
        if (m_widget)
            m_widget->reloadRooms();
    }
    void closeDialog() override
    {
        if (m_widget)
            m_widget->closeDialog();
    }

private:
    QPointer<KLCallRoomDialogWidget> m_widget;
};

const QString kBoxStyle = QStringLiteral("QCheckBox { color: #1F3858; spacing: 8px; padding: 4px 0; }");

} // namespace

KLCallRoomDialogWidget::KLCallRoomDialogWidget(std::shared_ptr<KLCallRoomViewController> dialog, QWidget *window)
    : KLOverlayCard(window, 380), m_controller(std::move(dialog))
{
    setObjectName(QStringLiteral("call-room-dialog"));
    titleLabel()->setText(KLLocalizedString(QStringLiteral("CALL_ROOM_TITLE")));
    auto *desc = new QLabel(KLLocalizedString(QStringLiteral("CALL_ROOM_DESC")), card());
    desc->setWordWrap(true);
    desc->setFont(KLTheme::font(13));
    desc->setStyleSheet(QStringLiteral("color: rgba(31,56,88,0.7);"));
    content()->addWidget(desc);

    m_selectAll = new QCheckBox(KLLocalizedString(QStringLiteral("SELECT_ALL_TIPS")), card());
    m_selectAll->setObjectName(QStringLiteral("call-room-select-all"));
    m_selectAll->setFont(KLTheme::font(13, true));
    m_selectAll->setStyleSheet(kBoxStyle);
    content()->addWidget(m_selectAll);
    m_list = new QWidget(card());
    auto *rows = new QVBoxLayout(m_list);
    rows->setContentsMargins(12, 0, 0, 0);
    rows->setSpacing(0);
    auto *scroll = new QScrollArea(card());
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setWidget(m_list);
    scroll->setMaximumHeight(220);
    content()->addWidget(scroll);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    m_cancel = new QPushButton(KLLocalizedString(QStringLiteral("CANCEL")), card());
    m_cancel->setObjectName(QStringLiteral("call-room-cancel"));
    m_call = new QPushButton(KLLocalizedString(QStringLiteral("CALL_MEMBER_TIPS")), card());
    m_call->setObjectName(QStringLiteral("call-room-call"));
    for (QPushButton *b : {m_cancel, m_call}) {
        b->setFont(KLTheme::font(13));
        b->setCursor(Qt::PointingHandCursor);
        b->setMinimumWidth(88);
        buttons->addWidget(b);
    }
    m_cancel->setStyleSheet(QStringLiteral("QPushButton { background: #EDF0F5; color: %1; border: none; border-radius: 6px;"
                                           " padding: 7px 14px; }").arg(KLTheme::kTextDark));
    content()->addLayout(buttons);

    std::weak_ptr<KLCallRoomViewController> weak = m_controller;
    connect(m_selectAll, &QCheckBox::clicked, this, [weak] {
        if (auto c = weak.lock())
            c->selectAllClicked();
    });
    connect(m_call, &QPushButton::clicked, this, [weak] {
        if (auto c = weak.lock())
            c->callClicked();
    });
    connect(m_cancel, &QPushButton::clicked, this, [weak] {
        if (auto c = weak.lock())
            c->dismiss();
    });
    m_adapter = std::make_shared<CallRoomAdapter>(this);
    m_controller->setView(m_adapter);
    reloadRooms();
}

KLCallRoomDialogWidget::~KLCallRoomDialogWidget()
{
    if (m_controller)
        m_controller->setView(nullptr);
}

void KLCallRoomDialogWidget::reloadRooms()
{
    auto *rows = static_cast<QVBoxLayout *>(m_list->layout());
    for (QCheckBox *box : std::as_const(m_boxes)) {
        rows->removeWidget(box);
        box->deleteLater();
    }
    m_boxes.clear();
    std::weak_ptr<KLCallRoomViewController> weak = m_controller;
    for (const auto &room : m_controller->rooms()) {
        auto *box = new QCheckBox(room->display(), m_list);
        box->setObjectName(QStringLiteral("call-room-box"));
        box->setProperty("uuid", room->uuid());
        box->setFont(KLTheme::font(13));
        box->setStyleSheet(kBoxStyle);
        box->setChecked(m_controller->isSelected(room->uuid()));
        const QString uuid = room->uuid();
        connect(box, &QCheckBox::clicked, this, [weak, uuid] {
            if (auto c = weak.lock())
                c->toggleRoom(uuid);
        });
        rows->addWidget(box);
        m_boxes.append(box);
    }
    m_selectAll->setChecked(m_controller->isAllSelected());
    m_selectAll->setEnabled(!m_boxes.isEmpty());
    m_call->setEnabled(m_controller->isCallEnabled());
    m_call->setStyleSheet(QStringLiteral("QPushButton { background: %1; color: #FFFFFF; border: none; border-radius: 6px;"
                                         " padding: 7px 14px; }")
                              .arg(m_controller->callButtonColor()));
    card()->adjustSize();
    resizeEvent(nullptr);
}

void KLCallRoomDialogWidget::closeDialog()
{
    hide();
    deleteLater();
}
