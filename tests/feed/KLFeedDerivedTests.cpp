// What a feed derives from its fields, participant and stream, and how it drives the stream.

#include "conference/registry/KLFeedClient.h"
#include "media/fake/KLFakeMediaSDK.h"
#include "runtime/KLLocalization.h"

#include "KLFeedTestFakes.h"

#include <gtest/gtest.h>

namespace {

using kltest::makeParticipant;

std::shared_ptr<KLFeedClient> makeFeed(const QString &uuid, std::shared_ptr<KLParticipant> participant = {})
{
    return KLFeedClient::create(QJsonValue(7), uuid, {}, std::move(participant));
}

class FeedDerived : public testing::Test {
protected:
    void SetUp() override { KLLocalization::setLanguage(KLLocalization::Language::Chinese); }
    std::shared_ptr<KLFakeMediaStream> stream(const QJsonObject &media = {{"audio", true}, {"video", true}})
    {
        return std::make_shared<KLFakeMediaStream>(log, "s#1", media, std::weak_ptr<KLRTCMediaStreamDelegate>());
    }
    std::shared_ptr<KLFakeMediaCallLog> log = std::make_shared<KLFakeMediaCallLog>();
};

TEST_F(FeedDerived, ShareDetectionParticipantUuidAndOnline)
{
    struct Row { const char *mtype, *uuid; bool share; const char *participantUUID; };
    const Row rows[] = {
        {"video", "u1", false, "u1"},          {"screen", "u1", true, "u1"},
        {"", "screen-u1", true, "u1"},         {"", "screen-screen-u1", true, "u1"},
        {"content", "x1", true, "x1"},         {"", "content", true, "content"},
        {"", "u1screen-", false, "u1screen-"}, // not a share: the id is kept whole
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.uuid);
        auto feed = makeFeed(row.uuid, makeParticipant({}, {{"online", 0}}));
        feed->setMtype(row.mtype);
        EXPECT_EQ(feed->isShareScreen(), row.share);
        EXPECT_EQ(feed->participantUUID(), row.participantUUID);
        EXPECT_EQ(feed->isOnline(), row.share); // the member is offline; a share is online anyway
    }
}

TEST_F(FeedDerived, NameFallbacks)
{
    struct Row {
        bool withParticipant;
        const char *memberDisplay, *storedDisplay, *memberEmpId, *storedEmpId, *alias, *lastName;
        const char *display, *empId, *vanName;
    };
    const Row rows[] = {
        {true, "Ann", "stored", "p1", "s1", "Annie", "Lee", "Ann", "s1", "Annie"},
        {true, "", "stored", "p1", "", "", "Lee", "stored", "p1", "Lee"},
        {true, "", "stored", "", "", "", "", "stored", "", "stored"},
        {false, "", "", "", "", "", "", "", "", ""},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.display);
        auto feed = makeFeed("u1", row.withParticipant ? makeParticipant({{"displayName", row.memberDisplay},
                                                                          {"empId", row.memberEmpId},
                                                                          {"aliasName", row.alias},
                                                                          {"lastName", row.lastName}})
                                                       : nullptr);
        feed->setDisplay(row.storedDisplay);
        feed->setEmpId(row.storedEmpId);
        EXPECT_EQ(feed->display(), row.display);
        EXPECT_EQ(feed->empId(), row.empId);
        EXPECT_EQ(feed->vanName(), row.vanName);
        EXPECT_FALSE(feed->vanName().isNull()); // empty, never null: views compare with ""
    }
}

