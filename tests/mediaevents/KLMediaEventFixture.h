#pragma once

// A recording meeting for the media event handler: flags are plain fields, the registry is a
// map, and every action is written to `actions` as "name arg…" in call order. The fixture
// wires a handler to it with a test clock, a host message sink, its own toast manager and the
// fake engine's connection.

#include "KLSilentMeetingApi.h"
#include "../devices/KLRecordCapture.h"

#include "conference/registry/KLFeedClient.h"
#include "conference/events/KLMediaEventHandler.h"
#include "host/KLMessageMode.h"
#include "media/fake/KLFakeMediaSDK.h"
#include "model/KLParticipant.h"
#include "presentation/KLDialogQueue.h"
#include "presentation/KLToastManager.h"
#include "runtime/KLNotificationCenter.h"
#include "runtime/KLUtility.h"

#include <QJsonDocument>
#include <QStringList>

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <mutex>

namespace kltest {

class FakeMediaEventContext final : public KLMediaEventContext {
public:
    int mode = 0, cameras = 0;
    bool receive = false, videoMeeting = true, entered = false, refreshing = false, leaving = false,
         mediaUp = false, meetingUp = false, selfShare = false, speakerOpen = true, muteInit = false,
         videoShouldMute = false, vanInternal = false;
    QDateTime enterStarted;
    QString shareCacheId;
    std::shared_ptr<KLRTCMediaConnection> connection;
    FeedPtr own, clicked, locked, remoteShare, localShare;
    std::map<QString, FeedPtr> registry;
    std::optional<KLRTCMediaDevice> mic, speaker, camera;
    std::shared_ptr<KLSDKMeetingApiProtocol> api;
    std::vector<QJsonObject> localStreams;

    QStringList takeActions() { std::lock_guard l(m_mutex); return std::exchange(m_actions, {}); }
    void act(const QString &a) const { std::lock_guard l(m_mutex); m_actions << a; }

    // Plain getters and setters of the fields above, and actions recorded by their name alone.
#define KL_GET(Type, name, value) Type name() const override { return value; }
#define KL_SET(Type, name, field) void name(Type v) override { field = v; }
#define KL_ACT(name) void name() override { act(#name); }
    KL_GET(int, conferenceMode, mode) KL_GET(bool, multiProjectorReceive, receive)
    KL_GET(bool, isPallasMeeting, true) KL_GET(bool, isVideoMeeting, videoMeeting)
    KL_GET(bool, enterRoomSuccess, entered) KL_GET(bool, isRefreshStage, refreshing)
    KL_GET(bool, isLeavingRoomBySelf, leaving) KL_GET(bool, isSelfShareForMultiProjector, selfShare)
    KL_GET(bool, mediaChannelConnected, mediaUp) KL_SET(bool, setMediaChannelConnected, mediaUp)
    KL_GET(bool, meetingChannelConnected, meetingUp) KL_SET(bool, setMeetingChannelConnected, meetingUp)
    KL_GET(bool, isShowBeauty, false) KL_GET(bool, isStaff, false) KL_GET(bool, isVanInternal, vanInternal)
    KL_GET(bool, isSpeakerOpen, speakerOpen) KL_GET(bool, isMuteInitStage, muteInit)
    KL_GET(bool, isEnterRoomAudioShouldMute, false) KL_GET(bool, isEnterRoomVideoShouldMute, videoShouldMute)
    KL_GET(QDateTime, startEnterTimer, enterStarted) KL_GET(QJsonValue, appointmentId, 42)
    KL_GET(QString, projectId, QStringLiteral("p-1")) KL_SET(const QString &, setShareScreenCacheId, shareCacheId)
    KL_GET(std::shared_ptr<KLRTCMediaConnection>, mediaConnection, connection)
    KL_GET(FeedPtr, publisher, own) KL_GET(FeedPtr, displayingClient, nullptr)
    KL_GET(FeedPtr, clickedFeed, clicked) KL_SET(FeedPtr, setClickedFeed, clicked)
    KL_GET(FeedPtr, lockedFeed, locked) KL_SET(FeedPtr, setLockedFeed, locked)
    KL_GET(FeedPtr, remoteShareScreenFeed, remoteShare) KL_SET(FeedPtr, setRemoteShareScreenFeed, remoteShare)
    KL_GET(FeedPtr, shareScreenLocalClient, localShare)
    KL_GET(std::weak_ptr<KLConferenceManagerProtocol>, feedManager, {})
    KL_GET(std::optional<KLRTCMediaDevice>, currentAudioInput, mic)
    KL_GET(std::optional<KLRTCMediaDevice>, currentAudioOutput, speaker)
    KL_GET(std::optional<KLRTCMediaDevice>, currentVideoInput, camera) KL_GET(int, cameraCount, cameras)
    KL_GET(std::shared_ptr<KLSDKMeetingApiProtocol>, meetingApi, api) KL_GET(const void *, notificationObject, this)
    KL_ACT(refresh) KL_ACT(iceConnectionRestart) KL_ACT(checkForMeetingStatus) KL_ACT(stopShare)
    KL_ACT(desktopShare) KL_ACT(noAudioVideoStream) KL_ACT(stopEnterTimeoutCheck) KL_ACT(startStatusReporters)
    KL_ACT(stopSignaling) KL_ACT(onMeetingJoined) KL_ACT(dataSourceEnterRoomSuccess) KL_ACT(closeApp)
    KL_ACT(displayClientAutomatically)
#undef KL_GET
#undef KL_SET
#undef KL_ACT

