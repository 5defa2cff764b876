// The meeting's life around the media connection, with the recording fake engine standing in
// for media and the simulator for the meeting service: the enter time-out, ICE failures
// before entry, refresh, the failure dialogs of the join, and teardown at awkward moments.

#include "ConferenceTestSupport.h"

#include "MeetingSim.h"

#include "conference/events/KLSignalingEventHandler.h"
#include "conference/service/KLConferenceService.h"
#include "conference/registry/KLFeedClient.h"
#include "host/UserPersistentData.h"
#include "media/fake/KLFakeMediaSDK.h"
#include "model/KLSDKMeetingConfigInternal.h"
#include "platform/KLFakePlatform.h"
#include "presentation/KLToastManager.h"
#include "runtime/KLLocalization.h"
#include "runtime/KLNotificationCenter.h"
#include "runtime/KLNotificationNames.h"
#include "runtime/KLTimeScale.h"

#include "KLTestSupport.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>

#include <QJsonArray>

namespace {

using kelvosim::Fault;

class ConferenceLifecycle : public ConferenceSimFixture {
protected:
    void SetUp() override
    {
        ConferenceSimFixture::SetUp();
        engine = KLFakeMediaSDK::installNew();
        engine->fakeDeviceManager()->setDevices(
            {{"mic-1", "Microphone", KLRTCMediaDeviceTypeMic},
             {"spk-1", "Speaker", KLRTCMediaDeviceTypeSpeaker},
             {"cam-1", "Camera", KLRTCMediaDeviceTypeCamera}});
        KLNotificationCenter::defaultCenter().addObserver(
            this, KLNotificationNames::KLHostUtilsCloseAppNotify,
            [this](const KLNotification &) { ++closeAppRequests; });
    }

    void TearDown() override
    {
        ConferenceSimFixture::TearDown();
        KLNotificationCenter::defaultCenter().removeObserver(this);
        KLTimeScale::setFactor(1.0);
        KLRTCMediaSDK::install(nullptr);
    }

    /// The fake engine's ICE detection answers only when told to.
    void completeIceDetection()
    {
        if (auto detect = engine->lastTurnDetect(); detect && detect->isPending())
            detect->complete({}, {}, QStringLiteral("127.0.0.1"));
    }

    /// Lets the ICE detection answer and waits for the `count`-th media connection.
    std::shared_ptr<KLFakeMediaConnection> awaitConnection(size_t count = 1)
    {
        const bool made = kltest::waitUntil([&] {
            completeIceDetection();
            return engine->connections().size() >= count;
        }, 15000);
        return made ? engine->connections().at(count - 1) : nullptr;
    }

    /// Brings the first connection up the way the engine would: connected, own stream ready,
    /// media path up.
    void enterRoom(const std::shared_ptr<KLFakeMediaConnection> &connection)
    {
        connection->raiseEvent(KLRTCMediaEventConnected);
        ASSERT_TRUE(kltest::waitUntil([&] { return engine->lastStream() != nullptr; }));
        engine->lastStream()->raiseState(KLRTCMediaStreamStateReady);
        connection->raiseEvent(KLRTCMediaEventWebrtcUp);
        ASSERT_TRUE(kltest::waitUntil([&] { return delegate->joined() == 1; }));
    }

