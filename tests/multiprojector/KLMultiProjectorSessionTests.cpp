// The session's decisions against a hand-made meeting: what each end path sends and when the
// app closes, the stop and call dialogs, sleep, and the server's end.

#include "KLMultiProjectorTestFakes.h"
#include "../devices/KLRecordCapture.h"

#include "conference/service/KLConferenceService.h"
#include "multiprojector/KLMultiProjectorSession.h"
#include "runtime/KLLocalization.h"
#include "runtime/KLNotificationCenter.h"
#include "runtime/KLNotificationNames.h"
#include "runtime/KLTimeScale.h"

#include "KLDialogPresser.h"
#include "KLTestSupport.h"

#include <gtest/gtest.h>

#include <QJsonArray>

namespace {

using namespace kltest;
using Args = QStringList;

class MultiProjectorSession : public DialogTest {
protected:
    void SetUp() override
    {
        KLTimeScale::setFactor(0.01); // 2 s become 20 ms, 20 s become 200 ms
        DialogTest::SetUp();
        KLNotificationCenter::defaultCenter().addObserver(
            this, KLNotificationNames::STOP_SHARE_INTERNAL, [this](const KLNotification &) { ++pauses; });
    }
    void TearDown() override
    {
        session.reset();
        KLNotificationCenter::defaultCenter().removeObserver(this);
        DialogTest::TearDown();
        pumpEvents(50);
        KLTimeScale::setFactor(1.0);
    }

    /// A new session of a sender (or receiver), casting or not, with `others` in the meeting.
    void begin(bool sender, bool casting, const QList<FeedPtr> &others = {})
    {
        session.reset();
        ctx = std::make_shared<FakeProjectorContext>();
        ctx->sender = sender;
        ctx->addOwnFeed(casting);
        ctx->feeds.append(others);
        session = KLMultiProjectorSession::create(ctx, view, {&host.mode, [this] { ++closes; }});
    }
    /// Casting to one receiving room.
    void castingTo(bool sender) { begin(sender, true, {makeFeed("r-recv", 2, receiving())}); }
    void press(KLDialogButton button) { dialogs->press(button); }
    std::vector<ProjectorCall> calls(const QString &name = {}) const { return ctx->api->calls(name); }
    Args args(const QString &name) const
    {
        const auto found = calls(name);
        return found.empty() ? Args{} : found[0].args;
    }
    /// The names of all operations asked for, sorted.
    Args names() const
    {
        Args all;
        for (const auto &call : calls())
            all.append(call.name);
        all.sort();
        return all;
    }

