#pragma once

// The contents of the toolbar's meeting-information and dial-in popovers. The information panel
// shows the meeting's topic, time, code and link with the three copy actions; the dial-in
// panel lists up to six numbers and links to the page with all of them. Every decision is
// KLMeetingInfoViewController's. Main thread only.

#include "window/KLMeetingInfoViewController.h"

#include <QWidget>

class QPushButton;

class KLMeetingInfoPanel : public QWidget {
    Q_OBJECT
public:
    /// `controller` writes the clipboard and closes the popover through its setup.
    KLMeetingInfoPanel(std::shared_ptr<KLMeetingInfoViewController> controller, QWidget *parent = nullptr);
    QPushButton *copyButton(KLMeetingInfoViewController::Copy what) const;

private:
    std::shared_ptr<KLMeetingInfoViewController> m_controller;
    QPushButton *m_buttons[3] = {};
};

class KLDialInPanel : public QWidget {
    Q_OBJECT
public:
    KLDialInPanel(std::shared_ptr<KLMeetingInfoViewController> controller, QWidget *parent = nullptr);
    /// The "more numbers" link; opens the page in the system browser.
    QPushButton *moreButton() const { return m_more; }
    QStringList lines() const;

private:
    std::shared_ptr<KLMeetingInfoViewController> m_controller;
    QPushButton *m_more = nullptr;
    QStringList m_lines;
};
