// How each failure of the media path ends: hang-up causes, refused requests, ICE failures,
// the engine's channel state and the check of both channels.
#include "KLMediaEventFixture.h"

using namespace kltest;

namespace {

namespace Toast = KLPermanentToastKind;
enum State { Entered = 1, Leaving = 2, Refreshing = 4, Internal = 8, Cast = 16, Receive = 32, MeetingUp = 64 };

/// One case: the meeting's state, what the engine raises, and what must follow.
struct FailureCase {
    const char *name;
    int event;
    QJsonObject info;
    int state;
    QStringList actions;         ///< context actions, in order
    QList<QJsonObject> records;  ///< entries of each record expected, in order
    int toast = Toast::None;     ///< the permanent notice afterwards
    QStringList hostStatuses = {};
    QStringList apiCalls = {};
};

QJsonObject cause(const QJsonValue &code) { return {{"causeCode", code}, {"detail", "x"}}; }
QJsonObject response(int code) { return {{"responseCode", code}}; }
QJsonObject channel(bool open) { return {{"action", "networkAction"}, {"isOpen", open}}; }
QJsonObject signalError(QJsonObject entries = {}) { entries.insert("value", "signalError"); return entries; }
const QJsonObject kDetail{{"detail", "x"}}, kIceError{{"value", "iceError"}, {"detail", "x"}},
    kClosed{{"value", "MediaWssClosed"}}, kLost{{"value", "NetworkUnAvailable"}, {"errCode", "1113"}};
const QStringList kNone;

TEST_F(MediaEventTest, EachFailureEndsInExactlyTheExpectedOutcome)
{
    const FailureCase cases[] = {
        // Hang-up causes (event 18).
        {"c606BeforeEntry", 18, cause(606), 0, {"hangupWithReason 1"}, {}},
        {"c606AfterEntryInCast", 18, cause(606), Entered | Cast, {"hangupWithReason 1"}, {}},
        {"c200", 18, cause(200), 0, {"hangupWithReason 0"}, {}}, {"c200WhileLeaving", 18, cause(200), Leaving, kNone, {}},
        {"c601BeforeEntry", 18, cause(601), 0, {"refresh"},
         {signalError({{"errCode", "302"}, {"isEnterStage", "YES"}, {"detail", "x"}})}},
        {"c603AsTextAfterEntry", 18, cause("603"), Entered, {"refresh"},
         {signalError({{"errCode", "302"}, {"isEnterStage", "NO"}})}},
        {"c10001Meeting", 18, cause(10001), 0, {"onError 7 ", "hangupWithReason 2"},
         {signalError({{"errCode", "314"}, {"errMsg", "signal channel register failed"}})}},
        {"c10001Receiver", 18, cause(10001), Cast | Receive, {"onError 7 ", "hangupWithReason 2"}, {signalError()}},
        {"c10001InternalSender", 18, cause(10001), Internal | Cast, {"closeApp"}, {signalError()}, Toast::None,
         {"-41"}, {"itMonitor 1 p-1 42 0"}},
        {"c10001ExternalSender", 18, cause(10001), Cast, {"onError 7 Failed to connect to the server, please try it again"},
         {signalError()}, Toast::None, {}, {"itMonitor 1 p-1 42 0"}},
        {"c10002Meeting", 18, cause(10002), 0, {"onError 7 "}, {signalError({{"errCode", "315"}, {"detail", "x"}})}},
        {"c10002Sender", 18, cause(10002), Cast, {"closeApp"}, {signalError()}, Toast::None, {"-42"}},
        {"unknownCause", 18, cause(777), 0, kNone, {}}, {"noCause", 18, kDetail, 0, kNone, {}},
        // Refused requests (event 20).
        {"r404", 20, response(404), 0, {"refresh"}, {signalError({{"errCode", "323"}, {"responseCode", 404}})}},
        {"r405", 20, response(405), 0, {"refresh"}, {signalError()}}, {"r500", 20, response(500), 0, kNone, {signalError()}},
        {"r432", 20, response(432), 0, {"onError 10 The meeting room is full", "hangupWithReason 6"}, {signalError()}},
        {"r431", 20, response(431), 0, {"hangupWithReason 7"}, {signalError()}},
        // ICE failures (event 3): an entered meeting only restarts, before entry the first
        // failure refreshes and the one during the refresh ends the meeting.
        {"iceWhileLeaving", 3, kDetail, Leaving, kNone, {}},
        {"iceAfterEntry", 3, kDetail, Entered, {"enterRoomSuccess 0", "iceConnectionRestart"}, {}},
        {"iceBeforeEntry", 3, kDetail, 0, {"refresh"}, {kIceError}},
        {"iceWhileRefreshing", 3, kDetail, Refreshing, {"onError 8 ", "hangupWithReason 3"}, {kIceError}},
        {"iceSenderWhileRefreshing", 3, {}, Refreshing | Cast, {"closeApp"}, {{{"value", "iceError"}}}, Toast::None, {"-42"}},
        // The media server's signalling (event 4).
        {"pallasErrorAfterEntry", 4, kDetail, Entered, {"iceConnectionRestart"}, {signalError(kDetail)}},
        {"pallasErrorWhileLeaving", 4, kDetail, Entered | Leaving, kNone, {}},
        // The engine's channel (event 21): errors and actions, then its state checked with the
        // conference channel's.
        {"channelError", 21, {{"errCode", 5}}, 0, kNone, {{{"value", "PallasWsError"}, {"errCode", 5}}}},
        {"channelOtherAction", 21, {{"action", "reconnect"}, {"isOpen", false}}, 0, kNone, {}},
        {"channelNeither", 21, kDetail, 0, kNone, {{{"value", "PallasWsAction"}}}},
        {"channelWhileLeaving", 21, {{"errCode", 5}}, Leaving, kNone, {}},
        {"bothUp", 21, channel(true), MeetingUp, {"checkForMeetingStatus"}, {}},
        {"bothDownBeforeEntry", 21, channel(false), 0, {"onError 11 "}, {kClosed, kLost}, Toast::NetworkLost},
        {"bothDownAfterEntry", 21, channel(false), Entered, kNone, {kClosed, kLost}, Toast::NetworkLost},
        {"bothDownSender", 21, channel(false), Cast, {"closeApp"}, {kClosed, kLost}, Toast::None, {"-42"}},
        {"onlyMedia", 21, channel(true), 0, kNone, {}},
        {"onlyMeeting", 21, channel(false), MeetingUp, kNone, {kClosed}},
    };
    for (const FailureCase &c : cases) {
        SCOPED_TRACE(c.name);
        ctx->entered = c.state & Entered;
        ctx->leaving = c.state & Leaving;
        ctx->refreshing = c.state & Refreshing;
        ctx->vanInternal = c.state & Internal;
        ctx->mode = (c.state & Cast) ? 1 : 0;
        ctx->receive = c.state & Receive;
        ctx->meetingUp = c.state & MeetingUp;
        ctx->mediaUp = false;
        toasts.closePermanentMessage(Toast::NetworkLost);
        resetSinks();

        raise(c.event, c.info);

        EXPECT_EQ(ctx->takeActions(), c.actions);
        EXPECT_EQ(toasts.currentPermanentMessageType(), c.toast);
        EXPECT_EQ(hostStatuses(), c.hostStatuses);
        EXPECT_EQ(api->calls, c.apiCalls);
        const auto sent = records.settle();
        ASSERT_EQ(sent.size(), size_t(c.records.size()));
        for (size_t i = 0; i < sent.size(); ++i)
            for (auto it = c.records[i].begin(); it != c.records[i].end(); ++it)
                EXPECT_EQ(sent[i].value(it.key()), it.value()) << i << " " << it.key().toStdString();
    }
}

TEST_F(MediaEventTest, BothChannelsUpTakeTheNetworkNoticeAway)
{
    toasts.showPermanentMessage(Toast::NetworkLost);
    ctx->mediaUp = ctx->meetingUp = true;
    handler->checkForNetworkStatus();
    EXPECT_EQ(ctx->takeActions(), QStringList{"checkForMeetingStatus"});
    EXPECT_EQ(toasts.currentPermanentMessageType(), Toast::None);
}

TEST_F(MediaEventTest, CodesWithoutMeaningChangeNothing)
{
    engine->callLog()->clear();
    for (int code : {1, 8, 10, 16, 17, 24, 99, -1})
        raise(code, QJsonObject{{"causeCode", 606}, {"responseCode", 432}});
    EXPECT_TRUE(ctx->takeActions().isEmpty());
    EXPECT_TRUE(engine->callLog()->calls().empty());
    EXPECT_TRUE(records.settle().empty());
}

} // namespace
