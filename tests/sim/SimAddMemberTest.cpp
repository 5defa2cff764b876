// Adding members: the people and rooms an add request invites are pushed to the meeting's
// registered connections as "addmember", ringing, once each.

#include "SimTestClient.h"

#include "KLTestSupport.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QUuid>
#include <QWebSocket>

#include <gtest/gtest.h>

using kelvosim::MeetingSim;
using namespace simtest;

namespace {

const QString kAccessToken = QStringLiteral("sim-access-token-7c41e9");
const QString kMeetingToken = QStringLiteral("sim-meeting-token-4b8f21");
const QString kSelf = QStringLiteral("3B7E1C52-9A4D-4F0B-8E21-6C5D2F9A1B01");

QString uuid()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

TEST(SimAddMember, InvitedPeopleAndRoomsArePushedRinging)
{
    MeetingSim sim;
    QString error;
    ASSERT_TRUE(sim.start(&error)) << error.toStdString();

    QWebSocket socket;
    QList<QJsonObject> received;
    socket.setSslConfiguration(SimClient(sim).tls());
    QObject::connect(&socket, &QWebSocket::textMessageReceived,
                     [&](const QString &text) { received.append(QJsonDocument::fromJson(text.toUtf8()).object()); });
    socket.open(QUrl(QStringLiteral("wss://127.0.0.1:%1/nimbrameeting/websocket/channelwithauth").arg(sim.port())));
    ASSERT_TRUE(kltest::waitUntil([&] { return socket.state() == QAbstractSocket::ConnectedState; }));
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    socket.sendTextMessage(QString::fromUtf8(QJsonDocument(QJsonObject{
        {"messageId", uuid()}, {"requestId", uuid()}, {"bornTime", now}, {"arriveTime", now},
        {"from", QJsonObject{{"sessionId", kSelf}}}, {"to", QJsonObject{{"sessionId", "system"}}},
        {"topic", "wsmessage"}, {"messageType", "register"}, {"body", QJsonObject{{"token", kMeetingToken}}}}).toJson()));
    ASSERT_TRUE(kltest::waitUntil([&] { return !received.isEmpty(); }));
    ASSERT_EQ(received.first().value("responseCode").toInt(), 200);

    SimClient client(sim);
    const Pairs add{{"data", "{\"appointmentId\":\"880012345\",\"roomIds\":\"R-SH-3F-02\",\"memberList\":[{\"empId\":\"E10005\"}]}"},
                    {"__appcode", ""}, {"__accesstoken", kAccessToken}};
    const QJsonObject answer = client.signedPost("/conference/api/addMember", formBody(add), flatParameterText(add)).json();
    ASSERT_TRUE(answer.value("success").toBool()) << QJsonDocument(answer).toJson().toStdString();
    const QJsonArray added = answer.value("content").toObject().value("added").toArray();
    ASSERT_EQ(added.size(), 2);

    auto pushes = [&] {
        QList<QJsonObject> found;
        for (const QJsonObject &message : std::as_const(received))
            if (message.value("data").toObject().value("type").toString() == QLatin1String("addmember"))
                found.append(message.value("data").toObject().value("body").toObject());
        return found;
    };
    ASSERT_TRUE(kltest::waitUntil([&] { return pushes().size() == 2; })) << received.size();
    kltest::pumpEvents(100);
    ASSERT_EQ(pushes().size(), 2) << "one push for each invitee";
    const QJsonObject person = pushes().at(0).value("memberList").toArray().first().toObject();
    EXPECT_EQ(person.value("empId").toString(), QStringLiteral("E10005"));
    EXPECT_EQ(person.value("memberUUID").toString(), added.at(0).toString());
    EXPECT_EQ(person.value("callState").toObject().value("ringing").toInt(), 1);
    EXPECT_EQ(person.value("callState").toObject().value("online").toInt(), 0);
    const QJsonObject room = pushes().at(1).value("roomList").toArray().first().toObject();
    EXPECT_EQ(room.value("roomId").toString(), QStringLiteral("R-SH-3F-02"));
    EXPECT_EQ(room.value("callState").toObject().value("ringing").toInt(), 1);
}

} // namespace
