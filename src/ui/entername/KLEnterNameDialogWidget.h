#pragma once

// The enter-name dialog drawn over the meeting window while the join waits for a guest's
// display name: the field, the reason a name was refused, and the button that confirms.
// KLEnterNameViewController checks and stores the name. Main thread only.

#include "ui/overlay/KLOverlayCard.h"
#include "window/KLEnterNameViewController.h"

#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;

class KLEnterNameDialogWidget : public KLOverlayCard {
    Q_OBJECT
public:
    KLEnterNameDialogWidget(std::shared_ptr<KLEnterNameViewController> dialog, QWidget *window);
    ~KLEnterNameDialogWidget() override;

    QLineEdit *nameField() const { return m_name; }
    QLabel *errorLabel() const { return m_error; }
    QPushButton *confirmButton() const { return m_confirm; }

    void showEnterName(const QString &error);
    void closeEnterName();

private:
    const std::shared_ptr<KLEnterNameViewController> m_controller;
    std::shared_ptr<KLEnterNameView> m_adapter;
    QLineEdit *m_name = nullptr;
    QLabel *m_error = nullptr;
    QPushButton *m_confirm = nullptr;
};