TEST_F(FeedDerived, CallStateAndRoomReadings)
{
    struct Row {
        int memberType, roomType, online, ringing, mute, extension, cellphone, multiScreen;
        bool isOnline, calling, speaking, bothPhones, projectorAudio, room, cisio, sender, receive;
    };
    const Row rows[] = {
        {1, 0, 1, 0, 2, 0, 1, 0, true, false, true, false, true, false, false, false, false},
        {1, 0, 1, 0, 1, 1, 0, 2, true, false, false, false, false, false, false, true, false},
        {1, 0, 0, 1, 0, 1, 1, 1, false, true, false, false, false, false, false, false, true},
        {1, 0, -1, -1, -1, -1, -1, 0, false, false, false, false, false, false, false, false, false},
        {2, 1, 1, 0, 0, 1, 0, 0, true, false, false, false, true, true, true, false, false},
        {2, 0, 1, 0, 0, 0, 1, 0, true, false, false, false, false, true, false, false, false},
        {2, 0, 1, 0, 0, 1, 1, 0, true, false, false, true, true, true, false, false, false},
        {3, 1, 1, 0, 0, 1, 1, 0, true, false, false, true, false, false, false, false, false},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(testing::Message() << "type " << row.memberType << " online " << row.online << " ext "
                                        << row.extension << " cell " << row.cellphone);
        auto feed = makeFeed("u1", makeParticipant({{"memberType", row.memberType}, {"roomType", row.roomType}},
                                                   {{"online", row.online}, {"ringing", row.ringing},
                                                    {"mute", row.mute}, {"extension", row.extension},
                                                    {"cellphone", row.cellphone}, {"multiScreen", row.multiScreen}}));
        EXPECT_EQ(feed->isOnline(), row.isOnline);
        EXPECT_EQ(feed->isCalling(), row.calling);
        EXPECT_EQ(feed->isSpeaking(), row.speaking);
        EXPECT_EQ(feed->isExtensionAndCellPhoneOnline(), row.bothPhones);
        EXPECT_EQ(feed->isMultiProjectorAudioOpen(), row.projectorAudio);
        EXPECT_EQ(feed->isMeetingRoom(), row.room);
        EXPECT_EQ(feed->isCisioRoom(), row.cisio);
        EXPECT_EQ(feed->isMultiProjectorSender(), row.sender);
        EXPECT_EQ(feed->isMultiProjectorReceive(), row.receive);
        feed->setIsMultiScreenSender(true); // the own flags count whatever the call state says
        feed->setIsMultiScreenReceive(true);
        EXPECT_TRUE(feed->isMultiProjectorSender() && feed->isMultiProjectorReceive());
    }
    auto bare = makeFeed("u1"); // no participant, so no call state to read
    EXPECT_FALSE(bare->isOnline() || bare->isCalling() || bare->isMeetingRoom() || bare->isMultiProjectorAudioOpen());
    auto flagged = makeFeed("u1");
    flagged->setIsFreeSwitchFeed(true);
    EXPECT_FALSE(flagged->isFreeSwitchFeed());
    EXPECT_TRUE(makeFeed("freeswitch")->isFreeSwitchFeed());
}

TEST_F(FeedDerived, MediaPresenceAndEnabledTracks)
{
    auto feed = makeFeed("u1");
    EXPECT_FALSE(feed->hasRTCMedia());
    auto media = stream({{"audio", true}});
    feed->setMediaStream(media);
    EXPECT_TRUE(feed->hasRTCMedia());
    EXPECT_FALSE(feed->hasVideoMedia());
    media->setTrackId("video", "v1");
    EXPECT_TRUE(feed->hasVideoMedia());
    media->setTrackId("audio", "");
    media->setTrackId("video", "");
    EXPECT_FALSE(feed->hasRTCMedia());

    struct Row { bool publisher, withStream, streamEnabled, muted, enabled; };
    const Row rows[] = {
        {true, true, true, true, true},   // the own feed asks the stream, not the flag
        {true, true, false, false, false},
        {true, false, true, false, false}, // own feed without a stream sends nothing
        {false, true, false, false, true}, // a remote feed reads its flag
        {false, false, true, true, false},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(testing::Message() << row.publisher << row.withStream << row.streamEnabled << row.muted);
        auto subject = makeFeed("u1");
        subject->setIsPublisher(row.publisher);
        subject->setAudioMuted(row.muted);
        subject->setVideoMuted(row.muted);
        if (row.withStream) {
            auto s = stream();
            s->setEnabled("audio", row.streamEnabled);
            s->setEnabled("video", row.streamEnabled);
            subject->setMediaStream(s);
        }
        EXPECT_EQ(subject->audioEnabled(), row.enabled);
        EXPECT_EQ(subject->videoEnabled(), row.enabled);
    }
}

