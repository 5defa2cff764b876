#pragma once

// The chat bubble over the video: the latest message as "name：text" with the sender's
// initial, sized by the chat's bubble rule, at the lower left of the area it floats over. The
// chat manager decides what shows and for how long. Main thread only.

#include <QWidget>

#include <memory>

class KLChatBubbleView;
class QLabel;

class KLChatBubbleWidget : public QWidget {
    Q_OBJECT
public:
    /// Floats over `area` (a child of `area`'s parent, kept at its lower left).
    explicit KLChatBubbleWidget(QWidget *area);
    ~KLChatBubbleWidget() override;

    /// Keeps to the lower left of `view` (the big view, a descendant of the area's parent)
    /// instead of the area's, above the name shown at its foot (KLOverlayStack).
    void setView(QWidget *view);

    QLabel *textLabel() const { return m_text; }
    QString senderUuid() const { return m_sender; }

    void showMessage(const QString &text, const QString &senderUuid);
    void hideMessage();

    /// The bubble view the chat manager draws through; it lets go once the widget is gone.
    static std::shared_ptr<KLChatBubbleView> viewFor(KLChatBubbleWidget *widget);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void place();

    QWidget *m_area = nullptr;
    QWidget *m_view = nullptr;
    QLabel *m_avatar = nullptr;
    QLabel *m_text = nullptr;
    QString m_sender;
};