    std::shared_ptr<FakeProjectorContext> ctx;
    std::shared_ptr<RecordingProjectorView> view = std::make_shared<RecordingProjectorView>();
    HostRecorder host;
    std::shared_ptr<KLMultiProjectorSession> session;
    int closes = 0;
    int pauses = 0;
};

TEST_F(MultiProjectorSession, TheStopDialogEndsWithOrWithoutCallsPausesOrCancels)
{
    const struct { const char *name; bool audioOpen, audioMember; const char *firstButton, *callFlag; } cases[] = {
        {"audio meeting with members", true, true, "MULTIPROJECTOR_STOP_PROJECTOR_AND_CALL", "YES"},
        {"audio meeting nobody in it", true, false, "MULTIPROJECTOR_STOP_PROJECTOR_BUTTON", "NO"},
        {"no audio meeting", false, true, "MULTIPROJECTOR_STOP_PROJECTOR_BUTTON", "NO"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        castingTo(true);
        if (c.audioMember)
            ctx->feeds.append(makeFeed("p-audio", 1, personAudio()));
        ctx->audioOpen = c.audioOpen;
        session->shareBarStopSharePressed();
        const auto &d = dialogs->current;
        EXPECT_EQ(d.title, KLLocalizedString("MULTIPROJECTOR_STOP_PROJECTOR"));
        EXPECT_EQ(d.first.text, KLLocalizedString(c.firstButton));
        EXPECT_EQ(d.first.backgroundColor, "#F04631");
        EXPECT_EQ(d.second.text, KLLocalizedString("MULTIPROJECTOR_STOP_PROJECTOR_INTER"));
        EXPECT_TRUE(d.third.visible);
        press(KLDialogButton::First);
        EXPECT_TRUE(ctx->stopping);
        // The end is reported twice to the IT monitor: once with the record, once more.
        EXPECT_EQ(names(), (Args{"itMonitor", "itMonitor", "shareMember"}));
        EXPECT_EQ(args("shareMember"), (Args{"self,r-recv", "2", "YES", c.callFlag}));
        EXPECT_EQ(args("itMonitor"), (Args{"2", "P-77", "880012345", "1"}));
    }
    EXPECT_EQ(host.actions().count("dialog-stop-share-end"), 3);

    castingTo(true); // pause
    session->shareBarStopSharePressed();
    press(KLDialogButton::Second);
    EXPECT_EQ(pauses, 1);
    EXPECT_FALSE(ctx->stopping);
    EXPECT_EQ(names(), (Args{"itMonitor", "notify"}));
    EXPECT_EQ(args("notify"), (Args{"880012345", "self", "6"}));

    session->shareBarStopSharePressed(); // cancel
    press(KLDialogButton::Third);
    EXPECT_EQ(names(), (Args{"itMonitor", "notify"}));
    EXPECT_EQ(closes, 0);
    EXPECT_EQ(host.actions().mid(host.actions().size() - 2),
              (Args{"sharebar-stop-share-button", "dialog-stop-share-cancel"}));
}

// Where 31 comes from: the sender tells the host its cast ended, and the host needs a moment.
TEST_F(MultiProjectorSession, AReceiverQuitsAtOnceASenderTwoSecondsAfterStatus31)
{
    for (const char *pending : {"shareMember", "notify"}) {
        for (bool sender : {false, true}) {
            SCOPED_TRACE(std::string(pending) + (sender ? " sender" : " receiver"));
            closes = 0;
            castingTo(sender);
            const size_t before = host.workStatuses().size();
            if (QLatin1String(pending) == QLatin1String("shareMember")) { // the stop dialog's end
                session->shareBarStopSharePressed();
                press(KLDialogButton::First);
            } else { // the viewer's close
                session->viewerClosePressed();
                EXPECT_EQ(ctx->leaves, 1);
            }
            EXPECT_EQ(closes, 0);
            ASSERT_TRUE(ctx->api->answer(pending, false)); // failure ends just the same
            const auto statuses = host.workStatuses();
            ASSERT_EQ(statuses.size(), before + (sender ? 1 : 0));
            EXPECT_EQ(closes, sender ? 0 : 1);
            if (sender) {
                EXPECT_EQ(statuses.back(), 31);
                EXPECT_TRUE(waitUntil([&] { return closes == 1; }));
            }
        }
    }
}

TEST_F(MultiProjectorSession, ASecondStopFromTheHostOnlyLeavesAndClosesAndSleepIgnoresIt)
{
    castingTo(true);
    KLNotificationCenter::defaultCenter().postNotification("StopShareFromJS");
    EXPECT_EQ(args("shareMember"), (Args{"r-recv", "2", "YES", "YES"}));
    EXPECT_EQ(calls("itMonitor").size(), 1u); // the user was sharing
    EXPECT_EQ(closes, 0);
    KLNotificationCenter::defaultCenter().postNotification("StopShareFromJS");
    EXPECT_EQ(ctx->leaves, 1);
    EXPECT_EQ(closes, 1);
    EXPECT_EQ(calls("shareMember").size(), 1u);
    EXPECT_TRUE(host.workStatuses().empty());

    begin(true, false); // with nobody to stop, a sender reports 31 and closes at once
    session->stopShareFromHost();
    EXPECT_EQ(host.workStatuses(), std::vector<int>{31});
    EXPECT_EQ(closes, 2);

    begin(false, false); // during sleep the host's request is ignored altogether
    session->systemWillSleep();
    const size_t callsAfterSleep = calls().size();
    const int leavesAfterSleep = ctx->leaves;
    session->stopShareFromHost();
    EXPECT_EQ(calls().size(), callsAfterSleep);
    EXPECT_EQ(ctx->leaves, leavesAfterSleep);
}

TEST_F(MultiProjectorSession, SleepEndsACastForItsViewersAndAWatchWithAStatus)
{
    RecordCapture records;
    castingTo(true);
    session->systemWillSleep();
    EXPECT_TRUE(ctx->stopping);
    EXPECT_TRUE(session->isSleepStage());
    EXPECT_EQ(names(), (Args{"itMonitor", "shareMember"}));
    ASSERT_TRUE(ctx->api->answer("shareMember", true));
    const auto errors = host.bodies("/projector/NotifyWorkStatus");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].value("status").toInt(), 100);
    EXPECT_TRUE(errors[0].value("param").toString().contains("system hibernation"));
    EXPECT_EQ(closes, 1);
    auto ends = records.withValue("projectEnd");
    ASSERT_EQ(ends.size(), 1u);
    EXPECT_EQ(ends[0].value("reason"), "systemSuspend");

    begin(true, false); // a sender that is not casting reports status 4 and quits at once
    session->systemWillSleep();
    EXPECT_EQ(args("notify").value(2), "4");
    EXPECT_EQ(calls("notify").size(), 1u);
    EXPECT_EQ(closes, 2);
    EXPECT_EQ(records.withValue("projectWatchEnd").size(), 1u);

    begin(false, false); // a receiver is told why, and the app closes if nobody presses
    session->systemWillSleep();
    EXPECT_EQ(dialogs->current.title, KLLocalizedString("SYSTEM_WILL_SLEEP_TIPS"));
    EXPECT_EQ(host.bodies("/projector/NotifyWorkStatus").size(), 2u); // only the two senders'
    EXPECT_EQ(closes, 2);
    EXPECT_TRUE(waitUntil([&] { return closes == 3; }));
}

