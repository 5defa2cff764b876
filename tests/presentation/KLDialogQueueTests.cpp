#include "presentation/KLDialogQueue.h"
#include "runtime/KLLocalization.h"
#include "runtime/KLNotificationCenter.h"
#include "runtime/KLNotificationNames.h"

#include "KLTestSupport.h"

#include <gtest/gtest.h>

#include <QThread>

namespace {

class RecordingDialogView : public KLDialogView {
public:
    void showDialog(const KLDialogPresentation &dialog) override
    {
        visible = true;
        current = dialog;
        titles.append(dialog.title);
    }
    void closeDialog() override
    {
        visible = false;
        ++closes;
    }

    bool visible = false;
    KLDialogPresentation current;
    QStringList titles;
    int closes = 0;
};

class DialogQueue : public testing::Test {
protected:
    void SetUp() override
    {
        KLLocalization::setLanguage(KLLocalization::Language::English);
        queue.setView(view);
    }

    KLDialogRequest request(const QString &title, QStringList *log = nullptr)
    {
        KLDialogRequest r;
        r.title = title;
        r.firstButtonText = QStringLiteral("OK");
        r.secondButtonText = QStringLiteral("No");
        r.showThirdButton = true;
        if (log) {
            r.firstBlock = [log, title] { log->append(title + QStringLiteral(":first")); };
            r.secondBlock = [log, title] { log->append(title + QStringLiteral(":second")); };
            r.thirdBlock = [log, title] { log->append(title + QStringLiteral(":third")); };
        }
        return r;
    }

    void press(KLDialogButton button) { queue.buttonPressed(view->current.dialogId, button); }

    KLDialogQueue queue;
    std::shared_ptr<RecordingDialogView> view = std::make_shared<RecordingDialogView>();
};

TEST_F(DialogQueue, ShowsOneAtATimeInOrderAndEachActionOnce)
{
    QStringList log;
    queue.showToastDialog(request(QStringLiteral("A"), &log));
    queue.showToastDialog(request(QStringLiteral("B"), &log));
    queue.showToastDialog(request(QStringLiteral("C"), &log));
    EXPECT_EQ(view->titles, QStringList({QStringLiteral("A")}));
    EXPECT_EQ(queue.queuedCount(), 2);

    const quint64 firstId = view->current.dialogId;
    press(KLDialogButton::First);
    queue.buttonPressed(firstId, KLDialogButton::First);  // a late second press on A
    EXPECT_EQ(view->titles, QStringList({QStringLiteral("A"), QStringLiteral("B")}));
    press(KLDialogButton::Second);
    press(KLDialogButton::Third);
    EXPECT_EQ(log, QStringList({QStringLiteral("A:first"), QStringLiteral("B:second"), QStringLiteral("C:third")}));
    EXPECT_EQ(view->titles.size(), 3);
    EXPECT_FALSE(queue.isShowDialog());
    EXPECT_FALSE(view->visible);
    EXPECT_EQ(view->closes, 3);
}

TEST_F(DialogQueue, FirstActionRunsBeforeHidingAndTheOthersAfter)
{
    // What each action sees of the queue tells when it ran.
    QStringList seen;
    KLDialogRequest a = request(QStringLiteral("A"));
    a.firstBlock = [&] { seen.append(view->current.title); };
    KLDialogRequest b = request(QStringLiteral("B"));
    b.secondBlock = [&] { seen.append(view->current.title); };
    queue.showToastDialog(std::move(a));
    queue.showToastDialog(std::move(b));
    queue.showToastDialog(request(QStringLiteral("C")));
    press(KLDialogButton::First);
    press(KLDialogButton::Second);
    EXPECT_EQ(seen, QStringList({QStringLiteral("A"), QStringLiteral("C")}));

    // A request made by a first-button action waits behind the dialog that made it.
    KLDialogRequest d = request(QStringLiteral("D"));
    d.firstBlock = [&] { queue.showToastDialog(request(QStringLiteral("E"))); };
    press(KLDialogButton::First);  // closes C
    queue.showToastDialog(std::move(d));
    press(KLDialogButton::First);
    EXPECT_EQ(view->current.title, QStringLiteral("E"));
}

TEST_F(DialogQueue, ButtonLooksFollowTheRequest)
{
    KLDialogRequest one;
    one.title = QStringLiteral("Only one button");
    one.firstButtonText = QStringLiteral("OK");
    queue.showToastDialog(std::move(one));
    const KLDialogPresentation &d = view->current;
    EXPECT_TRUE(d.first.visible);
    EXPECT_EQ(d.first.backgroundColor, QStringLiteral("#177EE6"));
    EXPECT_EQ(d.first.cornerRadius, 14);
    EXPECT_FALSE(d.second.visible);
    EXPECT_FALSE(d.third.visible);
    EXPECT_FALSE(d.descVisible);

    press(KLDialogButton::Second);  // not on this dialog: nothing happens
    EXPECT_TRUE(queue.isShowDialog());
    press(KLDialogButton::First);

    queue.showToastDialog(request(QStringLiteral("Three")));
    EXPECT_EQ(view->current.third.text, KLLocalizedString(QStringLiteral("CANCEL")));
    EXPECT_EQ(view->current.third.textColor, QStringLiteral("#1F3858"));
}

TEST_F(DialogQueue, NetworkLostDialogGivesWayWhenTheNetworkReturns)
{
    bool lostActionRan = false;
    KLDialogRequest lost = request(KLLocalizedString(QStringLiteral("NO_NETWEAK_TIPS")));
    lost.firstBlock = [&] { lostActionRan = true; };
    queue.showToastDialog(std::move(lost));
    queue.showToastDialog(request(QStringLiteral("Next")));
    EXPECT_EQ(queue.currentNetToastTitle(), KLLocalizedString(QStringLiteral("NO_NETWEAK_TIPS")));

    KLNotificationCenter::defaultCenter().postNotification(KLNotificationNames::NetWorkAvaliable);
    EXPECT_EQ(view->current.title, QStringLiteral("Next"));
    EXPECT_TRUE(queue.currentNetToastTitle().isEmpty());

    // An ordinary dialog stays when the network returns.
    queue.networkAvailable();
    EXPECT_TRUE(view->visible);

    press(KLDialogButton::First);
    queue.showToastDialog(request(KLLocalizedString(QStringLiteral("NO_NETWEAK_TIPS"))));
    queue.networkAvailable();
    EXPECT_FALSE(view->visible);
    EXPECT_FALSE(queue.isShowDialog());
    EXPECT_FALSE(lostActionRan);
}

TEST_F(DialogQueue, RequestsFromAnotherThreadArriveOnTheMainThread)
{
    QThread *thread = QThread::create([&] {
        queue.showToastDialog(request(QStringLiteral("from worker")));
        queue.showToastDialog(request(QStringLiteral("second")));
    });
    thread->start();
    ASSERT_TRUE(thread->wait(5000));
    delete thread;
    ASSERT_TRUE(kltest::waitUntil([&] { return queue.queuedCount() == 1; }));
    EXPECT_EQ(view->titles, QStringList({QStringLiteral("from worker")}));
}

} // namespace

