#pragma once

// A card over a dimmed backdrop covering a whole window: the frame the window's own small
// dialogs (call rooms, enter name) draw their content into. It follows the window's size and
// keeps the card centred. Main thread only.

#include <QWidget>

class QLabel;
class QVBoxLayout;

class KLOverlayCard : public QWidget {
    Q_OBJECT
public:
    /// Covers `window`; hidden until shown. `width` is the card's width.
    KLOverlayCard(QWidget *window, int width);

    QWidget *card() const { return m_card; }
    /// The card's column, with the title already in it.
    QVBoxLayout *content() const { return m_content; }
    QLabel *titleLabel() const { return m_title; }
    /// Covers the window again, on top of everything else in it.
    void showOver();

protected:
    void paintEvent(QPaintEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    QWidget *m_card = nullptr;
    QVBoxLayout *m_content = nullptr;
    QLabel *m_title = nullptr;
};
