// The simulator's TLS identity and its executable.

#include "SimTestClient.h"

#include "KLTestSupport.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSslSocket>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using kelvosim::MeetingSim;

namespace {

// Handshake outcome for a client with `config` that expects the name `peerName`: verified,
// or refused with the reasons reported.
bool handshake(quint16 port, const QSslConfiguration &config, const QString &peerName)
{
    QSslSocket socket;
    socket.setSslConfiguration(config);
    socket.connectToHostEncrypted(QStringLiteral("127.0.0.1"), port, peerName);
    const bool ok = socket.waitForEncrypted(10000);
    EXPECT_EQ(ok, socket.sslHandshakeErrors().isEmpty()) << peerName.toStdString();
    return ok;
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

TEST(SimTls, CertificateVerifiesForLoopbackNamesOnlyWithTheSimulatorCa)
{
    QTemporaryDir certs;
    MeetingSim sim({{}, certs.path(), 0});
    QString error;
    ASSERT_TRUE(sim.start(&error)) << error.toStdString();
    EXPECT_EQ(sim.certDir(), QDir(certs.path()).absolutePath());
    EXPECT_EQ(sim.baseUrl(), QStringLiteral("https://127.0.0.1:%1").arg(sim.port()));

    const simtest::SimClient client(sim);
    EXPECT_TRUE(handshake(sim.port(), client.tls(), QStringLiteral("127.0.0.1")));
    EXPECT_TRUE(handshake(sim.port(), client.tls(), QStringLiteral("localhost")));

    EXPECT_FALSE(handshake(sim.port(), client.tls(), QStringLiteral("meet.example.com")));

    QSslConfiguration systemOnly = QSslConfiguration::defaultConfiguration();
    systemOnly.setPeerVerifyMode(QSslSocket::VerifyPeer);
    EXPECT_FALSE(handshake(sim.port(), systemOnly, QStringLiteral("127.0.0.1")));

    // A second simulator on the same folder keeps the CA that clients already trust.
    const QByteArray ca = readFile(sim.caFile());
    sim.stop();
    MeetingSim again({{}, certs.path(), 0});
    ASSERT_TRUE(again.start(&error)) << error.toStdString();
    EXPECT_EQ(readFile(again.caFile()), ca);
    EXPECT_TRUE(handshake(again.port(), simtest::SimClient(again).tls(), QStringLiteral("localhost")));
}

TEST(SimTls, ExecutableServesTheDefaultScenarioUntilTerminated)
{
    QTemporaryDir certs;
    QProcess process;
    process.start(QStringLiteral(KELVO_MEETING_SIM_EXE), {QStringLiteral("--cert-dir"), certs.path()});
    ASSERT_TRUE(process.waitForStarted(10000));
    QByteArray out;
    const QRegularExpression listening(QStringLiteral("kelvo-meeting-sim listening on https://127\\.0\\.0\\.1:(\\d+)\n"));
    const QRegularExpression caLine(QStringLiteral("CA file: (.+)\n"));
    const bool printed = kltest::waitUntil(
        [&] {
            out += process.readAllStandardOutput();
            return listening.match(QString::fromUtf8(out)).hasMatch() && caLine.match(QString::fromUtf8(out)).hasMatch();
        },
        15000);
    ASSERT_TRUE(printed) << out.toStdString() << process.readAllStandardError().toStdString();
    const quint16 port = static_cast<quint16>(listening.match(QString::fromUtf8(out)).captured(1).toUInt());
    const QString caFile = caLine.match(QString::fromUtf8(out)).captured(1);
    EXPECT_EQ(caFile, QDir(certs.path()).absoluteFilePath(QStringLiteral("ca.pem")));

    QSslConfiguration trust = QSslConfiguration::defaultConfiguration();
    trust.setCaCertificates(QSslCertificate::fromPath(caFile));
    QSslSocket socket;
    socket.setSslConfiguration(trust);
    socket.connectToHostEncrypted(QStringLiteral("127.0.0.1"), port);
    ASSERT_TRUE(socket.waitForEncrypted(10000));
    socket.write("POST /conference/api/getClientConfig HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 0\r\n\r\n");
    QByteArray answer;
    kltest::waitUntil([&] {
        socket.waitForReadyRead(50);
        answer += socket.readAll();
        return answer.contains("}");
    });
    // Reached the meeting API (unsigned, so refused by its checks).
    EXPECT_TRUE(answer.startsWith("HTTP/1.1 200")) << answer.toStdString();
    EXPECT_TRUE(answer.contains("\"errorCode\":\"401\"")) << answer.toStdString();
    socket.disconnectFromHost();

    process.terminate();
    ASSERT_TRUE(process.waitForFinished(10000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    EXPECT_TRUE(process.readAllStandardOutput().contains("stopped"));
}
