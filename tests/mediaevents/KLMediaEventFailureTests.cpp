// How each failure of the media path ends: hang-up causes, refused requests, ICE failures,
// the engine's channel state and the check of both channels.
#include "KLMediaEventFixture.h"

using namespace kltest;

namespace {

/// One case: the meeting's state, what the engine raises, and what must follow.
struct FailureCase {
    const char *name;
    int event;
    QJsonObject info;
    bool entered = false, leaving = false, refreshing = false, internal = false;
    int mode = 0;
    bool receive = false;
    QStringList actions;      ///< context actions, in order
    QString recordValue = {}; ///< the one record expected, empty for none
    QJsonObject recordEntries = {};
    QStringList hostStatuses = {};
    QStringList apiCalls = {};
};

class FailureTest : public MediaEventTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(FailureTest, EndsInExactlyTheExpectedOutcome)
{
    const FailureCase &c = GetParam();
    ctx->entered = c.entered;
    ctx->leaving = c.leaving;
    ctx->refreshing = c.refreshing;
    ctx->vanInternal = c.internal;
    ctx->mode = c.mode;
    ctx->receive = c.receive;
    records.clear();

    raise(c.event, c.info);

    EXPECT_EQ(ctx->takeActions(), c.actions);
    EXPECT_EQ(hostStatuses(), c.hostStatuses);
    EXPECT_EQ(api->calls, c.apiCalls);
    const auto sent = records.settle();
    if (c.recordValue.isEmpty()) {
        EXPECT_TRUE(sent.empty()) << sent.front().value("value").toString().toStdString();
        return;
    }
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].value("value").toString(), c.recordValue);
    for (auto it = c.recordEntries.begin(); it != c.recordEntries.end(); ++it)
        EXPECT_EQ(sent[0].value(it.key()), it.value()) << it.key().toStdString();
}

QJsonObject cause(const QJsonValue &code) { return {{"causeCode", code}, {"detail", "x"}}; }
const QJsonObject kDetail{{"detail", "x"}};

INSTANTIATE_TEST_SUITE_P(HangupCauses, FailureTest, ::testing::Values(
    FailureCase{.name = "c606BeforeEntry", .event = 18, .info = cause(606), .actions = {"hangupWithReason 1"}},
    FailureCase{.name = "c606AfterEntryInCast", .event = 18, .info = cause(606), .entered = true, .mode = 1,
                .actions = {"hangupWithReason 1"}},
    FailureCase{.name = "c200", .event = 18, .info = cause(200), .actions = {"hangupWithReason 0"}},
    FailureCase{.name = "c200WhileLeaving", .event = 18, .info = cause(200), .leaving = true, .actions = {}},
    FailureCase{.name = "c601BeforeEntry", .event = 18, .info = cause(601), .actions = {"refresh"}, .recordValue = "signalError",
                .recordEntries = {{"errCode", "302"}, {"isEnterStage", "YES"}, {"detail", "x"}}},
    FailureCase{.name = "c603AsTextAfterEntry", .event = 18, .info = cause("603"), .entered = true, .actions = {"refresh"},
                .recordValue = "signalError", .recordEntries = {{"errCode", "302"}, {"isEnterStage", "NO"}}},
    FailureCase{.name = "c10001Meeting", .event = 18, .info = cause(10001), .actions = {"onError 7 ", "hangupWithReason 2"},
                .recordValue = "signalError",
                .recordEntries = {{"errCode", "314"}, {"errMsg", "signal channel register failed"}}},
    FailureCase{.name = "c10001Receiver", .event = 18, .info = cause(10001), .mode = 1, .receive = true,
                .actions = {"onError 7 ", "hangupWithReason 2"}, .recordValue = "signalError"},
    FailureCase{.name = "c10001InternalSender", .event = 18, .info = cause(10001), .internal = true, .mode = 1,
                .actions = {"closeApp"}, .recordValue = "signalError", .hostStatuses = {"-41"},
                .apiCalls = {"itMonitor 1 p-1 42 0"}},
    FailureCase{.name = "c10001ExternalSender", .event = 18, .info = cause(10001), .mode = 1,
                .actions = {"onError 7 Failed to connect to the server, please try it again"},
                .recordValue = "signalError", .apiCalls = {"itMonitor 1 p-1 42 0"}},
    FailureCase{.name = "c10002Meeting", .event = 18, .info = cause(10002), .actions = {"onError 7 "}, .recordValue = "signalError",
                .recordEntries = {{"errCode", "315"}, {"detail", "x"}}},
    FailureCase{.name = "c10002Sender", .event = 18, .info = cause(10002), .mode = 1, .actions = {"closeApp"},
                .recordValue = "signalError", .hostStatuses = {"-42"}},
    FailureCase{.name = "unknownCause", .event = 18, .info = cause(777), .actions = {}},
    FailureCase{.name = "noCause", .event = 18, .info = kDetail, .actions = {}}),
    [](const auto &info) { return std::string(info.param.name); });

QJsonObject response(int code) { return {{"responseCode", code}}; }

