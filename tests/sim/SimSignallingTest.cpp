// The signalling WebSocket: register, member list, meeting_control operations, pushes (among
// them the invitations of an add request), closes, faults and bad input, over wss with the
// simulator's CA as the only trust.

#include "SimTestClient.h"

#include "KLTestSupport.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSslSocket>
#include <QUuid>
#include <QWebSocket>

#include <gtest/gtest.h>

#include <memory>
#include <tuple>

using kelvosim::Fault;
using kelvosim::MeetingSim;

namespace {

const QString kToken = simtest::kMeetingToken;
const QString kSelf = QStringLiteral("3B7E1C52-9A4D-4F0B-8E21-6C5D2F9A1B01");
const QString kHost = QStringLiteral("8C1D4E2F-6B3A-4D59-9F70-2A1B3C4D5E02");
const QString kMuted = QStringLiteral("D4E5F6A7-1B2C-4D3E-8F90-3B4C5D6E7F03");

QString uuid() { return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper(); }

// A signalling client written for the test: envelopes built by hand, sent pretty-printed.
class Client
{
public:
    Client(const MeetingSim &sim, QString member,
           const QString &path = QStringLiteral("/nimbrameeting/websocket/channelwithauth"))
        : m_member(std::move(member))
    {
        socket.setSslConfiguration(simtest::SimClient(sim).tls());
        QObject::connect(&socket, &QWebSocket::textMessageReceived,
                         [this](const QString &text) { received.append(QJsonDocument::fromJson(text.toUtf8()).object()); });
        QObject::connect(&socket, &QWebSocket::disconnected, [this] { closed = true; });
        QObject::connect(&socket, qOverload<QAbstractSocket::SocketError>(&QWebSocket::error), [this](QAbstractSocket::SocketError e) { errors.append(e); });
        socket.open(QUrl(QStringLiteral("wss://127.0.0.1:%1%2").arg(sim.port()).arg(path)));
        opened = kltest::waitUntil([this] { return socket.state() == QAbstractSocket::ConnectedState || closed; })
            && !closed;
    }

    ~Client() { QObject::disconnect(&socket, nullptr, nullptr, nullptr); }

    QString send(const QString &topic, const QString &type, const QJsonObject &body)
    {
        const QString requestId = uuid();
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        sendJson({{"messageId", uuid()}, {"requestId", requestId}, {"bornTime", now}, {"arriveTime", now},
                  {"from", QJsonObject{{"sessionId", m_member}}}, {"to", QJsonObject{{"sessionId", "system"}}},
                  {"topic", topic}, {"messageType", type}, {"body", body}});
        return requestId;
    }
    void sendJson(const QJsonObject &object)
    {
        socket.sendTextMessage(QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Indented)));
    }
    QString control(const QString &type, const QJsonObject &body) { return send("meeting_control", type, body); }
    QString memberList() { return send("meeting_status", "memberlist", {{"eventId", 10001}, {"appointmentId", "880012345"}}); }

    /// The next message not yet taken (waits for it); empty on time-out.
    QJsonObject next()
    {
        return kltest::waitUntil([this] { return m_taken < received.size(); }) ? received.at(m_taken++) : QJsonObject();
    }
    /// The next message, which must answer `requestId`.
    QJsonObject reply(const QString &requestId)
    {
        const QJsonObject message = next();
        EXPECT_EQ(message.value("requestId").toString(), requestId) << QJsonDocument(message).toJson().toStdString();
        return message;
    }
    int registerWith(const QString &token) { return reply(send("wsmessage", "register", {{"token", token}})).value("responseCode").toInt(); }

    QWebSocket socket;
    QList<QJsonObject> received;
    QList<QAbstractSocket::SocketError> errors;
    bool opened = false, closed = false;

private:
    QString m_member;
    qsizetype m_taken = 0;
};

QJsonObject pushBody(const QJsonObject &message) { return message.value("data").toObject().value("body").toObject(); }

