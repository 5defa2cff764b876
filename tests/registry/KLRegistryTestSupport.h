#pragma once

// A meeting for the registry to live in: a recording host and layout, the fake media engine
// with one connection, and short-hands to build feeds with the traits the rules look at.

#include "KLTestSupport.h"

#include "conference/registry/KLConferenceManagerDataSource.h"
#include "conference/registry/KLFeedClient.h"
#include "conference/registry/KLParticipantRegistry.h"
#include "conference/registry/KLParticipantRegistryHost.h"
#include "media/fake/KLFakeMediaSDK.h"
#include "model/KLParticipant.h"

#include <KelvoUISDK/KLSDKMeetingUser.h>

#include <QJsonArray>
#include <QJsonObject>
#include <QMap>
#include <QStringList>

#include <gtest/gtest.h>

namespace kltest {

/// Records what the registry tells the layout (driven from the test's thread only).
class RecordingLayout final : public KLConferenceManagerDataSource {
public:
    using Feed = std::shared_ptr<KLFeedClient>;
    using View = std::shared_ptr<KLRTCMediaVideoRenderView>;
    void clientRendererViewOnMainScreen(const Feed &f) override { mainScreen.append(f->uuid()); }
    void clientRendererViewOnSmallScreen() override { ++smallScreen; }
    void updateRendererViewContent(const Feed &feed) override { updated.append(feed->uuid()); }
    View rendererViewForClient(const Feed &) override { return nullptr; }
    View previewRendererViewForClient(const Feed &) override { return nullptr; }
    void enterRoomSuccess() override {}
    void leaveRoomWithReason(int) override {}
    void refreshRoom() override {}

    QStringList mainScreen, updated;
    int smallScreen = 0;
};

class FakeRegistryHost final : public KLParticipantRegistryHost {
public:
    QJsonValue appointmentId() const override { return 4711; }
    bool isPallasMeeting() const override { return pallas; }
    bool enterRoomSuccess() const override { return entered; }
    qint64 conferenceMode() const override { return mode; }
    bool isVanInternal() const override { return vanInternal; }
    bool isEnterRoomVideoShouldMute() const override { return videoShouldMute; }
    std::shared_ptr<KLRTCMediaConnection> mediaConnection() const override { return connection; }
    std::shared_ptr<KLConferenceManagerDataSource> dataSource() const override { return layout; }
    std::weak_ptr<KLConferenceManagerProtocol> conferenceManager() const override { return {}; }
    const void *notificationSender() const override { return this; }
    void stopShare() override { ++stopShareCalls; }
    void postToSerialQueue(KLBlock block) override { block(); }
    void meetingUserStatusChanged(const std::shared_ptr<KLSDKMeetingUser> &user, int event) override
    {
        userEvents.append(QStringLiteral("%1:%2").arg(user->uuid).arg(event));
    }
    // No avatar host: member lists of internal meetings start no downloads here.
    QString avatarBaseUrl() const override { return QString(); }
    QString caFile() const override { return QString(); }

    bool pallas = true, entered = true, vanInternal = false, videoShouldMute = false;
    qint64 mode = 0;
    std::shared_ptr<KLRTCMediaConnection> connection;
    std::shared_ptr<RecordingLayout> layout = std::make_shared<RecordingLayout>();
    int stopShareCalls = 0;
    QStringList userEvents;
};

/// What a test feed is: combine freely.
enum FeedTrait : int {
    Online = 1,
    Media = 2,           ///< a remote stream with audio and video tracks
    Room = 4,            ///< member type 2
    Ringing = 8,
    ReceivingVideo = 16, ///< isReceiveVideoByClient already on
    Publisher = 32,      ///< the local camera feed, registered as the publisher
    NoParticipant = 64,  ///< a bare stream feed (shares, the mixed stream)
};

struct TestFeed {
    QString uuid;
    int traits = 0;
};

inline QJsonObject participantJson(const QString &uuid, int traits, const QJsonObject &extra = {})
{
    QJsonObject json{{"memberUUID", uuid}, {"empId", "emp-" + uuid}, {"memberType", (traits & Room) ? 2 : 1},
                     {"callState", QJsonObject{{"online", (traits & Online) ? 1 : 0},
                                               {"ringing", (traits & Ringing) ? 1 : 0}, {"hasVideo", 1}}}};
    for (auto it = extra.begin(); it != extra.end(); ++it)
        json.insert(it.key(), it.value());
    return json;
}

/// A registry in a meeting with the fake engine installed and a connection made.
class RegistryScene {
public:
    RegistryScene() { host->connection = engine->createConnection({}, 0, 0, false, false, {}); }
    ~RegistryScene() { KLRTCMediaSDK::install(nullptr); }

    std::shared_ptr<KLFeedClient> makeFeed(const TestFeed &wanted)
    {
        std::shared_ptr<KLParticipant> member;
        if (!(wanted.traits & NoParticipant))
            member = KLParticipant::createWithDictionary(participantJson(wanted.uuid, wanted.traits));
        auto feed = KLFeedClient::create(host->appointmentId(), wanted.uuid, {}, member);
        if (wanted.traits & Media)
            feed->setMediaStream(engine->makeRemoteStream(wanted.uuid));
        feed->setIsReceiveVideoByClient(wanted.traits & ReceivingVideo);
        feed->setIsPublisher(wanted.traits & Publisher);
        feeds.insert(wanted.uuid, feed);
        return feed;
    }

    /// Builds and registers the feeds in order; a Publisher one becomes the publisher.
    void add(const std::vector<TestFeed> &wantedFeeds)
    {
        for (const auto &wanted : wantedFeeds) {
            auto feed = makeFeed(wanted);
            registry.addClient(feed);
            if (wanted.traits & Publisher)
                registry.setPublisher(feed);
        }
    }

    std::shared_ptr<KLFeedClient> feed(const QString &uuid) const { return feeds.value(uuid); }

    /// The uuids of the streamVideo calls made with `enabled`, in call order.
    QStringList streamVideoCalls(bool enabled) const
    {
        QStringList ids;
        for (const auto &call : engine->lastConnection()->calls())
            if (call.name == QLatin1String("streamVideo") && call.args.at(1).toBool() == enabled)
                ids.append(call.args.at(0).toString());
        return ids;
    }

    std::shared_ptr<KLFakeMediaSDK> engine = KLFakeMediaSDK::installNew();
    std::shared_ptr<FakeRegistryHost> host = std::make_shared<FakeRegistryHost>();
    KLParticipantRegistry registry{host};
    QMap<QString, std::shared_ptr<KLFeedClient>> feeds;
};

inline QStringList uuidsOf(const KLFeedClientList &feeds)
{
    QStringList uuids;
    for (const auto &feed : feeds)
        uuids.append(feed ? feed->uuid() : QStringLiteral("<null>"));
    return uuids;
}

} // namespace kltest