TEST_F(MultiProjectorSession, TheServersEndShowsItsMessageOnceAndCloses)
{
    const struct { int reason; bool sender; const char *title, *statusReported; } cases[] = {
        {KLLeaveReasonRemoved, false, "MULTIPROJECTOR_BY_KICK_TOAST_DIALOG", "4"},
        {KLLeaveReasonRemoved, true, "MULTIPROJECTOR_BY_KICK_TOAST_DIALOG_MASTER", ""},
        {KLLeaveReasonNetworkLost, true, "", ""},
        {KLLeaveReasonJoinedElsewhere, false, "LEAVE_MULTIPROJECTOR_BY_OTHER_CLIENT", ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.reason);
        closes = view->kicks = 0;
        begin(c.sender, c.sender); // a sender here is casting
        const size_t statusesBefore = host.workStatuses().size();
        session->leaveRoomWithReason(c.reason);
        EXPECT_EQ(ctx->leaves, 1);
        EXPECT_EQ(view->kicks, 1);
        EXPECT_EQ(dialogs->current.title, KLLocalizedString(c.title));
        EXPECT_EQ(args("notify").value(2), c.statusReported);
        press(KLDialogButton::First);
        EXPECT_EQ(closes, 1);
        EXPECT_EQ(host.workStatuses().size(), statusesBefore + (c.sender ? 1 : 0));
        pumpEvents(300); // the 20-second close must not close a second time
        EXPECT_EQ(closes, 1);
    }

    begin(true, true); // once the cast is being ended the server's word only leaves
    ctx->stopping = true;
    session->leaveRoomWithReason(KLLeaveReasonRemoved);
    EXPECT_EQ(ctx->leaves, 1);
    EXPECT_FALSE(dialogs->visible);
    EXPECT_TRUE(calls().empty());
}

TEST_F(MultiProjectorSession, OpeningTheAudioMeetingLeadsToTheRightCallDialog)
{
    const struct { const char *name; bool withQuietRoom; KLDialogButton button; const char *action, *uuids; } cases[] = {
        {"people only: confirm calls everyone", false, KLDialogButton::First, "dialog-call-other", "self,p-quiet"},
        {"rooms: call the others", true, KLDialogButton::First, "dialog-call-other", "p-quiet,r-quiet"},
        {"rooms: call all", true, KLDialogButton::Second, "dialog-call-all", "self,p-quiet,r-quiet"},
    };
    auto &toasts = KLToastManager::shared();
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        // Tips of the case before must be gone, or they could stand in for this one's.
        ASSERT_TRUE(waitUntil([&] { return !toasts.currentToastMessage() && toasts.queuedMessages().isEmpty(); }));
        QList<FeedPtr> others{makeFeed("p-quiet", 1, {{"online", 1}})};
        if (c.withQuietRoom)
            others.append(makeFeed("r-quiet", 2, {{"online", 1}}));
        begin(true, true, others);
        session->shareBarOpenAudioPressed();
        ASSERT_TRUE(ctx->api->answer("openAudio", true));
        EXPECT_TRUE(ctx->audioOpen);
        press(c.button);
        EXPECT_EQ(host.actions().last(), c.action);
        ASSERT_EQ(calls("shareMember").size(), 1u);
        EXPECT_EQ(args("shareMember"), (Args{c.uuids, "1", "NO", "YES"}));
        ASSERT_TRUE(ctx->api->answer("shareMember", true));
        QStringList texts;
        if (const auto toast = toasts.currentToastMessage())
            texts.append(toast->text());
        for (const auto &m : toasts.queuedMessages())
            texts.append(m.text());
        const QString sent = KLLocalizedString("MULTIPROJECTOR_CALL_HAS_SENT_FIRST")
                             + QString::number(QString(c.uuids).split(',').size())
                             + KLLocalizedString("MULTIPROJECTOR_CALL_HAS_SENT_Second");
        EXPECT_TRUE(texts.contains(sent)) << texts.join('|').toStdString();
    }
}

// Which role asks for busy rooms at entry is checked against the simulator; here, the answer.
TEST_F(MultiProjectorSession, EntryOffersTheBusyRoomsToASender)
{
    auto busy = makeFeed("r-busy", 2, {{"online", 0}});
    begin(true, false, {busy});
    session->enterRoomSuccess();
    ASSERT_TRUE(ctx->api->answer("roomStatus", true,
                                 QJsonArray{QJsonObject{{"memberUUID", "r-busy"}, {"status", "inothermeeting"}},
                                            QJsonObject{{"memberUUID", "unknown"}, {"status", "busy"}},
                                            QJsonValue("not an object")}));
    EXPECT_EQ(view->busyRooms, QList<FeedPtr>{busy});
    EXPECT_TRUE(view->busyFlag);
    EXPECT_EQ(busy->roomBusyStatusForMultiProjector(), "inothermeeting");
}

} // namespace
