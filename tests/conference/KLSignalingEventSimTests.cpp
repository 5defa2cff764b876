// Signalling pushes from the simulator reaching a joined meeting: the offline throttle, the
// tips push, removal of the local user, the summary switch echo, projection events, and an
// MCU meeting keeping an online member's call state.

#include "ConferenceTestSupport.h"

#include "MeetingSim.h"

#include "conference/service/KLConferenceService.h"
#include "conference/events/KLSignalingEventHandler.h"
#include "conference/registry/KLFeedClient.h"
#include "media/KLRTCMediaSDK.h"
#include "model/KLCallState.h"
#include "model/KLParticipant.h"
#include "runtime/KLNotificationCenter.h"
#include "runtime/KLNotificationNames.h"
#include "runtime/KLTimeScale.h"

#include "KLTestSupport.h"

#include <gtest/gtest.h>

namespace {

const QString kSelf = QStringLiteral("3B7E1C52-9A4D-4F0B-8E21-6C5D2F9A1B01");
const QString kHost = QStringLiteral("8C1D4E2F-6B3A-4D59-9F70-2A1B3C4D5E02");
const QString kSecond = QStringLiteral("D4E5F6A7-1B2C-4D3E-8F90-3B4C5D6E7F03");
const QString kRoom = QStringLiteral("F1A2B3C4-3D4E-4F50-8A12-5D6E7F8A9B05");

class SignalingEventSim : public ConferenceSimFixture {
protected:
    void SetUp() override
    {
        ConferenceSimFixture::SetUp();
        sim->setRegisterMode(kelvosim::MeetingSim::RegisterMode::Accept);
        KLRTCMediaSDK::install(nullptr); // the built-in engine
    }
    void TearDown() override
    {
        KLNotificationCenter::defaultCenter().removeObserver(this);
        ConferenceSimFixture::TearDown();
        KLTimeScale::setFactor(1.0);
    }

    /// Records "name uuid" for each of `names` posted by the meeting.
    void watch(std::initializer_list<QLatin1String> names)
    {
        for (const QLatin1String name : names) {
            KLNotificationCenter::defaultCenter().addObserver(this, name, [this, name](const KLNotification &n) {
                const auto client = n.userInfo.value("client").value<std::shared_ptr<KLFeedClient>>();
                std::lock_guard lock(m_mutex);
                m_posts << name + (client ? " " + client->uuid() : QString());
            });
        }
    }
    QStringList posts() const { std::lock_guard lock(m_mutex); return m_posts; }

