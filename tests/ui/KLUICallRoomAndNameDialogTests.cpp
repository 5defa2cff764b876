// The window's two small dialogs drawn over it: the enter-name card refuses a blank name with its
// reason under the field, clears the reason on typing and closes once a name is taken; the
// call-rooms card draws its check marks and call button from its controller.

#include "ui/callrooms/KLCallRoomDialogWidget.h"
#include "ui/entername/KLEnterNameDialogWidget.h"

#include "host/UserPersistentData.h"
#include "runtime/KLLocalization.h"

#include "../window/KLHubFakeMeeting.h"
#include "KLTestSupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QPointer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

namespace {

TEST(UIEnterNameDialog, RefusesABlankNameWithItsReasonAndClosesOnAGoodOne)
{
    KLLocalization::setLanguage(KLLocalization::Language::English);
    QWidget window;
    window.resize(800, 600);
    window.show();
    auto dialog = KLEnterNameViewController::create();
    auto *card = new KLEnterNameDialogWidget(dialog, &window);
    EXPECT_FALSE(card->isVisible());
    int proceeded = 0;
    dialog->open([&] { ++proceeded; });
    ASSERT_TRUE(card->isVisible());
    EXPECT_EQ(card->geometry(), window.rect()) << "the card covers the window";
    EXPECT_EQ(card->titleLabel()->text(), KLLocalizedString("ENTER_NAME_TITLE"));
    EXPECT_FALSE(card->confirmButton()->isEnabled());

    card->nameField()->setText("   ");
    ASSERT_TRUE(card->confirmButton()->isEnabled());
    card->confirmButton()->click();
    EXPECT_TRUE(card->isVisible());
    EXPECT_TRUE(card->errorLabel()->isVisibleTo(card));
    EXPECT_EQ(card->errorLabel()->text(), KLLocalizedString("ERROR_NAME_ONLY_BLANK"));
    card->nameField()->setText("Ann");
    EXPECT_FALSE(card->errorLabel()->isVisibleTo(card)) << "typing clears the reason";

    QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(card->nameField(), &press);
    EXPECT_FALSE(card->isVisible());
    EXPECT_EQ(proceeded, 1);
    EXPECT_EQ(UserPersistentData::sharedInstance().readVanNames(), "Ann");
    UserPersistentData::sharedInstance().writeVanNames(QString());
}

TEST(UICallRoomDialog, DrawsItsRoomsChecksAndCallButtonFromTheController)
{
    KLLocalization::setLanguage(KLLocalization::Language::English);
    QWidget window;
    window.resize(800, 600);
    window.show();
    auto meeting = std::make_shared<kltest::FakeHubMeeting>();
    QList<KLHubFeedPtr> rooms{kltest::makeFeed("r1"), kltest::makeFeed("r2")};
    auto dialog = KLCallRoomViewController::create(meeting, [&] { return rooms; });
    auto *card = new KLCallRoomDialogWidget(dialog, &window);
    card->showOver();
    ASSERT_EQ(card->roomBoxes().size(), 2);
    EXPECT_EQ(card->roomBoxes().at(0)->text(), "r1");
    EXPECT_FALSE(card->callButton()->isEnabled());
    EXPECT_TRUE(card->callButton()->styleSheet().contains("#B2D6FB"));

    card->roomBoxes().at(1)->click();
    EXPECT_FALSE(card->selectAllBox()->isChecked());
    EXPECT_TRUE(card->callButton()->isEnabled());
    card->selectAllBox()->click();
    EXPECT_TRUE(card->roomBoxes().at(0)->isChecked());
    EXPECT_TRUE(card->roomBoxes().at(1)->isChecked());
    EXPECT_TRUE(card->selectAllBox()->isChecked());

    QPointer<KLCallRoomDialogWidget> guarded(card);
    card->cancelButton()->click();
    EXPECT_TRUE(meeting->calls().isEmpty()) << "cancel calls nobody";
    EXPECT_TRUE(dialog->isClosed());
    EXPECT_FALSE(card->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(guarded.isNull()) << "a closed dialog goes away";
}

} // namespace
