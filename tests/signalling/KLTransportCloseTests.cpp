// How the signalling transport ends against the local meeting service: the close handshake is
// completed even when the owner lets go of the transport right after disconnecting, and the
// transport's queue stays counted as the meeting's until then.

#include "MeetingSim.h"

#include "runtime/KLDispatchQueue.h"
#include "runtime/KLTimeScale.h"
#include "runtime/KLWebSocketClose.h"
#include "signalling/KLConferenceChannelWebSocket.h"

#include "KLRecordingPrinter.h"
#include "KLTestSupport.h"

#include <QCryptographicHash>
#include <QTcpServer>
#include <QTcpSocket>

#include <gtest/gtest.h>

#include <atomic>

namespace {

class StateListener : public KLConferenceChannelDelegate {
public:
    void didChangeState(qint64 state) override { last = state; }
    void didReceiveAppMessage(const std::optional<QJsonObject> &) override {}
    std::atomic<qint64> last{-1};
};

TEST(KLTransportClose, FramesBeforeTheDisconnectAndA1000CloseReachTheServerWhenTheOwnerLetsGoAtOnce)
{
    kelvosim::MeetingSim sim;
    QString error;
    ASSERT_TRUE(sim.start(&error)) << error.toStdString();
    ASSERT_TRUE(kltest::waitUntil([] { return KLDispatchQueue::meetingQueuesAlive() == 0; }));
    const QString server = QStringLiteral("wss://127.0.0.1:%1/nimbrameeting/websocket/channelwithauth").arg(sim.port());

    // The owner's release races the queued close; a few rounds give the race its chances.
    constexpr int kRounds = 3;
    for (int round = 1; round <= kRounds; ++round) {
        SCOPED_TRACE(::testing::Message() << "round " << round);
        auto listener = std::make_shared<StateListener>();
        auto transport = KLConferenceChannelWebSocket::create({{"signalingServer", server}, {"caFile", sim.caFile()}},
                                                              listener, "Test");
        transport->connect();
        ASSERT_TRUE(kltest::waitUntil([&] { return listener->last.load() == KLConferenceChannelStateOpen; }));
        ASSERT_EQ(sim.signallingConnections(), round);

        transport->sendMessage({{"last", round}});
        transport->disconnect();
        transport.reset();
        // Whether the queue is still counted at this instant depends on how fast loopback
        // answers the close; the silent server below shows that it stays counted until then.

        ASSERT_TRUE(kltest::waitUntil([&] { return sim.signallingCloseCodes().contains(round); }));
        EXPECT_EQ(sim.signallingCloseCodes().value(round), 1000);
        const auto frames = sim.signallingFrames(round);
        ASSERT_FALSE(frames.isEmpty());
        EXPECT_EQ(frames.last().json.value("last").toInt(), round);
        EXPECT_TRUE(kltest::waitUntil([] { return KLDispatchQueue::meetingQueuesAlive() == 0; }));
    }
}

/// A WebSocket peer on loopback that accepts the upgrade, then reads everything and answers
/// nothing, not even a close frame: a server gone silent. Plain "ws": only the close matters.
class SilentPeer {
public:
    SilentPeer()
    {
        m_server.listen(QHostAddress::LocalHost);
        QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] {
            QTcpSocket *socket = m_server.nextPendingConnection();
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { read(socket); });
        });
    }
    QString url() const { return QStringLiteral("ws://127.0.0.1:%1/silent").arg(m_server.serverPort()); }
    /// Everything received after the upgrade.
    QByteArray received() const { return m_received; }

private:
    void read(QTcpSocket *socket)
    {
        if (m_upgraded) {
            m_received += socket->readAll();
            return;
        }
        m_request += socket->readAll();
        if (!m_request.contains("\r\n\r\n"))
            return;
        QByteArray key;
        for (const QByteArray &line : m_request.split('\n')) {
            if (line.toLower().startsWith("sec-websocket-key:"))
                key = line.mid(line.indexOf(':') + 1).trimmed();
        }
        const QByteArray accept =
            QCryptographicHash::hash(key + "258EAFA5-E914-47DA-95CA-C5AB0DC85B11", QCryptographicHash::Sha1).toBase64();
        socket->write("HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                      "Sec-WebSocket-Accept: " + accept + "\r\n\r\n");
        m_upgraded = true;
    }

    QTcpServer m_server;
    QByteArray m_request;
    QByteArray m_received;
    bool m_upgraded = false;
};

TEST(KLTransportClose, ACloseTheServerNeverAnswersEndsAfterTheLimitWithAWarning)
{
    SilentPeer peer;
    auto log = kltest::RecordingPrinter::install();
    ASSERT_TRUE(kltest::waitUntil([] { return KLDispatchQueue::meetingQueuesAlive() == 0; }));
    auto listener = std::make_shared<StateListener>();
    auto transport = KLConferenceChannelWebSocket::create({{"signalingServer", peer.url()}}, listener, "Test");
    transport->connect();
    ASSERT_TRUE(kltest::waitUntil([&] { return listener->last.load() == KLConferenceChannelStateOpen; }));

    KLTimeScale::setFactor(0.5); // the one-second limit in half a second
    transport->disconnect();
    transport.reset();
    // A masked close frame went out, and the connection stays up for the answer...
    ASSERT_TRUE(kltest::waitUntil([&] { return !peer.received().isEmpty(); }));
    EXPECT_EQ(quint8(peer.received().at(0)), 0x88);
    EXPECT_EQ(KLDispatchQueue::meetingQueuesAlive(), 1);
    // ...until the limit: then it is dropped with a warning and the queue let go.
    EXPECT_TRUE(kltest::waitUntil([] { return KLDispatchQueue::meetingQueuesAlive() == 0; }));
    EXPECT_EQ(log->count("warn", "was not answered within"), 1);
    KLTimeScale::setFactor(1.0);
    kltest::RecordingPrinter::uninstall();
}

} // namespace
