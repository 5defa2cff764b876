#pragma once

// The meeting window's notices drawn: the transient toast, the network toast (which the user
// can close) and the permanent notice, stacked at one place — the toast area's origin, just
// above the toolbar in the middle of the video — with the network toast moved 40 points up
// when the manager says so; and the one-person toast, a card in the middle of the big view.
// What is shown where is the toast manager's decision; this only draws. Main thread only.

#include "presentation/KLToastView.h"

#include <QFrame>
#include <QPointer>

#include <memory>

class QLabel;
class QPushButton;
class QToolButton;

/// One rounded notice: icon, text and, for the network toast, a close button.
class KLToastPill : public QFrame {
    Q_OBJECT
public:
    explicit KLToastPill(bool closable, QWidget *parent);
    void setContent(const QString &text, const KLToastColor &background, const KLToastColor &textColor,
                    KLToastIcon icon);
    QString text() const;
    QColor backgroundColor() const { return m_background; }
    /// The rim drawn round the pill: the text's colour, faint, so that a dark pill still shows
    /// as one over a dark picture (a black letterbox, a dark shared screen).
    QColor rimColor() const;
    QToolButton *closeButton() const { return m_close; }

Q_SIGNALS:
    void closeClicked();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QLabel *m_icon = nullptr;
    QLabel *m_text = nullptr;
    QToolButton *m_close = nullptr;
    QColor m_background;
    QColor m_textColor;
};

class KLOnePersonToastWidget : public QFrame {
    Q_OBJECT
public:
    explicit KLOnePersonToastWidget(QWidget *parent);
    void setToast(const KLOnePersonToast &toast);
    QPushButton *actionButton() const { return m_action; }
    QString titleText() const;

private:
    QLabel *m_title = nullptr;
    QLabel *m_subject = nullptr;
    QPushButton *m_action = nullptr;
};

class KLToastWidget : public QObject {
    Q_OBJECT
public:
    /// The notices float over `host` (the meeting page), centred over `anchor` (the big view,
    /// a descendant of `host`).
    KLToastWidget(QWidget *host, QWidget *anchor);
    ~KLToastWidget() override;

    KLToastPill *toast() const { return m_toast; }
    KLToastPill *netToast() const { return m_net; }
    KLToastPill *permanentToast() const { return m_permanent; }
    KLOnePersonToastWidget *onePersonToast() const { return m_onePerson; }
    int netToastOffset() const { return m_netOffset; }
    /// Where the toast area's origin is now (the pills' common bottom edge).
    QPoint origin() const;
    /// The anchor's rectangle in the host's coordinates.
    QRect anchorRect() const;

    void showToast(const KLToastMessage &message);
    void hideToast();
    void showNetToast(const QString &text, const KLToastStyle &style, int verticalOffset);
    void placeNetToast(int verticalOffset);
    void hideNetToast();
    void showPermanentToast(const QString &text, const KLToastStyle &style);
    void hidePermanentToast();
    void showOnePersonToast(const KLOnePersonToast &toast);
    void hideOnePersonToast();
    /// Lays the notices out again (the host or the video area changed size).
    void relayout();
    /// The chat bubble floating over the same view (a child of the host): while it shows, the
    /// notices stand above it (KLOverlayStack).
    void setChatBubble(QWidget *bubble);

    /// The toast view the manager draws through; it lets go of the widget once it is gone.
    static std::shared_ptr<KLToastView> viewFor(KLToastWidget *widget);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void place(QWidget *pill, int verticalOffset);

    QWidget *m_host;
    QWidget *m_anchor;
    QPointer<QWidget> m_bubble;
    KLToastPill *m_toast;
    KLToastPill *m_net;
    KLToastPill *m_permanent;
    KLOnePersonToastWidget *m_onePerson;
    int m_netOffset = 0;
};
