#pragma once

// The member panel beside the video: the online section (capped at five rows while offline
// members are listed too), the offline section under its heading, mute-all and call-all, and
// each row's buttons with their looks and tooltips. It draws what KLMemberListViewController
// hands it and forwards every click to it; a click in its background hides the chat input.
// Main thread only.

#include "window/KLMemberListViewController.h"

#include <QMenu>
#include <QPointer>
#include <QWidget>

#include <memory>

class KLMemberRowWidget;
class QLabel;
class QPushButton;
class QScrollArea;
class QVBoxLayout;

class KLMemberListWidget : public QWidget {
    Q_OBJECT
public:
    explicit KLMemberListWidget(std::shared_ptr<KLMemberListViewController> memberList, QWidget *parent = nullptr);
    ~KLMemberListWidget() override;

    std::shared_ptr<KLMemberListViewController> controller() const { return m_controller; }
    /// The rows drawn now, online first.
    QList<KLMemberRowWidget *> onlineRows() const { return m_onlineRows; }
    QList<KLMemberRowWidget *> offlineRows() const { return m_offlineRows; }
    KLMemberRowWidget *row(const QString &uuid) const;
    QLabel *titleLabel() const { return m_title; }
    QLabel *offlineHeader() const { return m_offlineHeader; }
    QScrollArea *onlineArea() const { return m_onlineArea; }
    QPushButton *muteAllButton() const { return m_muteAll; }
    QPushButton *callAllButton() const { return m_callAll; }
    /// The call-detail popover open now, or null.
    QMenu *callDetailMenu() const { return m_detailMenu; }

    // What the controller asks (through its view adapter).
    void reloadMembers(bool includeOffline);
    void showOfflineSection(bool visible, const QString &title);
    void setMuteAllState(const KLMemberMuteAllState &state);
    void setCallButtonEnabled(const QString &uuid, bool enabled);
    void setLockState(const QString &uuid, const KLMemberLockState &state);
    void showCallDetail(const QString &uuid);

Q_SIGNALS:
    /// The controller asked for the call-rooms dialog.
    void callRoomDialogRequested(const std::shared_ptr<KLCallRoomViewController> &dialog);

protected:
    void mousePressEvent(QMouseEvent *event) override;

private:
    void rowButton(const QString &uuid, const QString &button);
    void fillSection(QVBoxLayout *section, QList<KLMemberRowWidget *> &rows, const QList<KLMemberRow> &members);

    const std::shared_ptr<KLMemberListViewController> m_controller;
    std::shared_ptr<KLMemberListView> m_adapter;
    QLabel *m_title = nullptr;
    QScrollArea *m_onlineArea = nullptr;
    QVBoxLayout *m_onlineSection = nullptr;
    QLabel *m_offlineHeader = nullptr;
    QScrollArea *m_offlineArea = nullptr;
    QVBoxLayout *m_offlineSection = nullptr;
    QPushButton *m_muteAll = nullptr;
    QPushButton *m_callAll = nullptr;
    QList<KLMemberRowWidget *> m_onlineRows;
    QList<KLMemberRowWidget *> m_offlineRows;
    QPointer<QMenu> m_detailMenu;
};
