// The WebSocket transport, the signal channel and the meeting API over it, against the local
// meeting service's signalling endpoint over verified TLS.

#include "MeetingSim.h"

#include "gateway/KLSDKMeetingWSSApi.h"
#include "model/KLParticipant.h"
#include "model/KLSDKMeetingConfigInternal.h"
#include "runtime/KLTimeScale.h"
#include "signalling/KLConferenceSignalChannel.h"

#include "KLRecordingPrinter.h"
#include "KLTestSupport.h"

#include <QJsonArray>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

namespace {

/// Milliseconds on a steady clock, for checking when something happened, not only that it did.
qint64 nowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch()).count();
}

template <typename T>
class Recorded {
public:
    void add(T value)
    {
        std::lock_guard lock(m_mutex);
        m_values.push_back(std::move(value));
        m_times.push_back(nowMs());
    }
    /// When each value arrived (nowMs()).
    std::vector<qint64> times() const
    {
        std::lock_guard lock(m_mutex);
        return m_times;
    }
    std::vector<T> values() const
    {
        std::lock_guard lock(m_mutex);
        return m_values;
    }
    size_t size() const { return values().size(); }

private:
    mutable std::mutex m_mutex;
    std::vector<T> m_values;
    std::vector<qint64> m_times;
};

class TransportListener : public KLConferenceChannelDelegate {
public:
    void didChangeState(qint64 state) override { states.add(state); }
    void didReceiveAppMessage(const std::optional<QJsonObject> &message) override { messages.add(message); }
    Recorded<qint64> states;
    Recorded<std::optional<QJsonObject>> messages;
};

class ServiceListener : public KLConferenceSignalChannelDelegate {
public:
    void didGetConferenceSignalChannelOpenState(bool usable) override { openStates.add(usable); }
    void didGetError(qint64 code) override { errors.add(code); }
    void handleKelvoSignalingMessage(const KLSignalingMessage &message) override { messages.add(message); }
    int countOf(qint64 event) const
    {
        int n = 0;
        for (const auto &m : messages.values())
            n += m.messageType == event;
        return n;
    }
    Recorded<bool> openStates;
    Recorded<qint64> errors;
    Recorded<KLSignalingMessage> messages;
};

class KLSignalChannelTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        sim = new kelvosim::MeetingSim();
        QString error;
        ASSERT_TRUE(sim->start(&error)) << error.toStdString();
        meeting = sim->scenario().value("meetings").toArray().first().toObject();
    }
    static void TearDownTestSuite()
    {
        delete sim;
        sim = nullptr;
    }
    void SetUp() override
    {
        sim->clearFaults();
        sim->clearRequests();
        sim->setRegisterMode(kelvosim::MeetingSim::RegisterMode::Accept);
    }
    void TearDown() override
    {
        if (channel)
            channel->stopSignaling();
        KLTimeScale::setFactor(1.0);
    }

    static QString serverOf(const kelvosim::MeetingSim &on)
    {
        return QStringLiteral("wss://127.0.0.1:%1/nimbrameeting/websocket/channelwithauth").arg(on.port());
    }
    static std::shared_ptr<KLSDKMeetingConfigInternal> config(const kelvosim::MeetingSim &on)
    {
        auto made = KLSDKMeetingConfigInternal::create(
            {{"meetingUUID", meeting.value("meetingUUID").toString()},
             {"memberUUID", meeting.value("selfMemberUUID").toString()},
             {"meetingToken", meeting.value("meetingToken").toString()},
             {"caFile", on.caFile()}});
        made->setAppointmentId(QString::number(meeting.value("appointmentId").toInteger()));
        return made;
    }
    void open(kelvosim::MeetingSim &on, double heatBeat = 30)
    {
        channel = KLConferenceSignalChannel::create(serverOf(on), config(on), heatBeat, service);
        channel->setRegisterBlock([this] { ++registerBlockRuns; });
        channel->startSignaling();
        ASSERT_TRUE(kltest::waitUntil([this] { return registerBlockRuns.load() == 1; }));
    }
    static int framesOfType(const QString &messageType)
    {
        int n = 0;
        for (const auto &frame : sim->signallingFrames())
            n += frame.json.value("messageType").toString() == messageType;
        return n;
    }

    static inline kelvosim::MeetingSim *sim = nullptr;
    static inline QJsonObject meeting;
    std::shared_ptr<ServiceListener> service = std::make_shared<ServiceListener>();
    std::shared_ptr<KLConferenceSignalChannel> channel;
    std::atomic<int> registerBlockRuns{0};
};

