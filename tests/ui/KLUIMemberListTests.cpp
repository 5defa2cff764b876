// The member panel's widgets over a meeting of the test's own: the online table's five-row cap
// beside the offline section, the focus row drawn, and the call-detail popover with its two
// calls and its pressed button.

#include "ui/memberlist/KLMemberListWidget.h"
#include "ui/memberlist/KLMemberRowWidget.h"

#include "../window/KLHubFakeMeeting.h"
#include "KLTestSupport.h"

#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScrollArea>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

using kltest::FakeHubMeeting;
using kltest::makeFeed;

class UIMemberPanel : public kltest::DialogTest {
protected:
    void SetUp() override
    {
        DialogTest::SetUp();
        meeting->internal = true;
        for (int i = 0; i < 7; ++i)
            meeting->online << makeFeed(QStringLiteral("m%1").arg(i));
        meeting->offline << makeFeed("away", 0, {{"cellPhone", "13800000009"}}, {{"online", 0}});
        meeting->displaying = meeting->online.at(3); // "m2": the own feed comes first
        list = KLMemberListViewController::create(meeting, [](const QString &) {});
        widget = std::make_unique<KLMemberListWidget>(list);
        widget->resize(280, 700);
        widget->show();
        list->refresh();
        ASSERT_TRUE(kltest::waitUntil([this] { return widget->offlineRows().size() == 1; }));
    }
    void TearDown() override
    {
        widget.reset();
        DialogTest::TearDown();
        list.reset();
    }

    std::shared_ptr<FakeHubMeeting> meeting = std::make_shared<FakeHubMeeting>();
    std::shared_ptr<KLMemberListViewController> list;
    std::unique_ptr<KLMemberListWidget> widget;
};

TEST_F(UIMemberPanel, OnlineTableIsCappedAtFiveRowsBesideTheOfflineSection)
{
    EXPECT_EQ(widget->onlineRows().size(), 8);
    EXPECT_EQ(widget->onlineArea()->maximumHeight(), 5 * KLMemberRowWidget::kRowHeight + 2);
    EXPECT_TRUE(widget->offlineHeader()->isVisible());
    EXPECT_EQ(widget->offlineHeader()->text(), KLLocalizedString("OFFLINE_TIPS") + " (1)");
    EXPECT_EQ(widget->titleLabel()->text(), KLLocalizedString("MEMBER_LIST_TITLE").arg(8));

    // Once nobody is left offline the table is no longer capped and the section goes.
    meeting->offline.clear();
    list->refresh();
    ASSERT_TRUE(kltest::waitUntil([this] { return widget->offlineRows().isEmpty(); }));
    EXPECT_EQ(widget->onlineArea()->maximumHeight(), QWIDGETSIZE_MAX);
    EXPECT_FALSE(widget->offlineHeader()->isVisible());
    EXPECT_FALSE(widget->callAllButton()->isVisible());
}

TEST_F(UIMemberPanel, FocusRowIsTheBigViewsMemberDrawnInBold)
{
    KLMemberRowWidget *focused = widget->row("m2");
    ASSERT_NE(focused, nullptr);
    EXPECT_TRUE(focused->row().focused);
    EXPECT_TRUE(focused->nameLabel()->font().bold());
    EXPECT_FALSE(widget->row("m3")->row().focused);
    EXPECT_FALSE(widget->row("m3")->nameLabel()->font().bold());
}

TEST_F(UIMemberPanel, LongNamesAreElidedWithTheWholeNameInTheTooltip)
{
    const QString name = QStringLiteral("Shanghai headquarters 3F conference room Mingyue");
    meeting->online << makeFeed("long", 0, {{"displayName", name}});
    list->refresh();
    ASSERT_TRUE(kltest::waitUntil([this] { return widget->row("long") != nullptr; }));
    KLMemberRowWidget *row = widget->row("long");
    ASSERT_TRUE(kltest::waitUntil([row, name] { return row->nameLabel()->text() != name; }));
    EXPECT_TRUE(row->nameLabel()->text().endsWith(QChar(0x2026)));
    EXPECT_LE(row->nameLabel()->fontMetrics().horizontalAdvance(row->nameLabel()->text()), row->nameLabel()->width());
    EXPECT_EQ(row->nameLabel()->toolTip(), name);
}

TEST_F(UIMemberPanel, CallDetailPopoverOffersBothCallsAndMarksItsButtonWhileOpen)
{
    KLMemberRowWidget *away = widget->row("away");
    QToolButton *detail = away->button("callDetail");
    ASSERT_NE(detail, nullptr);
    const qint64 closedIcon = detail->icon().cacheKey();
    detail->click();
    ASSERT_TRUE(kltest::waitUntil([this] { return widget->callDetailMenu() != nullptr; }));
    QMenu *menu = widget->callDetailMenu();
    ASSERT_EQ(menu->actions().size(), 2);
    EXPECT_EQ(menu->actions().at(0)->text(), KLLocalizedString("CALL_STAFF_TIPS"));
    EXPECT_EQ(menu->actions().at(1)->text(), KLLocalizedString("CALL_CELL_TIPS"));
    EXPECT_NE(detail->icon().cacheKey(), closedIcon) << "pressed while the popover is open";

    menu->actions().at(0)->trigger();
    EXPECT_EQ(meeting->calls(), QStringList{"call away"});
    menu->close();
    ASSERT_TRUE(kltest::waitUntil([this] { return widget->callDetailMenu() == nullptr; }));
}

} // namespace
