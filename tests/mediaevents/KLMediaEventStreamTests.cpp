// Entering (connected, stream ready, media up) and the remote streams of a running meeting.
#include "KLMediaEventFixture.h"

#include "KLRecordingPrinter.h"

using namespace kltest;

namespace {

TEST_F(MediaEventTest, ConnectedBuildsTheMediaDictionaryFromTheDevices)
{
    const KLRTCMediaDevice cam{"cam-1", "Front", 1, 5}, mic{"mic-1", "Mic", 3, 2}, out{"", "", 2, 0};
    const QJsonObject video{{"audio", true}, {"video", true}, {"vWidth", 1280}, {"vHeight", 720},
                            {"KLRTCMedia-Video-Beauty", false}};
    const QJsonObject record{{"cameraId", "cam-1"}, {"cameraName", "Front"}, {"cameraTransportType", 5},
                             {"micId", "mic-1"}, {"micName", "Mic"}, {"micTransportType", 2}, {"speakerId", ""},
                             {"speakerName", ""}, {"speakerTransportType", 0}};
    QJsonObject all = video;
    for (const char *key : {"cameraId", "micId", "speakerId"})
        all.insert(key, record.value(key));
    // Only the first row has devices with ids, so only its record names them.
    struct Row { bool video; int cameras; std::optional<KLRTCMediaDevice> camera; bool named; QJsonObject media; };
    const Row rows[] = {{true, 1, cam, true, all}, {false, 1, cam, false, {{"audio", true}}},
                        {true, 0, std::nullopt, false, {{"audio", true}}}, {true, 1, out, false, video}};
    for (const Row &row : rows) {
        SCOPED_TRACE(QJsonDocument(row.media).toJson().toStdString());
        resetSinks();
        ctx->localStreams.clear();
        ctx->videoMeeting = row.video;
        ctx->cameras = row.cameras;
        ctx->camera = row.camera;
        ctx->mic = row.named ? std::optional(mic) : std::nullopt;
        ctx->speaker = row.named ? std::optional(out) : std::nullopt;
        raise(KLRTCMediaEventConnected);
        EXPECT_EQ(ctx->takeActions(), (QStringList{"muteSpeaker 0", "createLocalStream", "onMeetingJoined"}));
        EXPECT_EQ(ctx->localStreams, std::vector{row.media});
        const auto sent = records.withValue("deviceSelected");
        ASSERT_EQ(sent.size(), 1u);
        for (const QString &key : record.keys())
            EXPECT_EQ(sent[0].value(key), (row.named ? record : QJsonObject{}).value(key)) << key.toStdString();
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
        std::tie(ctx->receive, ctx->refreshing, ctx->selfShare) = std::tie(row.receive, row.refreshing, row.selfShare);
        handler->handleConnected();
        EXPECT_EQ(ctx->takeActions(), (QStringList{"muteSpeaker 0", row.action})) << row.receive << row.refreshing;
    }
    EXPECT_TRUE(ctx->localStreams.empty());
}

TEST_F(MediaEventTest, MediaUpEntersInOrderAndReportsTheTime)
{
    struct Row { int mode; bool receive; const char *value; QStringList calls; QStringList host; };
    const Row rows[] = {{0, false, "enterRoom", {}, {}},
                        {1, false, "projectSuccess", {"itMonitor 1 p-1 42 1", "multiScreen 42 u-me 5"}, {"0"}},
                        {1, true, "projectWatchSuccess", {"multiScreen 42 u-me 3"}, {}}};
    engine->lastConnection()->setSpeakerDeviceStatus({{"speakerVolume", 30}});
    for (const Row &row : rows) {
        SCOPED_TRACE(row.value);
        resetSinks();
        ctx->mode = row.mode;
        ctx->receive = row.receive;
        ctx->refreshing = true;
        ctx->enterStarted = clock.addMSecs(-2500);
        raise(KLRTCMediaEventWebrtcUp);
        QStringList expected{"enterRoomSuccess 1", "stopEnterTimeoutCheck", "displayClientAutomatically",
                             "dataSourceEnterRoomSuccess", "isRefreshStage 0", "startStatusReporters"};
        if (row.mode == 1)
            expected << "muteSpeaker 1"; // a cast plays no sound
        EXPECT_EQ(ctx->takeActions(), expected);
        const auto entered = records.withValue(row.value);
        ASSERT_EQ(entered.size(), 1u);
        EXPECT_DOUBLE_EQ(entered[0].value("useTimer").toDouble(), 2.5);
        EXPECT_EQ(entered[0].value("speakerVolume"), 30);
        EXPECT_EQ(records.withValue("mediaReconnectSuccess").size(), 1u);
        EXPECT_EQ(api->calls, row.calls);
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
        std::shared_ptr<KLRTCMediaStream> stream = engine->createStream(media, {});
        std::static_pointer_cast<KLFakeMediaStream>(stream)->setID(id);
        return stream;
    };
    auto camera = local({{"audio", true}, {"video", true}}, "u-me");
    auto screen = local({{"screen", true}}, "screen-u-me");
    handler->handleStreamState(camera, 1, {}); // not ready: ignored
    for (const auto &stream : {camera, screen, local({{"fakeStream", true}}, "fake")})
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
    const std::tuple<int, const char *, int> rows[] = {{1, "content", 1}, {1, "screen-x", 1}, {1, "alice", 0},
                                                       {1, "xscreen-a", 0}, {1, "Content", 0}, {0, "alice", 1}};
    for (const auto &[mode, id, subscribed] : rows) {
        ctx->mode = mode;
        engine->callLog()->clear();
        raise(KLRTCMediaEventStreamAdded, KLRTCMediaEventInfo::fromStream(engine->makeRemoteStream(id)));
        EXPECT_EQ(engine->callLog()->count("subscribe"), subscribed) << id;
    }
}

TEST_F(MediaEventTest, OwnCastIsKeptUnlockedWhileAForeignShareIsLockedAndQueried)
{
    auto printer = RecordingPrinter::install();
    const auto queries = [&] { return printer->count("info", "asking the host for the projector status"); };
    const auto subscribe = [&](const char *id, const char *display) {
        auto stream = engine->makeRemoteStream(id, display);
        raise(KLRTCMediaEventStreamSubscribed, KLRTCMediaEventInfo::fromStream(stream));
        return std::pair{stream, ctx->clientWithUUID(id)};
    };
    // "Me" in Base64, the name another device of the local user gave its share.
    const auto [phoneStream, phone] = subscribe("screen-u-phone", "TWU=");
    ASSERT_TRUE(phone);
    EXPECT_EQ(phone->display(), "Me");
    EXPECT_TRUE(phone->projectorBySelf());
    EXPECT_EQ(ctx->locked, nullptr);
    EXPECT_EQ(ctx->remoteShare, phone);
    EXPECT_TRUE(ctx->shareCacheId.isEmpty());
    EXPECT_EQ(queries(), 0);

    auto owner = feed("u-bob", "Bob");
    ctx->registry["u-bob"] = owner;
    ctx->localShare = feed("screen-u-me", "Me");
    Observed robbed("STOP_SHARE_ROB_ALREADY");
    ctx->takeActions();
    const auto [stream, share] = subscribe("screen-u-bob", "Qm9iJ3Mgc2NyZWVu");
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
    EXPECT_EQ(queries(), 1);
    RecordingPrinter::uninstall();

    // The share ending detaches it everywhere.
    ctx->clicked = share;
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
    auto bob = ctx->registry["u-bob"] = feed("u-bob", "Bob");
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
    const std::tuple<const char *, bool, qint64, const char *> rows[] = {
        {"DISCONNECTED", false, 3, "Bob 弱网恢复"}, {"DISCONNECTED", true, 3, "Bob 弱网"},
        {"", true, 2, "Bob 弱网"}, {"", false, 1, "Bob 弱网恢复"}};
    auto bob = ctx->registry["u-bob"] = feed("u-bob", "Bob");
    for (const auto &[status, weak, level, text] : rows) {
        SCOPED_TRACE(text);
        records.clear();
        raise(KLRTCMediaEventWeakNetwork, QJsonObject{{"stream", "u-bob"}, {"weak", weak}, {"status", status}});
        EXPECT_EQ(bob->isWeakNet(), level);
        const auto sent = records.withValue("weakNet");
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0].value("networkStatus").toString(), text);
        EXPECT_EQ(sent[0].contains("status"), *status != 0);
    }
}

TEST_F(MediaEventTest, ServerVideoSwitchesAndTheOwnWeakUplink)
{
    Observed receive("ReceiveVideoChangeNotification"), selfWeak("SELF_WEAK_CLOSE_VIDEO");
    auto bob = ctx->registry["u-bob"] = feed("u-bob", "Bob");
    ctx->registry["u-me"] = ctx->own;
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
    const QJsonObject layers{{"cmd", "sub_video"}, {"main", true}, {"screen", 2}};
    raise(KLRTCMediaEventDataChannelMessage, QJsonObject{{"type", "signal"}, {"content", layers}});
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
