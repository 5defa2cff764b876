// Which views a meeting window gets: the host's presenter alone, else the installed widget
// factory's views, with an observer hearing what those views show.

#include "media/fake/KLFakeMediaSDK.h"
#include "platform/KLFakePlatform.h"
#include "presentation/KLDialogQueue.h"
#include "presentation/KLToastManager.h"
#include "runtime/KLLocalization.h"
#include "window/KLMeetingViewFactory.h"
#include "window/KLUISDKMeetingWindow.h"

#include <KelvoUISDK/KLUISDKMeetingEventDelegate.h>
#include <KelvoUISDK/KLUISDKMeetingMainWindow.h>

#include "KLTestSupport.h"

#include <gtest/gtest.h>

namespace {

class Host final : public KLUISDKMeetingEventDelegate, public KLUISDKMeetingPresenter {
public:
    void onMeetingJoined() override {}
    void onError(int, const QString &) override {}
    void onMeetingFinish(int, const QString &) override {}
    void showDialog(const KLUISDKDialog &dialog) override { heard << "dialog " + dialog.titleKey; }
    void closeDialog() override { heard << "dialog closed"; }
    void showToast(int, const QString &key, const QString &) override { heard << "toast " + key; }
    void noticeChanged(int, const QString &, bool) override {}
    void showChatMessage(const QString &, const QString &) override {}
    void showRatePage(const QString &) override {}
    void windowClosed() override { heard << "closed"; }
    QStringList heard;
};

/// The drawn window as a test sees it: records what each view is asked to show.
struct DrawnWindow final : KLMeetingWindowView, KLDialogView, KLToastView {
    void showWindow() override { drawn << "window"; }
    void closeWindow() override { drawn << "window closed"; }
    void showDialog(const KLDialogPresentation &dialog) override
    {
        drawn << "dialog " + dialog.title;
        dialogId = dialog.dialogId;
    }
    void closeDialog() override { drawn << "dialog closed"; }
    bool isToastVisible() const override { return toastVisible; }
    void showToast(const KLToastMessage &message) override { toastVisible = true; drawn << "toast " + message.messageKey; }
    void hideToast() override { toastVisible = false; }
    bool isNetToastVisible() const override { return false; }
    void showNetToast(const QString &, const KLToastStyle &, int) override {}
    void placeNetToast(int) override {}
    void hideNetToast() override {}
    bool isPermanentToastVisible() const override { return false; }
    void showPermanentToast(const QString &, const KLToastStyle &) override {}
    void hidePermanentToast() override {}
    QStringList drawn;
    bool toastVisible = false;
    quint64 dialogId = 0;
};

class Factory final : public KLMeetingViewFactory {
public:
    KLMeetingViews createViews(const std::shared_ptr<KLUISDKMeetingWindow> &meetingWindow) override
    {
        windows.push_back(meetingWindow);
        KLMeetingViews views;
        views.window = drawn;
        views.dialogs = drawn;
        views.toasts = drawn;
        return views;
    }
    std::shared_ptr<DrawnWindow> drawn = std::make_shared<DrawnWindow>();
    std::vector<std::weak_ptr<KLUISDKMeetingWindow>> windows;
};

class ViewFactory : public ::testing::Test {
protected:
    void SetUp() override
    {
        KLLocalization::setLanguage(KLLocalization::Language::English);
        engine = KLFakeMediaSDK::installNew();
        KLPlatform::install(std::make_shared<KLFakePlatform>());
        KLMeetingViewFactory::install(factory);
    }
    void TearDown() override
    {
        KLMeetingViewFactory::install(nullptr);
        KLDialogQueue::shared().setView(nullptr);
        KLToastManager::shared().setView(nullptr);
        KLPlatform::install(nullptr);
        KLRTCMediaSDK::install(nullptr);
    }
    static QVariantMap meeting()
    {
        return {{"meetingUUID", "5F3C2A9E-8D41-4B7A-9C62-1E0D7A4B8F21"}, {"memberUUID", "3B7E1C52-9A4D-4F0B-8E21-6C5D2F9A1B01"},
                {"meetingToken", "token"}, {"meetingDomain", "127.0.0.1:9"}};
    }
    std::shared_ptr<KLFakeMediaSDK> engine;
    std::shared_ptr<Factory> factory = std::make_shared<Factory>();
    std::shared_ptr<Host> host = std::make_shared<Host>();
};

TEST_F(ViewFactory, WithoutAPresenterTheFactoryDrawsAndAnObserverHearsTheSame)
{
    {
        KLUISDKMeetingMainWindow entry({}, meeting(), host);
        entry.setObserver(host);
        entry.joinMeeting();
        ASSERT_EQ(factory->windows.size(), 1u);
        EXPECT_FALSE(factory->windows.front().expired());
        KLToastManager::shared().pushToastMessage(KLToastMessage::speakerMute());
        KLDialogRequest request;
        request.title = KLLocalizedString("ROOM_LOCKED");
        request.firstButtonText = KLLocalizedString("CONFIRM");
        KLDialogQueue::shared().showToastDialog(std::move(request));
        kltest::pumpEvents(10);
        EXPECT_EQ(factory->drawn->drawn,
                  QStringList({"window", "toast SPEAKER_MUTE_TIPS", "dialog " + KLLocalizedString("ROOM_LOCKED")}));
        EXPECT_EQ(host->heard, QStringList({"toast SPEAKER_MUTE_TIPS", "dialog ROOM_LOCKED"}));
        // A press of the drawn dialog closes it for the observer too.
        EXPECT_TRUE(entry.pressDialogButton(factory->drawn->dialogId, 1));
        EXPECT_EQ(host->heard.last(), "dialog closed");
        EXPECT_TRUE(entry.performUserAction(KLUISDKUserAction::Close));
        kltest::pumpEvents(20);
        EXPECT_TRUE(factory->drawn->drawn.contains("window closed"));
        EXPECT_EQ(host->heard.last(), "closed");
    }
    kltest::pumpEvents(10);
}

TEST_F(ViewFactory, APresenterReplacesTheDrawnWindow)
{
    KLUISDKMeetingMainWindow entry({}, meeting(), host);
    entry.setPresenter(host);
    entry.joinMeeting();
    EXPECT_TRUE(factory->windows.empty());
    KLToastManager::shared().pushToastMessage(KLToastMessage::speakerMute());  // replaces any speaker toast still up
    kltest::pumpEvents(10);
    EXPECT_TRUE(factory->drawn->drawn.isEmpty());
    EXPECT_EQ(host->heard, QStringList({"toast SPEAKER_MUTE_TIPS"}));
}

} // namespace
