// Faults, robustness against bad input, and the routes answering from the scenario.

#include "SimTestClient.h"

#include "KLTestSupport.h"

#include <QJsonArray>
#include <QSslSocket>

#include <gtest/gtest.h>

using kelvosim::Fault;
using kelvosim::MeetingSim;
using namespace simtest;

namespace {

const QString kConfig = QStringLiteral("/conference/api/getClientConfig");
const QString kToken = QStringLiteral("sim-access-token-7c41e9");

Fault fault(Fault::Kind kind, int times = -1)
{
    Fault f;
    f.kind = kind;
    f.times = times;
    return f;
}

class SimControl : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QString error;
        ASSERT_TRUE(sim.start(&error)) << error.toStdString();
        client = std::make_unique<SimClient>(sim);
    }

    HttpResult signedCall(const QString &path, Pairs own)
    {
        own += commonParameters(kToken);
        return client->signedPost(path, formBody(own), flatParameterText(own));
    }

    MeetingSim sim;
    std::unique_ptr<SimClient> client;
};

} // namespace

TEST_F(SimControl, FaultsReplaceOrWithholdTheAnswer)
{
    Fault code = fault(Fault::Kind::ErrorCode, 1);
    code.errorCode = QStringLiteral("91212");
    code.errorMsg = QStringLiteral("not allowed");
    sim.setFault(kConfig, code);
    HttpResult result = client->send("POST", kConfig);
    EXPECT_EQ(result.json().value("errorCode").toString(), QStringLiteral("91212"));
    EXPECT_EQ(result.json().value("errorMsg").toString(), QStringLiteral("not allowed"));
    // Used up after one request: the next one meets the ordinary checks again.
    result = client->send("POST", kConfig);
    EXPECT_EQ(result.json().value("errorCode").toString(), QStringLiteral("401"));

    Fault list = fault(Fault::Kind::ErrorList);
    list.errorCode = QStringLiteral("-20");
    list.errorMsg = QStringLiteral("room busy");
    sim.setFault(kConfig, list);
    result = client->send("POST", kConfig);
    EXPECT_FALSE(result.json().contains("errorCode"));
    EXPECT_EQ(result.json().value("errorList").toArray().at(0).toObject().value("code").toString(), QStringLiteral("-20"));

    Fault status = fault(Fault::Kind::HttpStatus);
    status.httpStatus = 503;
    sim.setFault(kConfig, status);
    EXPECT_EQ(client->send("POST", kConfig).status, 503);

    sim.setFault(kConfig, fault(Fault::Kind::NotJson));
    result = client->send("POST", kConfig);
    EXPECT_EQ(result.status, 200);
    EXPECT_TRUE(result.contentType.startsWith("text/html"));
    EXPECT_EQ(result.body, QByteArray("<html>not json</html>"));

    sim.setFault(kConfig, fault(Fault::Kind::Close));
    result = client->send("POST", kConfig);
    ASSERT_TRUE(result.finished);
    EXPECT_NE(result.error, QNetworkReply::NoError);
    EXPECT_EQ(result.status, 0);

    Fault delay = fault(Fault::Kind::Delay);
    delay.delayMs = 50;
    sim.setFault(kConfig, delay);
    EXPECT_EQ(client->send("POST", kConfig).json().value("errorCode").toString(), QStringLiteral("401"));

    sim.clearFaults();
    sim.setFault(kConfig, fault(Fault::Kind::Hold));
    QNetworkReply *held = client->start("POST", kConfig);
    ASSERT_TRUE(kltest::waitUntil([&] { return !sim.requests(kConfig).isEmpty() && sim.requests(kConfig).last().method == "POST"; }));
    kltest::pumpEvents(100);
    EXPECT_FALSE(held->isFinished());
    sim.releaseHeld(QStringLiteral("/other/path")); // releases nothing of ours
    sim.releaseHeld(kConfig);
    result = SimClient::wait(held);
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.json().value("errorCode").toString(), QStringLiteral("401"));
}

TEST_F(SimControl, StoppingWithHeldAnswersEndsTheirConnections)
{
    sim.setFault(kConfig, fault(Fault::Kind::Hold));
    QNetworkReply *first = client->start("POST", kConfig);
    QNetworkReply *second = client->start("POST", kConfig);
    ASSERT_TRUE(kltest::waitUntil([&] { return sim.requests(kConfig).size() >= 2; }));
    sim.stop();
    const HttpResult a = SimClient::wait(first);
    const HttpResult b = SimClient::wait(second);
    EXPECT_TRUE(a.finished && b.finished);
    EXPECT_NE(a.error, QNetworkReply::NoError);
    EXPECT_NE(b.error, QNetworkReply::NoError);
    EXPECT_EQ(sim.port(), 0);
}

