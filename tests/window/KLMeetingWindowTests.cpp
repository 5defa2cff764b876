// The meeting window and its layout as the host sees them: credentials checked before anything
// starts, every forced leave turned into one dialog and one host report, the window closing
// (and leaving) on errors, finishes and the host's "close the application", the display kept
// awake only while the window is open.

#include "conference/service/KLConferenceService.h"
#include "runtime/KLLocalization.h"
#include "runtime/KLNotificationCenter.h"
#include "runtime/KLNotificationNames.h"
#include "window/KLMeetingLayoutViewController.h"

#include <KelvoUISDK/KLUISDKMeetingMainWindow.h>

#include "KLOfflineWindowFixture.h"
#include "KLTestSupport.h"

#include <gtest/gtest.h>

namespace {

using HostDelegate = kltest::HostCalls;

class MeetingWindow : public kltest::OfflineWindowTest {
protected:
    void SetUp() override
    {
        OfflineWindowTest::SetUp();
        KLNotificationCenter::defaultCenter().addObserver(
            this, KLNotificationNames::KLHostUtilsCloseAppNotify, [this](const KLNotification &) { ++closeApps; });
    }
    void TearDown() override
    {
        KLNotificationCenter::defaultCenter().removeObserver(this);
        OfflineWindowTest::TearDown();
    }

    int closeApps = 0;
};

TEST_F(MeetingWindow, MissingCredentialsAreReportedAndOpenNoWindow)
{
    // Which credential is reported first, and in which words: the credential check's own test.
    QVariantMap dictionary = meeting(false);
    dictionary.remove("meetingToken");
    auto refused = std::make_shared<HostDelegate>();
    KLUISDKMeetingMainWindow withoutToken({}, dictionary, refused);
    withoutToken.joinMeeting();
    ASSERT_EQ(refused->calls().size(), 1u);
    EXPECT_EQ(refused->calls().front().code, 0);
    EXPECT_EQ(refused->calls().front().text, QStringLiteral("非法参数：会议Token为空"));
    EXPECT_FALSE(withoutToken.hasMeetingWindow());

    // A user id stands in for a member UUID.
    QVariantMap withUserId = meeting(false);
    withUserId.remove("memberUUID");
    withUserId.insert("userId", "E10001");
    auto delegate = std::make_shared<HostDelegate>();
    {
        KLUISDKMeetingMainWindow entry({}, withUserId, delegate);
        entry.joinMeeting();
        EXPECT_TRUE(entry.hasMeetingWindow());
        EXPECT_TRUE(KLUISDKMeetingMainWindow::hasMeetingThreads());
    }
    EXPECT_TRUE(delegate->calls().empty());
    // The signalling connection was still being opened; its thread ends soon after the leave.
    EXPECT_TRUE(kltest::waitUntil([] { return !KLUISDKMeetingMainWindow::hasMeetingThreads(); }));
}

TEST_F(MeetingWindow, EveryForcedLeaveShowsItsDialogAndReachesTheHostOnce)
{
    struct Case { int reason; QString titleKey; std::optional<HostDelegate::Call> report; };
    const std::vector<Case> cases{
        {0, "LEAVE_ROOM_BY_KICK_TOAST_DIALOG", HostDelegate::Call{"finish", 1, {}}},
        {1, "LEAVE_ROOM_BY_OTHER_CLIENT", HostDelegate::Call{"finish", 3, "Other client join the meeting with same userId"}},
        {2, "LEAVE_ROOM_BY_SIGNAL_REGISTER_FAILED", std::nullopt},
        {3, "NO_NETWEAK_TIPS", std::nullopt},
        {4, "SYSTEM_WILL_SLEEP_TIPS", HostDelegate::Call{"finish", 5, "nil"}},
        {6, "ROOM_FULL_EXTERNAL", std::nullopt},
        {7, "ROOM_LOCKED", std::nullopt},
        {8, "NO_MICROPHONE_ACCESS_RIGHT", HostDelegate::Call{"error", 2, "Microphone Device Permission Not Grant"}},
        {9, "NO_CAMERA_ACCESS_RIGHT", HostDelegate::Call{"error", 2, "Camera Device Permission Not Grant"}},
        {10, "ENTER_ROOM_FAILED", HostDelegate::Call{"error", 6, "join meeting timeout, please check local network"}},
        {11, "", std::nullopt},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.reason);
        host = std::make_shared<HostDelegate>();
        open(false);
        QStringList opened;
        window->layout()->setUrlOpener([&opened](const QString &panel) { opened << panel; });
        auto service = window->conferenceManager();
        window->layout()->leaveRoomWithReason(c.reason);
        EXPECT_TRUE(service->isLeavingRoomBySelf());
        ASSERT_TRUE(kltest::waitUntil([this] { return dialogs->visible; }));
        dialogs->press(KLDialogButton::First);
        EXPECT_EQ(dialogs->current.title, c.titleKey.isEmpty() ? QString() : KLLocalizedString(c.titleKey));
        EXPECT_EQ(opened.size(), (c.reason == 8 || c.reason == 9) ? 1 : 0);
        const auto calls = host->calls();
        ASSERT_EQ(calls.size(), c.report ? 1u : 0u);
        if (c.report) {
            EXPECT_EQ(calls.front().kind, c.report->kind);
            EXPECT_EQ(calls.front().code, c.report->code);
            EXPECT_EQ(calls.front().text, c.report->text);
        }
        // A later forced leave of the same meeting reaches nobody: the meeting was left.
        service->hangupWithReason(0);
        EXPECT_FALSE(dialogs->visible);
        window.reset();
        kltest::pumpEvents(10);
    }
    EXPECT_EQ(closeApps, 0); // external users are told through the delegate, never by closing
}

