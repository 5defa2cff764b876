#pragma once

// The call-rooms dialog drawn over the meeting window: the meeting's rooms that have not
// joined, each with a check box, "select all", and the call button that is blue only while a
// room is checked. KLCallRoomViewController decides everything. Main thread only.

#include "ui/overlay/KLOverlayCard.h"
#include "window/KLCallRoomViewController.h"

#include <memory>

class QCheckBox;
class QPushButton;

class KLCallRoomDialogWidget : public KLOverlayCard {
    Q_OBJECT
public:
    KLCallRoomDialogWidget(std::shared_ptr<KLCallRoomViewController> dialog, QWidget *window);
    ~KLCallRoomDialogWidget() override;

    std::shared_ptr<KLCallRoomViewController> controller() const { return m_controller; }
    QList<QCheckBox *> roomBoxes() const { return m_boxes; }
    QCheckBox *selectAllBox() const { return m_selectAll; }
    QPushButton *callButton() const { return m_call; }
    QPushButton *cancelButton() const { return m_cancel; }

    void reloadRooms();
    void closeDialog();

private:
    const std::shared_ptr<KLCallRoomViewController> m_controller;
    std::shared_ptr<KLCallRoomView> m_adapter;
    QWidget *m_list = nullptr;
    QList<QCheckBox *> m_boxes;
    QCheckBox *m_selectAll = nullptr;
    QPushButton *m_call = nullptr;
    QPushButton *m_cancel = nullptr;
};
