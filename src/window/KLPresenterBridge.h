#pragma once

// Carries one meeting window's dialogs, notices, rating page and closing to a host-drawn
// presentation (KLUISDKMeetingPresenter) in place of the widgets: it is the dialog queue's,
// the toast manager's, the chat bubble's, the layout's and the window's view at once, and only translates.
// Every call arrives on the main thread. Once the window has closed the host hears nothing
// more of this meeting.

#include "collab/KLChatViews.h"
#include "presentation/KLDialogQueue.h"
#include "presentation/KLToastView.h"
#include "window/KLMeetingLayoutViewController.h"
#include "window/KLUISDKMeetingWindow.h"

#include <QList>

#include <memory>

class KLCallRoomViewController;
class KLEnterNameViewController;
class KLHubViewController;
class KLMemberListViewController;
class KLUISDKMeetingPresenter;
struct KLMemberListSnapshot;
struct KLMemberRow;
struct KLUISDKDialog;
struct KLUISDKMember;
struct KLUISDKToolbarButton;
struct KLHubButtonState;

class KLPresenterBridge final : public KLDialogView,
                                public KLToastView,
                                public KLMeetingLayoutView,
                                public KLMeetingWindowView,
                                public KLChatBubbleView,
                                public std::enable_shared_from_this<KLPresenterBridge> {
public:
    explicit KLPresenterBridge(std::shared_ptr<KLUISDKMeetingPresenter> presenter);

    /// The host's form of a dialog: texts with their keys, buttons 1–3.
    static KLUISDKDialog dialogFor(const KLDialogPresentation &dialog);
    /// The host's form of a member row.
    static KLUISDKMember memberFor(const KLMemberRow &row);
    /// Every toolbar button in the toolbar's order, as `hub` draws it now.
    static QList<KLUISDKToolbarButton> toolbarFor(const KLHubViewController &hub);

    /// Listens to the window's member list, toolbar, call-rooms and enter-name dialogs and
    /// tells the host whenever what they show changes (main thread).
    void attach(const std::shared_ptr<KLUISDKMeetingWindow> &window);

    // KLDialogView
    void showDialog(const KLDialogPresentation &dialog) override;
    void closeDialog() override;

    // KLToastView
    bool isToastVisible() const override { return m_toastVisible; }
    void showToast(const KLToastMessage &message) override;
    void hideToast() override { m_toastVisible = false; }
    bool isNetToastVisible() const override { return m_netToastVisible; }
    void showNetToast(const QString &text, const KLToastStyle &style, int verticalOffset) override;
    void placeNetToast(int) override {}
    void hideNetToast() override;
    bool isPermanentToastVisible() const override { return m_permanentKind != 0; }
    void showPermanentToast(const QString &text, const KLToastStyle &style) override;
    void hidePermanentToast() override;

    // KLMeetingLayoutView
    void showLoading(bool) override {}
    void showLeavePage() override {}
    void showMainClient(const std::shared_ptr<KLFeedClient> &) override {}
    void refreshSmallClients() override {}
    void loadRatePage(const QString &url) override { m_rateUrl = url; }
    void showRatePage() override;

    // KLChatBubbleView
    void show(const QString &text, const QString &senderUuid) override;
    void hide() override {}

    // KLMeetingWindowView
    void showWindow() override {}
    void closeWindow() override;

private:
    void sendMembers();
    void sendToolbar();
    void watchCallRooms();
    void sendCallRooms();
    void sendEnterName();

    std::weak_ptr<KLMemberListViewController> m_memberList;
    std::weak_ptr<KLHubViewController> m_hub;
    std::weak_ptr<KLEnterNameViewController> m_enterName;
    std::shared_ptr<KLCallRoomViewController> m_callRooms;
    std::shared_ptr<KLMemberListSnapshot> m_sentMembers;
    std::shared_ptr<const QList<KLHubButtonState>> m_sentToolbar;
    bool m_enterNameShown = false;
    QString m_sentNameError;

    /// The presenter until the window closed, then null.
    std::shared_ptr<KLUISDKMeetingPresenter> m_presenter;
    bool m_toastVisible = false;
    bool m_netToastVisible = false;
    QString m_netToastText;
    int m_permanentKind = 0;
    QString m_permanentText;
    QString m_rateUrl;
};