TEST_F(MeetingWindow, ClosingPathsLeaveTheMeetingAndReleaseTheDisplay)
{
    open(false);
    auto service = window->conferenceManager();
    EXPECT_EQ(platform->heldDisplaySleepHandles().size(), 1u);
    EXPECT_TRUE(platform->isMonitoringSleep());

    // An error with "allowNoMic" keeps the window; without it the window closes.
    window->onError(KLSDKMeetingErrorDeviceMissing, "No Camera Device");
    kltest::pumpEvents(20);
    EXPECT_TRUE(window->isClosed());
    EXPECT_TRUE(service->isLeavingRoomBySelf());
    EXPECT_TRUE(platform->heldDisplaySleepHandles().empty());

    open(false, true);
    window->onError(KLSDKMeetingErrorDeviceMissing, "No Camera Device");
    window->onError(1, "never told"); // internal-only codes are not passed on
    kltest::pumpEvents(20);
    EXPECT_FALSE(window->isClosed());

    // The host utilities' "close the application" closes the window.
    service = window->conferenceManager();
    KLNotificationCenter::defaultCenter().postNotification(KLNotificationNames::KLHostUtilsCloseAppNotify);
    EXPECT_TRUE(kltest::waitUntil([this] { return window->isClosed(); }));
    EXPECT_TRUE(service->isLeavingRoomBySelf());

    const auto calls = host->calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].code, 3);
    EXPECT_EQ(calls[1].code, 3);
}

TEST_F(MeetingWindow, TheRatingPageFinishesOnlyWhenCompleteAndItsAddressFollowsTheDeployment)
{
    open(false, false, {{"meetingRateUrl", "https://rate.example/eval"}});
    KLNotificationCenter::defaultCenter().postNotification(KLNotificationNames::GetAppointmentRateUrl);
    EXPECT_EQ(window->layout()->rateUrl(),
              "https://rate.example/eval?lang=en&meetingId=5F3C2A9E-8D41-4B7A-9C62-1E0D7A4B8F21&memberUUid=");
    window->layout()->rateStatusReceived("kelvo-evaluate-later");
    kltest::pumpEvents(10);
    EXPECT_TRUE(host->calls().empty());
    EXPECT_FALSE(window->isClosed());
    window->layout()->rateStatusReceived("kelvo-evaluate-complete");
    ASSERT_EQ(host->calls().size(), 1u);
    EXPECT_EQ(host->calls().front().kind, "finish");
    EXPECT_EQ(host->calls().front().code, 4);
    EXPECT_TRUE(kltest::waitUntil([this] { return window->isClosed(); }));

    // A display address that is not a web address gives no rating page.
    open(false, false, {{"meetingRateUrl", "file:///tmp/rate.html"}});
    KLNotificationCenter::defaultCenter().postNotification(KLNotificationNames::GetAppointmentRateUrl);
    EXPECT_TRUE(window->layout()->rateUrl().isEmpty());
}

TEST_F(MeetingWindow, TheUsersLeaveShowsTheRatingPageOrClosesAsTheDeploymentSays)
{
    struct Case { const char *name; bool internal; QString rateUrl; int ratePages, closes; };
    const Case cases[] = {
        {"guest with a rating page", false, "https://rate.example/eval", 1, 0},
        {"guest without one", false, "file:///tmp/rate.html", 0, 0},
        {"staff, the service shows no rating", true, "https://rate.example/eval", 0, 1},
    };
    int ratePages = 0;
    KLNotificationCenter::defaultCenter().addObserver(
        this, KLNotificationNames::ShowRatePage, [&ratePages](const KLNotification &) { ++ratePages; });
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ratePages = closeApps = 0;
        open(c.internal, false, {{"meetingRateUrl", c.rateUrl}});
        window->layout()->toolbarLeaveRoom(true);
        kltest::pumpEvents(10);
        EXPECT_EQ(ratePages, c.ratePages);
        EXPECT_EQ(closeApps, c.closes);
        EXPECT_TRUE(host->calls().empty()) << "the leave-room step reports nothing itself";
    }
    // The counter lives in this body; the fixture's own observer goes with it.
    KLNotificationCenter::defaultCenter().removeObserver(this);
}

// The layout's own step is not the toolbar's: a leave the user picks in the network-lost
// dialog closes the application (and so the window) for every user, rating page or not.
TEST_F(MeetingWindow, LeavingFromTheNetworkLostDialogClosesTheWindowForEveryUser)
{
    for (const bool internal : {false, true}) {
        SCOPED_TRACE(internal ? "staff" : "guest");
        closeApps = 0;
        open(internal, false, {{"meetingRateUrl", "https://rate.example/eval"}});
        auto service = window->conferenceManager();
        KLNotificationCenter::defaultCenter().postNotification(KLNotificationNames::NetWorkUnAvaliable);
        ASSERT_TRUE(kltest::waitUntil([this] { return dialogs->visible; }));
        EXPECT_EQ(dialogs->current.title, KLLocalizedString("NO_NETWEAK_TIPS"));
        dialogs->press(KLDialogButton::Second);
        EXPECT_TRUE(kltest::waitUntil([this] { return window->isClosed(); }));
        EXPECT_EQ(closeApps, 1);
        EXPECT_TRUE(service->isLeavingRoomBySelf());
        // A forced leave runs the same step without the user's choice: nothing closes.
        closeApps = 0;
        open(internal);
        window->layout()->leaveRoom(false);
        kltest::pumpEvents(10);
        EXPECT_EQ(closeApps, 0);
        EXPECT_FALSE(window->isClosed());
        window.reset();
        kltest::pumpEvents(10);
    }
}

} // namespace