TEST_F(SimControl, GarbageGetsAClearAnswerAndTheServerKeepsServing)
{
    const QList<QByteArray> garbage{
        "garbage\r\n\r\n",
        "POST /conference/api/getClientConfig HTTP/1.1\r\nContent-Length: -5\r\n\r\n",
        "POST /x HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n",
        "GET / HTTP/1.1\r\nBroken header line\r\n\r\n",
        QByteArray("\x16\x03\x01\xff\xff", 5) + QByteArray(300, '\0') + "\r\n\r\n",
    };
    for (const QByteArray &bytes : garbage) {
        SCOPED_TRACE(bytes.left(30).toStdString());
        QSslSocket socket;
        socket.setSslConfiguration(client->tls());
        socket.connectToHostEncrypted(QStringLiteral("127.0.0.1"), sim.port());
        ASSERT_TRUE(socket.waitForEncrypted(10000));
        socket.write(bytes);
        QByteArray answer;
        kltest::waitUntil([&] {
            socket.waitForReadyRead(20);
            answer += socket.readAll();
            return socket.state() == QAbstractSocket::UnconnectedState || answer.contains("}");
        });
        EXPECT_TRUE(answer.startsWith("HTTP/1.1 4") || answer.startsWith("HTTP/1.1 5")) << answer.toStdString();
        EXPECT_TRUE(answer.contains("Connection: close"));
    }
    // A client that hangs up mid-body leaves nothing behind that blocks others.
    {
        QSslSocket socket;
        socket.setSslConfiguration(client->tls());
        socket.connectToHostEncrypted(QStringLiteral("127.0.0.1"), sim.port());
        ASSERT_TRUE(socket.waitForEncrypted(10000));
        socket.write("POST /conference/api/findMember HTTP/1.1\r\nContent-Length: 100\r\n\r\nkeyword=");
        socket.waitForBytesWritten(1000);
        socket.abort();
    }
    EXPECT_EQ(client->send("GET", QStringLiteral("/no/such/route")).status, 404);
    EXPECT_EQ(client->send("GET", kConfig).status, 405);
    EXPECT_EQ(client->send("POST", QStringLiteral("/conference/api/noSuchOperation")).status, 404);
}

TEST_F(SimControl, RoutesAnswerTheJoinSequenceFromTheScenario)
{
    const QJsonObject scenario = sim.scenario();
    const QJsonObject meeting = scenario.value("meetings").toArray().at(0).toObject();
    const QString uuid = meeting.value("meetingUUID").toString();

    HttpResult info = signedCall(QStringLiteral("/conference/api/meetingInfo"),
                                 {{QStringLiteral("meetingId"), uuid},
                                  {QStringLiteral("clientUuid"), QStringLiteral("02:00:00:aa:bb:cc")},
                                  {QStringLiteral("meetingClientType"), QStringLiteral("pc_mac")}});
    ASSERT_TRUE(info.json().value("success").toBool()) << info.body.toStdString();
    const QJsonObject content = info.json().value("content").toObject();
    EXPECT_EQ(content.value("roomid").toString(), QStringLiteral("880012345"));
    EXPECT_EQ(content.value("memberInfo").toObject().value("empId").toString(), QStringLiteral("E10001"));
    EXPECT_EQ(content.value("rtcserverWsUrl").toString(),
              QStringLiteral("wss://127.0.0.1:%1/kelvo-media/signaling").arg(sim.port()));
    EXPECT_FALSE(content.value("iceServers").toArray().isEmpty());

    // Missing own parameter, unknown meeting.
    info = signedCall(QStringLiteral("/conference/api/meetingInfo"), {{QStringLiteral("meetingId"), uuid}});
    EXPECT_EQ(info.json().value("errorCode").toString(), QStringLiteral("11001"));
    EXPECT_TRUE(info.json().value("errorMsg").toString().contains(QLatin1String("clientUuid")));
    info = signedCall(QStringLiteral("/conference/api/meetingInfo"),
                      {{QStringLiteral("meetingId"), QStringLiteral("no-such-meeting")},
                       {QStringLiteral("clientUuid"), QString()},
                       {QStringLiteral("meetingClientType"), QStringLiteral("pc_mac")}});
    EXPECT_EQ(info.json().value("errorCode").toString(), QStringLiteral("11002"));

    // Mute changes the state that the appointment detail reports.
    const HttpResult mute = signedCall(QStringLiteral("/conference/api/muteMeetingMember"),
                                       {{QStringLiteral("appointment_id"), QStringLiteral("880012345")},
                                        {QStringLiteral("member_uuid"), QStringLiteral("8C1D4E2F-6B3A-4D59-9F70-2A1B3C4D5E02")},
                                        {QStringLiteral("member_id"), QStringLiteral("700002")},
                                        {QStringLiteral("status"), QStringLiteral("true")},
                                        {QStringLiteral("type"), QString()}});
    ASSERT_TRUE(mute.json().value("success").toBool()) << mute.body.toStdString();
    const HttpResult detail = signedCall(QStringLiteral("/conference/api/v2/detailAppointment"),
                                         {{QStringLiteral("appointmentId"), QStringLiteral("880012345")},
                                          {QStringLiteral("checkMemberState"), QStringLiteral("0")},
                                          {QStringLiteral("language"), QStringLiteral("0")}});
    const QJsonObject appointment = detail.json().value("content").toObject();
    EXPECT_EQ(appointment.value("masterEmpId").toString(), QStringLiteral("E10002"));
    EXPECT_EQ(appointment.value("roomList").toArray().size(), 2);
    EXPECT_EQ(appointment.value("memberList").toArray().at(1).toObject().value("callState").toObject().value("mute").toInt(), 1);

    const HttpResult rooms = signedCall(QStringLiteral("/conference/api/getRoomsStatus"),
                                        {{QStringLiteral("appointmentId"), QStringLiteral("880012345")},
                                         {QStringLiteral("roomIds"), QStringLiteral("R-SH-3F-02,R-SH-5F-01")}});
    const QJsonArray statuses = rooms.json().value("content").toArray();
    ASSERT_EQ(statuses.size(), 2);
    EXPECT_EQ(statuses.at(0).toObject().value("status").toString(), QStringLiteral("inothermeeting"));
    EXPECT_EQ(statuses.at(1).toObject().value("status").toString(), QStringLiteral("share"));

    const HttpResult jump = signedCall(QStringLiteral("/webvc/savePcJumpStatus"),
                                       {{QStringLiteral("uuid"), uuid},
                                        {QStringLiteral("random"), QStringLiteral("42")},
                                        {QStringLiteral("clienttype"), QStringLiteral("tandu")}});
    EXPECT_EQ(jump.json().value("data").toObject().value("random").toString(), QStringLiteral("42"));
}
