#pragma once

// The meeting window's content drawn: the loading page (with the meeting's information) while
// the meeting is entered or refreshed, the meeting page — header with subject, code, member
// count, the meeting's length and the full-screen button; the video area; the toolbar — once
// entered, and the page shown after the meeting was left. Toasts and the tip popovers float
// over the meeting page. Every decision is the layout controller's; this only draws and
// forwards clicks. Main thread only.

#include "window/KLMeetingLayoutViewController.h"

#include <QWidget>

#include <memory>

class KLHubViewController;
class KLMeetingSidePanel;
class KLMeetingNotePanelWidget;
class KLMeetingRateView;
class KLUISDKMeetingWindow;
class KLHubWidget;
class KLMeetingVideoArea;
class KLToastWidget;
class QLabel;
class QStackedWidget;
class QToolButton;

class KLMeetingLayoutWidget : public QWidget {
    Q_OBJECT
public:
    enum class Page { Loading, Meeting, Left, Rate };

    KLMeetingLayoutWidget(std::shared_ptr<KLMeetingLayoutViewController> layout,
                          std::shared_ptr<KLHubViewController> hub, QWidget *parent = nullptr);
    ~KLMeetingLayoutWidget() override;

    Page page() const;
    std::shared_ptr<KLMeetingLayoutViewController> controller() const { return m_layout; }
    KLMeetingVideoArea *videoArea() const { return m_video; }
    KLHubWidget *hubWidget() const { return m_hub; }
    KLToastWidget *toasts() const { return m_toasts; }
    /// The member list and chat beside the video, once attached.
    KLMeetingSidePanel *sidePanel() const { return m_sidePanel; }
    /// Puts the meeting window's member list and chat beside the video (and hands the member
    /// list to the tiles).
    void attachSidePanel(const std::shared_ptr<KLUISDKMeetingWindow> &meetingWindow);
    /// The meeting-notes panel beside the video; null until first asked for.
    KLMeetingNotePanelWidget *notePanel() const { return m_notePanel; }
    /// The rating page; null until its address arrived.
    KLMeetingRateView *ratePage() const { return m_ratePage; }
    QWidget *header() const { return m_header; }
    QLabel *subjectLabel() const { return m_subject; }
    QLabel *timerLabel() const { return m_timer; }
    QToolButton *fullScreenButton() const { return m_fullScreen; }
    /// The tip popover shown now for `which`, or null.
    QWidget *tipPopover(KLTipPopover which) const;

    // What the layout controller asks (through viewFor's adapter).
    void showLoading(bool loading);
    void showLeavePage();
    void showMainClient(const std::shared_ptr<KLFeedClient> &feed);
    void refreshSmallClients();
    void loadRatePage(const QString &url);
    void showRatePage();
    void showMeetingInformation(const KLMeetingInformationText &information);
    void startMeetingTimer();
    void meetingLeft();
    void clientLeave(const std::shared_ptr<KLFeedClient> &feed);
    void membersChanged();
    void refreshLocalPreview();
    void showTipPopovers(bool newSettings, bool newMeetingNote);
    void closeTipPopover(KLTipPopover which);
    void setChromeVisible(bool visible);
    void exitFullScreen();
    void showCaptionView();
    /// Full screen is on or off: the button's icon follows.
    void setFullScreenShown(bool fullScreen);
    /// The window closes: the tiles let go of their render views.
    void releaseRenderViews();

    /// The layout view the controller draws through; it lets go of the widget once it is gone.
    static std::shared_ptr<KLMeetingLayoutView> viewFor(KLMeetingLayoutWidget *widget);

Q_SIGNALS:
    /// The subject to put in the window's title.
    void subjectChanged(const QString &subject);
    void fullScreenToggleRequested();
    void exitFullScreenRequested();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *buildLoadingPage();
    QWidget *buildMeetingPage();
    QWidget *buildLeftPage();
    void placeTipPopovers();

    const std::shared_ptr<KLMeetingLayoutViewController> m_layout;
    QStackedWidget *m_pages = nullptr;
    QWidget *m_loadingPage = nullptr;
    QWidget *m_meetingPage = nullptr;
    QWidget *m_leftPage = nullptr;
    QWidget *m_loadingInformation = nullptr;
    QLabel *m_loadingSubject = nullptr;
    QLabel *m_loadingTime = nullptr;
    QLabel *m_loadingCode = nullptr;
    QLabel *m_leftSubject = nullptr;
    QWidget *m_header = nullptr;
    QLabel *m_subject = nullptr;
    QLabel *m_code = nullptr;
    QLabel *m_members = nullptr;
    QLabel *m_timer = nullptr;
    QToolButton *m_fullScreen = nullptr;
    KLMeetingVideoArea *m_video = nullptr;
    KLHubWidget *m_hub = nullptr;
    KLToastWidget *m_toasts = nullptr;
    class QHBoxLayout *m_body = nullptr;
    KLMeetingSidePanel *m_sidePanel = nullptr;
    QWidget *m_settingsTip = nullptr;
    QWidget *m_noteTip = nullptr;
    bool m_entered = false;
    QString m_rateUrl;
    KLMeetingNotePanelWidget *m_notePanel = nullptr;
    KLMeetingRateView *m_ratePage = nullptr;
};
