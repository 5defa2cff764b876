#pragma once

// The meeting-notes panel beside the video: a header with the settings and close buttons, and
// either the start view (send-mail box, spoken-language buttons, training consent, start) or the
// caption area holding the caption page. The settings popover changes the translation and spoken
// languages and stops the notes (after a confirmation). Every decision is
// KLMeetingNoteController's; the panel creates it for the meeting, attaches the caption page to
// KLMeetingNoteManager (so the meeting's caption lines reach it) and detaches it when it goes.
// Main thread only.

#include <QFrame>
#include <QPointer>

#include <memory>

class KLCaptionBridge;
class KLConferenceService;
class KLMeetingNoteController;
class KLWebPageView;
class QAbstractButton;
class QCheckBox;
class QPushButton;
class QStackedWidget;
class QToolButton;

class KLMeetingNotePanelWidget : public QFrame {
    Q_OBJECT
public:
    static constexpr int kWidth = 340;

    KLMeetingNotePanelWidget(const std::shared_ptr<KLConferenceService> &service, QWidget *parent = nullptr);
    ~KLMeetingNotePanelWidget() override;

    std::shared_ptr<KLMeetingNoteController> controller() const { return m_controller; }
    /// The caption page's view (inside the caption area).
    KLWebPageView *captionPage() const { return m_captionPage; }
    bool showsCaptionArea() const;

    QCheckBox *sendMailBox() const { return m_sendMail; }
    QCheckBox *trainBox() const { return m_train; }
    QPushButton *chineseButton() const { return m_speakZh; }
    QPushButton *englishButton() const { return m_speakEn; }
    QPushButton *startButton() const { return m_start; }
    QToolButton *settingsButton() const { return m_settings; }
    /// The settings popover last opened; null until opened.
    QFrame *settingsPopover() const { return m_popover; }
    /// Opens the settings popover under its button.
    void openSettings();

    // What the controller asks.
    void showStartView();
    void showCaptionArea();

Q_SIGNALS:
    /// The close button: the layout hides the panel.
    void closeRequested();

private:
    QWidget *buildHeader();
    QWidget *buildStartView();
    QFrame *buildPopover();

    std::weak_ptr<KLConferenceService> m_service;
    std::shared_ptr<KLCaptionBridge> m_captionBridge;
    std::shared_ptr<KLMeetingNoteController> m_controller;
    QStackedWidget *m_stack = nullptr;
    QWidget *m_startView = nullptr;
    KLWebPageView *m_captionPage = nullptr;
    QCheckBox *m_sendMail = nullptr;
    QCheckBox *m_train = nullptr;
    QPushButton *m_speakZh = nullptr;
    QPushButton *m_speakEn = nullptr;
    QPushButton *m_start = nullptr;
    QToolButton *m_settings = nullptr;
    QPointer<QFrame> m_popover;
};
