#pragma once

// The small window that stays on top of everything while the user's screen is shared: who is
// sharing, a running time, and the stop button. It never takes the focus from the window being
// shared when it appears; once the user clicks it, Escape there is handed to the share logic.

#include <QWidget>

#include <functional>
#include <memory>

class QLabel;
class QPushButton;
class KLTimer;

class KLShareNoticeWindow final : public QWidget {
    Q_OBJECT
public:
    struct Actions {
        std::function<void()> stop;      ///< the stop button
        std::function<void()> escape;    ///< Escape pressed in the window
    };

    /// `name` is the sharer's display name. The window places itself at the top centre of the
    /// screen being shared (the primary one when `screenName` is empty or unknown).
    KLShareNoticeWindow(const QString &name, const QString &screenName, Actions actions);
    ~KLShareNoticeWindow() override;

    QString stateText() const;
    QPushButton *stopButton() const { return m_stop; }

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void tick();

    Actions m_actions;
    QLabel *m_state = nullptr;
    QLabel *m_elapsed = nullptr;
    QPushButton *m_stop = nullptr;
    std::unique_ptr<KLTimer> m_clock;
    qint64 m_startedMs = 0;
};
