#pragma once

// One toolbar control: a round (or pill) button drawn in the colours its KLHubButtonState gives
// for rest, hover and press, with its icon and a label under it, and a spinning progress ring
// while the state says busy. Main thread only.

#include "window/KLHubViewController.h"

#include <QAbstractButton>

#include <memory>

class KLTimer;

class KLHubButtonWidget : public QAbstractButton {
    Q_OBJECT
public:
    /// `defaults` gives what a state leaves empty (icon, colours, label, tooltip).
    KLHubButtonWidget(const QString &controlId, KLHubButtonState defaults, QWidget *parent = nullptr);
    ~KLHubButtonWidget() override;

    void setState(const KLHubButtonState &state);
    /// The state as drawn: the controller's, completed by the defaults.
    const KLHubButtonState &drawnState() const { return m_drawn; }
    /// The background colour drawn now (rest, hover or pressed).
    QColor currentBackground() const;
    bool isSpinning() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    QRect faceRect() const;
    void updateSpinner();

    KLHubButtonState m_defaults;
    KLHubButtonState m_drawn;
    bool m_hovered = false;
    bool m_keyboardFocus = false; ///< the focus ring shows only when the keyboard moved focus here
    int m_spinAngle = 0;
    std::unique_ptr<KLTimer> m_spinner;
};