QJsonObject findMember(const QJsonArray &list, const QString &memberUUID)
{
    for (const QJsonValue &value : list)
        if (value.toObject().value("memberUUID").toString() == memberUUID)
            return value.toObject();
    return {};
}

class SimSignalling : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QString error;
        ASSERT_TRUE(sim.start(&error)) << error.toStdString();
    }
    std::unique_ptr<Client> registered(const QString &member)
    {
        auto client = std::make_unique<Client>(sim, member);
        EXPECT_TRUE(client->opened);
        EXPECT_EQ(client->registerWith(kToken), 200);
        return client;
    }

    MeetingSim sim;
};

} // namespace

TEST_F(SimSignalling, RegisterGatesTheMeetingAndTheMemberListDescribesIt)
{
    Client client(sim, kSelf);
    ASSERT_TRUE(client.opened);
    EXPECT_EQ(client.reply(client.memberList()).value("responseCode").toInt(), 401) << "a member list before register";
    EXPECT_EQ(client.registerWith("not-the-token"), 91207);
    EXPECT_EQ(client.registerWith(kToken), 200);

    // A keep-alive gets no reply: the next message is the member list's.
    client.send("media", "info", {{"type", "keepalive"}, {"version", "1"}});
    const QJsonObject list = client.reply(client.memberList());
    EXPECT_EQ(list.value("responseCode").toInt(), 200);
    EXPECT_EQ(list.value("to").toObject().value("sessionId").toString(), kSelf);
    const QJsonObject body = pushBody(list);
    EXPECT_EQ(body.value("memberList").toArray().size(), 4);
    EXPECT_EQ(body.value("roomList").toArray().size(), 2);
    const QJsonObject muted = findMember(body.value("memberList").toArray(), kMuted);
    EXPECT_EQ(muted.value("callState").toObject().value("mute").toInt(), 1);
    EXPECT_FALSE(findMember(body.value("roomList").toArray(), "A9B8C7D6-4E5F-4061-9B23-6E7F8A9B0C06").contains("callErrorCode"));

    const auto frames = sim.signallingFrames(1);
    ASSERT_EQ(frames.size(), 5);
    EXPECT_EQ(frames.at(3).json.value("body").toObject().value("type").toString(), "keepalive");

    // The internal kind: a bare register is answered with the member list as an event push.
    Client internal(sim, {});
    ASSERT_TRUE(internal.opened);
    internal.sendJson({{"body", QJsonObject{{"appointmentId", "880012345"}, {"memberUUID", kHost}, {"eventId", 10001}, {"outerMember", 0}}}});
    const QJsonObject pushed = internal.next();
    EXPECT_EQ(pushBody(pushed).value("eventId").toInt(), 10001);
    EXPECT_EQ(pushBody(pushed).value("roomList").toArray().size(), 2);
    EXPECT_EQ(sim.signallingConnections(), 2);
}

TEST_F(SimSignalling, AMemberWhoseClientRegisteredIsListedOnline)
{
    // The scenario has the user's own member not yet in the meeting.
    const auto onlineIn = [](const QJsonObject &body, const QString &member) {
        return findMember(body.value("memberList").toArray(), member).value("callState").toObject().value("online").toInt();
    };
    Client before(sim, kHost);
    ASSERT_TRUE(before.opened);
    ASSERT_EQ(before.registerWith(kToken), 200);
    EXPECT_EQ(onlineIn(pushBody(before.reply(before.memberList())), kSelf), 0);

    const auto self = registered(kSelf);
    EXPECT_EQ(onlineIn(pushBody(self->reply(self->memberList())), kSelf), 1) << "its own list shows it in the meeting";
    EXPECT_EQ(pushBody(before.next()).value("eventId").toInt(), 1) << "the others are told it came online";
    EXPECT_EQ(onlineIn(pushBody(before.reply(before.memberList())), kSelf), 1) << "and their lists show it";

    // The internal register's answer already counts the registering member.
    const QString other = QStringLiteral("6A7B8C9D-0E1F-4A2B-9C3D-4E5F6A7B8C11");
    Client internal(sim, {});
    ASSERT_TRUE(internal.opened);
    internal.sendJson({{"body", QJsonObject{{"appointmentId", "880067890"}, {"memberUUID", other}, {"eventId", 10001}, {"outerMember", 0}}}});
    EXPECT_EQ(onlineIn(pushBody(internal.next()), other), 1);
}

