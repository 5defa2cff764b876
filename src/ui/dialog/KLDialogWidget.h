#pragma once

// The meeting window's dialog drawn inside the window: a card over a dimmed backdrop that
// covers the whole window, one dialog at a time as the dialog queue hands them over. Buttons
// go back to the queue with the dialog's id; Enter presses the default button and Escape the
// button that declines, where the dialog has one. Main thread only.

#include "presentation/KLDialogQueue.h"

#include <QWidget>

#include <memory>

class QLabel;
class QPushButton;

class KLDialogWidget : public QWidget {
    Q_OBJECT
public:
    /// Covers `window` and follows its size; hidden until a dialog comes.
    explicit KLDialogWidget(QWidget *window);
    ~KLDialogWidget() override;

    void showDialog(const KLDialogPresentation &dialog);
    void closeDialog();
    bool isDialogShown() const { return m_shown; }
    const KLDialogPresentation &dialog() const { return m_dialog; }
    QPushButton *button(KLDialogButton which) const;
    QLabel *titleLabel() const { return m_title; }
    QLabel *descLabel() const { return m_desc; }
    /// Enter, Return or Escape while the dialog is up; true when a button took the key.
    bool handleKey(int key);

    /// The dialog view the queue draws through; it lets go of the widget once it is gone.
    static std::shared_ptr<KLDialogView> viewFor(KLDialogWidget *widget);

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void press(KLDialogButton which);
    static void styleButton(QPushButton *button, const KLDialogButtonLook &look, bool primary);

    QWidget *m_card = nullptr;
    QLabel *m_title = nullptr;
    QLabel *m_desc = nullptr;
    QPushButton *m_buttons[3] = {};
    KLDialogPresentation m_dialog;
    bool m_shown = false;
};
