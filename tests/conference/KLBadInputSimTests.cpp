// What a broken or hostile signalling server may send into a joined meeting: frames too large,
// nested too deep or garbled, and a flood of pushes. Each is logged, none costs the meeting its
// connection for good or its members' state, and memory stays bounded.

#include "ConferenceTestSupport.h"

#include "MeetingSim.h"

#include "conference/registry/KLFeedClient.h"
#include "conference/service/KLConferenceService.h"
#include "media/KLRTCMediaSDK.h"
#include "model/KLCallState.h"
#include "model/KLParticipant.h"

#include "KLTestSupport.h"

#include <KelvoUISDK/KLSDKLogger.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>

namespace {

const QString kHost = QStringLiteral("8C1D4E2F-6B3A-4D59-9F70-2A1B3C4D5E02");
const QString kSecond = QStringLiteral("D4E5F6A7-1B2C-4D3E-8F90-3B4C5D6E7F03");

/// Counts log lines by content without keeping them (a flood writes tens of thousands).
class CountingPrinter final : public KLSDKLoggerProtocol {
public:
    void info(const QString &, const QString &msg) override { note(msg); }
    void debug(const QString &, const QString &msg) override { note(msg); }
    void warn(const QString &, const QString &msg) override { note(msg); }
    void error(const QString &, const QString &msg) override { note(msg); }
    void action(const QString &, const QVariant &, const QVariant &) override {}
    void event(const QString &, const QVariant &, const QVariant &) override {}
    void error(const QString &, const QVariant &, const QVariant &) override {}

    std::atomic<int> received{0}, unreadable{0}, closes{0};

private:
    void note(const QString &msg)
    {
        if (msg.contains(QLatin1String("recvMessage: (null)")))
            ++unreadable;
        else if (msg.contains(QLatin1String("recvMessage: ")))
            ++received;
        else if (msg.contains(QLatin1String("websocket closed with code")))
            ++closes;
    }
};

/// Resident memory of this process in KiB.
qint64 residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    return 0;
}

class BadInputSim : public ConferenceSimFixture {
protected:
    void SetUp() override
    {
        ConferenceSimFixture::SetUp();
        sim->setRegisterMode(kelvosim::MeetingSim::RegisterMode::Accept);
        KLRTCMediaSDK::install(nullptr); // the built-in engine
        KLSDKLogger::setLoggerPrinter(printer);
        join(true);
        // The whole member list, rooms included, is in before a test starts: a list still arriving while a test
        // floods the channel would read as members appearing out of nowhere.
        QStringList expected{kHost, kSecond};
        for (const QJsonValue &room : meeting.value("rooms").toArray())
            expected << room["memberUUID"].toString();
        ASSERT_TRUE(kltest::waitUntil([this, &expected] {
            const QStringList ids = memberIds();
            return service->publisher()
                && std::all_of(expected.begin(), expected.end(), [&](const QString &id) { return ids.contains(id); });
        }, 20000)) << memberIds().join(' ').toStdString();
    }
    QStringList memberIds() const
    {
        QStringList ids;
        for (const auto &feed : service->memberList())
            ids << feed->uuid();
        return ids;
    }
    void TearDown() override
    {
        ConferenceSimFixture::TearDown();
        KLSDKLogger::setLoggerPrinter(nullptr);
    }
    qint64 muteOf(const QString &member) const
    {
        const auto feed = service->clientWithUUID(member);
        return feed && feed->participant() ? feed->participant()->callState()->mute.load() : -1;
    }
    /// A push that mutes (3) or unmutes (4) `member`, padded to `padding` bytes.
    static QByteArray mutePush(int event, const QString &member, int padding = 0)
    {
        const QJsonObject body{{"eventId", event}, {"memberUUID", member},
                               {"callState", QJsonObject{{"online", 1}, {"mute", event == 3 ? 1 : 0}}},
                               {"pad", QString(padding, QLatin1Char('x'))}};
        return QJsonDocument(QJsonObject{{"data", QJsonObject{{"type", "event"}, {"body", body}}}})
            .toJson(QJsonDocument::Compact);
    }

    std::shared_ptr<CountingPrinter> printer = std::make_shared<CountingPrinter>();
};

TEST_F(BadInputSim, OversizedDeepAndGarbledFramesAreLoggedAndTheChannelCarriesOn)
{
    const int connections = sim->signallingConnections();
    const int depth = 10000;
    sim->pushFrame(QByteArray(depth, '[') + QByteArray(depth, ']'));
    sim->pushFrame(QByteArray(depth / 2, '{').replace("{", "{\"a\":") + "1" + QByteArray(depth / 2, '}'));
    // Bytes that are no UTF-8 reach the client as replacement characters inside a valid push.
    sim->pushFrame("{\"data\":{\"type\":\"event\",\"body\":{\"eventId\":3,\"memberUUID\":\"\xff\xfe\"}}}");
    ASSERT_TRUE(kltest::waitUntil([this] { kltest::drainLogger(); return printer->unreadable == 2; }, 10000));
    EXPECT_EQ(sim->signallingConnections(), connections) << "an unreadable frame is no reason to reconnect";
    EXPECT_EQ(printer->closes, 0);

    // A frame above the transport's limit closes the connection (1009, though Qt may report the
    // rest of the frame as a protocol error); a new one registers and the pushes after it are
    // read again.
    sim->pushFrame(mutePush(3, kHost, 5 * 1024 * 1024));
    ASSERT_TRUE(kltest::waitUntil([&] { return sim->signallingConnections() == connections + 1; }, 10000));
    kltest::drainLogger();
    EXPECT_GE(printer->closes.load(), 1);
    ASSERT_TRUE(kltest::waitUntil([this] { return muteOf(kHost) == 0; }, 10000)) << "the oversized push was not applied";
    ASSERT_TRUE(kltest::waitUntil([this] {
        sim->pushFrame(mutePush(3, kHost));
        return muteOf(kHost) == 1;
    }, 10000));
}

TEST_F(BadInputSim, AFloodOfPushesIsReadInOrderWithBoundedMemory)
{
    const QStringList membersBefore = memberIds();
    const qint64 before = residentKiB();
    const int pushes = 20000;
    const int receivedBefore = printer->received;
    // Mute and unmute alternate; the last one mutes. A member going offline marks the end.
    for (int i = 0; i < pushes; ++i)
        sim->pushFrame(mutePush(i % 2 ? 3 : 4, kHost));
    sim->pushEvent(2, kSecond);
    ASSERT_TRUE(kltest::waitUntil([this] { return !service->clientWithUUID(kSecond)->isOnline(); }, 60000));
    kltest::drainLogger();
    EXPECT_EQ(printer->received - receivedBefore, pushes + 1) << "every push was read once";
    EXPECT_EQ(muteOf(kHost), 1);
    EXPECT_EQ(memberIds(), membersBefore);
#if !defined(__SANITIZE_ADDRESS__)
    // About 4 MB of pushes went through; the meeting may keep none of them. (Under the address
    // sanitizer freed memory stays quarantined, so there the figure means nothing.)
    EXPECT_LT(residentKiB() - before, 64 * 1024);
#else
    (void)before;
#endif
}

} // namespace