TEST_F(SimSignalling, ControlOperationsAnswerFromTheMeetingAndTellTheOthers)
{
    auto self = registered(kSelf);
    auto host = registered(kHost);
    auto muted = registered(kMuted);
    // Each newcomer came online for those already there.
    for (const QString &member : {kHost, kMuted})
        EXPECT_EQ(pushBody(self->next()).value("memberUUID").toString(), member);
    EXPECT_EQ(pushBody(host->next()).value("memberUUID").toString(), kMuted);

    QJsonObject reply = self->reply(self->control("mute", {{"appointmentId", "880012345"}, {"memberUuid", kMuted}, {"status", "false"}}));
    EXPECT_EQ(reply.value("data").toObject().value("callState").toObject().value("mute").toInt(), 0);
    const QJsonObject unmuted = host->next();
    EXPECT_EQ(unmuted.value("data").toObject().value("type").toString(), "unmute");
    EXPECT_EQ(pushBody(unmuted).value("memberUUID").toString(), kMuted);
    // The requester learns from its reply, not from a push; the member list shows the change.
    reply = self->reply(self->memberList());
    EXPECT_EQ(findMember(pushBody(reply).value("memberList").toArray(), kMuted).value("callState").toObject().value("mute").toInt(), 0);

    reply = self->reply(self->control("vmute", {{"appointmentId", "880012345"}, {"memberUuid", kMuted}}));
    EXPECT_EQ(reply.value("responseCode").toInt(), 11001);
    EXPECT_TRUE(reply.value("responseMsg").toString().contains("status"));
    EXPECT_EQ(self->reply(self->control("mute", {{"appointmentId", 880012345}, {"memberUuid", kMuted}, {"status", "true"}}))
                  .value("responseCode").toInt(), 11001) << "appointmentId travels as text";
    EXPECT_EQ(self->reply(self->control("mute", {{"appointmentId", "1"}, {"memberUuid", kMuted}, {"status", "true"}}))
                  .value("responseCode").toInt(), 11002);
    EXPECT_EQ(self->reply(self->control("robroom", {})).value("responseCode").toInt(), 404);

    reply = self->reply(self->control("geticeserverlist", {{"userId", "u10001"}, {"version", "1.0.0"}, {"scene", ""}}));
    EXPECT_EQ(reply.value("data").toObject().value("iceServerList").toArray(), sim.scenario().value("iceServers").toArray());
    reply = self->reply(self->control("meetinginfo", {{"meetingUuid", "5F3C2A9E-8D41-4B7A-9C62-1E0D7A4B8F21"},
                                                      {"userId", "u10001"}, {"clientUuid", "02:00:00:00:00:01"},
                                                      {"meetingClientType", "pc_mac"}, {"clientVersion", "1.0.0"}}));
    EXPECT_EQ(reply.value("data").toObject().value("memberInfo").toObject().value("memberUUID").toString(), kSelf);
    EXPECT_EQ(reply.value("data").toObject().value("token").toString(), "sim-rtc-token-880012345");

    // Hanging a member up kicks that member and tells the rest it went offline.
    reply = self->reply(self->control("hangup", {{"appointmentId", "880012345"}, {"memberUuid", kMuted}, {"type", "1"}}));
    EXPECT_EQ(reply.value("responseCode").toInt(), 200);
    EXPECT_EQ(pushBody(muted->next()).value("eventId").toInt(), 4) << "its own unmute";
    EXPECT_EQ(pushBody(muted->next()).value("eventId").toInt(), 10);
    const QJsonObject offline = host->next();
    EXPECT_EQ(pushBody(offline).value("eventId").toInt(), 2);
    EXPECT_EQ(pushBody(offline).value("callState").toObject().value("online").toInt(), 0);
}

