#include "KLRecordingPrinter.h"

#include "host/KLHostPipe.h"
#include "host/KLMessageMode.h"
#include "host/UserPersistentData.h"
#include "runtime/KLDispatchQueue.h"
#include "runtime/KLTimeScale.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalServer>
#include <QLocalSocket>
#include <QSettings>
#include <QThread>
#include <QtEndian>

#include <gtest/gtest.h>

#include <atomic>
#include <semaphore>

namespace {

/// The host's end: a real local server on the main thread that parses length-prefixed frames.
struct HostEnd {
    explicit HostEnd(const QString &name)
    {
        QObject::connect(&server, &QLocalServer::newConnection, &server, [this]() {
            while (QLocalSocket *client = server.nextPendingConnection()) {
                ++connections;
                QObject::connect(client, &QLocalSocket::readyRead, client, [this, client, buffer = QByteArray()]() mutable {
                    for (buffer += client->readAll(); buffer.size() >= 4;) {
                        const qsizetype length = qFromBigEndian<quint32>(buffer.constData());
                        if (buffer.size() < 4 + length)
                            break;
                        messages.push_back(buffer.mid(4, length));
                        buffer.remove(0, 4 + length);
                    }
                });
            }
        });
        QLocalServer::removeServer(name);
        EXPECT_TRUE(server.listen(name));
    }
    bool waitFor(size_t count) { return kltest::waitUntil([&]() { return messages.size() >= count; }); }

    QLocalServer server; // closes its connections when destroyed
    int connections = 0;
    std::vector<QByteArray> messages;
};

QByteArray message(int i)
{
    // Pretty-printed JSON with line feeds and non-ASCII text, as the real messages.
    return QJsonDocument(QJsonObject{{QStringLiteral("n"), i}, {QStringLiteral("t"), QStringLiteral("会议 ✓")}})
        .toJson(QJsonDocument::Indented);
}

class HostPipeTest : public ::testing::Test {
protected:
    void SetUp() override { KLTimeScale::setFactor(0.02); } // retries after 5 ms … 80 ms
    void TearDown() override { pipe.reset(); KLTimeScale::setFactor(1.0); kltest::RecordingPrinter::uninstall(); }
    void makePipe(int attempts, int backlog = 256)
    {
        const KLHostPipe::Options options{.maxBacklog = backlog, .maxConnectAttempts = attempts};
        pipe = std::make_unique<KLHostPipe>(queue, [this]() { return name; }, options);
    }
    void sendRange(int first, int end)
    {
        for (int i = first; i < end; ++i)
            pipe->send(message(i));
    }
    static void expectRange(const std::vector<QByteArray> &received, int first, int end)
    {
        ASSERT_EQ(received.size(), size_t(end - first));
        for (int i = first; i < end; ++i)
            EXPECT_EQ(received[i - first], message(i)) << i;
    }

    inline static int counter = 0;
    QString name = QStringLiteral("kelvo-pipe-test-%1-%2").arg(QCoreApplication::applicationPid()).arg(++counter);
    std::shared_ptr<kltest::RecordingPrinter> log = kltest::RecordingPrinter::install();
    KLDispatchQueue queue{QStringLiteral("hostpipe-test")};
    std::unique_ptr<KLHostPipe> pipe;
};

} // namespace

TEST_F(HostPipeTest, DeliversInOrderOverOneConnectionAndReconnectsWhenTheHostComesBack)
{
    auto host = std::make_unique<HostEnd>(name);
    makePipe(10);
    sendRange(0, 1000);
    ASSERT_TRUE(host->waitFor(1000));
    expectRange(host->messages, 0, 1000);
    EXPECT_EQ(host->connections, 1);
    ASSERT_TRUE(kltest::waitUntil([&]() { return pipe->deliveredCount() == 1000; }));

    host.reset();
    ASSERT_TRUE(kltest::waitUntil([&]() { return log->count("info", QStringLiteral("closed")) == 1; }));
    sendRange(1000, 1003);
    kltest::pumpEvents(100);
    host = std::make_unique<HostEnd>(name);
    ASSERT_TRUE(host->waitFor(3));
    expectRange(host->messages, 1000, 1003);
    EXPECT_TRUE(kltest::waitUntil([&]() { return pipe->deliveredCount() == 1003; }));
    EXPECT_EQ(pipe->droppedCount(), 0u);
}

TEST_F(HostPipeTest, HostAppearingLateReceivesTheBacklogInOrder)
{
    makePipe(200, 25);
    sendRange(0, 30); // the last 5 find the backlog full
    kltest::pumpEvents(300);
    EXPECT_EQ(pipe->deliveredCount(), 0u);
    EXPECT_EQ(pipe->droppedCount(), 5u);
    EXPECT_EQ(log->count("error", QStringLiteral("backlog of 25 messages is full")), 5);
    EXPECT_EQ(log->count("warn", QStringLiteral("not reachable yet")), 1);
    HostEnd host(name);
    ASSERT_TRUE(host.waitFor(25));
    kltest::pumpEvents(100);
    expectRange(host.messages, 0, 25);
    EXPECT_EQ(host.connections, 1);
}

TEST_F(HostPipeTest, AbsentHostDropsWithoutBlockingTheCaller)
{
    makePipe(4);
    // Hold the pipe's thread: sending must return while it is still held.
    std::binary_semaphore gate{0};
    std::atomic<bool> released{false};
    queue.async([&]() {
        (void)gate.try_acquire_for(std::chrono::seconds(5));
        released = true;
    });
    sendRange(0, 100);
    EXPECT_FALSE(released.load());
    gate.release();
    ASSERT_TRUE(kltest::waitUntil([&]() { return pipe->droppedCount() == 100; }));
    EXPECT_EQ(pipe->deliveredCount(), 0u);
    EXPECT_EQ(log->count("error", QStringLiteral("dropped 100 host message(s): host pipe")), 1);
    EXPECT_EQ(log->count("error", QStringLiteral("unreachable after 4 attempts")), 1);

    HostEnd host(name); // a later message starts a new round
    pipe->send(message(100));
    ASSERT_TRUE(host.waitFor(1));
    expectRange(host.messages, 100, 101);

    name.clear(); // no pipe name stored: nothing waits
    makePipe(4);
    sendRange(0, 2);
    ASSERT_TRUE(kltest::waitUntil([&]() { return pipe->droppedCount() == 2; }));
    EXPECT_EQ(log->count("error", QStringLiteral("no pipe name")), 2);
}

TEST_F(HostPipeTest, SharedMessageModeSendsThroughTheStoredPipe)
{
    QSettings().clear();
    ASSERT_TRUE(UserPersistentData::sharedInstance().writePipeName(name));
    HostEnd host(name);
    KLMessageMode::sharedInstance().actionLog(QStringLiteral("end-to-end"));
    const auto field = [&](size_t i, const char *key) { return QJsonDocument::fromJson(host.messages[i])[key]; };
    ASSERT_TRUE(kltest::waitUntil([&]() {
        return !host.messages.empty() && field(host.messages.size() - 1, "body")["btn"] == QStringLiteral("end-to-end");
    }));
    // The start message comes first when this test created the shared instance.
    EXPECT_LE(host.messages.size(), 2u);
    EXPECT_EQ(field(0, "path"), host.messages.size() == 2 ? QStringLiteral("/kelvo/started") : QStringLiteral("/kelvo/action"));
}