    void setEnterRoomSuccess(bool v) override { entered = v; act(QStringLiteral("enterRoomSuccess %1").arg(v)); }
    void setIsRefreshStage(bool v) override { refreshing = v; act(QStringLiteral("isRefreshStage %1").arg(v)); }
    void dropMediaConnection() override { connection.reset(); act("dropMediaConnection"); }
    FeedPtr clientWithUUID(const QString &uuid) const override
    {
        auto it = registry.find(uuid);
        return it == registry.end() ? nullptr : it->second;
    }
    FeedPtr clientWithStreamId(const QString &id) const override { return clientWithUUID(id); }
    void addClient(FeedPtr f) override { registry[f->uuid()] = f; act("addClient " + f->uuid()); }
    void removeClient(FeedPtr f) override { registry.erase(f->uuid()); act("removeClient " + f->uuid()); }
    void lockClientFeed(FeedPtr f) override { locked = f; act("lockClientFeed " + f->uuid()); }
    void hangupWithReason(int r) override { act(QStringLiteral("hangupWithReason %1").arg(r)); }
    void muteSpeaker(bool m) override { act(QStringLiteral("muteSpeaker %1").arg(m)); }
    void createLocalStream(const QJsonObject &d) override { localStreams.push_back(d); act("createLocalStream"); }
    void onError(int c, const QString &r) override { act(QStringLiteral("onError %1 %2").arg(c).arg(r)); }
    void pushChatMessage(const QJsonValue &c) override { act("pushChatMessage " + c.toString()); }

private:
    mutable std::mutex m_mutex;
    mutable QStringList m_actions;
};

/// Records the two multi-projector reports as "name arg…"; every other operation is inert.
class ProjectorApi final : public SilentMeetingApi {
public:
    QStringList calls;
    void notifyItMonitorForMultiProjectorWithType(T t, T p, T m, T s, S, F) override
    { calls << QStringList{"itMonitor", t, p, m, s}.join(' '); }
    void notifyMultiScreenWithAppointmentId(V a, T uuid, V status, S, F) override
    { calls << QStringLiteral("multiScreen %1 %2 %3").arg(a.toInt()).arg(uuid).arg(status.toInt()); }
};

/// Counts one notification name while alive (from any thread) and keeps the last "client".
struct Observed {
    explicit Observed(const char *name)
    {
        KLNotificationCenter::defaultCenter().addObserver(this, name, [this](const KLNotification &n) {
            ++count;
            client = n.userInfo.value("client").value<std::shared_ptr<KLFeedClient>>();
        });
    }
    ~Observed() { KLNotificationCenter::defaultCenter().removeObserver(this); }
    std::atomic<int> count{0};
    std::shared_ptr<KLFeedClient> client;
};

class MediaEventTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        engine = KLFakeMediaSDK::installNew();
        ctx->connection = engine->createConnection({}, 1, 0, false, false, {});
        ctx->own = feed(QStringLiteral("u-me"), QStringLiteral("Me"));
        ctx->own->setIsPublisher(true);
        ctx->api = api;
        handler = KLMediaEventHandler::create(ctx, {[this] { std::lock_guard l(clockMutex); return clock; },
                                                    &host, &toasts});
    }
    void TearDown() override
    {
        // Engine messages still in flight would outlive the clock and sinks they use.
        KLUtility::shareInstance().concurrentQueue().waitForDone();
        KLRTCMediaSDK::install(nullptr);
    }

    /// A registered-or-not feed whose participant shows `name`.
    static std::shared_ptr<KLFeedClient> feed(const QString &uuid, const QString &name)
    {
        return KLFeedClient::create(42, uuid, {}, KLParticipant::createWithDictionary({{"displayName", name}}));
    }
    void raise(int event, const KLRTCMediaEventInfo &info = {}) { handler->handleConnectionEvent(event, info); }
    void raise(int event, const QJsonObject &dict) { raise(event, KLRTCMediaEventInfo::fromDictionary(dict)); }
    /// Forgets the actions, records, host messages and service calls so far.
    void resetSinks()
    {
        ctx->takeActions();
        records.clear();
        api->calls.clear();
        std::lock_guard l(hostMutex);
        hostMessages.clear();
    }
    /// The "status" of each host pipe message to "/projector/NotifyWorkStatus".
    QStringList hostStatuses()
    {
        std::lock_guard l(hostMutex);
        QStringList found;
        for (const QJsonObject &m : hostMessages)
            if (m.value("path") == "/projector/NotifyWorkStatus")
                found << QString::number(m.value("body")["status"].toInt());
        return found;
    }
    void advanceClock(double seconds) { std::lock_guard l(clockMutex); clock = clock.addMSecs(qint64(seconds * 1000)); }

    RecordCapture records;
    std::shared_ptr<KLFakeMediaSDK> engine;
    std::shared_ptr<FakeMediaEventContext> ctx = std::make_shared<FakeMediaEventContext>();
    std::shared_ptr<ProjectorApi> api = std::make_shared<ProjectorApi>();
    std::mutex hostMutex, clockMutex;
    std::vector<QJsonObject> hostMessages;
    KLMessageMode host{[this](const QByteArray &m) {
        std::lock_guard l(hostMutex);
        hostMessages.push_back(QJsonDocument::fromJson(m).object());
    }};
    KLDialogQueue dialogs;
    KLToastManager toasts{&dialogs};
    QDateTime clock = QDateTime::fromSecsSinceEpoch(1'700'000'000, Qt::UTC);
    std::shared_ptr<KLMediaEventHandler> handler;
};

} // namespace kltest
