// A sender and a receiver started the way the window starts them, against the simulator with
// the fake media engine: each reaches the entry and reports its own status.

#include "KLMultiProjectorTestFakes.h"

#include "MeetingSim.h"

#include "conference/service/KLConferenceService.h"
#include "host/UserPersistentData.h"
#include "media/fake/KLFakeMediaSDK.h"
#include "model/KLSDKMeetingConfigInternal.h"
#include "multiprojector/KLMultiProjectorSession.h"
#include "platform/KLFakePlatform.h"
#include "presentation/KLToastManager.h"
#include "runtime/KLLocalization.h"

#include "KLTestSupport.h"

#include <gtest/gtest.h>

#include <QJsonArray>

namespace {

using namespace kltest;

class MultiProjectorJoin : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        sim = new kelvosim::MeetingSim();
        QString error;
        ASSERT_TRUE(sim->start(&error)) << error.toStdString();
        meeting = sim->scenario().value("meetings").toArray().first().toObject();
        UserPersistentData::sharedInstance().writeAccessToken(sim->scenario().value("accessToken").toString());
        UserPersistentData::sharedInstance().writeWorkId(QStringLiteral("E10001"));
    }
    static void TearDownTestSuite() { delete std::exchange(sim, nullptr); }
    void SetUp() override
    {
        KLLocalization::setLanguage(KLLocalization::Language::English);
        sim->clearRequests();
        KLPlatform::install(std::make_shared<KLFakePlatform>());
        KLToastManager::shared().setView(nullptr);
        engine = KLFakeMediaSDK::installNew();
        engine->fakeDeviceManager()->setDevices({{"mic-1", "Microphone", KLRTCMediaDeviceTypeMic},
                                                 {"spk-1", "Speaker", KLRTCMediaDeviceTypeSpeaker}});
    }
    void TearDown() override
    {
        if (session && session->service())
            session->service()->leave();
        session.reset();
        pumpEvents(50);
        KLRTCMediaSDK::install(nullptr);
        KLPlatform::install(nullptr);
    }

    /// Starts the session, lets ICE detection answer and brings the media path up.
    void joinAndEnter(const QString &clientMode)
    {
        const QString uuid = meeting.value("meetingUUID").toString();
        auto config = KLSDKMeetingConfigInternal::create(
            {{"meetingUUID", uuid},
             {"memberUUID", meeting.value("selfMemberUUID").toString()},
             {"meetingToken", meeting.value("meetingToken").toString()},
             {"meetingDomain", QStringLiteral("127.0.0.1:%1").arg(sim->port())},
             {"apiBaseUrl", sim->baseUrl()},
             {"itMonitorBaseUrl", sim->baseUrl()},
             {"caFile", sim->caFile()},
             {"vanInternal", true}});
        session = KLMultiProjectorSession::start({uuid, clientMode, true, QStringLiteral("P-2024"), config}, view,
                                                 {&host.mode, [this] { ++closes; }});
        ASSERT_TRUE(waitUntil([&] {
            if (auto detect = engine->lastTurnDetect(); detect && detect->isPending())
                detect->complete({}, {}, QStringLiteral("127.0.0.1"));
            return !engine->connections().empty();
        }, 15000));
        auto connection = engine->connections().front();
        connection->raiseEvent(KLRTCMediaEventConnected);
        ASSERT_TRUE(waitUntil([&] { return engine->lastStream() != nullptr; }));
        engine->lastStream()->raiseState(KLRTCMediaStreamStateReady);
        connection->raiseEvent(KLRTCMediaEventWebrtcUp);
        ASSERT_TRUE(waitUntil([&] { return view->contentShown == 1; }));
    }
    /// Whether the meeting service has been told `status` for the cast.
    static bool notified(const QString &status)
    {
        const auto requests = sim->requests("/conference/api/v2/notifyMultiScreen");
        return std::any_of(requests.begin(), requests.end(),
                           [&](const auto &request) { return request.form.value("status") == status; });
    }
    static bool askedForBusyRooms()
    {
        return !sim->requests("/conference/api/v2/getStartMultiScreenRoomStatus").isEmpty();
    }

    static inline kelvosim::MeetingSim *sim = nullptr;
    static inline QJsonObject meeting;
    std::shared_ptr<KLFakeMediaSDK> engine;
    std::shared_ptr<RecordingProjectorView> view = std::make_shared<RecordingProjectorView>();
    HostRecorder host;
    std::shared_ptr<KLMultiProjectorSession> session;
    int closes = 0;
};

TEST_F(MultiProjectorJoin, ASenderEntersInModeOneCastsAndAsksForBusyRooms)
{
    joinAndEnter(QStringLiteral("sender"));
    auto service = session->service();
    ASSERT_TRUE(service);
    EXPECT_EQ(service->conferenceMode(), 1);
    EXPECT_FALSE(service->multiProjectorReceive());
    EXPECT_EQ(service->projectId(), "P-2024");
    EXPECT_TRUE(service->openAudioFromJSForMultiProjector());
    EXPECT_TRUE(session->isSender());
    EXPECT_EQ(view->castViewStarted, 1);
    EXPECT_TRUE(waitUntil([&] { return notified("5"); }));
    EXPECT_TRUE(waitUntil(askedForBusyRooms));
    EXPECT_FALSE(service->isStopMultiScreenStage());
}

TEST_F(MultiProjectorJoin, AReceiverEntersWithoutAProjectAndReportsWatching)
{
    joinAndEnter(QStringLiteral("receiver"));
    auto service = session->service();
    ASSERT_TRUE(service);
    EXPECT_TRUE(service->multiProjectorReceive());
    EXPECT_TRUE(service->projectId().isEmpty());
    EXPECT_EQ(view->castViewStarted, 0);
    EXPECT_TRUE(waitUntil([&] { return notified("3"); }));
    EXPECT_FALSE(askedForBusyRooms());

    // Closing the viewer ends the watch with status 4 and quits at once.
    session->viewerClosePressed();
    EXPECT_TRUE(waitUntil([&] { return closes == 1; }, 10000));
    EXPECT_TRUE(notified("4"));
}

} // namespace