TEST_F(KLSignalChannelTest, TransportReportsEachTransitionOnceReconnectsAndPassesBadFramesAsNull)
{
    KLTimeScale::setFactor(0.4); // the 0.5 s reconnect in 0.2 s
    auto listener = std::make_shared<TransportListener>();
    auto transport = KLConferenceChannelWebSocket::create(
        {{"signalingServer", serverOf(*sim)}, {"caFile", sim->caFile()}}, listener, "Test");
    transport->connect();
    ASSERT_TRUE(kltest::waitUntil([&] { return listener->states.size() == 1; }));
    transport->setState(KLConferenceChannelStateOpen); // the same state again: no call

    sim->pushFrame("");
    sim->pushFrame("not json {");
    sim->pushFrame("\x01\x02", true);
    sim->pushFrame(R"({"data":{"body":{"eventId":3}}})");
    ASSERT_TRUE(kltest::waitUntil([&] { return listener->messages.size() == 4; }));
    const auto messages = listener->messages.values();
    EXPECT_FALSE(messages[0] || messages[1] || messages[2]);
    ASSERT_TRUE(messages[3].has_value());

    transport->sendMessage({{"ping", 1}});
    ASSERT_TRUE(kltest::waitUntil([&] { return !sim->signallingFrames().isEmpty(); }));
    EXPECT_TRUE(sim->signallingFrames().last().text.contains("\n    \"ping\": 1"));

    sim->closeSignalling(1006);
    ASSERT_TRUE(kltest::waitUntil([&] { return listener->states.size() == 3; }));
    EXPECT_EQ(listener->states.values(), (std::vector<qint64>{2, 1, 2}));
    EXPECT_EQ(sim->signallingConnections(), 2);

    // A server that says goodbye: the new connection follows after the reconnect delay (0.2 s
    // here), not sooner and not twice as late; the upper bound leaves room for the handshake.
    // (An abort is reported twice, as an error and then as a close, and the delay counts from
    // the second, which the listener does not see.)
    sim->closeSignalling(1001, "going away");
    ASSERT_TRUE(kltest::waitUntil([&] { return listener->states.size() == 5; }));
    const auto at = listener->states.times();
    EXPECT_GE(at[4] - at[3], 190);
    EXPECT_LT(at[4] - at[3], 370);
    EXPECT_EQ(sim->signallingConnections(), 3);

    transport->disconnect();
    ASSERT_TRUE(kltest::waitUntil([&] { return listener->states.size() == 6; }));
    kltest::pumpEvents(800); // four reconnect delays
    transport->connect();
    kltest::pumpEvents(100);
    EXPECT_EQ(listener->states.values(), (std::vector<qint64>{2, 1, 2, 1, 2, 1}));
    EXPECT_EQ(sim->signallingConnections(), 3);
}

TEST_F(KLSignalChannelTest, RegistersOnceThenAsksForMembersAfterEveryReRegister)
{
    KLTimeScale::setFactor(0.1); // keep-alive every 0.2 s, reconnect after 0.05 s
    open(*sim, 2);
    const auto registers = sim->signallingFrames();
    ASSERT_FALSE(registers.isEmpty());
    const QJsonObject reg = registers.first().json;
    EXPECT_EQ(reg.size(), 9);
    EXPECT_EQ(reg.value("messageType").toString(), "register");
    EXPECT_EQ(reg.value("from").toObject(), (QJsonObject{{"sessionId", meeting.value("selfMemberUUID")}}));
    EXPECT_EQ(reg.value("to").toObject(), (QJsonObject{{"sessionId", "system"}}));
    EXPECT_EQ(reg.value("body").toObject().value("token"), meeting.value("meetingToken"));
    EXPECT_TRUE(registers.first().text.contains('\n'));
    EXPECT_EQ(framesOfType("memberlist"), 0);
    EXPECT_EQ(service->openStates.values(), std::vector<bool>{true});

    ASSERT_TRUE(kltest::waitUntil([] { return framesOfType("info") >= 2; }));
    EXPECT_EQ(channel->pendingRequestCount(), 0) << "keep-alives are never stored";

    sim->closeSignalling(1006);
    ASSERT_TRUE(kltest::waitUntil([&] { return service->countOf(10001) == 1; }));
    EXPECT_EQ(framesOfType("memberlist"), 1);
    EXPECT_EQ(registerBlockRuns.load(), 1);
    EXPECT_EQ(channel->pendingRequestCount(), 0);
}

