// Registering member lists, lookups, filtered lists and the add/remove notifications.

#include "KLRegistryTestSupport.h"

#include "../devices/KLRecordCapture.h"

#include "model/KLCallState.h"
#include "runtime/KLNotificationCenter.h"
#include "runtime/KLNotificationNames.h"

#include <QJsonDocument>

using namespace kltest;

namespace {

QJsonObject state(int online, int hasVideo = 1, int vmute = 0, int mute = 0, int extension = 0, int cellphone = 0)
{
    return {{"online", online}, {"hasVideo", hasVideo}, {"vmute", vmute},
            {"mute", mute},     {"extension", extension}, {"cellphone", cellphone}};
}

QJsonObject member(const QString &uuid, const QJsonObject &callState, QJsonObject extra = {})
{
    extra.insert("callState", callState);
    return participantJson(uuid, 0, extra);
}

/// Counts "MeetingMemberUpdate" posts from one sender while it lives.
struct MemberUpdateCounter {
    explicit MemberUpdateCounter(const void *sender)
    {
        KLNotificationCenter::defaultCenter().addObserver(
            this, KLNotificationNames::MeetingMemberUpdate, [this](const KLNotification &) { ++count; }, sender);
    }
    ~MemberUpdateCounter() { KLNotificationCenter::defaultCenter().removeObserver(this); }
    std::atomic<int> count{0};
};

TEST(RegistryMembers, MuteAlignmentSetsFlagsAndTellsServerOnlyWhereDue)
{
    struct Case {
        const char *name;
        bool publisher;
        QJsonObject callState;
        bool videoOn, audioOn; ///< the own stream's tracks (publisher) or the feed's not-muted flags
        bool joinedVideoMuted, videoMuted, audioMuted;
        QStringList records = {}; ///< monitor records sent (server told), in order
    };
    const Case cases[] = {
        {"RemoteWithoutVideo", false, state(1, 0), true, true, false, true, false},
        {"RemoteVideoMutedByServer", false, state(1, 1, 1), true, true, false, true, false},
        {"RemoteVideoOpenUnmutes", false, state(1), false, true, false, false, false},
        {"RemoteAudioMutedByServer", false, state(1, 1, 0, 1), true, true, false, false, true},
        {"RemoteMutedHereTellsServer", false, state(1), true, false, false, false, true, {"mute"}},
        {"OfflineChangesNothing", false, state(0, 0, 1, 1), true, false, false, false, true},
        {"OwnCameraOnStaysOn", true, state(1), true, true, false, false, false},
        {"OwnCameraOffTellsServer", true, state(1), false, true, false, true, false, {"muteVideo"}},
        {"OwnCameraOffWhenJoinedMutedOnlyLogs", true, state(1), false, true, true, false, false},
        {"OwnMicOffTellsServer", true, state(1), true, false, false, false, true, {"mute"}},
        {"OwnPhonesBothInMutesMicLocally", true, state(1, 1, 0, 0, 1, 1), true, true, false, false, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        RegistryScene s;
        s.host->videoShouldMute = c.joinedVideoMuted;
        auto feed = s.makeFeed({"M", Media | (c.publisher ? Publisher : 0)});
        auto stream = std::static_pointer_cast<KLFakeMediaStream>(feed->mediaStream());
        if (c.publisher) {
            stream->setEnabled("video", c.videoOn);
            stream->setEnabled("audio", c.audioOn);
        } else {
            feed->setVideoMuted(!c.videoOn);
            feed->setAudioMuted(!c.audioOn);
        }
        s.registry.addClient(feed);

        RecordCapture capture;
        s.registry.addParticipants(QJsonArray{member("M", c.callState)});
        QStringList sent;
        for (const auto &record : capture.settle())
            sent.append(record.value("value").toString());
        EXPECT_EQ(sent, c.records);
        EXPECT_EQ(feed->videoMuted(), c.videoMuted);
        EXPECT_EQ(feed->audioMuted(), c.audioMuted);
    }
}

TEST(RegistryMembers, OwnMuteFlagsWaitForTheOwnStreamButFollowTheServersMute)
{
    RegistryScene s;
    auto feed = s.makeFeed({"M", Publisher});
    s.registry.addClient(feed);
    RecordCapture capture;
    s.registry.addParticipants(QJsonArray{member("M", state(1))});
    EXPECT_TRUE(capture.settle().empty()) << "the server hears nothing before the own stream exists";
    EXPECT_FALSE(feed->audioMuted());
    EXPECT_FALSE(feed->videoMuted());

    s.registry.addParticipants(QJsonArray{member("M", state(1, 1, 1, 1))});
    EXPECT_TRUE(feed->audioMuted()) << "a mute the server reports still applies";
    EXPECT_TRUE(feed->videoMuted());
}

TEST(RegistryMembers, CallStateCopyNeverTakesPublisherOfflineAndKeepsOtherFields)
{
    RegistryScene s;
    s.add({{"P", Publisher | Online | Media}, {"A", Online}});
    const auto record = s.feed("A")->participant();
    s.registry.addParticipants(QJsonArray{member("P", state(0)), member("A", state(0), {{"empId", "other"}, {"bu", "X"}})});
    EXPECT_TRUE(s.feed("P")->isOnline());
    EXPECT_FALSE(s.feed("A")->isOnline());
    EXPECT_EQ(s.feed("A")->participant(), record); // only the call state was taken
    EXPECT_EQ(record->empId, "emp-A");
    EXPECT_TRUE(record->bu.isNull());
    s.registry.addParticipants(QJsonArray{member("P", state(1, 0))}); // a newer online is taken
    EXPECT_EQ(s.feed("P")->participant()->callState()->hasVideo, 0);
}

TEST(RegistryMembers, RegistersNewMembersOnceSkipsBadOrExternalEntriesAndTellsTheHost)
{
    RegistryScene s;
    MemberUpdateCounter updates(s.host.get());
    s.registry.addParticipants(QJsonArray{
        member("A", state(1)), member("A", state(0)), // the later entry wins
        QJsonValue("not an object"),
        member("X", state(1), {{"memberType", 3}, {"email", "x@example.com"}}),
        member("Y", state(1), {{"memberType", 3}, {"cellPhone", "555"}}),
        member("W", state(1), {{"memberType", "wrong type"}}), member("", state(1))});
    EXPECT_EQ(uuidsOf(s.registry.participants()), (QStringList{"A", "Y"}));
    EXPECT_FALSE(s.registry.clientWithUUID("A")->isOnline());
    EXPECT_EQ(s.registry.clientWithUUID("A")->appointmentId(), QJsonValue(4711));
    EXPECT_EQ(updates.count, 1);
    EXPECT_EQ(s.host->userEvents, (QStringList{"A:0", "Y:0"})); // online entries reach the host
    EXPECT_FALSE(s.registry.isOnlyPersonEnterRoom());

    // A list with nobody new registers nothing and posts nothing.
    s.registry.addParticipants(QJsonArray{member("A", state(1))});
    EXPECT_EQ(updates.count, 1);
    // A feed renamed after registration is found by its uuid now, not made a second time.
    s.registry.clientWithUUID("A")->setUuid("A2");
    s.registry.addParticipants(QJsonArray{member("Z", state(0)), member("A2", state(1))});
    EXPECT_EQ(uuidsOf(s.registry.participants()), (QStringList{"A2", "Y", "Z"}));
    EXPECT_TRUE(s.registry.clientWithUUID("A2")->isOnline());

    // Internal staff meetings load avatars instead of telling the host; offline ones leave the
    // alone flag set.
    RegistryScene internal;
    internal.host->vanInternal = true;
    internal.registry.addParticipants(QJsonArray{member("C", state(0))});
    EXPECT_TRUE(internal.registry.isOnlyPersonEnterRoom());
    internal.registry.addParticipants(QJsonArray{member("D", state(1))});
    EXPECT_FALSE(internal.registry.isOnlyPersonEnterRoom());
    EXPECT_TRUE(internal.host->userEvents.isEmpty());
}

TEST(RegistryMembers, OnlineListPutsRoomsFirstAndTellsTheEngine)
{
    RegistryScene s;
    s.registry.addParticipants(QJsonArray{member("A", state(1), {{"memberType", 2}}),
                                          member("B", state(1), {{"memberType", 2}}), member("P", state(1)),
                                          member("Q", state(0))});
    s.add({{"screen-P", Media | NoParticipant}, {"freeswitch", Online}});
    EXPECT_EQ(uuidsOf(s.registry.participantsWithOnline(true)), (QStringList{"B", "A", "P"}));
    EXPECT_EQ(s.engine->callLog()->last("setConfigIntVar")->args, (QJsonArray{KLRTCMediaConfigVarOnlineCount, 3}));
    EXPECT_EQ(uuidsOf(s.registry.participantsWithOnline(false)), QStringList{"Q"});
    EXPECT_EQ(uuidsOf(s.registry.memberList()), (QStringList{"A", "B", "P", "Q"}));
    EXPECT_TRUE(s.registry.offlineRooms().isEmpty());
    EXPECT_FALSE(s.registry.isSelfInMeeting());
}

TEST(RegistryLookups, FindFeedsByEachKey)
{
    RegistryScene s;
    s.add({{"P", Publisher | Online | Media}, {"A", Online | Media}});
    s.registry.addParticipants(QJsonArray{
        member("R", state(0), {{"memberType", 2}, {"empId", "room-7"}, {"roomId", "r7"}}),
        member("E", state(0), {{"memberType", 3}, {"cellPhone", "555"}, {"extensionPhone", "12"}}),
        member("O", state(0), {{"memberType", 0}})});

    EXPECT_EQ(s.registry.clientWithUUID("A"), s.feed("A"));
    EXPECT_EQ(s.registry.clientWithUUID(QString()), nullptr);
    EXPECT_FALSE(s.registry.isClientExists("nobody"));
    EXPECT_EQ(s.registry.clientWithStreamId("A"), s.feed("A"));
    EXPECT_EQ(s.registry.clientWithStreamId("R"), nullptr);
    EXPECT_EQ(uuidsOf({s.registry.clientWithRoomId("room-7")}), QStringList{"R"});
    EXPECT_EQ(s.registry.clientWithRoomId("emp-A"), nullptr); // persons are no rooms

    const std::pair<QJsonObject, QString> probes[] = { // the member probed, the uuid found ("" none)
        {{{"memberType", 1}, {"empId", "emp-A"}}, "A"},
        {{{"memberType", 2}, {"roomId", "r7"}}, "R"},
        {{{"memberType", 3}, {"cellPhone", "555"}}, "E"},
        // Both sides have a cell phone and they differ: the extension is not consulted.
        {{{"memberType", 3}, {"cellPhone", "556"}, {"extensionPhone", "12"}}, ""},
        {{{"memberType", 3}, {"extensionPhone", "12"}}, "E"},
        {{{"memberType", 3}, {"email", "e@example.com"}, {"cellPhone", "555"}}, "E"},
        {{{"memberType", 0}, {"empId", "emp-O"}}, ""}, // other kinds never match
    };
    for (const auto &[json, expected] : probes) {
        SCOPED_TRACE(QJsonDocument(json).toJson(QJsonDocument::Compact).toStdString());
        const auto participant = KLParticipant::createWithDictionary(json);
        ASSERT_NE(participant, nullptr);
        const auto found = s.registry.isParticipantExists(*participant);
        EXPECT_EQ(found ? found->uuid() : QString(), expected);
    }

    s.registry.displayClientOnMain(s.feed("A"));
    EXPECT_TRUE(s.registry.isMemberInList({}, "A"));
    EXPECT_TRUE(s.registry.isMemberInList({s.feed("P")}, "P"));
    EXPECT_FALSE(s.registry.isMemberInList({s.feed("P")}, "R"));
}

TEST(RegistryLookups, SharesFloorAndPresenceLists)
{
    RegistryScene s;
    s.add({{"P", Publisher | Online | Media}, {"screen-P", Publisher | Media | NoParticipant},
           {"freeswitch", Online | Media}, {"A", Media}, {"R", Room}, {"S", Room | Ringing},
           {"screen-A", Media | NoParticipant}});
    EXPECT_EQ(uuidsOf(s.registry.onlineClients()), (QStringList{"P", "screen-P", "A", "screen-A"}));
    EXPECT_EQ(uuidsOf(s.registry.mediaOrOnlineClients()), (QStringList{"P", "A", "screen-A"}));
    EXPECT_EQ(uuidsOf(s.registry.offlineRooms()), QStringList{"R"});
    EXPECT_TRUE(s.registry.isSelfInMeeting());
    EXPECT_EQ(s.registry.shareScreenLocalClient(), s.feed("screen-P"));
    EXPECT_EQ(s.registry.sharedFeed(), s.feed("screen-P"));

    EXPECT_EQ(s.registry.shareScreenRemoteClient(), nullptr);
    s.registry.setRemoteShareScreenFeed(s.feed("screen-A"));
    EXPECT_EQ(s.registry.shareScreenRemoteClient(), s.feed("screen-A"));
    s.feed("screen-A")->setProjectorBySelf(true); // the own screen coming back from a room
    EXPECT_EQ(s.registry.shareScreenRemoteClient(), nullptr);

    s.registry.setFloorChangeFeed(s.feed("A"));
    EXPECT_EQ(s.registry.floorChangeClient(), nullptr); // not online
    s.registry.setFloorChangeFeed(s.feed("P"));
    EXPECT_EQ(s.registry.floorChangeClient(), nullptr); // the publisher never takes the floor
    s.feed("A")->setFloorChange(true);
    s.registry.resetFloorChangeToDefault();
    EXPECT_FALSE(s.feed("A")->floorChange());

    s.registry.setMemberCallStatus(3);
    EXPECT_EQ(s.engine->callLog()->last("setConfigIntVar")->args, (QJsonArray{KLRTCMediaConfigVarCallStatus, 3}));
}

TEST(RegistryAddRemove, NotifiesOncePerAddClosesRemovedFeedsAndRemovesAll)
{
    RegistryScene s;
    s.add({{"P", Publisher | Online | Media}});
    MemberUpdateCounter updates(s.host->notificationSender());
    s.registry.addClients({});
    EXPECT_EQ(updates.count, 0);

    auto a = s.makeFeed({"A", Online | Media}), b = s.makeFeed({"B", Online | Media});
    s.registry.addClients({a, b, s.makeFeed({"A", Online})});
    EXPECT_EQ(updates.count, 1);
    EXPECT_EQ(uuidsOf(s.registry.participants()), (QStringList{"P", "A", "B"}));
    EXPECT_EQ(s.registry.clientWithUUID("A"), a);
    s.registry.addClient(a); // already there: nothing added, still announced
    EXPECT_EQ(updates.count, 2);
    EXPECT_EQ(s.registry.participants().size(), 3);

    s.registry.closeClientWithUUID("B"); // remote: unsubscribed, stream kept
    EXPECT_EQ(s.engine->callLog()->last("unsubscribe")->args, QJsonArray{"B"});
    EXPECT_NE(b->mediaStream(), nullptr);
    s.registry.removeClient(a);
    EXPECT_EQ(updates.count, 3);
    EXPECT_EQ(a->mediaStream(), nullptr);
    EXPECT_EQ(uuidsOf(s.registry.participants()), (QStringList{"P", "B"}));

    const int stripRedraws = s.host->layout->smallScreen;
    s.registry.removeAllClient();
    EXPECT_EQ(s.host->stopShareCalls, 1);
    EXPECT_EQ(updates.count, 5);
    EXPECT_TRUE(s.registry.participants().isEmpty());
    EXPECT_EQ(s.registry.publisher(), nullptr);
    EXPECT_EQ(s.host->layout->smallScreen, stripRedraws + 1);
    EXPECT_EQ(s.feed("P")->mediaStream(), nullptr);
}

} // namespace
