// What a host drawing the window itself is told of the member list and the toolbar: the buttons
// a row may press now, and every toolbar button in order with a label.

#include "window/KLPresenterBridge.h"

#include "runtime/KLLocalization.h"
#include "window/KLHubViewController.h"
#include "window/KLMemberListViewController.h"

#include <KelvoUISDK/KLUISDKMeetingPresenter.h>

#include "KLHubFakeMeeting.h"

#include <gtest/gtest.h>

namespace {

// (The row's fields as the host reads them: the host's end-to-end members run.)
TEST(PresenterMembers, CallButtonsInTheirFiveSecondsAreLeftOutAndNothingElse)
{
    KLMemberRow row;
    row.buttons = {"call", "callCell", "callDetail"};
    row.callEnabled = true;
    EXPECT_EQ(KLPresenterBridge::memberFor(row).buttons, (QStringList{"call", "callCell", "callDetail"}));
    row.callEnabled = false;
    EXPECT_EQ(KLPresenterBridge::memberFor(row).buttons, QStringList{"callDetail"});
    row.buttons = {"mute", "hangup", "lock"};
    EXPECT_EQ(KLPresenterBridge::memberFor(row).buttons, (QStringList{"mute", "hangup", "lock"}));
}

TEST(PresenterMembers, ToolbarListsEveryButtonInOrderWithItsLook)
{
    KLLocalization::setLanguage(KLLocalization::Language::English);
    auto meeting = std::make_shared<kltest::FakeHubMeeting>();
    KLHubViewController::Setup setup;
    setup.actionLog = [](const QString &) {};
    auto hub = KLHubViewController::create(meeting, std::move(setup));
    hub->refreshButtons();
    int changes = 0;
    hub->setObserver([&] { ++changes; });
    hub->refreshButtons();
    EXPECT_EQ(changes, 0) << "looks that did not change are not reported";

    const QList<KLUISDKToolbarButton> buttons = KLPresenterBridge::toolbarFor(*hub);
    QStringList controls;
    for (const auto &button : buttons) {
        controls << button.control;
        EXPECT_FALSE(button.label.isEmpty()) << button.control.toStdString();
    }
    EXPECT_EQ(controls, (QStringList{"hub-mute-button", "hub-video-mute-button", "hub-speaker-button",
                                     "hub-share-button", "hub-meeting-info-button", "hub-phone-enter-button",
                                     "hub-meetingNote-button", "hub-setting-button", "hub-more-button",
                                     "hub-leave-button"}));
    EXPECT_EQ(buttons.at(2).icon, hub->buttonState(KLHubButton::Speaker).icon);
    EXPECT_EQ(buttons.last().label, KLLocalizedString("Leave_Tips"));

    EXPECT_EQ(buttons.at(2).icon, "conf_tool_speaker_normal");
    hub->speakerClicked();
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(KLPresenterBridge::toolbarFor(*hub).at(2).icon, "conf_tool_speaker_mute");
}

} // namespace