INSTANTIATE_TEST_SUITE_P(RefusedRequests, FailureTest, ::testing::Values(
    FailureCase{.name = "r404", .event = 20, .info = response(404), .actions = {"refresh"}, .recordValue = "signalError",
                .recordEntries = {{"errCode", "323"}, {"responseCode", 404}}},
    FailureCase{.name = "r405", .event = 20, .info = response(405), .actions = {"refresh"}, .recordValue = "signalError"},
    FailureCase{.name = "r432", .event = 20, .info = response(432),
                .actions = {"onError 10 The meeting room is full", "hangupWithReason 6"},
                .recordValue = "signalError"},
    FailureCase{.name = "r431", .event = 20, .info = response(431), .actions = {"hangupWithReason 7"}, .recordValue = "signalError"},
    FailureCase{.name = "r500", .event = 20, .info = response(500), .actions = {}, .recordValue = "signalError"}),
    [](const auto &info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(IceFailures, FailureTest, ::testing::Values(
    FailureCase{.name = "whileLeaving", .event = 3, .info = kDetail, .leaving = true, .actions = {}},
    FailureCase{.name = "afterEntry", .event = 3, .info = kDetail, .entered = true,
                .actions = {"enterRoomSuccess 0", "iceConnectionRestart"}},
    FailureCase{.name = "beforeEntry", .event = 3, .info = kDetail, .actions = {"refresh"}, .recordValue = "iceError",
                .recordEntries = {{"detail", "x"}}},
    FailureCase{.name = "whileRefreshing", .event = 3, .info = kDetail, .refreshing = true,
                .actions = {"onError 8 ", "hangupWithReason 3"}, .recordValue = "iceError"},
    FailureCase{.name = "senderWhileRefreshing", .event = 3, .info = {}, .refreshing = true, .mode = 1, .actions = {"closeApp"},
                .recordValue = "iceError", .hostStatuses = {"-42"}},
    FailureCase{.name = "pallasErrorAfterEntry", .event = 4, .info = kDetail, .entered = true, .actions = {"iceConnectionRestart"},
                .recordValue = "signalError", .recordEntries = {{"detail", "x"}}},
    FailureCase{.name = "pallasErrorWhileLeaving", .event = 4, .info = kDetail, .entered = true, .leaving = true, .actions = {}}),
    [](const auto &info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(MediaChannelState, FailureTest, ::testing::Values(
    FailureCase{.name = "error", .event = 21, .info = {{"errCode", 5}}, .actions = {}, .recordValue = "PallasWsError",
                .recordEntries = {{"errCode", 5}}},
    FailureCase{.name = "otherAction", .event = 21, .info = {{"action", "reconnect"}, {"isOpen", false}}, .actions = {}},
    FailureCase{.name = "neither", .event = 21, .info = kDetail, .actions = {}, .recordValue = "PallasWsAction"},
    FailureCase{.name = "whileLeaving", .event = 21, .info = {{"errCode", 5}}, .leaving = true, .actions = {}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(MediaEventTest, CodesWithoutMeaningChangeNothing)
{
    engine->callLog()->clear();
    for (int code : {1, 8, 10, 16, 17, 24, 99, -1})
        raise(code, QJsonObject{{"causeCode", 606}, {"responseCode", 432}});
    EXPECT_TRUE(ctx->takeActions().isEmpty());
    EXPECT_TRUE(engine->callLog()->calls().empty());
    EXPECT_TRUE(records.settle().empty());
}

TEST_F(MediaEventTest, IceFailureRefreshesOnceThenEndsTheMeeting)
{
    raise(3);
    ASSERT_EQ(ctx->takeActions(), QStringList{"refresh"});
    ctx->refreshing = true; // what the refresh does
    raise(3);
    EXPECT_EQ(ctx->takeActions(), (QStringList{"onError 8 ", "hangupWithReason 3"}));
}

/// The two channels' state and what the network check makes of it.
TEST_F(MediaEventTest, NetworkStatusFollowsBothChannels)
{
    struct Row { const char *name; bool media, meeting, entered; int mode; QStringList actions;
                 int toast; QStringList host; int lostRecords; };
    const Row rows[] = {
        {"bothUp", true, true, false, 0, {"checkForMeetingStatus"}, KLPermanentToastKind::None, {}, 0},
        {"bothDownBeforeEntry", false, false, false, 0, {"onError 11 "}, KLPermanentToastKind::NetworkLost, {}, 1},
        {"bothDownAfterEntry", false, false, true, 0, {}, KLPermanentToastKind::NetworkLost, {}, 1},
        {"bothDownSender", false, false, false, 1, {"closeApp"}, KLPermanentToastKind::None, {"-42"}, 1},
        {"onlyMedia", true, false, false, 0, {}, KLPermanentToastKind::None, {}, 0},
        {"onlyMeeting", false, true, false, 0, {}, KLPermanentToastKind::None, {}, 0},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        toasts.closePermanentMessage(KLPermanentToastKind::NetworkLost);
        records.clear();
        { std::lock_guard l(hostMutex); hostMessages.clear(); }
        ctx->mediaUp = row.media;
        ctx->meetingUp = row.meeting;
        ctx->entered = row.entered;
        ctx->mode = row.mode;
        handler->checkForNetworkStatus();
        EXPECT_EQ(ctx->takeActions(), row.actions);
        EXPECT_EQ(toasts.currentPermanentMessageType(), row.toast);
        EXPECT_EQ(hostStatuses(), row.host);
        const auto lost = records.withValue("NetworkUnAvailable");
        ASSERT_EQ(int(lost.size()), row.lostRecords);
        if (!lost.empty()) {
            EXPECT_EQ(lost[0].value("errCode"), "1113");
        }
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
