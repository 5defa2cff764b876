// Whole joins against the simulator: real TLS, the real signalling WebSocket and the built-in
// media engine talking to the simulator's media server.

#include "ConferenceTestSupport.h"

#include "MeetingSim.h"

#include "conference/service/KLConferenceService.h"
#include "conference/registry/KLFeedClient.h"
#include "conference/registry/KLParticipantRegistry.h"
#include "host/UserPersistentData.h"
#include "media/KLRTCMediaSDK.h"
#include "model/KLSDKMeetingConfigInternal.h"
#include "platform/KLFakePlatform.h"
#include "presentation/KLToastManager.h"
#include "runtime/KLLocalization.h"

#include "KLTestSupport.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>

#include "runtime/KLNotificationCenter.h"
#include "runtime/KLNotificationNames.h"

namespace {

const QString kSelf = QStringLiteral("3B7E1C52-9A4D-4F0B-8E21-6C5D2F9A1B01");
const QString kHost = QStringLiteral("8C1D4E2F-6B3A-4D59-9F70-2A1B3C4D5E02");

class ConferenceSim : public ConferenceSimFixture {
protected:
    void SetUp() override
    {
        ConferenceSimFixture::SetUp();
        sim->setRegisterMode(kelvosim::MeetingSim::RegisterMode::Accept);
        KLRTCMediaSDK::install(nullptr); // the built-in engine
    }

    /// Frames of `type` the media clients sent that name `streamId`.
    static int mediaFramesWith(const QString &type, const QString &streamId)
    {
        int count = 0;
        for (const auto &frame : sim->mediaFrames())
            if (frame.message.value("type").toString() == type
                && QJsonDocument(frame.message).toJson().contains(streamId.toUtf8()))
                ++count;
        return count;
    }

    bool waitJoined() const
    {
        return kltest::waitUntil([this] { return delegate->joined() > 0; }, 20000);
    }

    /// Index of the first frame the client sent whose text contains `needle`, or -1.
    static int firstFrameWith(const QByteArray &needle)
    {
        const auto frames = sim->signallingFrames();
        for (int i = 0; i < frames.size(); ++i)
            if (frames.at(i).text.contains(needle))
                return i;
        return -1;
    }
};

TEST_F(ConferenceSim, AnExternalUserJoinsSeesTheMembersAndIsRemoved)
{
    join(false);
    ASSERT_TRUE(waitJoined());
    // Joined is the connection; entered is the media path, which follows it.
    ASSERT_TRUE(kltest::waitUntil([this] { return layout->entered() == 1; }, 20000));
    EXPECT_EQ(service->appointmentId(), QString::number(meeting.value("appointmentId").toInteger()));
    EXPECT_EQ(service->mediaConnectionCount(), 1);

    // Every meeting operation went over the channel, after it had registered.
    const int registered = firstFrameWith("\"token\"");
    const int firstOperation = firstFrameWith("meeting_control");
    ASSERT_GE(registered, 0);
    ASSERT_GT(firstOperation, registered);
    EXPECT_GE(firstFrameWith("meetinginfo"), firstOperation);
    EXPECT_TRUE(sim->requests("/conference/api/v2/detailAppointment").isEmpty());

    // The member list arrives over signalling and fills the registry beside the own feed.
    ASSERT_TRUE(kltest::waitUntil([this] { return service->clientWithUUID(kHost) != nullptr; }, 10000));
    ASSERT_TRUE(service->publisher());
    EXPECT_EQ(service->publisher()->uuid(), kSelf);
    EXPECT_GE(service->memberList().size(), 2);

    // Deleted from the member list: the layout is told to leave with reason 0, once.
    sim->pushEvent(21, kSelf);
    ASSERT_TRUE(kltest::waitUntil([this] { return !layout->leaveReasons().empty(); }, 10000));
    EXPECT_EQ(layout->leaveReasons(), std::vector<int>{KLLeaveReasonRemoved});
    EXPECT_EQ(service->clientWithUUID(kSelf), nullptr);

    service->leave();
    service->leave();
    EXPECT_TRUE(kltest::waitUntil([] { return sim->openSignallingConnections() == 0 && sim->mediaClients() == 0; }, 10000));
}

TEST_F(ConferenceSim, ASharedScreenIsPublishedAsTheOwnShareFeedAndStoppedAgain)
{
    join(false);
    ASSERT_TRUE(kltest::waitUntil([this] { return layout->entered() == 1; }, 20000));
    int stopped = 0;
    KLNotificationCenter::defaultCenter().addObserver(
        this, KLNotificationNames::STOP_SHARE_ALREADY, [&stopped](const KLNotification &) { ++stopped; });

    service->desktopShare();
    const QString shareId = QStringLiteral("screen-") + kSelf;
    ASSERT_TRUE(kltest::waitUntil([this] { return service->registry().shareScreenLocalClient() != nullptr; }, 10000));
    EXPECT_EQ(service->registry().shareScreenLocalClient()->uuid(), shareId);
    EXPECT_EQ(service->publisher()->associcateShareFeed(), service->registry().shareScreenLocalClient());
    ASSERT_TRUE(kltest::waitUntil([&] { return mediaFramesWith("publish", shareId) == 1; }, 10000));

    service->stopShare();
    EXPECT_EQ(service->registry().shareScreenLocalClient(), nullptr);
    EXPECT_EQ(service->publisher()->associcateShareFeed(), nullptr);
    EXPECT_EQ(stopped, 1);
    EXPECT_TRUE(kltest::waitUntil([&] { return mediaFramesWith("unpublish", shareId) == 1; }, 10000));
    // Without a share, stopping again announces nothing.
    service->stopShare();
    EXPECT_EQ(stopped, 1);
    KLNotificationCenter::defaultCenter().removeObserver(this);
}

TEST_F(ConferenceSim, AnInternalUserJoinsOverTheSignedApiAndSignalsAfterTheMeetingInformation)
{
    join(true);
    ASSERT_TRUE(waitJoined());
    EXPECT_EQ(sim->requests("/conference/api/meetingInfo").size(), 1);
    EXPECT_EQ(sim->requests("/conference/api/v2/detailAppointment").size(), 1);
    EXPECT_EQ(sim->requests("/conference/api/getClientConfig").size(), 1);
    // The internal user's channel carries no meeting operations, only its own registration.
    ASSERT_TRUE(kltest::waitUntil([] { return sim->openSignallingConnections() == 1; }, 10000));
    EXPECT_EQ(firstFrameWith("meeting_control"), -1);
    EXPECT_EQ(service->uuid(), kSelf);
    // The rating page address comes from the client configuration for internal users.
    EXPECT_TRUE(service->isShowRate());
    EXPECT_TRUE(service->meetingRateUrl().endsWith("/kelvo/web/rate/index.html"));
}

TEST_F(ConferenceSim, LeavingFromInsideTheJoinedCallbackEndsEverythingOnce)
{
    std::weak_ptr<KLConferenceService> weak;
    delegate->onJoinedHook = [&weak] {
        if (auto self = weak.lock())
            self->leave();
    };
    service = KLConferenceService::create(config(false), delegate);
    weak = service;
    service->setDataSource(layout);
    service->joinMeeting();
    ASSERT_TRUE(waitJoined());
    EXPECT_TRUE(service->isLeavingRoomBySelf());
    EXPECT_TRUE(kltest::waitUntil([] { return sim->mediaClients() == 0; }, 10000));
    service->hangupWithReason(KLLeaveReasonEnterTimeout);
    EXPECT_TRUE(layout->leaveReasons().empty());
    EXPECT_EQ(delegate->joined(), 1);
}

} // namespace
