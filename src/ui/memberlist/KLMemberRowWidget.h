#pragma once

// One row of the member panel: the member's initial, name and marks (speaking, muted, camera
// off, being called) and the row's buttons as the member list controller allows them. The row
// keeps nothing of the meeting; its buttons are forwarded by the panel. Main thread only.

#include "window/KLMemberListViewController.h"

#include <QWidget>

class QLabel;
class QToolButton;

class KLMemberRowWidget : public QWidget {
    Q_OBJECT
public:
    static constexpr int kRowHeight = 48;

    KLMemberRowWidget(const KLMemberRow &row, QWidget *parent = nullptr);

    const KLMemberRow &row() const { return m_row; }
    /// The row's button for `name` ("mute", "hangup", "lock", "call", "callCell", "callDetail"), or null.
    QToolButton *button(const QString &name) const;
    QLabel *nameLabel() const { return m_name; }
    void setCallEnabled(bool enabled);
    void setLockState(const KLMemberLockState &state);
    /// The call-detail button shows itself pressed while its popover is open.
    void setDetailOpen(bool open);

Q_SIGNALS:
    void buttonClicked(const QString &uuid, const QString &button);
    void rowClicked(const QString &uuid);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    QToolButton *addButton(const QString &name, const QString &icon, const QString &tooltip);

    void elideName();

    KLMemberRow m_row;
    QString m_fullName; ///< the name as shown when there is room for it
    QLabel *m_name = nullptr;
    QHash<QString, QToolButton *> m_buttons;
};
