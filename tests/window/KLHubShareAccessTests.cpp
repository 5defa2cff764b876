// The share button waits for the platform's answer: the desktop may ask the user first. What
// it answers decides whether the share starts or the screen-recording dialog explains why not.

#include "window/KLHubViewController.h"

#include "platform/KLPlatform.h"
#include "presentation/KLDialogQueue.h"
#include "runtime/KLLocalization.h"

#include "KLHubFakeMeeting.h"
#include "KLTestSupport.h"

#include <gtest/gtest.h>

namespace {

class AccessHubView final : public KLHubView {
public:
    void setButtonState(KLHubButton, const KLHubButtonState &) override {}
    void minimiseWindow() override {}
    void showShareNotice(const QString &) override { events << "notice"; }
    void closeShareNotice() override {}
    void showScreenRecordingPermissionDialog() override { events << "permission"; }
    QStringList events;
};

class HubShareAccess : public kltest::DialogTest {
protected:
    void SetUp() override
    {
        DialogTest::SetUp();
        KLHubViewController::Setup setup;
        setup.leaveRoom = [](bool) {};
        setup.askScreenCapture = [this](std::function<void(int)> answer) { pending.push_back(std::move(answer)); };
        hub = KLHubViewController::create(meeting, std::move(setup));
        hub->setView(view);
    }
    void TearDown() override
    {
        DialogTest::TearDown();
        hub.reset();
    }
    void answer(int status)
    {
        ASSERT_EQ(pending.size(), 1u);
        auto reply = std::move(pending.front());
        pending.clear();
        reply(status);
        kltest::pumpEvents(10);
    }

    std::shared_ptr<kltest::FakeHubMeeting> meeting = std::make_shared<kltest::FakeHubMeeting>();
    std::shared_ptr<AccessHubView> view = std::make_shared<AccessHubView>();
    std::shared_ptr<KLHubViewController> hub;
    std::vector<std::function<void(int)>> pending;
};

TEST_F(HubShareAccess, ARefusalShowsTheDialogWithItsReasonAndNothingIsShared)
{
    struct Case {
        int status;
        const char *descKey;
    };
    for (const Case c : {Case{KLAuthorizationStatusDenied, "SCREEN_RECORD_PERMISSION_CANCELLED_DESC"},
                         Case{KLAuthorizationStatusRestricted, "SCREEN_RECORD_PERMISSION_DESC"},
                         Case{KLAuthorizationStatusNotDetermined, "SCREEN_RECORD_PERMISSION_DESC"}}) {
        SCOPED_TRACE(c.status);
        view->events.clear();
        hub->shareClicked();
        hub->shareClicked(); // pressed again while the desktop asks: not asked twice
        EXPECT_TRUE(view->events.isEmpty()) << "nothing happens before the answer";
        answer(c.status);
        EXPECT_EQ(view->events, QStringList{"permission"});
        ASSERT_TRUE(kltest::waitUntil([this] { return dialogs->visible; }));
        EXPECT_EQ(dialogs->current.title, KLLocalizedString("SCREEN_RECORD_PERMISSION_TITLE"));
        EXPECT_EQ(dialogs->current.desc, KLLocalizedString(c.descKey));
        EXPECT_TRUE(hub->isPermissionDialogShown());
        dialogs->press(KLDialogButton::Second);
        kltest::pumpEvents(10);
        EXPECT_FALSE(hub->isPermissionDialogShown());
        EXPECT_TRUE(pending.empty()) << "cancel asks nothing";
    }
    EXPECT_FALSE(meeting->calls().contains("desktopShare"));
    EXPECT_FALSE(hub->isSharingOwnScreen());
}

TEST_F(HubShareAccess, TryAgainAsksOnceMoreAndAGrantStartsTheShare)
{
    hub->shareClicked();
    answer(KLAuthorizationStatusDenied);
    ASSERT_TRUE(kltest::waitUntil([this] { return dialogs->visible; }));
    EXPECT_EQ(dialogs->current.first.text, KLLocalizedString("SCREEN_RECORD_PERMISSION_RETRY"));
    hub->shareClicked(); // a press under the dialog asks again, but shows no second dialog
    answer(KLAuthorizationStatusDenied);
    EXPECT_EQ(KLDialogQueue::shared().queuedCount(), 0);
    dialogs->press(KLDialogButton::First);
    answer(KLAuthorizationStatusAuthorized);
    EXPECT_EQ(meeting->calls(), QStringList{"desktopShare"});
    EXPECT_EQ(view->events.last(), "notice");
    EXPECT_EQ(hub->buttonState(KLHubButton::Share).label, KLLocalizedString("STOP_SHARE_HUB"));
}

} // namespace