TEST_F(SimSignalling, MembersComingAndGoingAreToldToTheOthersOnce)
{
    const auto eventAbout = [](const QJsonObject &message) {
        const QJsonObject body = pushBody(message);
        return std::make_tuple(message.value("data").toObject().value("type").toString(), body.value("eventId").toInt(),
                               body.value("memberUUID").toString(), body.value("callState").toObject().value("online").toInt());
    };
    // The next message `client` gets is the answer to a member list it asks for now: nothing
    // was pushed to it meanwhile.
    const auto nothingPushed = [](Client &client) {
        const QString request = client.memberList();
        return client.next().value("requestId").toString() == request;
    };
    auto self = registered(kSelf);
    auto host = registered(kHost);
    EXPECT_EQ(eventAbout(self->next()), std::make_tuple(QString("online"), 1, kHost, 1));
    EXPECT_TRUE(nothingPushed(*host)) << "a member is not told about itself";

    // A second connection of a member already there (a projection's receiver, a re-register on
    // the same connection) is no news; only the last of its connections closing is.
    auto second = registered(kHost);
    EXPECT_EQ(host->registerWith(kToken), 200);
    EXPECT_TRUE(nothingPushed(*self));
    second->socket.close();
    ASSERT_TRUE(kltest::waitUntil([&] { return second->closed; }));
    EXPECT_TRUE(nothingPushed(*self));
    host->socket.close();
    EXPECT_EQ(eventAbout(self->next()), std::make_tuple(QString("offline"), 2, kHost, 0));
    const QJsonObject list = pushBody(self->reply(self->memberList()));
    EXPECT_EQ(findMember(list.value("memberList").toArray(), kHost).value("callState").toObject().value("online").toInt(), 0);

    // A member that hangs itself up is offline for the others once, not again when its
    // connection closes.
    auto muted = registered(kMuted);
    EXPECT_EQ(eventAbout(self->next()), std::make_tuple(QString("online"), 1, kMuted, 1));
    EXPECT_EQ(muted->reply(muted->control("hangup", {{"appointmentId", "880012345"}, {"memberUuid", kMuted}, {"type", "1"}}))
                  .value("responseCode").toInt(), 200);
    EXPECT_EQ(eventAbout(self->next()), std::make_tuple(QString("offline"), 2, kMuted, 0));
    muted->socket.close();
    ASSERT_TRUE(kltest::waitUntil([&] { return muted->closed; }));
    EXPECT_TRUE(nothingPushed(*self));
}

TEST_F(SimSignalling, PushesReachRegisteredConnectionsAndClosesAreSeen)
{
    Client stranger(sim, kSelf); // open but not registered: gets no meeting pushes
    ASSERT_TRUE(stranger.opened);
    auto client = registered(kSelf);

    sim.pushEvent(1, kHost, {{"callType", 1}, {"callNumber", "13800000002"}});
    const QJsonObject online = client->next();
    EXPECT_EQ(online.value("data").toObject().value("type").toString(), "online");
    EXPECT_EQ(pushBody(online).value("memberUUID").toString(), kHost);
    EXPECT_EQ(pushBody(online).value("callType").toInt(), 1);
    EXPECT_EQ(pushBody(online).value("callState").toObject().value("online").toInt(), 1);

    sim.pushSummary(kHost + "vantorameeting-s1", {{"asrText", "hello"}});
    const QJsonObject line = client->next();
    EXPECT_EQ(line.value("data").toObject().value("type").toString(), "summary");
    EXPECT_EQ(pushBody(line).value("asrText").toString(), "hello");

    sim.pushFrame("raw text");
    EXPECT_TRUE(kltest::waitUntil([&] { return !stranger.received.isEmpty(); }));
    EXPECT_TRUE(stranger.received.first().isEmpty()) << "only the raw frame, no meeting pushes";

    sim.closeSignalling(4000, "go away");
    ASSERT_TRUE(kltest::waitUntil([&] { return client->closed && stranger.closed; }));
    EXPECT_EQ(int(client->socket.closeCode()), 4000);
    EXPECT_EQ(client->socket.closeReason(), "go away");

    Client next(sim, kSelf);
    ASSERT_TRUE(next.opened);
    sim.closeSignalling(1006);
    ASSERT_TRUE(kltest::waitUntil([&] { return next.closed; }));
    // No close frame: the client's socket reports the peer's disappearance as an error.
    EXPECT_EQ(next.errors, QList<QAbstractSocket::SocketError>{QAbstractSocket::RemoteHostClosedError});
    EXPECT_TRUE(client->errors.isEmpty()) << "a close with a frame is no error";
    EXPECT_TRUE(kltest::waitUntil([&] { return sim.openSignallingConnections() == 0; }));
    EXPECT_EQ(sim.signallingConnections(), 3);
}

