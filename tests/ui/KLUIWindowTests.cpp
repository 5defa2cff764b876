// The drawn meeting window against the simulator: it opens when the host sets no presenter,
// the leave button's dialog and each of its buttons, Enter and Escape in a dialog, Escape
// leaving full screen, the window's own notifications and its closing after a finish.

#include "KLUIWindowFixture.h"

#include "runtime/KLNotificationCenter.h"
#include "runtime/KLNotificationNames.h"
#include "window/KLMeetingLayoutViewController.h"

#include <QMouseEvent>
#include <QSettings>

namespace {

using kltest::UIWindowFixture;
using kltest::waitUntil;

class UIWindow : public UIWindowFixture {};

TEST_F(UIWindow, OpensTitledAtASensibleSizeAndRemembersWhereItWas)
{
    QSettings().remove(QLatin1String(KLMeetingWindowWidget::kGeometryKey));
    join();
    auto *w = window();
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Release planning - ") + KLLocalizedString("APP_NAME"));
    EXPECT_GE(w->width(), w->minimumWidth());
    EXPECT_GE(w->height(), w->minimumHeight());
    EXPECT_EQ(layout()->subjectLabel()->text(), "Release planning");

    // The user's close leaves the meeting; the next window opens where this one was.
    w->resize(1000, 700);
    w->move(40, 30);
    w->close();
    ASSERT_TRUE(waitUntil([] { return window() == nullptr; }));
    EXPECT_FALSE(entry->hasMeetingWindow());
    join();
    EXPECT_EQ(window()->size(), QSize(1000, 700));
}

TEST_F(UIWindow, LeaveButtonAsksFirstAndEachButtonOrKeyDoesWhatItSays)
{
    join();
    hubButton("hub-leave-button")->click();
    ASSERT_TRUE(waitUntil([] { return dialog()->isDialogShown(); }));
    // Not the meeting's master, with others online: leave or cancel.
    EXPECT_EQ(dialog()->titleLabel()->text(), KLLocalizedString("LEAVE_ROOM_OTHER_TOAST_DIALOG"));
    QPushButton *leave = dialog()->button(KLDialogButton::First);
    QPushButton *cancel = dialog()->button(KLDialogButton::Second);
    EXPECT_EQ(leave->text(), KLLocalizedString("LEAVE_ROOM_TOAST_EXIT_MEETING"));
    EXPECT_EQ(cancel->text(), KLLocalizedString("CANCEL"));
    EXPECT_FALSE(dialog()->button(KLDialogButton::Third)->isVisibleTo(dialog()));

    // A second press while the dialog is up shows no second dialog.
    hubButton("hub-leave-button")->click();
    cancel->click();
    waitUntil([] { return false; }, 50);
    EXPECT_FALSE(dialog()->isDialogShown());
    EXPECT_EQ(KLDialogQueue::shared().queuedCount(), 0);
    EXPECT_NE(window(), nullptr);
    EXPECT_FALSE(host->heard().contains("finish 0"));

    // Escape presses Cancel, Enter the default: leave.
    hubButton("hub-leave-button")->click();
    ASSERT_TRUE(waitUntil([] { return dialog()->isDialogShown(); }));
    kltest::pressKey(window(), Qt::Key_Escape);
    EXPECT_FALSE(dialog()->isDialogShown());
    EXPECT_NE(window(), nullptr);
    hubButton("hub-leave-button")->click();
    ASSERT_TRUE(waitUntil([] { return dialog()->isDialogShown(); }));
    kltest::pressKey(window(), Qt::Key_Return);
    EXPECT_TRUE(waitUntil([] { return window() == nullptr; })) << "leaving closes the window";
    EXPECT_TRUE(host->heard().contains("finish 0"));
}

TEST_F(UIWindow, EscapeLeavesFullScreenAndReachesTheLayout)
{
    join();
    QStringList posted;
    auto &center = KLNotificationCenter::defaultCenter();
    for (const char *name : {"viewDidEnterScreenMode", "hubAndRightViewsShow", "windowDidMiniaturize",
                             "windowDidDeMiniaturize", "windowDidChangeMove"}) {
        center.addObserver(this, QLatin1String(name), [&posted, name](const KLNotification &) { posted << name; });
    }
    auto *w = window();
    layout()->fullScreenButton()->click();
    ASSERT_TRUE(waitUntil([w] { return w->isFullScreen(); }));
    EXPECT_TRUE(posted.contains("viewDidEnterScreenMode"));

    // A double click hides the header and toolbar, another shows them again.
    auto doubleClick = [w] {
        QMouseEvent click(QEvent::MouseButtonDblClick, QPointF(200, 200), w->mapToGlobal(QPointF(200, 200)),
                          Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(w->childAt(200, 200) ? w->childAt(200, 200) : w, &click);
        waitUntil([] { return false; }, 20);
    };
    doubleClick();
    EXPECT_TRUE(layout()->header()->isHidden());
    EXPECT_TRUE(layout()->hubWidget()->isHidden());
    doubleClick();
    EXPECT_FALSE(layout()->header()->isHidden());
    doubleClick();
    ASSERT_TRUE(layout()->hubWidget()->isHidden());

    kltest::pressKey(w, Qt::Key_Escape);
    EXPECT_TRUE(waitUntil([w] { return !w->isFullScreen(); }));
    EXPECT_FALSE(layout()->hubWidget()->isHidden()) << "leaving full screen brings the toolbar back";

    // Escape is the window's; every other key passes on to the widget it was meant for.
    struct KeyCounter : QObject {
        int presses = 0;
        bool eventFilter(QObject *, QEvent *event) override
        {
            presses += event->type() == QEvent::KeyPress ? 1 : 0;
            return false;
        }
    } counter;
    w->installEventFilter(&counter);
    QWidget *focus = QApplication::focusWidget();
    if (focus && focus != w)
        focus->clearFocus();
    kltest::pressKey(w, Qt::Key_Escape);
    EXPECT_EQ(counter.presses, 0) << "Escape is consumed";
    kltest::pressKey(w, Qt::Key_A);
    EXPECT_EQ(counter.presses, 1) << "other keys pass through";
    w->removeEventFilter(&counter);
    EXPECT_TRUE(posted.contains("hubAndRightViewsShow")) << "the layout heard full screen end";

    posted.clear();
    w->showMinimized();
    waitUntil([] { return false; }, 20);
    w->showNormal();
    waitUntil([] { return false; }, 20);
    w->move(w->pos() + QPoint(15, 10));
    waitUntil([] { return false; }, 20);
    EXPECT_TRUE(posted.contains("windowDidMiniaturize"));
    EXPECT_TRUE(posted.contains("windowDidDeMiniaturize"));
    EXPECT_TRUE(posted.contains("windowDidChangeMove"));
    center.removeObserver(this);
}

TEST_F(UIWindow, RemovedFromTheMeetingTheDialogExplainsAndTheWindowCloses)
{
    join();
    sim->pushEvent(10, meeting.value("selfMemberUUID").toString());
    ASSERT_TRUE(waitUntil([] { return window() && dialog()->isDialogShown(); }, 8000));
    EXPECT_EQ(layout()->page(), KLMeetingLayoutWidget::Page::Left);
    EXPECT_EQ(dialog()->titleLabel()->text(), KLLocalizedString("LEAVE_ROOM_BY_KICK_TOAST_DIALOG"));
    kltest::pressKey(window(), Qt::Key_Return);
    EXPECT_TRUE(waitUntil([] { return window() == nullptr; })) << "the finish closes the window";
    EXPECT_TRUE(host->heard().contains("finish 1"));
}

TEST_F(UIWindow, StaffSeeTheNewTipsUntilTheyPressTheButtonOrCloseTheTip)
{
    auto &store = UserPersistentData::sharedInstance();
    store.removeObjectForKey("KEY_NEW_VERSION_TIPS");
    store.removeObjectForKey("KEY_NEW_MEETING_NOTE_TIPS");
    join({}, true);
    ASSERT_TRUE(waitUntil([] { return layout()->tipPopover(KLTipPopover::NewSettings) != nullptr; }));
    QWidget *settingsTip = layout()->tipPopover(KLTipPopover::NewSettings);
    QWidget *noteTip = layout()->tipPopover(KLTipPopover::NewMeetingNote);
    ASSERT_NE(noteTip, nullptr);
    EXPECT_TRUE(settingsTip->isVisible());
    EXPECT_FALSE(settingsTip->geometry().intersects(noteTip->geometry())) << "the two tips never cover each other";

    hubButton("hub-setting-button")->click();
    EXPECT_TRUE(waitUntil([] { return layout()->tipPopover(KLTipPopover::NewSettings) == nullptr; }));
    EXPECT_TRUE(store.isNewVersionAlreadyShow());
    EXPECT_FALSE(store.isNewMeetingNoteAlreadyShow());
    noteTip->findChild<QPushButton *>("tip-popover-close")->click();
    EXPECT_TRUE(waitUntil([] { return layout()->tipPopover(KLTipPopover::NewMeetingNote) == nullptr; }));
    EXPECT_TRUE(store.isNewMeetingNoteAlreadyShow());

    // Seen once, they do not come again.
    entry.reset();
    ASSERT_TRUE(waitUntil([] { return window() == nullptr; }));
    join({}, true);
    waitUntil([] { return false; }, 100);
    EXPECT_EQ(layout()->tipPopover(KLTipPopover::NewSettings), nullptr);
    EXPECT_EQ(layout()->tipPopover(KLTipPopover::NewMeetingNote), nullptr);
}

} // namespace