TEST_F(FeedDerived, StreamMutingAndRendering)
{
    auto feed = makeFeed("u1");
    auto view = std::make_shared<kltest::IdRenderView>("u1");
    auto other = std::make_shared<kltest::IdRenderView>("u2");
    // Without media nothing plays; removing only forgets a view bound to this feed.
    feed->addRenderer(view);
    feed->removeRenderer(other);
    feed->removeRenderer(view);
    EXPECT_EQ(view->renderStreamId(), "");
    EXPECT_EQ(other->renderStreamId(), "u2");

    feed->setMediaStream(stream());
    feed->setAudioMuted(true);
    feed->setVideoMuted(false);
    feed->enableAudioTrack(false); // the flag goes to the stream unchanged
    feed->enableVideoTrack(true);
    feed->addRenderer(view);
    feed->addPreview(other);
    feed->removeRenderer(other);
    feed->stopAllRender();
    feed.reset(); // a released feed leaves no view drawing
    QStringList seen;
    for (const auto &call : log->calls())
        seen << call.name + (call.args.isEmpty() || !call.args[0].isBool() ? "" : call.args[0].toBool() ? "+" : "-");
    EXPECT_EQ(seen, QStringList({"muteAudio+", "muteVideo-", "muteAudio-", "muteVideo+", "playWithView",
                                 "preVideoWithView", "stopPlayWithView", "stopPlay", "stopPlay"}));
}

TEST_F(FeedDerived, CloseResetsStreamStateButKeepsIdentity)
{
    auto participant = makeParticipant({{"displayName", "Ann"}});
    auto feed = makeFeed("u1", participant);
    auto media = stream();
    feed->setMediaStream(media);
    feed->setIsMultiScreenSender(true);
    feed->setIsWeakNet(3);
    feed->setNetScore(1);
    feed->setNoAudioCount(5);
    feed->setNoILevelCount(6);
    feed->setPacketsSent(700);
    for (auto set : {&KLFeedClient::setNoAudioFlag, &KLFeedClient::setNoILevelFlag, &KLFeedClient::setIsLocked,
                     &KLFeedClient::setIsReceiveVideoByClient, &KLFeedClient::setProjectorBySelf})
        ((*feed).*set)(true);
    feed->setIsReceiveVideoByServer(false);

    feed->close();
    feed->close(); // a second close finds no stream
    EXPECT_TRUE(media->isClosed());
    EXPECT_EQ(log->count("close"), 1);
    EXPECT_EQ(feed->mediaStream(), nullptr);
    EXPECT_EQ(feed->isWeakNet(), 1);
    EXPECT_EQ(feed->netScore(), 4);
    EXPECT_EQ(feed->noAudioCount() + feed->noILevelCount() + feed->packetsSent(), 0);
    EXPECT_FALSE(feed->noAudioFlag() || feed->noILevelFlag() || feed->isLocked() || feed->isReceiveVideoByClient()
                 || feed->projectorBySelf());
    EXPECT_TRUE(feed->isReceiveVideoByServer());
    EXPECT_EQ(feed->participant(), participant);
    EXPECT_EQ(feed->display(), "Ann");
    EXPECT_TRUE(feed->isMultiScreenSender());
}

TEST_F(FeedDerived, StatsObserverSeesOldAndNewValues)
{
    auto feed = makeFeed("u1");
    QStringList seen;
    feed->setStatsObserver([&seen](KLFeedClient &f, KLFeedStat stat, qint64 oldValue, qint64 newValue) {
        // Reading the feed from inside must not deadlock, and sees the new value.
        const qint64 now = stat == KLFeedStat::PacketsSent ? f.packetsSent() : f.iLevel();
        seen << QStringLiteral("%1:%2>%3=%4").arg(QString::fromLatin1(stat == KLFeedStat::PacketsSent ? "sent" : "level"))
                    .arg(oldValue).arg(newValue).arg(now);
    });
    feed->setPacketsSent(5);
    feed->setPacketsSent(5); // unchanged values are reported too
    feed->setILevel(30);
    feed->setPacketsSent(9);
    feed->setStatsObserver({});
    feed->setILevel(1);
    EXPECT_EQ(seen, QStringList({"sent:0>5=5", "sent:5>5=5", "level:0>30=30", "sent:5>9=9"}));
}

} // namespace
