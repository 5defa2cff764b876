#pragma once

// The popover of a toolbar control (settings, meeting information, dial-in, more): a small
// panel anchored to its button, closing when the user clicks elsewhere. Empty for now; the
// panels that fill it draw into contentArea().

#include <QFrame>
#include <QPainterPath>

class KLHubPopover : public QFrame {
    Q_OBJECT
public:
    explicit KLHubPopover(QWidget *anchor);
    /// Shows the popover over its anchor (the toolbar sits at the window's bottom edge), or
    /// under it when the screen has no room above, its arrow pointing at the anchor's centre,
    /// kept inside the anchor's screen.
    void showAnchored();
    QWidget *anchor() const { return m_anchor; }
    QWidget *contentArea() const { return m_content; }
    /// Where the arrow's tip is, in global coordinates.
    QPoint arrowTip() const;
    bool opensBelow() const { return m_below; }
    /// The card and its arrow, in the popover's coordinates: what is drawn, and the only part
    /// of the window that exists — the corners are cut away by a mask rather than left
    /// transparent, so that an X server without a compositor shows no dark box around them.
    QPainterPath outline() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void updateMask();

    QWidget *m_anchor;
    QWidget *m_content;
    int m_arrowX = 0;
    bool m_below = false;
};
