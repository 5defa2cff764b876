#pragma once

// The invitation page drawn: the search field with its clear button, the results list (recent
// contacts while the field is empty), the chosen invitees as removable chips under the
// "selected (n)" count, and the add button. Every decision is KLInvitationViewController's.
// The page is its own window over the meeting and deletes itself when it closes. Main thread only.

#include "window/KLInvitationViewController.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QToolButton;

class KLInvitationWidget : public QDialog {
    Q_OBJECT
public:
    KLInvitationWidget(std::shared_ptr<KLInvitationViewController> controller, QWidget *parent = nullptr);
    ~KLInvitationWidget() override;

    std::shared_ptr<KLInvitationViewController> controller() const { return m_controller; }
    QLineEdit *searchField() const { return m_search; }
    QListWidget *resultsList() const { return m_results; }
    QListWidget *inviteeList() const { return m_invitees; }
    QLabel *countLabel() const { return m_count; }
    QLabel *resultsHeader() const { return m_header; }
    QPushButton *addButton() const { return m_add; }
    QToolButton *clearButton() const { return m_clear; }

    // The controller's view.
    void showResults(const QString &header, const QList<KLParticipantPtr> &results);
    void setResultsVisible(bool visible);
    void setInvitees(const QList<KLParticipantPtr> &invitees, const QString &countText);

private:
    std::shared_ptr<KLInvitationViewController> m_controller;
    std::shared_ptr<KLInvitationView> m_adapter;
    QList<KLParticipantPtr> m_shownResults;
    QLineEdit *m_search = nullptr;
    QToolButton *m_clear = nullptr;
    QLabel *m_header = nullptr;
    QListWidget *m_results = nullptr;
    QLabel *m_count = nullptr;
    QListWidget *m_invitees = nullptr;
    QPushButton *m_add = nullptr;
};
