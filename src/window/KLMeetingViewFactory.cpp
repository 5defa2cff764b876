#include "window/KLMeetingViewFactory.h"

#include "collab/KLChatViews.h"
#include "presentation/KLDialogQueue.h"
#include "presentation/KLToastView.h"
#include "window/KLMeetingLayoutViewController.h"
#include "window/KLPresenterBridge.h"
#include "window/KLUISDKMeetingWindow.h"

#include <mutex>

namespace {

std::mutex g_factoryMutex;
std::shared_ptr<KLMeetingViewFactory> g_factory;

// Each pair below shows what the drawn view shows and tells the host's bridge the same. The
// drawn view goes first: a host hearing of a dialog can already find it on screen.

class DialogPair final : public KLDialogView {
public:
    DialogPair(std::shared_ptr<KLDialogView> drawn, std::shared_ptr<KLPresenterBridge> bridge)
        : m_drawn(std::move(drawn)), m_bridge(std::move(bridge)) {}
    void showDialog(const KLDialogPresentation &dialog) override
    {
        m_drawn->showDialog(dialog);
        m_bridge->showDialog(dialog);
    }
    void closeDialog() override
    {
        m_drawn->closeDialog();
        m_bridge->closeDialog();
    }

private:
    std::shared_ptr<KLDialogView> m_drawn;
    std::shared_ptr<KLPresenterBridge> m_bridge;
};

class ToastPair final : public KLToastView {
public:
    ToastPair(std::shared_ptr<KLToastView> drawn, std::shared_ptr<KLPresenterBridge> bridge)
        : m_drawn(std::move(drawn)), m_bridge(std::move(bridge)) {}
    bool isToastVisible() const override { return m_drawn->isToastVisible(); }
    void showToast(const KLToastMessage &message) override
    {
        m_drawn->showToast(message);
        m_bridge->showToast(message);
    }
    void hideToast() override
    {
        m_drawn->hideToast();
        m_bridge->hideToast();
    }
    bool isNetToastVisible() const override { return m_drawn->isNetToastVisible(); }
    void showNetToast(const QString &text, const KLToastStyle &style, int offset) override
    {
        m_drawn->showNetToast(text, style, offset);
        m_bridge->showNetToast(text, style, offset);
    }
    void placeNetToast(int offset) override { m_drawn->placeNetToast(offset); }
    void hideNetToast() override
    {
        m_drawn->hideNetToast();
        m_bridge->hideNetToast();
    }
    bool isPermanentToastVisible() const override { return m_drawn->isPermanentToastVisible(); }
    void showPermanentToast(const QString &text, const KLToastStyle &style) override
    {
        m_drawn->showPermanentToast(text, style);
        m_bridge->showPermanentToast(text, style);
    }
    void hidePermanentToast() override
    {
        m_drawn->hidePermanentToast();
        m_bridge->hidePermanentToast();
    }
    void showOnePersonToast(const KLOnePersonToast &toast) override { m_drawn->showOnePersonToast(toast); }
    void hideOnePersonToast() override { m_drawn->hideOnePersonToast(); }

private:
    std::shared_ptr<KLToastView> m_drawn;
    std::shared_ptr<KLPresenterBridge> m_bridge;
};

class WindowPair final : public KLMeetingWindowView {
public:
    WindowPair(std::shared_ptr<KLMeetingWindowView> drawn, std::shared_ptr<KLPresenterBridge> bridge)
        : m_drawn(std::move(drawn)), m_bridge(std::move(bridge)) {}
    void showWindow() override { m_drawn->showWindow(); }
    void closeWindow() override
    {
        m_drawn->closeWindow();
        m_bridge->closeWindow();
    }

private:
    std::shared_ptr<KLMeetingWindowView> m_drawn;
    std::shared_ptr<KLPresenterBridge> m_bridge;
};

class LayoutPair final : public KLMeetingLayoutView {
public:
    LayoutPair(std::shared_ptr<KLMeetingLayoutView> drawn, std::shared_ptr<KLPresenterBridge> bridge)
        : m_drawn(std::move(drawn)), m_bridge(std::move(bridge)) {}
    void showLoading(bool loading) override { m_drawn->showLoading(loading); }
    void showLeavePage() override { m_drawn->showLeavePage(); }
    void showMainClient(const std::shared_ptr<KLFeedClient> &feed) override { m_drawn->showMainClient(feed); }
    void refreshSmallClients() override { m_drawn->refreshSmallClients(); }
    void loadRatePage(const QString &url) override
    {
        m_drawn->loadRatePage(url);
        m_bridge->loadRatePage(url);
    }
    void showRatePage() override
    {
        m_drawn->showRatePage();
        m_bridge->showRatePage();
    }
    void showMeetingInformation(const KLMeetingInformationText &info) override { m_drawn->showMeetingInformation(info); }
    void startMeetingTimer() override { m_drawn->startMeetingTimer(); }
    void meetingLeft() override { m_drawn->meetingLeft(); }
    void clientLeave(const std::shared_ptr<KLFeedClient> &feed) override { m_drawn->clientLeave(feed); }
    void membersChanged() override { m_drawn->membersChanged(); }
    void refreshLocalPreview() override { m_drawn->refreshLocalPreview(); }
    void showTipPopovers(bool settings, bool note) override { m_drawn->showTipPopovers(settings, note); }
    void closeTipPopover(KLTipPopover which) override { m_drawn->closeTipPopover(which); }
    void setChromeVisible(bool visible) override { m_drawn->setChromeVisible(visible); }
    void exitFullScreen() override { m_drawn->exitFullScreen(); }
    void showCaptionView() override { m_drawn->showCaptionView(); }

private:
    std::shared_ptr<KLMeetingLayoutView> m_drawn;
    std::shared_ptr<KLPresenterBridge> m_bridge;
};

class ChatPair final : public KLChatBubbleView {
public:
    ChatPair(std::shared_ptr<KLChatBubbleView> drawn, std::shared_ptr<KLPresenterBridge> bridge)
        : m_drawn(std::move(drawn)), m_bridge(std::move(bridge)) {}
    void show(const QString &text, const QString &senderUuid) override
    {
        m_drawn->show(text, senderUuid);
        m_bridge->show(text, senderUuid);
    }
    void hide() override { m_drawn->hide(); }

private:
    std::shared_ptr<KLChatBubbleView> m_drawn;
    std::shared_ptr<KLPresenterBridge> m_bridge;
};

// A drawn view when there is one, else the bridge alone; both, paired, when there are two.
template <typename Pair, typename View>
std::shared_ptr<View> pairWith(const std::shared_ptr<View> &drawn, const std::shared_ptr<KLPresenterBridge> &bridge)
{
    if (!drawn)
        return bridge;
    return std::make_shared<Pair>(drawn, bridge);
}

} // namespace

KLMeetingViews KLMeetingViews::alongside(const std::shared_ptr<KLPresenterBridge> &bridge) const
{
    if (!bridge)
        return *this;
    KLMeetingViews paired;
    paired.window = pairWith<WindowPair, KLMeetingWindowView>(window, bridge);
    paired.layout = pairWith<LayoutPair, KLMeetingLayoutView>(layout, bridge);
    paired.dialogs = pairWith<DialogPair, KLDialogView>(dialogs, bridge);
    paired.toasts = pairWith<ToastPair, KLToastView>(toasts, bridge);
    paired.chatBubble = pairWith<ChatPair, KLChatBubbleView>(chatBubble, bridge);
    return paired;
}

void KLMeetingViewFactory::install(std::shared_ptr<KLMeetingViewFactory> factory)
{
    std::lock_guard<std::mutex> lock(g_factoryMutex);
    g_factory = std::move(factory);
}

std::shared_ptr<KLMeetingViewFactory> KLMeetingViewFactory::installed()
{
    std::lock_guard<std::mutex> lock(g_factoryMutex);
    return g_factory;
}
