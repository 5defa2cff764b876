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

using K = Fault::Kind;

class SimControl : public SimTest
{
protected:

    HttpResult signedCall(const QString &path, Pairs own)
    {
        own += commonParameters(kAccessToken);
        return client->signedPost(path, formBody(own), flatParameterText(own));
    }

};

} // namespace

TEST_F(SimControl, FaultsReplaceOrWithholdTheAnswerAndStoppingEndsHeldOnes)
{
    Fault once = Fault::of(K::ErrorCode, "91212", "not allowed");
    once.times = 1;
    sim.setFault(kConfig, once);
    HttpResult result = client->send("POST", kConfig);
    EXPECT_EQ(result.json().value("errorCode").toString(), QStringLiteral("91212"));
    EXPECT_EQ(result.json().value("errorMsg").toString(), QStringLiteral("not allowed"));
    // Used up after one request: the next one meets the ordinary checks again.
    EXPECT_EQ(client->send("POST", kConfig).json().value("errorCode").toString(), QStringLiteral("401"));

    sim.setFault(kConfig, Fault::of(K::ErrorList, QStringLiteral("-20"), QStringLiteral("room busy")));
    result = client->send("POST", kConfig);
    EXPECT_FALSE(result.json().contains("errorCode"));
    EXPECT_EQ(result.json().value("errorList").toArray().at(0).toObject().value("code").toString(), QStringLiteral("-20"));

    Fault status = Fault::of(K::HttpStatus);
    status.httpStatus = 503;
    sim.setFault(kConfig, status);
    EXPECT_EQ(client->send("POST", kConfig).status, 503);

    sim.setFault(kConfig, Fault::of(K::NotJson));
    result = client->send("POST", kConfig);
    EXPECT_TRUE(result.contentType.startsWith("text/html"));
    EXPECT_EQ(result.body, QByteArray("<html>not json</html>"));

    sim.setFault(kConfig, Fault::of(K::Close));
    result = client->send("POST", kConfig);
    ASSERT_TRUE(result.finished);
    EXPECT_NE(result.error, QNetworkReply::NoError);
    EXPECT_EQ(result.status, 0);

    Fault delay = Fault::of(K::Delay);
    delay.delayMs = 50;
    sim.setFault(kConfig, delay);
    EXPECT_EQ(client->send("POST", kConfig).json().value("errorCode").toString(), QStringLiteral("401"));

    sim.clearFaults();
    sim.setFault(kConfig, Fault::of(K::Hold));
    QNetworkReply *held = client->start("POST", kConfig);
    ASSERT_TRUE(kltest::waitUntil([&] { return !sim.requests(kConfig).isEmpty() && sim.requests(kConfig).last().method == "POST"; }));
    kltest::pumpEvents(100);
    EXPECT_FALSE(held->isFinished());
    sim.releaseHeld(QStringLiteral("/other/path")); // releases nothing of ours
    sim.releaseHeld(kConfig);
    EXPECT_EQ(SimClient::wait(held).json().value("errorCode").toString(), QStringLiteral("401"));

    // Stopping with answers still held ends their connections.
    const qsizetype before = sim.requests(kConfig).size();
    QNetworkReply *first = client->start("POST", kConfig);
    QNetworkReply *second = client->start("POST", kConfig);
    ASSERT_TRUE(kltest::waitUntil([&] { return sim.requests(kConfig).size() >= before + 2; }));
    sim.stop();
    for (QNetworkReply *reply : {first, second}) {
        const HttpResult ended = SimClient::wait(reply);
        EXPECT_TRUE(ended.finished);
        EXPECT_NE(ended.error, QNetworkReply::NoError);
    }
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
    const auto connected = [&](QSslSocket &socket) {
        socket.setSslConfiguration(client->tls());
        socket.connectToHostEncrypted(QStringLiteral("127.0.0.1"), sim.port());
        return socket.waitForEncrypted(10000);
    };
    for (const QByteArray &bytes : garbage) {
        SCOPED_TRACE(bytes.left(30).toStdString());
        QSslSocket socket;
        ASSERT_TRUE(connected(socket));
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
    QSslSocket quitter;
    ASSERT_TRUE(connected(quitter));
    quitter.write("POST /conference/api/findMember HTTP/1.1\r\nContent-Length: 100\r\n\r\nkeyword=");
    quitter.waitForBytesWritten(1000);
    quitter.abort();
    EXPECT_EQ(client->send("GET", QStringLiteral("/no/such/route")).status, 404);
    EXPECT_EQ(client->send("GET", kConfig).status, 405);
    EXPECT_EQ(client->send("POST", QStringLiteral("/conference/api/noSuchOperation")).status, 404);
}

TEST_F(SimControl, RoutesAnswerTheJoinSequenceFromTheScenario)
{
    const QString uuid = sim.scenario().value("meetings").toArray().at(0).toObject().value("meetingUUID").toString();
    const QString infoPath = "/conference/api/meetingInfo";
    HttpResult info = signedCall(infoPath, {{"meetingId", uuid}, {"clientUuid", "02:00:00:aa:bb:cc"}, {"meetingClientType", "pc_mac"}});
    ASSERT_TRUE(info.json().value("success").toBool()) << info.body.toStdString();
    const QJsonObject content = info.json().value("content").toObject();
    EXPECT_EQ(content.value("roomid").toString(), QStringLiteral("880012345"));
    EXPECT_EQ(content.value("rtcserverWsUrl").toString(),
              QStringLiteral("wss://127.0.0.1:%1/kelvo-media/signaling").arg(sim.port()));

    // Missing own parameter, unknown meeting.
    info = signedCall(infoPath, {{"meetingId", uuid}});
    EXPECT_EQ(info.json().value("errorCode").toString(), QStringLiteral("11001"));
    EXPECT_TRUE(info.json().value("errorMsg").toString().contains(QLatin1String("clientUuid")));
    info = signedCall(infoPath, {{"meetingId", "no-such-meeting"}, {"clientUuid", ""}, {"meetingClientType", "pc_mac"}});
    EXPECT_EQ(info.json().value("errorCode").toString(), QStringLiteral("11002"));

    // Mute changes the state that the appointment detail reports.
    const HttpResult mute = signedCall("/conference/api/muteMeetingMember",
                                       {{"appointment_id", "880012345"}, {"member_uuid", "8C1D4E2F-6B3A-4D59-9F70-2A1B3C4D5E02"},
                                        {"member_id", "700002"}, {"status", "true"}, {"type", ""}});
    ASSERT_TRUE(mute.json().value("success").toBool()) << mute.body.toStdString();
    const QJsonObject appointment = signedCall("/conference/api/v2/detailAppointment",
                                               {{"appointmentId", "880012345"}, {"checkMemberState", "0"}, {"language", "0"}})
                                        .json().value("content").toObject();
    EXPECT_EQ(appointment.value("masterEmpId").toString(), QStringLiteral("E10002"));
    EXPECT_EQ(appointment.value("memberList").toArray().at(1).toObject().value("callState").toObject().value("mute").toInt(), 1);

    const QJsonArray statuses = signedCall("/conference/api/getRoomsStatus",
                                           {{"appointmentId", "880012345"}, {"roomIds", "R-SH-3F-02,R-SH-5F-01"}})
                                    .json().value("content").toArray();
    ASSERT_EQ(statuses.size(), 2);
    EXPECT_EQ(statuses.at(0).toObject().value("status").toString(), QStringLiteral("inothermeeting"));
    EXPECT_EQ(statuses.at(1).toObject().value("status").toString(), QStringLiteral("share"));

    const HttpResult jump = signedCall("/webvc/savePcJumpStatus", {{"uuid", uuid}, {"random", "42"}, {"clienttype", "tandu"}});
    EXPECT_EQ(jump.json().value("data").toObject().value("random").toString(), QStringLiteral("42"));
}
