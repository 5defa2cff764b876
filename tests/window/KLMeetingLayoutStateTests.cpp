// The layout's widget-free decisions beyond the leave reasons (its timer text is the tiles'
// one, checked with the tile rules): the one-person toast, the tip popovers and their shown
// flags, full screen and Escape, and which notifications reach the drawn layout.

#include "host/UserPersistentData.h"
#include "presentation/KLToastManager.h"
#include "runtime/KLLocalization.h"
#include "runtime/KLNotificationCenter.h"
#include "runtime/KLNotificationNames.h"
#include "window/KLMeetingLayoutViewController.h"

#include "KLOfflineWindowFixture.h"
#include "KLTestSupport.h"

#include <gtest/gtest.h>

namespace {

/// Records what the layout asks of its widgets.
class RecordingLayoutView final : public KLMeetingLayoutView {
public:
    void showLoading(bool loading) override { calls << (loading ? "loading" : "meeting"); }
    void showLeavePage() override { calls << "leave page"; }
    void showMainClient(const std::shared_ptr<KLFeedClient> &feed) override { calls << (feed ? "main" : "main cleared"); }
    void refreshSmallClients() override { calls << "strip"; }
    void loadRatePage(const QString &) override {}
    void showRatePage() override { calls << "rate page"; }
    void showMeetingInformation(const KLMeetingInformationText &info) override { information = info; }
    void startMeetingTimer() override { calls << "timer"; }
    void meetingLeft() override { calls << "left"; }
    void membersChanged() override { ++memberChanges; }
    void refreshLocalPreview() override { calls << "preview"; }
    void showTipPopovers(bool settings, bool note) override { calls << QStringLiteral("tips %1 %2").arg(settings).arg(note); }
    void closeTipPopover(KLTipPopover which) override { calls << QStringLiteral("tip closed %1").arg(int(which)); }
    void setChromeVisible(bool visible) override { calls << (visible ? "chrome shown" : "chrome hidden"); }
    void exitFullScreen() override { calls << "exit full screen"; }
    void showCaptionView() override { calls << "captions"; }

    QStringList calls;
    KLMeetingInformationText information;
    int memberChanges = 0;
};

class MeetingLayout : public kltest::OfflineWindowTest {
protected:
    void SetUp() override
    {
        OfflineWindowTest::SetUp();
        for (const QString &key : {QStringLiteral("KEY_NEW_VERSION_TIPS"), QStringLiteral("KEY_NEW_MEETING_NOTE_TIPS")})
            UserPersistentData::sharedInstance().removeObjectForKey(key);
        for (const char *name : {"viewDidEnterScreenMode", "hubAndRightViewsShow", "hubAndRightViewsHidden"}) {
            KLNotificationCenter::defaultCenter().addObserver(
                this, QLatin1String(name), [this, name](const KLNotification &) { posted << QLatin1String(name); });
        }
    }
    void TearDown() override
    {
        KLNotificationCenter::defaultCenter().removeObserver(this);
        OfflineWindowTest::TearDown();
        KLToastManager::shared().closeResidentToast();
    }

    void open(bool internal)
    {
        OfflineWindowTest::open(internal, true,
                                {{"meetingTopic", "Weekly sync"}, {"meetingCode", "884 211 907"}, {"meetingTime", "10:00-11:00"}});
        view = std::make_shared<RecordingLayoutView>();
        window->layout()->setView(view);
    }

