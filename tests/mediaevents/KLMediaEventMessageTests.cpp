// Engine messages (howling throttle, log lines, media errors) and the conference signal
// channel's state and fatal errors.
#include "KLMediaEventFixture.h"

using namespace kltest;

namespace {

TEST_F(MediaEventTest, HowlingTipsAreRaisedAtMostOnceInTwentySeconds)
{
    Observed whistling("WhistlingNoise"), ringTone("RingToneDetected");
    // Each message is handled on the pool; once the pool is idle its notification is out.
    const auto send = [&](qint32 type, double secondsLater) {
        advanceClock(secondsLater);
        handler->incomingCommonWebRtcMsg(type);
        KLUtility::shareInstance().concurrentQueue().waitForDone();
    };
    send(2, 0);
    EXPECT_EQ(whistling.count, 1);
    const auto first = handler->showHowlingTime();
    EXPECT_EQ(first, clock);
    send(2, 10);
    EXPECT_EQ(whistling.count, 1);
    EXPECT_EQ(handler->showHowlingTime(), first); // a suppressed message does not extend it
    send(2, 15); // 25 s after the first
    EXPECT_EQ(whistling.count, 2);
    send(9, 21); // other types take the window but raise nothing
    send(3, 5);
    EXPECT_EQ(ringTone.count, 0);
    const auto sent = records.withValue("howlingSuppression");
    ASSERT_EQ(sent.size(), 5u);
    EXPECT_EQ(sent.back().value("msg_type"), 3);
}

TEST_F(MediaEventTest, EngineLogAndMediaErrorsAreRecorded)
{
    handler->didGetRTCLog("");
    handler->didGetRTCLog("line 1");
    handler->didGetMediaError(12, 34);
    ctx->mode = 1;
    handler->didGetMediaError(56, 78); // casts do not report media errors
    const auto logs = records.withValue("webrtcLog"), errors = records.withValue("mediaError");
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_EQ(logs[0].value("webrtcLog"), "line 1");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].value("errCode"), 12);
    EXPECT_EQ(errors[0].value("errMsg"), 34);
}

/// The dialog window: keeps what it was asked to show.
struct DialogView : KLDialogView {
    void showDialog(const KLDialogPresentation &dialog) override { shown.push_back(dialog); }
    void closeDialog() override {}
    std::vector<KLDialogPresentation> shown;
};

TEST_F(MediaEventTest, SignalChannelErrorsEndTheMeetingWhenConfirmed)
{
    const QString unreachable = "Can not connect to meeting server, check meeting Domain or loal network";
    const std::tuple<int, bool, QString, QStringList> rows[] = {
        {0, false, "MeetingToken invalid", {"onError 2 meetingToken invalid", "stopSignaling"}},
        {1, false, unreachable, {"onError 5 " + unreachable, "stopSignaling"}},
        {1, true, unreachable, {"closeApp"}},
    };
    auto view = std::make_shared<DialogView>();
    dialogs.setView(view);
    for (const auto &[type, internal, title, actions] : rows) {
        SCOPED_TRACE(title.toStdString());
        ctx->vanInternal = internal;
        view->shown.clear();
        handler->signalChannelError(type);
        ASSERT_TRUE(waitUntil([&] { return !view->shown.empty(); }));
        EXPECT_EQ(view->shown[0].title, title);
        EXPECT_FALSE(view->shown[0].second.visible);
        EXPECT_TRUE(ctx->takeActions().isEmpty()); // nothing before the button
        dialogs.buttonPressed(view->shown[0].dialogId, KLDialogButton::First);
        EXPECT_EQ(ctx->takeActions(), actions);
    }
}

TEST_F(MediaEventTest, SignalChannelStateDrivesTheNetworkCheck)
{
    auto view = std::make_shared<DialogView>();
    dialogs.setView(view);
    ctx->mediaUp = true;
    handler->signalChannelOpenState(true);
    EXPECT_TRUE(ctx->meetingUp);
    EXPECT_EQ(ctx->takeActions(), QStringList{"checkForMeetingStatus"});

    // Closed before entry in an external meeting: the unreachable-server dialog first.
    handler->signalChannelOpenState(false);
    EXPECT_FALSE(ctx->meetingUp);
    ASSERT_TRUE(waitUntil([&] { return view->shown.size() == 1; }));
    EXPECT_EQ(records.withValue("ConferenceWssClosed").size(), 1u);
    ctx->entered = true;
    handler->signalChannelOpenState(false);
    pumpEvents(50);
    EXPECT_EQ(view->shown.size(), 1u);
}

TEST_F(MediaEventTest, HandlerOutlivingItsMeetingDoesNothing)
{
    ctx.reset();
    raise(KLRTCMediaEventHangupCause, QJsonObject{{"causeCode", 606}});
    handler->handleWebrtcUp();
    handler->checkForNetworkStatus();
    handler->incomingCommonWebRtcMsg(2);
    KLUtility::shareInstance().concurrentQueue().waitForDone();
    EXPECT_TRUE(records.settle().empty());
}

} // namespace
