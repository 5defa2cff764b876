// A joined meeting whose media path is disturbed, against the simulator with the built-in
// engine: the media connection lost and won back (alone or with the signal channel), remote
// streams withdrawn by the server or leaving with their member, and the name the media server
// is given for the user.

#include "ConferenceTestSupport.h"

#include "MeetingSim.h"

#include "conference/service/KLConferenceService.h"
#include "conference/registry/KLFeedClient.h"
#include "conference/registry/KLParticipantRegistry.h"
#include "media/KLRTCMediaSDK.h"
#include "media/builtin/KLBuiltinMediaSDK.h"
#include "presentation/KLToastManager.h"
#include "runtime/KLTimeScale.h"

#include "KLTestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QJsonArray>
#include <QThread>

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>

namespace {

const QString kSelf = QStringLiteral("3B7E1C52-9A4D-4F0B-8E21-6C5D2F9A1B01");
const QString kSelfName = QStringLiteral("林晓");
const QString kHost = QStringLiteral("8C1D4E2F-6B3A-4D59-9F70-2A1B3C4D5E02");
const QString kExternal = QStringLiteral("E7F8A9B0-2C3D-4E5F-9A01-4C5D6E7F8A04"); // offline in the scenario

class MediaRecoverySim : public ConferenceSimFixture {
protected:
    static void TearDownTestSuite()
    {
        ConferenceSimFixture::TearDownTestSuite();
        if (!s_certDirLeft.isEmpty())
            QDir(s_certDirLeft).removeRecursively();
    }
    static bool copyFiles(const QString &from, const QString &to)
    {
        if (!QDir().mkpath(to))
            return false;
        for (const QString &name : QDir(from).entryList(QDir::Files)) {
            QFile::remove(to + '/' + name);
            if (!QFile::copy(from + '/' + name, to + '/' + name))
                return false;
        }
        return true;
    }

    void SetUp() override
    {
        ConferenceSimFixture::SetUp();
        KLRTCMediaSDK::install(nullptr); // the built-in engine
        KLToastManager::shared().closePermanentMessage(KLPermanentToastKind::NetworkLost);
    }
    void TearDown() override
    {
        KLTimeScale::setFactor(1.0);
        ConferenceSimFixture::TearDown();
    }

