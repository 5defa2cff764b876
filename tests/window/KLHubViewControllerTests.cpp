// The toolbar's decisions: which leave dialog appears and what its buttons do, the
// microphone's server flag, the camera in an audio meeting, the howling warning's two-minute
// rule, and the share button's round trip.

#include "window/KLHubViewController.h"

#include "model/KLSDKMeetingEventDelegate.h"
#include "presentation/KLDialogQueue.h"
#include "presentation/KLToastManager.h"
#include "runtime/KLLocalization.h"
#include "runtime/KLNotificationCenter.h"
#include "runtime/KLNotificationNames.h"

#include "KLHubFakeMeeting.h"
#include "KLTestSupport.h"

#include <QTimeZone>

#include <gtest/gtest.h>

#include <vector>

namespace {

using kltest::FakeHubMeeting;

class WindowReports final : public KLSDKMeetingEventDelegate {
public:
    void onMeetingStatusChange(int) override {}
    void onApplicationStatusChange(int, const QString &) override {}
    void onMeetingJoined() override {}
    void onError(int code, const QString &) override { reports << QStringLiteral("error %1").arg(code); }
    void onMeetingFinish(int reason, const QString &text) override
    {
        reports << QStringLiteral("finish %1%2").arg(reason).arg(text);
    }
    void onMeetingUserStatusChange(const std::shared_ptr<KLSDKMeetingUser> &, int) override {}
    QStringList reports;
};

class RecordingHubView final : public KLHubView {
public:
    void setButtonState(KLHubButton, const KLHubButtonState &) override {}
    void minimiseWindow() override { events << "minimise"; }
    void showShareNotice(const QString &name) override { events << "notice " + name; }
    void closeShareNotice() override { events << "closeNotice"; }
    void showScreenRecordingPermissionDialog() override { events << "permission"; }
    QStringList events;
};

class Hub : public kltest::DialogTest {
protected:
    void TearDown() override
    {
        DialogTest::TearDown();
        hub.reset();
    }
    void make(const QString &rateUrl = {})
    {
        KLHubViewController::Setup setup;
        setup.leaveRoom = [this](bool userInitiated) { leaves.push_back(userInitiated); };
        setup.meetingWindow = window;
        setup.meetingRateUrl = rateUrl;
        setup.actionLog = [this](const QString &control) { controls << control; };
        setup.now = [this] { return now; };
        hub = KLHubViewController::create(meeting, std::move(setup));
        hub->setView(view);
    }
    void press(KLDialogButton button)
    {
        ASSERT_TRUE(kltest::waitUntil([this] { return dialogs->visible; }));
        dialogs->press(button);
        kltest::pumpEvents(10);
    }