TEST_F(KLSignalChannelTest, OnlyADropLongerThanFiveSecondsMakesTheChannelUnusable)
{
    KLTimeScale::setFactor(0.1); // 5 s check in 0.5 s, reconnect in 0.05 s
    kelvosim::MeetingSim own;
    ASSERT_TRUE(own.start());
    open(own);
    own.closeSignalling(1006);
    ASSERT_TRUE(kltest::waitUntil([&] { return service->openStates.size() == 2; }));
    kltest::pumpEvents(750);
    EXPECT_EQ(service->openStates.values(), (std::vector<bool>{true, true}));

    // Down for good: "unusable" comes once, 5 s (scaled) after the drop, not before.
    const qint64 down = nowMs();
    own.stop();
    ASSERT_TRUE(kltest::waitUntil([&] { return service->openStates.size() == 3; }));
    const qint64 unusableAfter = service->openStates.times().back() - down;
    EXPECT_GE(unusableAfter, 480);
    EXPECT_LT(unusableAfter, 850);
    kltest::pumpEvents(750);
    EXPECT_EQ(service->openStates.values(), (std::vector<bool>{true, true, false}));
    channel->stopSignaling();
}

TEST_F(KLSignalChannelTest, KeepAlivesFollowTheHeartBeatWithThirtySecondsBelowTwo)
{
    KLTimeScale::setFactor(0.02); // 2 s in 40 ms, 30 s in 600 ms
    const auto keepAliveTimes = [](kelvosim::MeetingSim &on, qint64 since, int wanted) {
        std::vector<qint64> times;
        kltest::waitUntil([&] {
            const auto frames = on.signallingFrames();
            const int seen = int(std::count_if(frames.cbegin(), frames.cend(),
                                               [](const auto &f) { return f.json.value("messageType") == "info"; }));
            while (int(times.size()) < seen)
                times.push_back(nowMs() - since);
            return int(times.size()) >= wanted;
        }, 3000);
        return times;
    };

    // Two seconds is the smallest period taken as given.
    kelvosim::MeetingSim fast;
    ASSERT_TRUE(fast.start());
    open(fast, 2);
    const auto twoSeconds = keepAliveTimes(fast, nowMs(), 3);
    ASSERT_EQ(twoSeconds.size(), 3u);
    EXPECT_GE(twoSeconds[2], 3 * 40 - 20);
    EXPECT_LT(twoSeconds[2], 400);
    channel->stopSignaling();

    // Below two seconds the default 30 s applies.
    kelvosim::MeetingSim slow;
    ASSERT_TRUE(slow.start());
    registerBlockRuns = 0;
    open(slow, 1.9);
    const auto belowTwo = keepAliveTimes(slow, nowMs(), 1);
    ASSERT_EQ(belowTwo.size(), 1u);
    EXPECT_GE(belowTwo[0], 570);
    EXPECT_LT(belowTwo[0], 1000);
}

TEST_F(KLSignalChannelTest, RefusedTokenIsReportedOtherRegisterErrorsAreNot)
{
    sim->setRegisterMode(kelvosim::MeetingSim::RegisterMode::Refuse, 91207);
    channel = KLConferenceSignalChannel::create(serverOf(*sim), config(*sim), 30, service);
    channel->setRegisterBlock([this] { ++registerBlockRuns; });
    channel->startSignaling();
    ASSERT_TRUE(kltest::waitUntil([&] { return service->errors.size() == 1; }));
    EXPECT_EQ(service->errors.values().front(), 0);

    sim->setRegisterMode(kelvosim::MeetingSim::RegisterMode::Refuse, 500);
    sim->closeSignalling(1006);
    ASSERT_TRUE(kltest::waitUntil([] { return framesOfType("register") == 2; }));
    kltest::pumpEvents(200);
    EXPECT_EQ(service->errors.size(), 1u);
    EXPECT_EQ(registerBlockRuns.load(), 0);
}

TEST_F(KLSignalChannelTest, PushesReachTheServiceAndBadOnesBreakNothing)
{
    auto printer = kltest::RecordingPrinter::install();
    open(*sim);
    const QString member = meeting.value("members").toArray().at(1).toObject().value("memberUUID").toString();
    sim->pushFrame("{ broken");
    // Logged as the frame came (key order and spacing kept), not serialised a second time.
    const QString asSent = QStringLiteral(R"({"zeta": 1, "alpha": {"b": 2}})");
    sim->pushFrame(asSent.toUtf8());
    sim->pushEvent(1, member);
    ASSERT_TRUE(kltest::waitUntil([&] { return service->countOf(1) == 1; }));
    EXPECT_EQ(service->countOf(0), 2);
    EXPECT_EQ(printer->count("info", "recvMessage: " + asSent), 1);
    EXPECT_EQ(printer->count("info", "recvMessage: (null)"), 1);
    kltest::RecordingPrinter::uninstall();
    for (const auto &message : service->messages.values())
        if (message.messageType == 1) {
            EXPECT_EQ(message.memberUUID, member);
            EXPECT_EQ(message.source, 1);
        }
}

