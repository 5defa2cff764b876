// Caption lines, the summary switched on and off, projection events and tips.

#include "KLSignalEventFixture.h"

namespace {

using namespace kltest;
namespace Event = KLSignalingEvent;

TEST_F(SignalEventTest, ACaptionLineNamesItsSpeakerAndCopiesTheRecognisedText)
{
    feed("a", {}, {{"empId", "E7"}, {"appointmentId", 88}, {"memberType", 2}});
    push(Event::SummaryLine, "a", {{"asrText", "hello"}, {"asrSentenceId", 4}, {"asrLanguage", QJsonValue()},
                                   {"sessionId", "avantorameeting88"}});
    ASSERT_EQ(ctx->subTitles.size(), 1);
    EXPECT_EQ(ctx->subTitles.first(), (QJsonObject{{"displayName", "A"}, {"empId", "E7"}, {"memberType", 2},
                                                   {"appointId", 88}, {"memberUUID", "a"},
                                                   {"asrText", "hello"}, {"asrSentenceId", 4}}));
    // A speaker without a participant record counts as external.
    ctx->feeds.append(KLFeedClient::create(7, "x", manager));
    push(Event::SummaryLine, "x", {});
    EXPECT_EQ(ctx->subTitles.last(), (QJsonObject{{"memberType", 3}, {"memberUUID", "x"}}));
}

TEST_F(SignalEventTest, TheSummarySwitchIsAnnouncedUnlessItIsTheLocalUsersEcho)
{
    struct Case { qint64 event; bool module, bySelf; QStringList actions; };
    const Case cases[] = {
        {Event::SummaryStarted, true, false, {"summary 1 en", "post MeetingNoteSummaryStart"}},
        {Event::SummaryStarted, true, true, {"summary 1 en"}},
        {Event::SummaryStopped, true, false, {"summary 0 ", "post MeetingNoteSummaryStop"}},
        {Event::SummaryStopped, true, true, {"summary 0 "}},
        {Event::SummaryStarted, false, false, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.event << c.module << c.bySelf);
        ctx->showSummary = c.module;
        ctx->startBySelf = ctx->stopBySelf = c.bySelf;
        push(c.event, "", {{"lang", "en"}});
        EXPECT_EQ(ctx->takeActions(), c.actions);
        // The echo is consumed: the other flag stays as it was.
        EXPECT_EQ(c.event == Event::SummaryStarted ? ctx->startBySelf : ctx->stopBySelf, c.bySelf && !c.module);
    }
}

TEST_F(SignalEventTest, ProjectionEventsSetTheMembersRoleFlags)
{
    // Role flags as "accept sender receive" (1/0), before and after the event.
    struct Case { qint64 event; QJsonObject body; int multiScreen; QString before, after;
                  int rejectCode; int multiScreenAfter; QStringList actions; };
    const QString startEnd = "post MultiScreenStartEndNotification a";
    const Case cases[] = {
        {Event::ProjectionAccepted, {}, 0, "000", "100", 0, 0, {}},
        {Event::ProjectionRejected, {}, 0, "111", "011", 5, 0, {}},
        {Event::ProjectionRejected, {{"reasonCode", "-26"}}, 0, "111", "011", -26, 0,
         {"post MultiScreenRejectNotification a"}},
        {Event::ProjectionReceiveStarted, {}, 0, "010", "001", 0, 0, {startEnd}},
        {Event::ProjectionReceiveEnded, {}, 1, "011", "010", 0, 0, {startEnd}},
        {Event::ProjectionReceiveEnded, {}, 2, "011", "010", 0, 2, {startEnd}},
        {Event::ProjectionSendStarted, {}, 0, "001", "010", 0, 0, {startEnd}},
        {Event::ProjectionSendEnded, {}, 2, "111", "101", 0, 0, {startEnd}},
        {Event::ProjectionEnded, {}, 1, "111", "100", 5, 1, {startEnd}},
    };
    const auto flags = [](const FeedPtrT &f) {
        return QStringLiteral("%1%2%3").arg(int(f->isMultiScreenAccept())).arg(int(f->isMultiScreenSender()))
            .arg(int(f->isMultiScreenReceive()));
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.event << " " << QJsonDocument(c.body).toJson().toStdString());
        auto a = feed("a", {{"multiScreen", c.multiScreen}});
        a->setMultiProjectRejectCode(5);
        a->setIsMultiScreenAccept(c.before[0] == '1');
        a->setIsMultiScreenSender(c.before[1] == '1');
        a->setIsMultiScreenReceive(c.before[2] == '1');
        push(c.event, "a", c.body);
        EXPECT_EQ(flags(a), c.after);
        EXPECT_EQ(a->multiProjectRejectCode(), c.rejectCode);
        EXPECT_EQ(state(a)->multiScreen.load(), c.multiScreenAfter);
        EXPECT_EQ(ctx->takeActions(), c.actions);
        ctx->feeds.removeAll(a);
    }
}

TEST_F(SignalEventTest, TheLocalProjectionEndingHangsUpUnlessLeaving)
{
    ctx->leaving = true;
    push(Event::ProjectionEnded, "me");
    EXPECT_TRUE(ctx->takeActions().isEmpty());
    ctx->leaving = false;
    push(Event::ProjectionEnded, "me");
    EXPECT_EQ(ctx->takeActions(), QStringList{"hangup 0"});
    push(Event::ProjectionAudioOpened, "");
    EXPECT_EQ(ctx->takeActions(), (QStringList{"openAudio 1", "post OpenAudioMeetingForMultiProjector"}));
}

TEST_F(SignalEventTest, TipsAreHandedToTheNoticesUnlessSilent)
{
    push(Event::Tips, "", {{"eventId", Event::Tips}, {"errorCode", 5003}, {"errorLevel", 3}});
    push(Event::Tips, "", {{"errorCode", "5003"}});
    EXPECT_TRUE(ctx->takeActions().isEmpty());
    QVariantMap seen;
    KLNotificationCenter::defaultCenter().addObserver(
        &seen, KLNotificationNames::ToastMessageIncoming,
        [&seen](const KLNotification &n) { seen = n.userInfo.value("message").toMap(); });
    push(Event::Tips, "", {{"errorCode", 7}, {"errorMsgEn", "Hi"}});
    KLNotificationCenter::defaultCenter().removeObserver(&seen);
    EXPECT_EQ(ctx->takeActions(), QStringList{"post ToastMessageIncoming"});
    EXPECT_EQ(seen.value("errorMsgEn").toString(), "Hi");
}

} // namespace