TEST_F(SimSignalling, InvitedPeopleAndRoomsArePushedRingingOnceEach)
{
    auto self = registered(kSelf);
    simtest::SimClient http(sim);
    const simtest::Pairs add{{"data", "{\"appointmentId\":\"880012345\",\"roomIds\":\"R-SH-3F-02\",\"memberList\":[{\"empId\":\"E10005\"}]}"},
                             {"__appcode", ""}, {"__accesstoken", simtest::kAccessToken}};
    const QJsonObject answer = http.signedPost("/conference/api/addMember", simtest::formBody(add), simtest::flatParameterText(add)).json();
    ASSERT_TRUE(answer.value("success").toBool()) << QJsonDocument(answer).toJson().toStdString();
    const QJsonArray added = answer.value("content").toObject().value("added").toArray();
    ASSERT_EQ(added.size(), 2);

    QList<QJsonObject> pushes;
    for (int i = 0; i < 2; ++i) {
        const QJsonObject message = self->next();
        EXPECT_EQ(message.value("data").toObject().value("type").toString(), "addmember");
        pushes << pushBody(message);
    }
    const QJsonObject person = pushes.value(0).value("memberList").toArray().first().toObject();
    EXPECT_EQ(person.value("empId").toString(), QStringLiteral("E10005"));
    EXPECT_EQ(person.value("memberUUID").toString(), added.at(0).toString());
    EXPECT_EQ(person.value("callState").toObject().value("ringing").toInt(), 1);
    EXPECT_EQ(person.value("callState").toObject().value("online").toInt(), 0);
    const QJsonObject room = pushes.value(1).value("roomList").toArray().first().toObject();
    EXPECT_EQ(room.value("roomId").toString(), QStringLiteral("R-SH-3F-02"));
    EXPECT_EQ(room.value("callState").toObject().value("ringing").toInt(), 1);
    // One push for each invitee: the next message is the member list's answer.
    EXPECT_EQ(self->reply(self->memberList()).value("responseCode").toInt(), 200);
}

