// The enter-name dialog: blank names and names with an emoji are refused with their reason, a
// good name is remembered and lets the join go on exactly once.

#include "window/KLEnterNameViewController.h"

#include "host/UserPersistentData.h"
#include "runtime/KLLocalization.h"

#include <gtest/gtest.h>

namespace {

TEST(EnterName, NameChecksInOrder)
{
    EXPECT_EQ(KLEnterNameViewController::nameErrorKey(""), "ERROR_NAME_ONLY_BLANK");
    EXPECT_EQ(KLEnterNameViewController::nameErrorKey("   "), "ERROR_NAME_ONLY_BLANK");
    EXPECT_EQ(KLEnterNameViewController::nameErrorKey(" \t\n"), "ERROR_NAME_ONLY_BLANK");
    EXPECT_EQ(KLEnterNameViewController::nameErrorKey(QStringLiteral("Ann \U0001F600")), "ERROR_NAME_HAS_EMOJI");
    EXPECT_EQ(KLEnterNameViewController::nameErrorKey(QStringLiteral("张三")), "");
    EXPECT_EQ(KLEnterNameViewController::nameErrorKey("Ann Lee"), "");
}

TEST(EnterName, RefusedNamesKeepTheDialogAndAGoodOneIsStoredAndGoesOn)
{
    KLLocalization::setLanguage(KLLocalization::Language::English);
    struct View final : KLEnterNameView {
        void showEnterName(const QString &error) override { shown << error; }
        void closeEnterName() override { ++closed; }
        QStringList shown;
        int closed = 0;
    };
    auto view = std::make_shared<View>();
    auto dialog = KLEnterNameViewController::create();
    dialog->setView(view);
    int proceeded = 0;
    EXPECT_FALSE(dialog->submit("Ann")) << "no dialog open";

    dialog->open([&] { ++proceeded; });
    ASSERT_EQ(view->shown, QStringList{QString()});
    EXPECT_FALSE(dialog->submit("   "));
    EXPECT_TRUE(dialog->isOpen());
    EXPECT_EQ(dialog->errorKey(), "ERROR_NAME_ONLY_BLANK");
    EXPECT_EQ(view->shown.last(), KLLocalizedString("ERROR_NAME_ONLY_BLANK"));
    EXPECT_NE(view->shown.last(), "ERROR_NAME_ONLY_BLANK");
    EXPECT_EQ(proceeded, 0);

    EXPECT_TRUE(dialog->submit("  Ann Lee "));
    EXPECT_FALSE(dialog->isOpen());
    EXPECT_EQ(proceeded, 1);
    EXPECT_EQ(view->closed, 1);
    EXPECT_EQ(UserPersistentData::sharedInstance().readVanNames(), "Ann Lee");
    EXPECT_FALSE(dialog->submit("Again"));
    EXPECT_EQ(proceeded, 1);
    UserPersistentData::sharedInstance().writeVanNames(QString());
}

} // namespace