TEST_F(KLSignalChannelTest, MeetingApiRunsOverTheChannel)
{
    open(*sim);
    KLSDKMeetingWSSApi api;
    api.setConferenceChannel(channel);
    auto participant = KLParticipant::createWithDictionary(meeting.value("members").toArray().at(1).toObject());
    auto cfg = config(*sim);

    struct Outcome { std::atomic<int> ok{0}, failed{0}; QString code; QJsonValue data; std::mutex m; };
    auto run = [&](auto operation) {
        auto outcome = std::make_shared<Outcome>();
        operation([outcome](const QJsonValue &data) { std::lock_guard l(outcome->m); outcome->data = data; ++outcome->ok; },
                  [outcome](const QString &code, const QString &) { std::lock_guard l(outcome->m); outcome->code = code; ++outcome->failed; });
        kltest::waitUntil([outcome] { return outcome->ok + outcome->failed > 0; });
        return outcome;
    };
    EXPECT_EQ(run([&](auto s, auto f) { api.muteMemberWithAppointment(participant, true, s, f); })->ok, 1);
    EXPECT_EQ(run([&](auto s, auto f) { api.vmuteMemberWithAppointment(participant, false, s, f); })->ok, 1);
    EXPECT_EQ(run([&](auto s, auto f) { api.hangUpMeetingMemberWithAppointment(participant, "1", s, f); })->ok, 1);
    EXPECT_EQ(run([&](auto s, auto f) { api.getMeetingInfoWithConfig(cfg, std::nullopt, "", s, f); })->ok, 1);
    EXPECT_EQ(run([&](auto s, auto f) { api.getClientConfigWithConfig(cfg, s, f); })->ok, 1);
    EXPECT_EQ(run([&](auto s, auto f) { api.getClientSwitchConfigWithConfig(cfg, s, f); })->ok, 1);
    EXPECT_TRUE(run([&](auto s, auto f) { api.getIceServerListWithConfig(cfg, s, f); })->data.isArray());
    EXPECT_EQ(run([&](auto s, auto f) { api.finishAppointmentWithConfig(cfg, s, f); })->ok, 1);
    EXPECT_TRUE(api.isNetWorkAvailable());
    for (const auto &frame : sim->signallingFrames())
        if (frame.json.value("messageType") == "mute") {
            EXPECT_EQ(frame.json.value("body").toObject(),
                      (QJsonObject{{"appointmentId", QString::number(meeting.value("appointmentId").toInteger())},
                                   {"memberUuid", participant->memberUUID},
                                   {"status", "true"}}));
        }
    const int sent = sim->signallingFrames().size();
    cfg->setAppointmentId(QString());
    api.finishAppointmentWithConfig(cfg, nullptr, nullptr);
    api.findMemberWithKeywords("x", nullptr, nullptr);

    sim->setSignallingFault("mute", kelvosim::Fault::of(kelvosim::Fault::Kind::ErrorCode, "500", "busy"));
    auto refused = run([&](auto s, auto f) { api.muteMemberWithAppointment(participant, true, s, f); });
    EXPECT_EQ(refused->failed, 1);
    EXPECT_EQ(refused->code, "500");
    EXPECT_EQ(sim->signallingFrames().size(), sent + 1) << "silent operations send nothing";

    // A reply that never comes fails the request once with -1, here after 30 s scaled down.
    KLTimeScale::setFactor(0.02);
    sim->setSignallingFault("vmute", kelvosim::Fault::of(kelvosim::Fault::Kind::Hold));
    auto expired = run([&](auto s, auto f) { api.vmuteMemberWithAppointment(participant, true, s, f); });
    EXPECT_EQ(expired->code, "-1");
    sim->releaseHeldSignalling("vmute");
    kltest::pumpEvents(300);
    EXPECT_EQ(expired->failed + expired->ok, 1);

    sim->setSignallingFault("hangup", kelvosim::Fault::of(kelvosim::Fault::Kind::Hold));
    KLTimeScale::setFactor(1.0);
    auto stopped = std::make_shared<std::atomic<int>>(0);
    api.hangUpMeetingMemberWithAppointment(participant, "1", nullptr,
                                           [stopped](const QString &code, const QString &) { if (code == "-1") ++*stopped; });
    channel->stopSignaling();
    EXPECT_TRUE(kltest::waitUntil([&] { return stopped->load() == 1; }));
}

} // namespace
