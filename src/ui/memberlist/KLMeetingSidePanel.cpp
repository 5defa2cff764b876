#include "ui/memberlist/KLMeetingSidePanel.h"

#include "ui/callrooms/KLCallRoomDialogWidget.h"
#include "ui/chat/KLChatBubbleWidget.h"
#include "ui/chat/KLChatPanelWidget.h"
#include "ui/entername/KLEnterNameDialogWidget.h"
#include "ui/memberlist/KLMemberListWidget.h"
#include "window/KLUISDKMeetingWindow.h"

#include <QBoxLayout>
#include <QFrame>
#include <QPointer>

struct KLMeetingSidePanel::Private {
    QPointer<KLCallRoomDialogWidget> callRooms;
};

KLMeetingSidePanel::KLMeetingSidePanel(const std::shared_ptr<KLUISDKMeetingWindow> &meetingWindow,
                                       QWidget *videoArea, QWidget *window, QWidget *parent)
    : QWidget(parent), m_window(window), d(std::make_unique<Private>())
{
    setObjectName(QStringLiteral("side-panel"));
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(QStringLiteral("#side-panel { background: #FFFFFF; border-left: 1px solid #E3E7ED; }"));
    setFixedWidth(kWidth);
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(1, 0, 0, 0);
    column->setSpacing(0);

    m_members = new KLMemberListWidget(meetingWindow ? meetingWindow->memberList() : nullptr, this);
    column->addWidget(m_members, 1);
    auto *rule = new QFrame(this);
    rule->setFrameShape(QFrame::HLine);
    rule->setStyleSheet(QStringLiteral("color: #E3E7ED;"));
    column->addWidget(rule);
    m_chat = new KLChatPanelWidget(this);
    column->addWidget(m_chat);

    m_bubble = new KLChatBubbleWidget(videoArea);

    connect(m_members, &KLMemberListWidget::callRoomDialogRequested, this,
            [this](const std::shared_ptr<KLCallRoomViewController> &dialog) {
                if (d->callRooms && d->callRooms->controller() == dialog)
                    return;
                if (d->callRooms)
                    d->callRooms->closeDialog();
                d->callRooms = new KLCallRoomDialogWidget(dialog, m_window);
                d->callRooms->showOver();
            });
    if (auto enterName = meetingWindow ? meetingWindow->enterName() : nullptr)
        m_enterName = new KLEnterNameDialogWidget(enterName, m_window);
}

KLMeetingSidePanel::~KLMeetingSidePanel() = default;

KLCallRoomDialogWidget *KLMeetingSidePanel::callRoomDialog() const
{
    return d->callRooms && d->callRooms->isVisible() ? d->callRooms.data() : nullptr;
}