namespace {

// Enter and Escape in the drawn dialog: Enter takes the first button, Escape only a button
// that declines — never a leave or a confirmation.
TEST(DialogKeys, EnterTakesTheDefaultAndEscapeOnlyADecliningButton)
{
    KLLocalization::setLanguage(KLLocalization::Language::English);
    auto look = [](QString first, QString second, bool third) {
        KLDialogRequest request;
        request.firstButtonText = std::move(first);
        request.secondButtonText = std::move(second);
        request.showThirdButton = third;
        return KLDialogQueue::presentationFor(request, 1);
    };
    const QString leave = KLLocalizedString("LEAVE_ROOM_TOAST_EXIT_MEETING");
    const QString finish = KLLocalizedString("LEAVE_ROOM_TOAST_FINISH_MEETING");

    const auto three = look(leave, finish, true);
    EXPECT_EQ(KLDialogQueue::defaultButton(three), KLDialogButton::First);
    EXPECT_EQ(KLDialogQueue::cancelButton(three), KLDialogButton::Third);

    for (const char *decline : {"CANCEL", "CONFIRM_NO", "Ignore_tips"}) {
        const auto two = look(leave, KLLocalizedString(decline), false);
        EXPECT_EQ(KLDialogQueue::cancelButton(two), KLDialogButton::Second) << decline;
    }
    // The network-lost dialog's second button leaves: Escape ignores instead.
    const auto networkLost = look(KLLocalizedString("Ignore_tips"), KLLocalizedString("LEAVE_ROOM_BY_KICK_TOAST_KNOW"), false);
    EXPECT_EQ(KLDialogQueue::cancelButton(networkLost), KLDialogButton::First);
    EXPECT_EQ(KLDialogQueue::cancelButton(look(leave, KLLocalizedString("LEAVE_ROOM_TOAST_FINISH_MEETING_SELF"), false)),
              std::nullopt);
    EXPECT_EQ(KLDialogQueue::cancelButton(look(KLLocalizedString("CONFIRM"), {}, false)), std::nullopt);
    EXPECT_EQ(KLDialogQueue::defaultButton(look({}, leave, false)), KLDialogButton::Second);
    EXPECT_EQ(KLDialogQueue::defaultButton(look({}, {}, false)), std::nullopt);
}

} // namespace
