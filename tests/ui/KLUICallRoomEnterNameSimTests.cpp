// A guest projection's join against the simulator waits for the user's name: the drawn
// enter-name card appears over the window before the ICE stage, refuses a blank name, and once
// a name is given it is remembered and the join goes on into the meeting.

#include "KLUIWindowFixture.h"

#include "clientconfig/KLClientConfigManager.h"
#include "ui/entername/KLEnterNameDialogWidget.h"
#include "ui/memberlist/KLMeetingSidePanel.h"

#include <QLineEdit>

namespace {

using kltest::UIWindowFixture;
using kltest::waitUntil;

class UIEnterName : public UIWindowFixture {
protected:
    void TearDown() override
    {
        UIWindowFixture::TearDown();
        UserPersistentData::sharedInstance().writeVanNames(QString());
    }
};

TEST_F(UIEnterName, GuestProjectionWaitsForANameBeforeItGoesOn)
{
    UserPersistentData::sharedInstance().writeVanNames(QString());
    entry = std::make_unique<KLUISDKMeetingMainWindow>(QVariantMap{{"meetingTopic", "Release planning"}},
                                                       meetingDictionary(true), host);
    entry->joinMeeting();
    // An internal meeting started by someone who is not staff: a guest's projection.
    KLClientConfigManager::sharedInstance().setIsStaff(false);
    ASSERT_NE(window(), nullptr);
    KLEnterNameDialogWidget *card = layout()->sidePanel()->enterNameDialog();
    ASSERT_NE(card, nullptr);
    ASSERT_TRUE(waitUntil([card] { return card->isVisible(); }, 10000));
    // The join holds before the ICE stage while the card is up.
    waitUntil([] { return false; }, 300);
    EXPECT_TRUE(sim->requests("/conference/gbc/getIceServerList").isEmpty());
    EXPECT_FALSE(host->heard().contains("joined"));

    card->nameField()->setText("  ");
    card->confirmButton()->click();
    EXPECT_TRUE(card->isVisible());
    EXPECT_EQ(card->errorLabel()->text(), KLLocalizedString("ERROR_NAME_ONLY_BLANK"));

    card->nameField()->setText("Guest Ann");
    card->confirmButton()->click();
    EXPECT_FALSE(card->isVisible());
    EXPECT_EQ(UserPersistentData::sharedInstance().readVanNames(), "Guest Ann");
    ASSERT_TRUE(waitUntil([] { return !sim->requests("/conference/gbc/getIceServerList").isEmpty(); }, 10000));
    ASSERT_TRUE(waitUntil([this] { return host->heard().contains("joined"); }, 15000)) << host->heard().join(", ").toStdString();
}

} // namespace
