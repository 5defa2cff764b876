// Entering (connected, stream ready, media up) and the remote streams of a running meeting.
#include "KLMediaEventFixture.h"

#include "KLRecordingPrinter.h"
#include "runtime/KLNotificationCenter.h"

using namespace kltest;

namespace {

/// Counts one notification name while alive and keeps the last "client".
struct Observed {
    explicit Observed(const char *name)
    {
        KLNotificationCenter::defaultCenter().addObserver(this, name, [this](const KLNotification &n) {
            ++count;
            client = n.userInfo.value("client").value<std::shared_ptr<KLFeedClient>>();
        });
    }
    ~Observed() { KLNotificationCenter::defaultCenter().removeObserver(this); }
    int count = 0;
    std::shared_ptr<KLFeedClient> client;
};

TEST_F(MediaEventTest, ConnectedBuildsTheMediaDictionaryFromTheDevices)
{
    const KLRTCMediaDevice cam{"cam-1", "Front", 1, 5}, mic{"mic-1", "Mic", 3, 2}, out{"", "", 2, 0};
    struct Row { const char *name; bool video; int cameras; std::optional<KLRTCMediaDevice> camera, mic, speaker;
                 QJsonObject media; QJsonObject record; };
    const Row rows[] = {
        {"allDevices", true, 1, cam, mic, out,
         {{"audio", true}, {"video", true}, {"cameraId", "cam-1"}, {"vWidth", 1280}, {"vHeight", 720},
          {"KLRTCMedia-Video-Beauty", false}, {"micId", "mic-1"}, {"speakerId", ""}},
         {{"value", "deviceSelected"}, {"cameraId", "cam-1"}, {"cameraName", "Front"}, {"cameraTransportType", 5},
          {"micId", "mic-1"}, {"micName", "Mic"}, {"micTransportType", 2}, {"speakerId", ""},
          {"speakerName", ""}, {"speakerTransportType", 0}}},
        {"audioMeeting", false, 1, cam, std::nullopt, std::nullopt, {{"audio", true}}, {{"value", "deviceSelected"}}},
        {"noCamera", true, 0, std::nullopt, std::nullopt, std::nullopt, {{"audio", true}}, {{"value", "deviceSelected"}}},
        {"cameraWithoutId", true, 1, out, std::nullopt, std::nullopt,
         {{"audio", true}, {"video", true}, {"vWidth", 1280}, {"vHeight", 720}, {"KLRTCMedia-Video-Beauty", false}},
         {{"value", "deviceSelected"}}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        records.clear();
        ctx->localStreams.clear();
        ctx->videoMeeting = row.video;
        ctx->cameras = row.cameras;
        ctx->camera = row.camera;
        ctx->mic = row.mic;
        ctx->speaker = row.speaker;
        raise(KLRTCMediaEventConnected);
        EXPECT_EQ(ctx->takeActions(), (QStringList{"muteSpeaker 0", "createLocalStream", "onMeetingJoined"}));
        ASSERT_EQ(ctx->localStreams.size(), 1u);
        EXPECT_EQ(ctx->localStreams[0], row.media);
        const auto sent = records.withValue("deviceSelected");
        ASSERT_EQ(sent.size(), 1u);
        for (auto it = row.record.begin(); it != row.record.end(); ++it)
            EXPECT_EQ(sent[0].value(it.key()), it.value()) << it.key().toStdString();
        EXPECT_EQ(sent[0].contains("cameraName"), row.record.contains("cameraName"));
    }
}

TEST_F(MediaEventTest, ConnectedInACastPublishesAPlaceholderOrTheScreen)
{
    struct Row { bool receive, refreshing, selfShare; const char *action; };
    const Row rows[] = {{true, false, false, "noAudioVideoStream"}, {false, false, false, "desktopShare"},
                        {false, true, false, "noAudioVideoStream"}, {false, true, true, "desktopShare"},
                        {true, true, true, "desktopShare"}};
    ctx->mode = 1;
    for (const Row &row : rows) {
        ctx->receive = row.receive;
        ctx->refreshing = row.refreshing;
        ctx->selfShare = row.selfShare;
        handler->handleConnected();
        EXPECT_EQ(ctx->takeActions(), (QStringList{"muteSpeaker 0", row.action}))
            << row.receive << row.refreshing << row.selfShare;
    }
    EXPECT_TRUE(ctx->localStreams.empty());
}

TEST_F(MediaEventTest, MediaUpEntersInOrderAndReportsTheTime)
{
    ctx->refreshing = true;
    ctx->enterStarted = clock;
    advanceClock(2.5);
    engine->lastConnection()->setSpeakerDeviceStatus({{"speakerVolume", 30}});
    raise(KLRTCMediaEventWebrtcUp);
    EXPECT_EQ(ctx->takeActions(), (QStringList{"enterRoomSuccess 1", "stopEnterTimeoutCheck",
                                               "displayClientAutomatically", "dataSourceEnterRoomSuccess",
                                               "isRefreshStage 0", "startStatusReporters"}));
    const auto entered = records.withValue("enterRoom");
    ASSERT_EQ(entered.size(), 1u);
    EXPECT_DOUBLE_EQ(entered[0].value("useTimer").toDouble(), 2.5);
    EXPECT_EQ(entered[0].value("speakerVolume"), 30);
    EXPECT_EQ(records.withValue("mediaReconnectSuccess").size(), 1u);
    EXPECT_TRUE(api->calls.isEmpty());
    EXPECT_TRUE(hostStatuses().isEmpty());
}

TEST_F(MediaEventTest, MediaUpInACastMutesAndTellsTheService)
{
    struct Row { bool receive; const char *value; QStringList calls; QStringList host; };
    const Row rows[] = {{false, "projectSuccess", {"itMonitor 1 p-1 42 1", "multiScreen 42 u-me 5"}, {"0"}},
                        {true, "projectWatchSuccess", {"multiScreen 42 u-me 3"}, {}}};
    ctx->mode = 1;
    for (const Row &row : rows) {
        SCOPED_TRACE(row.value);
        api->calls.clear();
        { std::lock_guard l(hostMutex); hostMessages.clear(); }
        ctx->receive = row.receive;
        raise(KLRTCMediaEventWebrtcUp);
        EXPECT_EQ(ctx->takeActions().last(), "muteSpeaker 1");
        EXPECT_EQ(api->calls, row.calls);
        EXPECT_EQ(records.withValue(row.value).size(), 1u);
        EXPECT_EQ(hostStatuses(), row.host);
    }
}

TEST_F(MediaEventTest, ReadyStreamsBecomeTheirFeedsAndArePublished)
{
    Observed audioChange("AudioVideoChangeNotification");
    ctx->registry["u-me"] = ctx->own;
    ctx->muteInit = true;
    ctx->speakerOpen = false;
    ctx->videoShouldMute = true;
    const auto local = [&](const QJsonObject &media, const QString &id) {
        auto stream = std::static_pointer_cast<KLFakeMediaStream>(engine->createStream(media, {}));
        stream->setID(id);
        return std::shared_ptr<KLRTCMediaStream>(stream);
    };
    auto camera = local({{"audio", true}, {"video", true}}, "u-me");
    auto screen = local({{"screen", true}}, "screen-u-me");
    auto placeholder = local({{"fakeStream", true}}, "fake");
    handler->handleStreamState(camera, 1, {}); // not ready: ignored
    for (const auto &stream : {camera, screen, placeholder})
        handler->handleStreamState(stream, KLRTCMediaStreamStateReady, {});

    EXPECT_EQ(ctx->own->mediaStream(), camera);
    EXPECT_EQ(ctx->own->mtype(), "main");
    EXPECT_TRUE(ctx->own->audioMuted());
    EXPECT_TRUE(ctx->own->videoMuted());
    EXPECT_EQ(audioChange.count, 1);
    EXPECT_EQ(audioChange.client, ctx->own);
    const auto share = ctx->clientWithUUID("screen-u-me");
    ASSERT_TRUE(share);
    EXPECT_EQ(share->mediaStream(), screen);
    EXPECT_TRUE(share->isPublisher());
    EXPECT_EQ(ctx->own->associcateShareFeed(), share);
    EXPECT_EQ(ctx->takeActions(), (QStringList{"muteSpeaker 1", "addClient screen-u-me"}));
    QStringList published;
    for (const auto &call : engine->callLog()->calls("publishStream"))
        published << call.args.at(0).toString();
    EXPECT_EQ(published, (QStringList{"u-me", "screen-u-me", "fake"}));
}

TEST_F(MediaEventTest, CastsSubscribeOnlyScreens)
{
    struct Row { int mode; const char *id; bool subscribed; };
    const Row rows[] = {{1, "content", true}, {1, "screen-x", true}, {1, "alice", false},
                        {1, "xscreen-a", false}, {1, "Content", false}, {0, "alice", true}};
    for (const Row &row : rows) {
        ctx->mode = row.mode;
        engine->callLog()->clear();
        raise(KLRTCMediaEventStreamAdded, KLRTCMediaEventInfo::fromStream(engine->makeRemoteStream(row.id)));
        EXPECT_EQ(engine->callLog()->count("subscribe"), row.subscribed ? 1 : 0) << row.id;
    }
}

TEST_F(MediaEventTest, ForeignShareIsLockedAndAsksForTheProjector)
{
    auto printer = RecordingPrinter::install();
    auto owner = feed("u-bob", "Bob");
    ctx->registry["u-bob"] = owner;
    ctx->localShare = feed("screen-u-me", "Me");
    Observed robbed("STOP_SHARE_ROB_ALREADY");
    raise(KLRTCMediaEventStreamSubscribed,
          KLRTCMediaEventInfo::fromStream(engine->makeRemoteStream("screen-u-bob", "Qm9iJ3Mgc2NyZWVu")));
    const auto share = ctx->clientWithUUID("screen-u-bob");
    ASSERT_TRUE(share);
    EXPECT_EQ(share->display(), "Bob"); // the owner's participant wins over the stream's name
    EXPECT_EQ(owner->associcateShareFeed(), share);
    EXPECT_EQ(ctx->remoteShare, share);
    EXPECT_EQ(ctx->locked, share);
    EXPECT_EQ(ctx->shareCacheId, "screen-u-bob");
    EXPECT_FALSE(share->projectorBySelf());
    EXPECT_EQ(robbed.count, 1);
    EXPECT_EQ(ctx->takeActions(), (QStringList{"lockClientFeed screen-u-bob", "addClient screen-u-bob",
                                               "stopShare", "displayClientAutomatically"}));
    EXPECT_EQ(printer->count("info", "asking the host for the projector status"), 1);
    RecordingPrinter::uninstall();
}

TEST_F(MediaEventTest, OwnCastFromAnotherDeviceIsNotLockedNorQueried)
{
    auto printer = RecordingPrinter::install();
    // "Me" in Base64, the name the other device gave its share.
    raise(KLRTCMediaEventStreamSubscribed,
          KLRTCMediaEventInfo::fromStream(engine->makeRemoteStream("screen-u-phone", "TWU=")));
    const auto share = ctx->clientWithUUID("screen-u-phone");
    ASSERT_TRUE(share);
    EXPECT_EQ(share->display(), "Me");
    EXPECT_TRUE(share->projectorBySelf());
    EXPECT_EQ(ctx->locked, nullptr);
    EXPECT_EQ(ctx->remoteShare, share);
    EXPECT_TRUE(ctx->shareCacheId.isEmpty());
    EXPECT_EQ(printer->count("info", "asking the host for the projector status"), 0);
    RecordingPrinter::uninstall();
}

TEST_F(MediaEventTest, ShareEndingDetachesItEverywhere)
{
    auto owner = feed("u-bob", "Bob");
    ctx->registry["u-bob"] = owner;
    const auto stream = engine->makeRemoteStream("screen-u-bob", "Bob");
    raise(KLRTCMediaEventStreamSubscribed, KLRTCMediaEventInfo::fromStream(stream));
    auto share = ctx->clientWithUUID("screen-u-bob");
    ctx->clicked = share;
    ctx->takeActions();

    raise(KLRTCMediaEventStreamUnsubscribed, KLRTCMediaEventInfo::fromStream(stream));
    EXPECT_EQ(ctx->takeActions(), (QStringList{"removeClient screen-u-bob", "displayClientAutomatically"}));
    EXPECT_FALSE(ctx->clientWithUUID("screen-u-bob"));
    EXPECT_EQ(owner->associcateShareFeed(), nullptr);
    EXPECT_EQ(share->mediaStream(), nullptr);
    EXPECT_EQ(ctx->clicked, nullptr);
    EXPECT_EQ(ctx->locked, nullptr);
    EXPECT_EQ(ctx->remoteShare, nullptr);
}

TEST_F(MediaEventTest, RemovedRemoteStreamIsUnsubscribedButTheOwnIsKept)
{
    auto bob = feed("u-bob", "Bob");
    bob->setMediaStream(engine->makeRemoteStream("u-bob"));
    ctx->registry = {{"u-bob", bob}, {"u-me", ctx->own}};
    ctx->own->setMediaStream(engine->makeRemoteStream("u-me"));
    for (const char *id : {"u-bob", "u-me"})
        raise(KLRTCMediaEventStreamRemoved, KLRTCMediaEventInfo::fromStream(engine->makeRemoteStream(id)));
    EXPECT_EQ(engine->callLog()->count("unsubscribe"), 1);
    EXPECT_EQ(bob->mediaStream(), nullptr);
    EXPECT_NE(ctx->own->mediaStream(), nullptr);
    EXPECT_EQ(ctx->registry.size(), 2u);
}

TEST_F(MediaEventTest, GradeIsClampedToOneToFour)
{
    Observed update("MeetingMemberNetStatusUpdate");
    auto bob = feed("u-bob", "Bob");
    ctx->registry["u-bob"] = bob;
    const std::pair<QJsonValue, int> rows[] = {{-3, 1}, {0, 1}, {1, 1}, {3, 3}, {4, 4}, {7, 4}, {"x", 1}};
    for (const auto &[grade, score] : rows) {
        raise(KLRTCMediaEventNetworkGrade, QJsonObject{{"stream", "u-bob"}, {"grade", grade}});
        EXPECT_EQ(bob->netScore(), score) << grade.toVariant().toString().toStdString();
    }
    raise(KLRTCMediaEventNetworkGrade, QJsonObject{{"stream", "u-nobody"}, {"grade", 2}});
    EXPECT_EQ(update.count, 7);
    EXPECT_EQ(update.client, bob);
}

TEST_F(MediaEventTest, WeakNetworkLevelAndRecord)
{
    struct Row { const char *status; bool weak; qint64 level; const char *text; };
    const Row rows[] = {{"DISCONNECTED", false, 3, "Bob 弱网恢复"}, {"DISCONNECTED", true, 3, "Bob 弱网"},
                        {"", true, 2, "Bob 弱网"}, {"", false, 1, "Bob 弱网恢复"}};
    auto bob = feed("u-bob", "Bob");
    ctx->registry["u-bob"] = bob;
    for (const Row &row : rows) {
        SCOPED_TRACE(row.text);
        records.clear();
        raise(KLRTCMediaEventWeakNetwork,
              QJsonObject{{"stream", "u-bob"}, {"weak", row.weak}, {"status", row.status}});
        EXPECT_EQ(bob->isWeakNet(), row.level);
        const auto sent = records.withValue("weakNet");
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0].value("networkStatus").toString(), row.text);
        EXPECT_EQ(sent[0].contains("status"), *row.status != 0);
    }
}