    bool joinAndAwaitMembers(bool internal, const QString &member = kHost)
    {
        join(internal);
        return kltest::waitUntil([&] { return service->publisher() && service->clientWithUUID(member); }, 20000);
    }

private:
    mutable std::mutex m_mutex;
    QStringList m_posts;
};

TEST_F(SignalingEventSim, OfflineNoticesAreSpacedTipsAreShownAndRemovalHangsUp)
{
    KLTimeScale::setFactor(0.25);
    watch({KLNotificationNames::OnlineOfflineChangeNotification});
    ASSERT_TRUE(joinAndAwaitMembers(false, kRoom));
    const auto offlineEvents = [this] {
        const auto events = delegate->userEvents();
        return std::count(events.begin(), events.end(), 1);
    };
    for (const QString &member : {kHost, kSecond, kRoom})
        sim->pushEvent(2, member);
    ASSERT_TRUE(kltest::waitUntil([&] { return offlineEvents() == 3; }, 10000));
    EXPECT_EQ(posts(), QStringList{"OnlineOfflineChangeNotification " + kHost});
    ASSERT_TRUE(kltest::waitUntil([&] { return posts().size() == 3; }, 10000));
    EXPECT_EQ(posts(), (QStringList{"OnlineOfflineChangeNotification " + kHost,
                                    "OnlineOfflineChangeNotification " + kSecond,
                                    "OnlineOfflineChangeNotification " + kRoom}));
    EXPECT_FALSE(service->clientWithUUID(kHost)->isOnline());

    // A level-1 tip becomes a dialog titled with its text.
    sim->pushTips({{"errorCode", 7001}, {"errorLevel", 1}, {"errorMsgEn", "The room closes soon"},
                   {"errorMsgZh", "会议室即将关闭"}});
    EXPECT_TRUE(kltest::waitUntil([this] { return dialogs->titles.contains("The room closes soon"); }, 10000));

    sim->pushEvent(21, kSelf);
    ASSERT_TRUE(kltest::waitUntil([this] { return !layout->leaveReasons().empty(); }, 10000));
    EXPECT_EQ(layout->leaveReasons(), std::vector<int>{KLLeaveReasonRemoved});
}

TEST_F(SignalingEventSim, TheOwnSummaryEchoIsSilentAndProjectionEventsReachTheMembers)
{
    watch({KLNotificationNames::MeetingNoteSummaryStart, KLNotificationNames::MultiScreenRejectNotification,
           KLNotificationNames::MultiScreenStartEndNotification});
    ASSERT_TRUE(joinAndAwaitMembers(true));
    KLNotificationCenter::defaultCenter().postNotification(KLNotificationNames::StartMeetingNoteBySelf);
    ASSERT_TRUE(service->startMeetingNoteBySelf());
    sim->pushEvent(26, QString(), {{"lang", "fr"}});
    ASSERT_TRUE(kltest::waitUntil([this] { return service->summaryLanguage() == "fr"; }, 10000));
    EXPECT_TRUE(service->isOpenSummary());
    EXPECT_FALSE(service->startMeetingNoteBySelf());
    sim->pushEvent(26, QString(), {{"lang", "en"}});
    ASSERT_TRUE(kltest::waitUntil([this] { return !posts().isEmpty(); }, 10000));
    EXPECT_EQ(posts(), QStringList{"MeetingNoteSummaryStart"});

    // Projection: refused with a reason, receiving, sending, ended (28–35).
    const auto host = service->clientWithUUID(kHost);
    sim->pushEvent(29, kHost, {{"reasonCode", -26}});
    sim->pushEvent(30, kHost);
    ASSERT_TRUE(kltest::waitUntil([&] { return host->isMultiScreenReceive(); }, 10000));
    EXPECT_EQ(host->multiProjectRejectCode(), 0);
    sim->pushEvent(28, kHost);
    sim->pushEvent(32, kHost);
    ASSERT_TRUE(kltest::waitUntil([&] { return host->isMultiScreenSender(); }, 10000));
    EXPECT_TRUE(host->isMultiScreenAccept());
    EXPECT_FALSE(host->isMultiScreenReceive());
    sim->pushEvent(34, kHost);
    sim->pushEvent(35, QString());
    ASSERT_TRUE(kltest::waitUntil([this] { return service->isOpenAudioMeetingForMultiProjector(); }, 10000));
    EXPECT_FALSE(host->isMultiScreenSender());
    EXPECT_EQ(posts().mid(1), (QStringList{"MultiScreenRejectNotification " + kHost,
                                           "MultiScreenStartEndNotification " + kHost,
                                           "MultiScreenStartEndNotification " + kHost,
                                           "MultiScreenStartEndNotification " + kHost}));
    // The local user's projection ending ends the meeting.
    sim->pushEvent(34, kSelf);
    ASSERT_TRUE(kltest::waitUntil([this] { return !layout->leaveReasons().empty(); }, 10000));
    EXPECT_EQ(layout->leaveReasons(), std::vector<int>{KLLeaveReasonRemoved});
}

TEST_F(SignalingEventSim, AnMcuMeetingKeepsAnOnlineMembersStateButReappliesItsMuteFlags)
{
    const QJsonObject mcu = sim->scenario().value("meetings").toArray().at(1).toObject();
    const QString meetingUUID = mcu.value("meetingUUID").toString();
    auto configuration = config(false);
    configuration->setMeetingUUID(meetingUUID);
    configuration->setMemberUUID(mcu.value("selfMemberUUID").toString());
    configuration->setMeetingToken(mcu.value("meetingToken").toString());
    service = KLConferenceService::create(configuration, delegate);
    service->setDataSource(layout);
    service->joinMeeting();
    ASSERT_TRUE(kltest::waitUntil([this] { return service->publisher() != nullptr; }, 20000));
    ASSERT_FALSE(service->isPallasMeeting());

    const QString guest = QStringLiteral("0F0E0D0C-1111-4222-8333-944455556666");
    const QJsonObject record{{"memberUUID", guest}, {"memberType", 1}, {"displayName", "Guest"},
                             {"callState", QJsonObject{{"online", 1}, {"hasVideo", 1}, {"mute", 1}, {"vmute", 1}}}};
    sim->pushEvent(20, guest, {{"memberList", QJsonArray{record}}, {"roomList", QJsonArray()}}, meetingUUID);
    // The feed is listed before the list's call state and mute flags are applied to it.
    ASSERT_TRUE(kltest::waitUntil([&] {
        const auto listed = service->clientWithUUID(guest);
        return listed && listed->participant() && listed->participant()->callState()
               && listed->participant()->callState()->mute.load() == 1 && listed->audioMuted();
    }, 10000));
    const auto feed = service->clientWithUUID(guest);
    const auto kept = feed->participant()->callState();
    feed->setAudioMuted(false);
    feed->setVideoMuted(false);

    const int before = delegate->userEventCount(guest, KLMeetingUserEvent::Online);
    sim->pushEvent(1, guest, {{"callState", QJsonObject{{"online", 1}, {"hasVideo", 1}, {"mute", 0}, {"vmute", 0}}}},
                   meetingUUID);
    ASSERT_TRUE(kltest::waitUntil([&] {
        return delegate->userEventCount(guest, KLMeetingUserEvent::Online) > before;
    }, 10000));
    EXPECT_EQ(feed->participant()->callState(), kept);
    EXPECT_EQ(kept->mute.load(), 1);
    EXPECT_TRUE(feed->audioMuted());
    EXPECT_TRUE(feed->videoMuted());
}

} // namespace