TEST_F(SimSignalling, BadInputIsRecordedAndAnsweredWithoutHarm)
{
    Client client(sim, kSelf);
    ASSERT_TRUE(client.opened);
    client.socket.sendBinaryMessage(QByteArray("\x00\x01\x02", 3));
    client.socket.sendTextMessage("not json {");
    client.socket.sendTextMessage("[1, 2]");
    client.socket.sendTextMessage("");
    QJsonObject broken{{"messageId", uuid()}, {"requestId", uuid()}, {"topic", "wsmessage"}, {"messageType", "register"}};
    client.sendJson(broken);
    const QJsonObject answer = client.next();
    EXPECT_EQ(answer.value("requestId").toString(), broken.value("requestId").toString());
    EXPECT_EQ(answer.value("responseCode").toInt(), 400);
    EXPECT_TRUE(answer.value("responseMsg").toString().contains("bornTime"));
    EXPECT_EQ(client.registerWith(kToken), 200) << "the connection still works";

    const auto frames = sim.signallingFrames();
    ASSERT_EQ(frames.size(), 6);
    EXPECT_TRUE(frames.at(0).binary);
    EXPECT_EQ(frames.at(1).text, "not json {");
    EXPECT_FALSE(frames.at(2).isJson);
    EXPECT_TRUE(frames.at(5).isJson);
    sim.clearRequests();
    EXPECT_TRUE(sim.signallingFrames().isEmpty());

    Client elsewhere(sim, kSelf, QStringLiteral("/kelvo-media/unknown"));
    EXPECT_FALSE(elsewhere.opened) << "only the signalling and media paths upgrade";

    // An upgrade without a WebSocket key is refused by the handshake and costs nothing.
    QSslSocket raw;
    raw.setSslConfiguration(simtest::SimClient(sim).tls());
    raw.connectToHostEncrypted(QStringLiteral("127.0.0.1"), sim.port());
    ASSERT_TRUE(kltest::waitUntil([&] { return raw.isEncrypted(); }));
    raw.write("GET /nimbrameeting/websocket/channelwithauth HTTP/1.1\r\nHost: 127.0.0.1\r\n"
              "Upgrade: websocket\r\nConnection: Upgrade\r\n\r\n");
    QByteArray answer400;
    EXPECT_TRUE(kltest::waitUntil([&] {
        answer400 += raw.readAll();
        return raw.state() == QAbstractSocket::UnconnectedState;
    }));
    EXPECT_TRUE(answer400.startsWith("HTTP/1.1 400")) << answer400.constData();
    EXPECT_EQ(sim.signallingConnections(), 1);
}

TEST_F(SimSignalling, HeldRefusedAndFaultedAnswers)
{
    Client client(sim, kSelf);
    ASSERT_TRUE(client.opened);
    sim.setRegisterMode(MeetingSim::RegisterMode::Hold);
    const QString held = client.send("wsmessage", "register", {{"token", kToken}});
    // Another request's answer overtakes the held register.
    EXPECT_EQ(client.reply(client.control("nothing", {})).value("responseCode").toInt(), 401);
    sim.releaseHeldRegisters();
    EXPECT_EQ(client.reply(held).value("responseCode").toInt(), 200);

    sim.setRegisterMode(MeetingSim::RegisterMode::Refuse, 500);
    EXPECT_EQ(client.registerWith(kToken), 500);
    sim.clearFaults();
    EXPECT_EQ(client.registerWith(kToken), 200);

    const Fault hold = Fault::of(Fault::Kind::Hold);
    sim.setSignallingFault("mute", hold);
    const QString mute = client.control("mute", {{"appointmentId", "880012345"}, {"memberUuid", kMuted}, {"status", "true"}});
    const QString list = client.memberList();
    EXPECT_EQ(client.reply(list).value("responseCode").toInt(), 200);
    sim.releaseHeldSignalling("mute");
    EXPECT_EQ(client.reply(mute).value("data").toObject().value("callState").toObject().value("mute").toInt(), 1);

    Fault code = Fault::of(Fault::Kind::ErrorCode, "91212", "busy");
    code.times = 1;
    sim.setSignallingFault("memberlist", code);
    const QJsonObject failed = client.reply(client.memberList());
    EXPECT_EQ(failed.value("responseCode").toInt(), 91212);
    EXPECT_EQ(failed.value("responseMsg").toString(), "busy");

    // Stopping with an answer still held closes the connection cleanly.
    sim.setSignallingFault("mute", hold);
    client.control("mute", {{"appointmentId", "880012345"}, {"memberUuid", kMuted}, {"status", "false"}});
    EXPECT_TRUE(kltest::waitUntil([&] { return sim.signallingFrames().size() == 8; }));
    sim.stop();
    ASSERT_TRUE(kltest::waitUntil([&] { return client.closed; }));
    EXPECT_EQ(client.socket.closeCode(), QWebSocketProtocol::CloseCodeGoingAway);
}
