// What a host drawing the window itself is told of the member list and the toolbar: each row's
// fields with the buttons it may press now, and every toolbar button in order with a label.

#include "window/KLPresenterBridge.h"

#include "runtime/KLLocalization.h"
#include "window/KLHubViewController.h"
#include "window/KLMemberListViewController.h"

#include <KelvoUISDK/KLUISDKMeetingPresenter.h>

#include "KLHubFakeMeeting.h"

#include <gtest/gtest.h>

namespace {

TEST(PresenterMembers, RowFieldsCarryOverAndCallButtonsInTheirFiveSecondsAreLeftOut)
{
    KLMemberRow row;
    row.uuid = "u1";
    row.name = "Ann";
    row.memberType = 3;
    row.online = false;
    row.calling = true;
    row.isSelf = false;
    row.buttons = {"call", "callCell", "callDetail"};
    row.callEnabled = true;
    KLUISDKMember member = KLPresenterBridge::memberFor(row);
    EXPECT_EQ(member.uuid, "u1");
    EXPECT_EQ(member.name, "Ann");
    EXPECT_EQ(member.memberType, 3);
    EXPECT_TRUE(member.calling);
    EXPECT_FALSE(member.online);
    EXPECT_EQ(member.buttons, (QStringList{"call", "callCell", "callDetail"}));

    row.callEnabled = false;
    EXPECT_EQ(KLPresenterBridge::memberFor(row).buttons, QStringList{"callDetail"});

    KLMemberRow online;
    online.online = online.muted = online.speaking = online.locked = online.focused = online.isSelf = online.video = true;
    online.buttons = {"mute", "hangup", "lock"};
    online.callEnabled = false; // only call buttons rest
    member = KLPresenterBridge::memberFor(online);
    EXPECT_TRUE(member.muted && member.speaking && member.locked && member.focused && member.isSelf && member.video);
    EXPECT_EQ(member.buttons, (QStringList{"mute", "hangup", "lock"}));
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
