#pragma once

// The chat's input at the foot of the side panel: the chat button that opens it, and, once
// open, the text field with its send button. Sending goes to the chat manager, which trims the
// text, drops its line breaks and cuts long texts in pieces; Enter sends too. Main thread only.

#include <QWidget>

#include <memory>

class KLChatInputView;
class QLineEdit;
class QPushButton;

class KLChatPanelWidget : public QWidget {
    Q_OBJECT
public:
    explicit KLChatPanelWidget(QWidget *parent = nullptr);
    ~KLChatPanelWidget() override;

    QPushButton *chatButton() const { return m_chatButton; }
    QWidget *inputArea() const { return m_input; }
    QLineEdit *textField() const { return m_text; }
    QPushButton *sendButton() const { return m_send; }

    /// The input view the chat manager draws through.
    std::shared_ptr<KLChatInputView> inputView() const { return m_view; }

    void setInputHidden(bool hidden);
    void setChatButtonHidden(bool hidden);

private:
    void send();

    QPushButton *m_chatButton = nullptr;
    QWidget *m_input = nullptr;
    QLineEdit *m_text = nullptr;
    QPushButton *m_send = nullptr;
    std::shared_ptr<KLChatInputView> m_view;
};
