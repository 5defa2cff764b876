// How each failure of the media path ends: hang-up causes, refused requests, ICE failures,
// the engine's channel state and the check of both channels.
#include "KLMediaEventFixture.h"

using namespace kltest;

namespace {

enum State { Entered = 1, Leaving = 2, Refreshing = 4, Internal = 8, Cast = 16, Receive = 32 };

/// One case: the meeting's state, what the engine raises, and what must follow.
struct FailureCase {
    const char *name;
    int event;
    QJsonObject info;
    int state;
    QStringList actions;  ///< context actions, in order
    QJsonObject record;   ///< entries of the one record expected, empty for none
    QStringList hostStatuses = {};
    QStringList apiCalls = {};
};

QJsonObject cause(const QJsonValue &code) { return {{"causeCode", code}, {"detail", "x"}}; }
QJsonObject response(int code) { return {{"responseCode", code}}; }
QJsonObject signalError(QJsonObject entries = {}) { entries.insert("value", "signalError"); return entries; }
const QJsonObject kDetail{{"detail", "x"}}, kIceError{{"value", "iceError"}, {"detail", "x"}};
const QStringList kNone;

TEST_F(MediaEventTest, EachFailureEndsInExactlyTheExpectedOutcome)
{
    const FailureCase cases[] = {
        // Hang-up causes (event 18).
        {"c606BeforeEntry", 18, cause(606), 0, {"hangupWithReason 1"}, {}},
        {"c606AfterEntryInCast", 18, cause(606), Entered | Cast, {"hangupWithReason 1"}, {}},
        {"c200", 18, cause(200), 0, {"hangupWithReason 0"}, {}},
        {"c200WhileLeaving", 18, cause(200), Leaving, kNone, {}},
        {"c601BeforeEntry", 18, cause(601), 0, {"refresh"},
         signalError({{"errCode", "302"}, {"isEnterStage", "YES"}, {"detail", "x"}})},
        {"c603AsTextAfterEntry", 18, cause("603"), Entered, {"refresh"},
         signalError({{"errCode", "302"}, {"isEnterStage", "NO"}})},
        {"c10001Meeting", 18, cause(10001), 0, {"onError 7 ", "hangupWithReason 2"},
         signalError({{"errCode", "314"}, {"errMsg", "signal channel register failed"}})},
        {"c10001Receiver", 18, cause(10001), Cast | Receive, {"onError 7 ", "hangupWithReason 2"}, signalError()},
        {"c10001InternalSender", 18, cause(10001), Internal | Cast, {"closeApp"}, signalError(), {"-41"},
         {"itMonitor 1 p-1 42 0"}},
        {"c10001ExternalSender", 18, cause(10001), Cast,
         {"onError 7 Failed to connect to the server, please try it again"}, signalError(), {},
         {"itMonitor 1 p-1 42 0"}},
        {"c10002Meeting", 18, cause(10002), 0, {"onError 7 "}, signalError({{"errCode", "315"}, {"detail", "x"}})},
        {"c10002Sender", 18, cause(10002), Cast, {"closeApp"}, signalError(), {"-42"}},
        {"unknownCause", 18, cause(777), 0, kNone, {}},
        {"noCause", 18, kDetail, 0, kNone, {}},
        // Refused requests (event 20).
        {"r404", 20, response(404), 0, {"refresh"}, signalError({{"errCode", "323"}, {"responseCode", 404}})},
        {"r405", 20, response(405), 0, {"refresh"}, signalError()},
        {"r432", 20, response(432), 0, {"onError 10 The meeting room is full", "hangupWithReason 6"}, signalError()},
        {"r431", 20, response(431), 0, {"hangupWithReason 7"}, signalError()},
        {"r500", 20, response(500), 0, kNone, signalError()},
        // ICE failures (event 3): an entered meeting only restarts, before entry the first
        // failure refreshes and the one during the refresh ends the meeting.
        {"iceWhileLeaving", 3, kDetail, Leaving, kNone, {}},
        {"iceAfterEntry", 3, kDetail, Entered, {"enterRoomSuccess 0", "iceConnectionRestart"}, {}},
        {"iceBeforeEntry", 3, kDetail, 0, {"refresh"}, kIceError},
        {"iceWhileRefreshing", 3, kDetail, Refreshing, {"onError 8 ", "hangupWithReason 3"}, kIceError},
        {"iceSenderWhileRefreshing", 3, {}, Refreshing | Cast, {"closeApp"}, {{"value", "iceError"}}, {"-42"}},
        // The media server's signalling (event 4).
        {"pallasErrorAfterEntry", 4, kDetail, Entered, {"iceConnectionRestart"}, signalError(kDetail)},
        {"pallasErrorWhileLeaving", 4, kDetail, Entered | Leaving, kNone, {}},
        // The engine's channel state (event 21).
        {"channelError", 21, {{"errCode", 5}}, 0, kNone, {{"value", "PallasWsError"}, {"errCode", 5}}},
        {"channelOtherAction", 21, {{"action", "reconnect"}, {"isOpen", false}}, 0, kNone, {}},
        {"channelNeither", 21, kDetail, 0, kNone, {{"value", "PallasWsAction"}}},
        {"channelWhileLeaving", 21, {{"errCode", 5}}, Leaving, kNone, {}},
    };
    for (const FailureCase &c : cases) {
        SCOPED_TRACE(c.name);
        ctx->entered = c.state & Entered;
        ctx->leaving = c.state & Leaving;
        ctx->refreshing = c.state & Refreshing;
        ctx->vanInternal = c.state & Internal;
        ctx->mode = (c.state & Cast) ? 1 : 0;
        ctx->receive = c.state & Receive;
        resetSinks();

        raise(c.event, c.info);

        EXPECT_EQ(ctx->takeActions(), c.actions);
        EXPECT_EQ(hostStatuses(), c.hostStatuses);
        EXPECT_EQ(api->calls, c.apiCalls);
        const auto sent = records.settle();
        ASSERT_EQ(sent.size(), c.record.isEmpty() ? 0u : 1u);
        for (auto it = c.record.begin(); it != c.record.end(); ++it)
            EXPECT_EQ(sent[0].value(it.key()), it.value()) << it.key().toStdString();
    }
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

/// The two channels' state and what the network check makes of it.
TEST_F(MediaEventTest, NetworkStatusFollowsBothChannels)
{
    struct Row { const char *name; bool media, meeting, entered; int mode; QStringList actions;
                 int toast; QStringList host; bool lost; };
    const Row rows[] = {
        {"bothUp", true, true, false, 0, {"checkForMeetingStatus"}, KLPermanentToastKind::None, {}, false},
        {"bothDownBeforeEntry", false, false, false, 0, {"onError 11 "}, KLPermanentToastKind::NetworkLost, {}, true},
        {"bothDownAfterEntry", false, false, true, 0, {}, KLPermanentToastKind::NetworkLost, {}, true},
        {"bothDownSender", false, false, false, 1, {"closeApp"}, KLPermanentToastKind::None, {"-42"}, true},
        {"onlyMedia", true, false, false, 0, {}, KLPermanentToastKind::None, {}, false},
        {"onlyMeeting", false, true, false, 0, {}, KLPermanentToastKind::None, {}, false},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        toasts.closePermanentMessage(KLPermanentToastKind::NetworkLost);
        resetSinks();
        ctx->mediaUp = row.media;
        ctx->meetingUp = row.meeting;
        ctx->entered = row.entered;
        ctx->mode = row.mode;
        handler->checkForNetworkStatus();
        EXPECT_EQ(ctx->takeActions(), row.actions);
        EXPECT_EQ(toasts.currentPermanentMessageType(), row.toast);
        EXPECT_EQ(hostStatuses(), row.host);
        const auto lost = records.withValue("NetworkUnAvailable");
        ASSERT_EQ(lost.size(), row.lost ? 1u : 0u);
        if (row.lost)
            EXPECT_EQ(lost[0].value("errCode"), "1113");
    }
}

TEST_F(MediaEventTest, MediaChannelStateFeedsTheNetworkCheck)
{
    toasts.showPermanentMessage(KLPermanentToastKind::NetworkLost);
    ctx->meetingUp = true;
    raise(21, QJsonObject{{"action", "networkAction"}, {"isOpen", true}});
    EXPECT_TRUE(ctx->mediaUp);
    EXPECT_EQ(ctx->takeActions(), QStringList{"checkForMeetingStatus"});
    EXPECT_EQ(toasts.currentPermanentMessageType(), KLPermanentToastKind::None);

    raise(21, QJsonObject{{"action", "networkAction"}, {"isOpen", false}});
    EXPECT_FALSE(ctx->mediaUp);
    EXPECT_TRUE(ctx->takeActions().isEmpty()); // the conference channel is still up
    EXPECT_EQ(records.withValue("MediaWssClosed").size(), 1u);
}

} // namespace
