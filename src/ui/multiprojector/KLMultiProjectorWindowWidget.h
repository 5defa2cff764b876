#pragma once

// The multi-projector window drawn. A sender sees the state of the cast, the invited rooms and
// people with where each of them is (receiving, in the audio meeting, online, calling, declined,
// not there), the call and stop buttons and the audio-meeting toggle; a receiver sees the cast
// filling the window. Dialogs and notices are drawn over it. Main thread only.

#include <QWidget>

#include <memory>

class KLDialogWidget;
class KLFeedClient;
class KLMultiProjectorSession;
class KLMultiProjectorWindowView;
class KLTimer;
class KLToastWidget;
class KLVideoRenderWidget;
class QLabel;
class QPushButton;
class QStackedWidget;
class QVBoxLayout;

class KLMultiProjectorWindowWidget final : public QWidget {
    Q_OBJECT
public:
    /// How one invited room or person is shown.
    struct Row {
        QString uuid;
        QString name;
        bool room = false;
        QString presenceKey; ///< string-table key of where they are
    };

    explicit KLMultiProjectorWindowWidget(bool sender);
    ~KLMultiProjectorWindowWidget() override;

    /// The view the session draws through; it lets go of the widget once it is gone.
    std::shared_ptr<KLMultiProjectorWindowView> view();
    void attachSession(const std::shared_ptr<KLMultiProjectorSession> &session);

    bool isSender() const { return m_sender; }
    bool isContentShown() const;
    /// Rows shown now, rooms first (sender).
    QList<Row> rows() const { return m_rows; }
    QString castStateText() const;
    QPushButton *stopButton() const { return m_stop; }
    QPushButton *callButton() const { return m_call; }
    QPushButton *audioButton() const { return m_audio; }
    KLVideoRenderWidget *castVideo() const { return m_video; }
    KLDialogWidget *dialogWidget() const { return m_dialog; }
    KLToastWidget *toasts() const { return m_toasts; }

    /// Where `feed` is, as a string-table key (pure).
    static QString presenceKey(const KLFeedClient &feed);

    // From the session (through the view).
    void showContent();
    void setAudioMeetingOpen(bool open);
    void setKickByOthers();
    /// Closes without asking the session (it has ended).
    void closeFromSession();

    /// Reads the meeting again: rows and cast state (sender), the cast's video (receiver).
    void refresh();

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    QWidget *buildSenderPage();
    QWidget *buildReceiverPage();
    void drawRows();

    const bool m_sender;
    std::weak_ptr<KLMultiProjectorSession> m_session;
    std::shared_ptr<KLMultiProjectorWindowView> m_view;
    std::unique_ptr<KLTimer> m_refreshTimer;
    QStackedWidget *m_pages = nullptr;
    QLabel *m_loading = nullptr;
    QLabel *m_state = nullptr;
    QLabel *m_audioState = nullptr;
    QWidget *m_rowsBox = nullptr;
    QVBoxLayout *m_rowsLayout = nullptr;
    QPushButton *m_stop = nullptr;
    QPushButton *m_call = nullptr;
    QPushButton *m_audio = nullptr;
    KLVideoRenderWidget *m_video = nullptr;
    QLabel *m_waiting = nullptr;
    KLDialogWidget *m_dialog = nullptr;
    KLToastWidget *m_toasts = nullptr;
    QList<Row> m_rows;
    QString m_playingUuid;
    bool m_audioOpen = false;
    bool m_kicked = false;
    bool m_closingFromSession = false;
};