    std::shared_ptr<RecordingLayoutView> view;
    QStringList posted;
};

TEST(MeetingLayoutText, OnePersonToastFollowsTheInvitationThenWhoIsOnline)
{
    KLLocalization::setLanguage(KLLocalization::Language::English);
    using L = KLMeetingLayoutViewController;
    EXPECT_FALSE(L::onePersonToastFor(std::nullopt, {}, "me", "S")) << "no appointment yet, no toast";

    const auto made = L::onePersonToastFor(std::make_pair(1, 0), {"me", "other"}, "me", "Weekly");
    ASSERT_TRUE(made);
    EXPECT_TRUE(made->oneMember);
    EXPECT_EQ(made->actionText, KLLocalizedString("ONE_PERSON_TOAST_ADD_MEMBER"));
    EXPECT_EQ(made->subject, "Weekly");

    for (const QStringList &online : {QStringList{}, QStringList{"me"}}) {
        const auto alone = L::onePersonToastFor(std::make_pair(3, 0), online, "me", "S");
        ASSERT_TRUE(alone);
        EXPECT_FALSE(alone->oneMember);
        EXPECT_EQ(alone->actionText, KLLocalizedString("ONE_PERSON_TOAST_CALL_ALL"));
    }
    EXPECT_FALSE(L::onePersonToastFor(std::make_pair(3, 0), {"other"}, "me", "S"));
    EXPECT_FALSE(L::onePersonToastFor(std::make_pair(1, 1), {"me", "other"}, "me", "S"));
}

TEST_F(MeetingLayout, EnteringShowsTheMeetingOnceAndStaffSeeTheirTipsUntilClosed)
{
    open(true);
    window->layout()->enterRoomSuccess();
    kltest::pumpEvents(10);
    EXPECT_EQ(view->calls, QStringList({"timer", "meeting", "tips 1 1"}));
    EXPECT_EQ(view->information, (KLMeetingInformationText{"Weekly sync", "10:00-11:00", "884 211 907"}));

    // A refresh clears the big view; entering again starts no second timer.
    view->calls.clear();
    window->layout()->refreshRoom();
    window->layout()->tipPopoverClosed(KLTipPopover::NewSettings);
    window->layout()->enterRoomSuccess();
    kltest::pumpEvents(10);
    EXPECT_EQ(view->calls, QStringList({"loading", "main cleared", "tip closed 0", "meeting", "tips 0 1"}));
    EXPECT_TRUE(UserPersistentData::sharedInstance().isNewVersionAlreadyShow());
    EXPECT_FALSE(UserPersistentData::sharedInstance().isNewMeetingNoteAlreadyShow());

    window->layout()->tipPopoverClosed(KLTipPopover::NewMeetingNote);
    open(true);
    window->layout()->enterRoomSuccess();
    kltest::pumpEvents(10);
    EXPECT_EQ(view->calls, QStringList({"timer", "meeting"})) << "both flags written: no tips";

    // Guests never get the tips.
    for (const QString &key : {QStringLiteral("KEY_NEW_VERSION_TIPS"), QStringLiteral("KEY_NEW_MEETING_NOTE_TIPS")})
        UserPersistentData::sharedInstance().removeObjectForKey(key);
    open(false);
    window->layout()->enterRoomSuccess();
    kltest::pumpEvents(10);
    EXPECT_EQ(view->calls, QStringList({"timer", "meeting"}));
}

TEST_F(MeetingLayout, EscapeAndTheFullScreenBarActOnlyInFullScreen)
{
    open(false);
    auto layout = window->layout();
    EXPECT_FALSE(layout->escPressed());
    layout->toggleFullScreenChrome();
    kltest::pumpEvents(10);
    EXPECT_TRUE(view->calls.isEmpty());
    EXPECT_TRUE(posted.isEmpty());

    layout->fullScreenChanged(true);
    layout->toggleFullScreenChrome();
    EXPECT_TRUE(layout->escPressed());
    kltest::pumpEvents(10);
    EXPECT_EQ(view->calls, QStringList({"chrome hidden", "exit full screen"}));
    EXPECT_EQ(posted, QStringList({"viewDidEnterScreenMode", "hubAndRightViewsHidden"}));

    // Leaving full screen brings the bar back; the toolbar's request then finds nothing to do.
    view->calls.clear();
    posted.clear();
    layout->fullScreenChanged(false);
    kltest::pumpEvents(10);
    EXPECT_EQ(view->calls, QStringList({"chrome shown"}));
    EXPECT_EQ(posted, QStringList({"hubAndRightViewsShow"}));
    EXPECT_FALSE(layout->exitFullScreenForShare());
}

TEST_F(MeetingLayout, EveryObservedNotificationReachesTheDrawnLayout)
{
    open(false);
    auto &center = KLNotificationCenter::defaultCenter();
    for (const QLatin1String name : {KLNotificationNames::ReceiveVideoChangeNotification,
                                     KLNotificationNames::AudioVideoChangeNotification,
                                     KLNotificationNames::MeetingMemberNetStatusUpdate,
                                     KLNotificationNames::GetConferenceMember,
                                     KLNotificationNames::OnlineOfflineChangeNotification})
        center.postNotification(name);
    center.postNotification(KLNotificationNames::ChangeVideoDevice);
    center.postNotification(KLNotificationNames::BeautyChange);
    center.postNotification(KLNotificationNames::ShowCaptionView);
    center.postNotification(KLNotificationNames::GetAppointmentDetail);
    kltest::pumpEvents(10);
    EXPECT_EQ(view->memberChanges, 5);
    EXPECT_EQ(view->calls, QStringList({"preview", "preview", "captions"}));
    EXPECT_EQ(view->information.subject, "Weekly sync");
}

TEST_F(MeetingLayout, TheToolbarsLeaveStopsTheTimerAndClosesWhatFloats)
{
    open(false);
    window->layout()->toolbarLeaveRoom(true);
    kltest::pumpEvents(10);
    EXPECT_EQ(view->calls, QStringList({"left"}));
}

} // namespace
