#pragma once

// The meeting's top-level window: the layout as its content and the dialog drawn over it. It
// remembers its size and place in the host's settings, tells the meeting when it moves,
// changes screen, is minimised or restored, goes in and out of full screen, and treats its
// closing by the user as the user's close of the meeting. Escape leaves full screen and
// reaches the layout's share logic; while a dialog is up, Enter and Escape belong to it. In full
// screen a double click shows or hides the header and the toolbar.
// Main thread only.

#include <QWidget>

#include <memory>

class KLDialogWidget;
class KLMeetingLayoutWidget;
class KLMeetingWindowView;
class KLUISDKMeetingWindow;

class KLMeetingWindowWidget : public QWidget {
    Q_OBJECT
public:
    /// The settings key under which the window's geometry is kept.
    static constexpr const char *kGeometryKey = "KelvoUISDK/meetingWindow/geometry";

    explicit KLMeetingWindowWidget(const std::shared_ptr<KLUISDKMeetingWindow> &meetingWindow);
    ~KLMeetingWindowWidget() override;

    KLMeetingLayoutWidget *layoutWidget() const { return m_layout; }
    KLDialogWidget *dialogWidget() const { return m_dialog; }

    /// Shows the window where it was last, or centred on the screen at a comfortable size.
    void showMeetingWindow();
    /// The meeting closed the window: it goes without asking anything.
    void closeFromMeeting();
    void toggleFullScreen();

    /// The window view the meeting window controller draws through.
    static std::shared_ptr<KLMeetingWindowView> viewFor(KLMeetingWindowWidget *widget);

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void escPressed();
    void saveGeometryToSettings();
    void post(const char *name);

    std::weak_ptr<KLUISDKMeetingWindow> m_meetingWindow;
    KLMeetingLayoutWidget *m_layout = nullptr;
    KLDialogWidget *m_dialog = nullptr;
    bool m_closingFromMeeting = false;
    bool m_wasMinimised = false;
    bool m_wasFullScreen = false;
    bool m_screenWatched = false;
};