TEST_F(MediaEventTest, ServerVideoSwitchesAndTheOwnWeakUplink)
{
    Observed receive("ReceiveVideoChangeNotification"), selfWeak("SELF_WEAK_CLOSE_VIDEO");
    auto bob = feed("u-bob", "Bob");
    ctx->registry = {{"u-bob", bob}, {"u-me", ctx->own}};
    ctx->own->setMediaStream(engine->createStream({{"video", true}}, {}));
    raise(KLRTCMediaEventServerVideoOff, KLRTCMediaEventInfo::fromStreamId("u-bob"));
    EXPECT_FALSE(bob->isReceiveVideoByServer());
    raise(KLRTCMediaEventServerVideoOn, KLRTCMediaEventInfo::fromStreamId("u-me"));
    raise(KLRTCMediaEventServerVideoOff, KLRTCMediaEventInfo::fromStreamId("u-me"));
    EXPECT_EQ(receive.count, 1);
    EXPECT_EQ(selfWeak.count, 1);
    EXPECT_TRUE(ctx->own->isReceiveVideoByServer());
}

TEST_F(MediaEventTest, DataChannelChatAndVideoLayerRequests)
{
    raise(KLRTCMediaEventDataChannelMessage, QJsonObject{{"type", "chatMsg"}, {"content", "hi"}});
    raise(KLRTCMediaEventDataChannelMessage,
          QJsonObject{{"type", "signal"},
                      {"content", QJsonObject{{"cmd", "sub_video"}, {"main", true}, {"screen", 2}}}});
    raise(KLRTCMediaEventDataChannelMessage, QJsonObject{{"type", "signal"}, {"content", "junk"}});
    EXPECT_EQ(ctx->takeActions(), QStringList{"pushChatMessage hi"});
    const auto calls = engine->callLog()->calls("videoStreamActionWithMain");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].args, (QJsonArray{true, false, false, 2}));
}

TEST_F(MediaEventTest, ReleasedConnectionIsDroppedAndSessionIdKept)
{
    const QString previous = KLQLSLogger::sharedInstance().sessionId();
    raise(KLRTCMediaEventMediaSessionId, QJsonObject{{"mediaSessionId", "ms-7"}});
    EXPECT_EQ(KLQLSLogger::sharedInstance().sessionId(), "ms-7");
    KLQLSLogger::sharedInstance().setSessionId(previous);
    raise(KLRTCMediaEventConnectionReleased);
    EXPECT_EQ(ctx->takeActions(), QStringList{"dropMediaConnection"});
    raise(KLRTCMediaEventStreamAdded, KLRTCMediaEventInfo::fromStream(engine->makeRemoteStream("u-x")));
    EXPECT_EQ(engine->callLog()->count("subscribe"), 0);
}

} // namespace