    std::shared_ptr<FakeHubMeeting> meeting = std::make_shared<FakeHubMeeting>();
    std::shared_ptr<WindowReports> window = std::make_shared<WindowReports>();
    std::shared_ptr<RecordingHubView> view = std::make_shared<RecordingHubView>();
    std::shared_ptr<KLHubViewController> hub;
    // A std::vector: comparing empty QList<bool>s hands memcmp a null pointer in this Qt.
    std::vector<bool> leaves;
    QStringList controls;
    QDateTime now = QDateTime(QDate(2026, 3, 2), QTime(9, 0), QTimeZone::utc());
};

TEST_F(Hub, LeaveDialogFollowsMasterAndHeadcountAndEachButtonDoesItsPart)
{
    struct Case {
        const char *name;
        bool master;
        int online;
        bool internal;
        QString rateUrl;
        KLDialogButton button;
        QString titleKey;
        int leaves;
        QStringList reports;
    };
    const QString rate = QStringLiteral("https://rate.example/eval");
    const std::vector<Case> cases{
        {"master with others leaves", true, 2, false, {}, KLDialogButton::First, "LEAVE_ROOM_TOAST_DIALOG", 1, {"finish 0"}},
        {"master with others closes", true, 3, false, {}, KLDialogButton::Third, "LEAVE_ROOM_TOAST_DIALOG", 0, {}},
        {"alone ends", true, 1, false, {}, KLDialogButton::First, "LEAVE_ROOM_SELF_TOAST_DIALOG", 1, {"finish 0"}},
        {"alone non-master", false, 1, false, {}, KLDialogButton::First, "LEAVE_ROOM_SELF_TOAST_DIALOG", 1, {"finish 0"}},
        {"other cancels", false, 3, false, {}, KLDialogButton::Second, "LEAVE_ROOM_OTHER_TOAST_DIALOG", 0, {}},
        {"internal leaves unreported", false, 3, true, {}, KLDialogButton::First, "LEAVE_ROOM_OTHER_TOAST_DIALOG", 1, {}},
        {"rate page reports later", false, 3, false, rate, KLDialogButton::First, "LEAVE_ROOM_OTHER_TOAST_DIALOG", 1, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        meeting = std::make_shared<FakeHubMeeting>();
        window->reports.clear();
        leaves.clear();
        meeting->master = c.master;
        meeting->internal = c.internal;
        for (int i = 1; i < c.online; ++i)
            meeting->online << kltest::makeFeed(QStringLiteral("m%1").arg(i));
        make(c.rateUrl);
        hub->leaveClicked();
        hub->leaveClicked(); // a second press while the dialog is up shows no second copy
        ASSERT_TRUE(kltest::waitUntil([this] { return dialogs->visible; }));
        EXPECT_EQ(dialogs->current.title, KLLocalizedString(c.titleKey));
        EXPECT_EQ(dialogs->current.third.visible, c.titleKey == "LEAVE_ROOM_TOAST_DIALOG");
        EXPECT_EQ(KLDialogQueue::shared().queuedCount(), 0);
        press(c.button);
        EXPECT_EQ(leaves, std::vector<bool>(c.leaves, true));
        EXPECT_EQ(window->reports, c.reports);
        EXPECT_FALSE(hub->isLeaveDialogShown());
    }
    EXPECT_EQ(controls.count("hub-leave-button"), 2 * static_cast<int>(cases.size()));
}

TEST_F(Hub, FinishForAllReportsEightOnlyWhenTheServerAgrees)
{
    for (const bool agrees : {true, false}) {
        SCOPED_TRACE(agrees);
        meeting = std::make_shared<FakeHubMeeting>();
        meeting->master = true;
        meeting->online << kltest::makeFeed("m1");
        meeting->finishSucceeds = agrees;
        window->reports.clear();
        leaves.clear();
        make();
        hub->leaveClicked();
        press(KLDialogButton::Second);
        ASSERT_TRUE(kltest::waitUntil([this] { return !leaves.empty(); }));
        EXPECT_TRUE(meeting->leavingBySelf);
        EXPECT_EQ(meeting->calls(), QStringList{"finishForAll"});
        EXPECT_EQ(leaves, std::vector<bool>{true});
        EXPECT_EQ(window->reports, agrees ? QStringList{"finish 8"} : QStringList{});
    }
}

TEST_F(Hub, MicrophoneAsksTheServerUnlessBothPhonesDisagree)
{
    struct Case { bool bothPhones; bool audioOn; qint64 callMute; QString expected; };
    const std::vector<Case> cases{
        {false, true, 0, "muteAudio own 1 1"},
        {false, false, 1, "muteAudio own 0 1"},
        {true, true, 0, "muteAudio own 1 0"},
        {true, false, 1, "muteAudio own 0 1"},
        {true, false, 0, "muteAudio own 0 0"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.expected.toStdString() + (c.bothPhones ? " both phones" : ""));
        meeting = std::make_shared<FakeHubMeeting>();
        const QJsonObject phones{{"extension", 1}, {"cellphone", 1}};
        meeting->own = kltest::makeFeed("own", c.callMute, {}, c.bothPhones ? phones : QJsonObject{});
        meeting->own->setAudioMuted(!c.audioOn);
        meeting->muteInitStage = true;
        make();
        KLHubFeedPtr announced;
        KLNotificationCenter::defaultCenter().addObserver(
            this, KLNotificationNames::AudioVideoChangeNotification, [&announced](const KLNotification &note) {
                announced = note.userInfo.value("client").value<KLHubFeedPtr>();
            });
        hub->muteClicked();
        KLNotificationCenter::defaultCenter().removeObserver(this);
        EXPECT_EQ(meeting->calls(), QStringList{c.expected});
        EXPECT_EQ(announced, meeting->own);
        EXPECT_FALSE(meeting->muteInitStage);
        // The look follows the new state once the change is announced back.
        hub->refreshButtons();
        EXPECT_EQ(hub->buttonState(KLHubButton::Microphone), KLHubViewController::microphoneLook(c.audioOn));
    }
    EXPECT_EQ(controls.count("hub-mute-button"), static_cast<int>(cases.size()));
}

TEST_F(Hub, CameraChangesNothingInAnAudioMeeting)
{
    meeting->video = false;
    make();
    const KLHubButtonState before = hub->buttonState(KLHubButton::Camera);
    hub->cameraClicked();
    EXPECT_TRUE(meeting->calls().isEmpty());
    EXPECT_EQ(hub->buttonState(KLHubButton::Camera), before);
    EXPECT_EQ(before.icon, "conf_video_disabled");
    EXPECT_EQ(controls, QStringList{"hub-video-mute-button"});

    meeting->video = true;
    hub->cameraClicked();
    EXPECT_EQ(meeting->calls(), QStringList{"muteVideo own 1 1"});
    EXPECT_EQ(hub->buttonState(KLHubButton::Camera).icon, "conf_tool_camera_mute");
}

TEST_F(Hub, LooksAreReadAgainWhenTheMeetingsMembersChange)
{
    make();
    EXPECT_EQ(hub->buttonState(KLHubButton::Microphone).icon, "conf_tool_audio_normal");
    // The own feed's state changes without a notification about it (as when it is registered
    // at the join): the member update that follows brings the look in step.
    meeting->own->setAudioMuted(true);
    meeting->own->setVideoMuted(true);
    EXPECT_EQ(hub->buttonState(KLHubButton::Microphone).icon, "conf_tool_audio_normal");
    KLNotificationCenter::defaultCenter().postNotification(KLNotificationNames::MeetingMemberUpdate);
    ASSERT_TRUE(kltest::waitUntil([this] { return hub->buttonState(KLHubButton::Microphone).icon == "conf_tool_audio_mute"; }));
    EXPECT_EQ(hub->buttonState(KLHubButton::Camera).icon, "conf_tool_camera_mute");
}

TEST_F(Hub, HowlingWarningsAreAtLeastTwoMinutesApartAndNeedAnOpenChannel)
{
    make();
    const QDateTime start = now;
    hub->noiseDetected("HOWLING_DETECTED_TIPS");
    hub->noiseDetected("HOWLING_DETECTED_TIPS"); // while shown: only a log line
    press(KLDialogButton::Second);
    EXPECT_EQ(dialogs->shown, 1);

    now = start.addSecs(119);
    KLNotificationCenter::defaultCenter().postNotification(KLNotificationNames::RingToneDetected);
    kltest::pumpEvents(20);
    EXPECT_EQ(dialogs->shown, 1);

    now = start.addSecs(120);
    KLNotificationCenter::defaultCenter().postNotification(KLNotificationNames::RingToneDetected);
    ASSERT_TRUE(kltest::waitUntil([this] { return dialogs->shown == 2; }));
    EXPECT_EQ(dialogs->current.title, KLLocalizedString("RINGTONE_DETECTED_TIPS"));
    press(KLDialogButton::First); // yes: microphone and speaker go off
    EXPECT_EQ(meeting->calls(), (QStringList{"muteAudio own 1 1", "muteSpeaker 1"}));
    EXPECT_FALSE(meeting->speakerOpen);

    // Nobody can hear or be heard any more: nothing to warn about.
    now = start.addSecs(1000);
    hub->noiseDetected("HOWLING_DETECTED_TIPS");
    kltest::pumpEvents(20);
    EXPECT_EQ(dialogs->shown, 2);
}

TEST_F(Hub, ShareStartsWithPermissionAndTheSecondPressStopsTheOwnShare)
{
    meeting->screenRecording = false;
    make();
    hub->shareClicked();
    EXPECT_EQ(view->events, QStringList{"permission"});
    EXPECT_TRUE(meeting->calls().isEmpty());

    meeting->screenRecording = true;
    meeting->pallas = false;
    meeting->shared = kltest::makeFeed("remote-share");
    hub->shareClicked(); // a remote share is closed first outside Pallas meetings
    EXPECT_EQ(meeting->calls(), (QStringList{"closeClient remote-share", "desktopShare"}));
    EXPECT_EQ(view->events.mid(1), (QStringList{"notice own", "minimise"}));
    EXPECT_EQ(hub->buttonState(KLHubButton::Share).label, KLLocalizedString("STOP_SHARE_HUB"));

    meeting->shared = kltest::makeFeed("screen-own");
    hub->shareClicked();
    EXPECT_EQ(meeting->calls().last(), "stopShare");
    EXPECT_EQ(view->events.last(), "closeNotice");
    EXPECT_EQ(hub->buttonState(KLHubButton::Share).label, KLLocalizedString("Share_Tips"));
}

} // namespace