    std::shared_ptr<KLFakeMediaSDK> engine;
    int closeAppRequests = 0;
};

TEST_F(ConferenceLifecycle, TheEnterTimeOutEndsAJoinThatNeverComesUpAndIsIgnoredAfterLeave)
{
    KLTimeScale::setFactor(0.01); // 30 s become 0.3 s
    join();
    ASSERT_TRUE(awaitConnection());
    ASSERT_TRUE(kltest::waitUntil([this] { return !layout->leaveReasons().empty(); }, 10000));
    EXPECT_EQ(layout->leaveReasons(), std::vector<int>{KLLeaveReasonEnterTimeout});
    EXPECT_EQ(engine->connections().size(), 1u);

    // A second meeting whose user leaves first: the time-out's hang-up never reaches the layout.
    service->leave();
    auto second = std::make_shared<RecordingLayout>();
    service = KLConferenceService::create(config(true), delegate);
    service->setDataSource(second);
    service->joinMeeting();
    ASSERT_TRUE(awaitConnection(2));
    service->leave();
    kltest::pumpEvents(600);
    EXPECT_TRUE(second->leaveReasons().empty());
}

TEST_F(ConferenceLifecycle, AnIceFailureBeforeEntryRefreshesOnceThenEndsWithReasonThree)
{
    join();
    auto first = awaitConnection();
    ASSERT_TRUE(first);
    first->raiseEvent(KLRTCMediaEventIceFailed);
    auto second = awaitConnection(2);
    ASSERT_TRUE(second);
    EXPECT_EQ(layout->refreshes(), 1);
    EXPECT_TRUE(service->isRefreshStage());
    // The refresh asked the meeting service for nothing again.
    EXPECT_EQ(sim->requests("/conference/api/meetingInfo").size(), 1);
    EXPECT_EQ(sim->requests("/conference/api/getClientConfig").size(), 1);

    second->raiseEvent(KLRTCMediaEventIceFailed);
    ASSERT_TRUE(kltest::waitUntil([this] { return !layout->leaveReasons().empty(); }));
    EXPECT_EQ(layout->leaveReasons(), std::vector<int>{KLLeaveReasonMediaFailed});
    ASSERT_EQ(delegate->errors().size(), 1u);
    EXPECT_EQ(delegate->errors().front().code, KLSDKMeetingErrorMediaFatal);
    EXPECT_EQ(engine->connections().size(), 2u);
}

TEST_F(ConferenceLifecycle, ARefreshKeepsTheOwnMuteStateAndMakesOneNewConnection)
{
    join();
    auto first = awaitConnection();
    ASSERT_TRUE(first);
    enterRoom(first);
    const KLFeedPtr own = service->publisher();
    ASSERT_TRUE(own && own->mediaStream());
    own->muteAudio(true, false);
    ASSERT_FALSE(own->audioEnabled());

    service->refresh();
    EXPECT_TRUE(service->isEnterRoomAudioShouldMute());
    EXPECT_FALSE(service->isEnterRoomVideoShouldMute());
    EXPECT_FALSE(service->enterRoomSuccess());
    EXPECT_EQ(layout->refreshes(), 1);
    auto second = awaitConnection(2);
    ASSERT_TRUE(second);
    EXPECT_TRUE(first->callNames().contains("disconnect"));
    EXPECT_EQ(sim->requests("/conference/api/meetingInfo").size(), 1);

    // The server has the user online again before the new stream exists: the wish to enter
    // muted must outlive that, and the new entry's own stream starts muted again.
    const QString self = meeting.value("selfMemberUUID").toString();
    // Pushes reach a registered channel only, and nothing here tells when the new channel has
    // registered: the online is pushed again until the SDK has handled one.
    const int onlineBefore = delegate->userEventCount(self, KLMeetingUserEvent::Online);
    QElapsedTimer sincePush;
    ASSERT_TRUE(kltest::waitUntil([&] {
        if (delegate->userEventCount(self, KLMeetingUserEvent::Online) > onlineBefore)
            return true;
        if (!sincePush.isValid() || sincePush.elapsed() > 300) {
            sim->pushEvent(1, self, {{"callState", QJsonObject{{"online", 1}, {"hasVideo", 1}, {"mute", 1}, {"vmute", 0}}}});
            sincePush.start();
        }
        return false;
    }, 15000));
    EXPECT_TRUE(service->isEnterRoomAudioShouldMute());
    second->raiseEvent(KLRTCMediaEventConnected);
    ASSERT_TRUE(kltest::waitUntil([&] { return engine->streams().size() >= 2; }));
    engine->lastStream()->raiseState(KLRTCMediaStreamStateReady);
    // The feed takes the stream a moment before it mutes it.
    EXPECT_TRUE(kltest::waitUntil([this] {
        auto feed = service->publisher();
        return feed && feed->mediaStream() == engine->lastStream()
               && engine->lastStream()->callNames().contains("muteAudio");
    }));
    second->raiseEvent(KLRTCMediaEventWebrtcUp);
    ASSERT_TRUE(kltest::waitUntil([this] { return !service->isRefreshStage(); }));
    // The host hears of the re-entry as of the first entry.
    EXPECT_EQ(delegate->joined(), 2);
}

struct JoinFailure {
    const char *name;
    bool internal;
    const char *signallingType; // external users' requests travel over signalling
    const char *path;           // internal users' over HTTPS
    QString code;
    QString titleKey;           // empty: the title is the server's message
    int hostError;              // 0: the press closes the application instead
};

class ConferenceJoinFailures : public ConferenceLifecycle,
                               public ::testing::WithParamInterface<JoinFailure> {};

TEST_P(ConferenceJoinFailures, ShowTheirDialogAndReportOnThePress)
{
    const JoinFailure &failure = GetParam();
    const QString message = QStringLiteral("refused by the test");
    if (failure.internal)
        sim->setFault(failure.path, Fault::of(Fault::Kind::ErrorCode, failure.code, message));
    else
        sim->setSignallingFault(failure.signallingType,
                                Fault::of(Fault::Kind::ErrorCode, failure.code, message));
    join(failure.internal);
    ASSERT_TRUE(kltest::waitUntil([this] {
        completeIceDetection();
        return dialogs->visible;
    }, 15000));
    const QString title = failure.titleKey.isEmpty() ? message : KLLocalizedString(failure.titleKey);
    EXPECT_EQ(dialogs->current.title, title);
    EXPECT_EQ(dialogs->current.first.text, KLLocalizedString("LEAVE_ROOM_BY_KICK_TOAST_KNOW"));
    EXPECT_TRUE(engine->connections().empty());

    KLDialogQueue::shared().buttonPressed(dialogs->current.dialogId, KLDialogButton::First);
    if (failure.hostError == 0) {
        EXPECT_TRUE(kltest::waitUntil([this] { return closeAppRequests == 1; }));
        EXPECT_TRUE(delegate->errors().empty());
    } else {
        ASSERT_EQ(delegate->errors().size(), 1u);
        EXPECT_EQ(delegate->errors().front().code, failure.hostError);
        EXPECT_EQ(delegate->errors().front().reason, title);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Join, ConferenceJoinFailures,
    ::testing::Values(
        JoinFailure{"ClientConfig91212", false, "getclientconfig", "", "91212", {}, 2},
        JoinFailure{"MeetingNotFound", false, "meetinginfo", "", "11002", "ERROR_MEETING_NOT_FOUND", 5},
        JoinFailure{"MeetingEnded", false, "meetinginfo", "", "10000", "ERROR_MEETING_ENDED", 5},
        JoinFailure{"RtcToken", false, "meetinginfo", "", "11003", "ERROR_MEETING_RTC_TOKEN", 5},
        JoinFailure{"OtherCode", false, "meetinginfo", "", "12345", "SERVER_UNAVLIABLE", 5},
        JoinFailure{"InternalParamInvalid", true, "", "/conference/api/meetingInfo", "11001",
                    "ERROR_MEETING_PARAM_INVALID", 0},
        JoinFailure{"InternalDetailFails", true, "", "/conference/api/v2/detailAppointment", "500",
                    "SERVER_UNAVLIABLE", 0}),
    [](const ::testing::TestParamInfo<JoinFailure> &info) { return std::string(info.param.name); });

TEST_F(ConferenceLifecycle, AnUnreachableMeetingServerEndsAnExternalJoinBehindItsDialog)
{
    KLTimeScale::setFactor(0.1); // the channel gives up on a dead server after 0.5 s
    auto unreachable = config(false);
    unreachable->setMeetingDomain(QStringLiteral("127.0.0.1:1"));
    service = KLConferenceService::create(unreachable, delegate);
    service->setDataSource(layout);
    service->joinMeeting();
    ASSERT_TRUE(kltest::waitUntil([this] { return dialogs->visible; }, 15000));
    const QString title = QStringLiteral("Can not connect to meeting server, check meeting Domain or loal network");
    EXPECT_EQ(dialogs->current.title, title);
    KLDialogQueue::shared().buttonPressed(dialogs->current.dialogId, KLDialogButton::First);
    // Both channels are down before the entry: the network is reported first, the server
    // when the user has read why.
    const auto errors = delegate->errors();
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[0].code, KLSDKMeetingErrorNetworkUnavailable);
    EXPECT_EQ(errors[1].code, KLSDKMeetingErrorMeetingServer);
    EXPECT_EQ(errors[1].reason, title);
    EXPECT_TRUE(engine->connections().empty());
}

TEST_F(ConferenceLifecycle, AnInternalClientConfigurationFailureDoesNotStopTheJoin)
{
    sim->setFault("/conference/api/getClientConfig", Fault::of(Fault::Kind::ErrorCode, "91212", "no"));
    join(true);
    EXPECT_TRUE(awaitConnection());
    EXPECT_FALSE(dialogs->visible);
}

TEST_F(ConferenceLifecycle, DestroyingTheServiceWithARequestAndATimerPendingIsClean)
{
    KLTimeScale::setFactor(0.01);
    // A join whose enter time-out runs while the meeting information of a second join waits.
    // Nothing may keep the service alive once its owner lets go: blocks hold it weakly (a block
    // running at that moment may hold it for the length of that block only).
    join();
    ASSERT_TRUE(awaitConnection());
    std::weak_ptr<KLConferenceService> running = service;
    service.reset();
    EXPECT_TRUE(kltest::waitUntil([&] { return running.expired(); }));

    sim->setFault("/conference/api/meetingInfo", Fault::of(Fault::Kind::Hold));
    join();
    ASSERT_TRUE(kltest::waitUntil([] { return !sim->requests("/conference/api/meetingInfo").isEmpty(); }, 15000));
    std::weak_ptr<KLConferenceService> waiting = service;
    service.reset();
    EXPECT_TRUE(kltest::waitUntil([&] { return waiting.expired(); }));
    sim->releaseHeld();
    kltest::pumpEvents(600);
    EXPECT_EQ(engine->connections().size(), 1u);
    EXPECT_EQ(delegate->joined(), 0);
}

} // namespace