    /// Frames of `type` a media connection (all when -1) sent about `streamId`.
    static QList<QJsonObject> mediaFrames(const QString &type, const QString &streamId = {}, int connection = -1)
    {
        QList<QJsonObject> found;
        for (const auto &frame : sim->mediaFrames(connection))
            if (frame.message.value("type").toString() == type
                && (streamId.isEmpty() || frame.message.value("streamId").toString() == streamId))
                found.append(frame.message);
        return found;
    }
    void joinAndEnter()
    {
        join(false);
        ASSERT_TRUE(kltest::waitUntil([this] { return layout->entered() == 1; }, 20000));
    }
    /// A certificate folder the restarted simulator keeps (the first one's went with it).
    static inline QString s_certDirLeft;
    int permanentNotice() const { return KLToastManager::shared().currentPermanentMessageType(); }
    /// Nothing told the host or the user that the meeting failed.
    void expectStillInTheMeeting() const
    {
        EXPECT_TRUE(service->enterRoomSuccess());
        EXPECT_EQ(delegate->joined(), 1);
        EXPECT_TRUE(delegate->errors().empty());
        EXPECT_TRUE(layout->leaveReasons().empty());
        EXPECT_EQ(layout->refreshes(), 0);
        EXPECT_TRUE(dialogs->titles.isEmpty()) << dialogs->titles.join(", ").toStdString();
        EXPECT_EQ(service->mediaConnectionCount(), 1); // won back, not re-entered
    }
};

TEST_F(MediaRecoverySim, AMediaConnectionLostAfterTheJoinComesBackWithItsStreams)
{
    struct Loss {
        const char *name;
        std::function<void()> cause;
    };
    const Loss losses[] = {
        {"the server closed it", [] { sim->closeMedia(1000); }},
        {"it dropped", [] { sim->closeMedia(1006); }},
        {"a frame too large closed it (1009)", [] { sim->pushMediaFrame(QByteArray(5 * 1024 * 1024, 'x')); }},
    };
    joinAndEnter();
    ASSERT_TRUE(kltest::waitUntil([] { return mediaFrames("subscribe", kHost).size() == 1; }, 10000));

    int round = 1;
    for (const Loss &loss : losses) {
        SCOPED_TRACE(loss.name);
        const int connections = sim->mediaConnections();
        QElapsedTimer clock;
        clock.start();
        loss.cause();
        ++round;
        ASSERT_TRUE(kltest::waitUntil([&] { return layout->entered() == round; }, 15000));
        std::printf("[ measured ] media path up again %lld ms after %s\n", static_cast<long long>(clock.elapsed()),
                    loss.name);
        const int fresh = sim->mediaConnections();
        EXPECT_EQ(fresh, connections + 1);
        // The new connection registered, restarted ICE, published the camera and subscribed
        // the member's stream again.
        EXPECT_EQ(mediaFrames("register", {}, fresh).size(), 1);
        EXPECT_EQ(mediaFrames("publish", kSelf, fresh).size(), 1);
        EXPECT_TRUE(kltest::waitUntil([&] { return mediaFrames("iceRestart", {}, fresh).size() == 1; }));
        EXPECT_TRUE(kltest::waitUntil([&] { return mediaFrames("subscribe", kHost, fresh).size() == 1; }));
        EXPECT_TRUE(kltest::waitUntil([&] { return service->clientWithUUID(kHost)->mediaStream() != nullptr; }));
        expectStillInTheMeeting();
        EXPECT_EQ(permanentNotice(), KLPermanentToastKind::None);
    }
}

TEST_F(MediaRecoverySim, TheMeetingServiceDownForAWhileShowsTheNetworkNoticeUntilBothChannelsAreBack)
{
    joinAndEnter();
    // Tenfold faster from here: the signal channel counts as closed after 0.5 s down.
    KLTimeScale::setFactor(0.1);
    const quint16 port = sim->port();
    const QString certDir = sim->certDir();
    QElapsedTimer down;
    down.start();
    sim->stop();
    ASSERT_TRUE(kltest::waitUntil([this] { return permanentNotice() == KLPermanentToastKind::NetworkLost; }, 10000));
    std::printf("[ measured ] network notice %lld ms after the service went\n", static_cast<long long>(down.elapsed()));
    kltest::pumpEvents(300);
    EXPECT_EQ(permanentNotice(), KLPermanentToastKind::NetworkLost);
    EXPECT_EQ(layout->entered(), 1);
    // Real time again while the service is away: at a tenth, a slow restart of the simulator
    // on a loaded machine would outlast the media connection's twenty attempts and rightly
    // tell the host that the media could not be restored.
    KLTimeScale::setFactor(1.0);

    // The service returns at the same address with the same certificates.
    QTemporaryDir saved;
    ASSERT_TRUE(copyFiles(certDir, saved.path()));
    delete sim;
    ASSERT_TRUE(copyFiles(saved.path(), certDir));
    s_certDirLeft = certDir;
    kelvosim::MeetingSimOptions options;
    options.port = port;
    options.certDir = certDir;
    sim = new kelvosim::MeetingSim(options);
    QString error;
    ASSERT_TRUE(sim->start(&error)) << error.toStdString();
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(kltest::waitUntil([this] { return layout->entered() == 2; }, 15000));
    std::printf("[ measured ] media path up %lld ms after the meeting service came back\n",
                static_cast<long long>(clock.elapsed()));
    EXPECT_TRUE(kltest::waitUntil([this] { return permanentNotice() == KLPermanentToastKind::None; }));
    EXPECT_EQ(sim->openSignallingConnections(), 1);
    expectStillInTheMeeting();
}

TEST_F(MediaRecoverySim, RemovedRemoteStreamsAreUnsubscribedAndTheirFeedsLetGo)
{
    joinAndEnter();
    ASSERT_TRUE(kltest::waitUntil([this] {
        const auto host = service->clientWithUUID(kHost);
        return host && host->mediaStream();
    }, 10000));
    const auto host = service->clientWithUUID(kHost);
    KLParticipantRegistry &registry = service->registry();

    // The host's share arrives and takes the main view; the server withdraws it.
    const QString shareId = QStringLiteral("screen-") + kHost;
    sim->addRemoteStream(shareId, QString::fromLatin1(QStringLiteral("周明").toUtf8().toBase64()), true);
    ASSERT_TRUE(kltest::waitUntil([&] { return registry.remoteShareScreenFeed() != nullptr; }, 10000));
    const auto share = registry.remoteShareScreenFeed();
    EXPECT_EQ(share->uuid(), shareId);
    EXPECT_EQ(registry.lockedFeed(), share);
    EXPECT_EQ(host->associcateShareFeed(), share);
    sim->removeRemoteStream(shareId);
    ASSERT_TRUE(kltest::waitUntil([&] { return mediaFrames("unsubscribe", shareId).size() == 1; }, 10000));
    ASSERT_TRUE(kltest::waitUntil([&] { return registry.remoteShareScreenFeed() == nullptr; }));
    EXPECT_EQ(service->clientWithUUID(shareId), nullptr);
    EXPECT_EQ(host->associcateShareFeed(), nullptr);
    EXPECT_EQ(registry.lockedFeed(), nullptr);
    EXPECT_EQ(share->mediaStream(), nullptr);

    // The host's camera withdrawn: unsubscribed, the member stays without media.
    sim->removeRemoteStream(kHost);
    ASSERT_TRUE(kltest::waitUntil([&] { return mediaFrames("unsubscribe", kHost).size() == 1; }, 10000));
    ASSERT_TRUE(kltest::waitUntil([&] { return host->mediaStream() == nullptr; }));
    EXPECT_EQ(service->clientWithUUID(kHost), host);

    // A member whose own client joins the media server and leaves again.
    auto peerEngine = std::make_shared<KLBuiltinMediaSDK>();
    const QJsonObject info = meeting.value("meetingInfo").toObject();
    const QJsonObject peerParam{
        {"rtcWsRegInfo", QJsonObject{{"signalingServer", info.value("rtcserverWsUrl")},
                                     {"regInfo", QJsonObject{{"appointmentId", info.value("roomid")},
                                                             {"memberUuid", kExternal}}}}},
        {"bizInfo", QJsonObject{{"display", "Alex Morgan"}}},
        {"caFile", sim->caFile()}};
    auto peer = peerEngine->createConnection(peerParam, 1, 0, true, false, {});
    peer->connect();
    auto camera = peerEngine->createStream({{"audio", true}, {"video", true}}, {});
    camera->initStream();
    peer->publishStream(camera);
    ASSERT_TRUE(kltest::waitUntil([&] { return mediaFrames("subscribe", kExternal).size() == 1; }, 10000));
    ASSERT_TRUE(kltest::waitUntil([&] {
        const auto alex = service->clientWithUUID(kExternal);
        return alex && alex->mediaStream();
    }));
    peer->disconnect();
    ASSERT_TRUE(kltest::waitUntil([&] { return mediaFrames("unsubscribe", kExternal).size() == 1; }, 10000));
    EXPECT_TRUE(kltest::waitUntil([&] { return service->clientWithUUID(kExternal)->mediaStream() == nullptr; }));
    expectStillInTheMeeting();

    sim->addRemoteStream(kHost, QStringLiteral("周明"), false); // the suite's later tests see the host again
}

TEST_F(MediaRecoverySim, TheMediaServerIsToldTheUsersDisplayNameNotTheUuid)
{
    joinAndEnter();
    const int connection = sim->mediaConnections(); // this meeting's
    const QList<QJsonObject> registers = mediaFrames("register", {}, connection);
    ASSERT_EQ(registers.size(), 1);
    EXPECT_EQ(registers[0].value("displayName").toString(), kSelfName);
    EXPECT_EQ(registers[0].value("regInfo")["memberUuid"].toString(), kSelf);
    ASSERT_EQ(mediaFrames("publish", kSelf, connection).size(), 1);
    EXPECT_EQ(mediaFrames("publish", kSelf, connection)[0].value("display").toString(), kSelfName);

    service->desktopShare();
    const QString shareId = QStringLiteral("screen-") + kSelf;
    ASSERT_TRUE(kltest::waitUntil([&] { return mediaFrames("publish", shareId, connection).size() == 1; }, 10000));
    const QString shareDisplay = mediaFrames("publish", shareId, connection)[0].value("display").toString();
    EXPECT_EQ(QString::fromUtf8(QByteArray::fromBase64(shareDisplay.toLatin1())), kSelfName);
    service->stopShare();
}

} // namespace
