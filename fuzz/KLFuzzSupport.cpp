#include "KLFuzzSupport.h"

#include "conference/events/KLSignalingEventContext.h"
#include "conference/events/KLSignalingEventHandler.h"
#include "conference/registry/KLFeedClient.h"
#include "conference/registry/KLParticipantRegistry.h"
#include "conference/registry/KLParticipantRegistryHost.h"
#include "conference/registry/KLConferenceManagerDataSource.h"
#include "media/fake/KLFakeMediaSDK.h"
#include "presentation/KLToastManager.h"

#include <KelvoUISDK/KLSDKLogger.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QJsonDocument>
#include <QTemporaryDir>

#include <mutex>

namespace klfuzz {
namespace {

class SilentPrinter final : public KLSDKLoggerProtocol {
public:
    void info(const QString &, const QString &) override {}
    void debug(const QString &, const QString &) override {}
    void warn(const QString &, const QString &) override {}
    void error(const QString &, const QString &) override {}
    void action(const QString &, const QVariant &, const QVariant &) override {}
    void event(const QString &, const QVariant &, const QVariant &) override {}
    void error(const QString &, const QVariant &, const QVariant &) override {}
};

/// The layout the registry tells about its choices: nothing is drawn.
class NoLayout final : public KLConferenceManagerDataSource {
public:
    using Feed = std::shared_ptr<KLFeedClient>;
    using View = std::shared_ptr<KLRTCMediaVideoRenderView>;
    void clientRendererViewOnMainScreen(const Feed &) override {}
    void clientRendererViewOnSmallScreen() override {}
    void updateRendererViewContent(const Feed &) override {}
    View rendererViewForClient(const Feed &) override { return nullptr; }
    View previewRendererViewForClient(const Feed &) override { return nullptr; }
    void enterRoomSuccess() override {}
    void leaveRoomWithReason(int) override {}
    void refreshRoom() override {}
};

class RegistryHost final : public KLParticipantRegistryHost {
public:
    QJsonValue appointmentId() const override { return 4711; }
    bool isPallasMeeting() const override { return true; }
    bool enterRoomSuccess() const override { return true; }
    qint64 conferenceMode() const override { return 0; }
    bool isVanInternal() const override { return true; }
    bool isEnterRoomVideoShouldMute() const override { return false; }
    std::shared_ptr<KLRTCMediaConnection> mediaConnection() const override { return connection; }
    std::shared_ptr<KLConferenceManagerDataSource> dataSource() const override { return layout; }
    std::weak_ptr<KLConferenceManagerProtocol> conferenceManager() const override { return {}; }
    const void *notificationSender() const override { return this; }
    void stopShare() override {}
    void postToSerialQueue(KLBlock block) override { block(); }
    void meetingUserStatusChanged(const std::shared_ptr<KLSDKMeetingUser> &, int) override {}
    // No avatar host: member lists start no downloads.
    QString avatarBaseUrl() const override { return QString(); }
    QString caFile() const override { return QString(); }

    std::shared_ptr<KLRTCMediaConnection> connection;
    std::shared_ptr<NoLayout> layout = std::make_shared<NoLayout>();
};

/// The meeting's flags as plain fields; feeds and member changes go to the real registry.
class EventContext final : public KLSignalingEventContext {
public:
    explicit EventContext(KLParticipantRegistry &registry) : m_registry(registry) {}

    qint64 conferenceMode() const override { return 0; }
    bool isPallasMeeting() const override { return true; }
    bool isVanInternal() const override { return true; }
    bool isStaff() const override { return true; }
    bool isMaster() const override { return false; }
    bool isEnterMultiProjectorFromSender() const override { return false; }
    bool isLeavingRoomBySelf() const override { return false; }
    bool isMuteInitStage() const override { return flag(m_muteInit); }
    void setIsMuteInitStage(bool v) override { set(m_muteInit, v); }
    bool isEnterRoomAudioShouldMute() const override { return flag(m_audioMute); }
    void setIsEnterRoomAudioShouldMute(bool v) override { set(m_audioMute, v); }
    bool isEnterRoomVideoShouldMute() const override { return flag(m_videoMute); }
    void setIsEnterRoomVideoShouldMute(bool v) override { set(m_videoMute, v); }
    void setIsOnlyPersonEnterRoom(bool alone) override { m_registry.setIsOnlyPersonEnterRoom(alone); }
    bool isFirstWssConnect() const override { return flag(m_firstWss); }
    void setIsFirstWssConnect(bool v) override { set(m_firstWss, v); }
    void setIsOnlyPersonFromEnterForMultiProjector(bool) override {}
    void setIsOpenAudioMeetingForMultiProjector(bool) override {}
    bool isShowMeetingSummaryModule() const override { return true; }
    void setSummaryState(bool, const QString &) override {}
    bool startMeetingNoteBySelf() const override { return flag(m_noteStart); }
    void setStartMeetingNoteBySelf(bool v) override { set(m_noteStart, v); }
    bool stopMeetingNoteBySelf() const override { return flag(m_noteStop); }
    void setStopMeetingNoteBySelf(bool v) override { set(m_noteStop, v); }

    FeedPtr publisher() const override { return m_registry.publisher(); }
    FeedPtr displayingClient() const override { return m_registry.displayingClient(); }
    FeedPtr clientWithUUID(const QString &uuid) const override { return m_registry.clientWithUUID(uuid); }
    QList<FeedPtr> participants() const override { return m_registry.participants(); }
    void setFloorChangeFeed(FeedPtr feed) override { m_registry.setFloorChangeFeed(std::move(feed)); }
    void addParticipants(const QJsonArray &list) override { m_registry.addParticipants(list); }
    void removeClient(FeedPtr feed) override { m_registry.removeClient(feed); }
    void closeClient(FeedPtr feed) override { m_registry.closeClient(feed); }
    void displayClientAutomatically() override { m_registry.displayClientAutomatically(); }

    void hangupWithReason(int) override {}
    void streamVideo(FeedPtr, bool) override {}
    void meetingUserStatusChanged(const std::shared_ptr<KLSDKMeetingUser> &, int) override {}
    void pushSubTitle(const QJsonObject &) override {}
    void showCallRoomDialog() override {}
    const void *notificationObject() const override { return this; }

private:
    bool flag(const bool &f) const { std::lock_guard l(m_mutex); return f; }
    void set(bool &f, bool v) { std::lock_guard l(m_mutex); f = v; }

    KLParticipantRegistry &m_registry;
    mutable std::mutex m_mutex;
    bool m_muteInit = true, m_audioMute = false, m_videoMute = false, m_firstWss = true,
         m_noteStart = false, m_noteStop = false;
};

QJsonObject member(const char *uuid, int type, int online)
{
    return {{"memberUUID", uuid}, {"empId", QStringLiteral("emp-%1").arg(uuid)}, {"memberType", type},
            {"displayName", uuid}, {"callState", QJsonObject{{"online", online}, {"hasVideo", 1}}}};
}

} // namespace

struct Meeting::State {
    std::shared_ptr<KLFakeMediaSDK> engine = KLFakeMediaSDK::installNew();
    std::shared_ptr<RegistryHost> host = std::make_shared<RegistryHost>();
    std::unique_ptr<KLParticipantRegistry> registry;
    std::unique_ptr<KLToastManager> toasts = std::make_unique<KLToastManager>();
    std::shared_ptr<EventContext> context;
    std::shared_ptr<KLSignalingEventHandler> handler;
};

void initialise()
{
    static std::once_flag once;
    std::call_once(once, [] {
        // The store flushes every write to disk: in memory when the machine offers it.
        static QTemporaryDir settingsHome(QDir(QStringLiteral("/dev/shm")).exists()
                                              ? QStringLiteral("/dev/shm/kelvo-fuzz-XXXXXX")
                                              : QDir::tempPath() + QStringLiteral("/kelvo-fuzz-XXXXXX"));
        qputenv("XDG_CONFIG_HOME", settingsHome.path().toUtf8());
        qputenv("QT_QPA_PLATFORM", "offscreen");
        QCoreApplication::setOrganizationName(QStringLiteral("KelvoFuzz"));
        QCoreApplication::setApplicationName(QStringLiteral("kelvo-fuzz"));
        static int argc = 1;
        static char name[] = "kelvo-fuzz";
        static char *argv[] = {name, nullptr};
        new QCoreApplication(argc, argv);
        KLSDKLogger::setLoggerPrinter(std::make_shared<SilentPrinter>());
    });
}

QJsonObject objectOf(const QByteArray &input)
{
    const QJsonValue value = valueOf(input);
    if (value.isArray())
        return value.toArray().first().toObject();
    return value.toObject();
}

QJsonValue valueOf(const QByteArray &input)
{
    const QJsonDocument document = QJsonDocument::fromJson(input);
    if (document.isObject())
        return document.object();
    if (document.isArray())
        return document.array();
    return QJsonValue::Undefined;
}

void spin(int milliseconds, const std::function<bool()> &done)
{
    QDeadlineTimer deadline(milliseconds);
    do {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    } while (!(done && done()) && !deadline.hasExpired());
}

Meeting::Meeting() : m_state(std::make_shared<State>())
{
    State &s = *m_state;
    s.host->connection = s.engine->createConnection({}, 0, 0, false, false, {});
    s.registry = std::make_unique<KLParticipantRegistry>(s.host);
    s.registry->addParticipants(QJsonArray{member("me", 1, 1), member("a", 1, 1), member("b", 1, 0),
                                           member("room", 2, 1)});
    if (auto own = s.registry->clientWithUUID(QStringLiteral("me"))) {
        own->setIsPublisher(true);
        s.registry->setPublisher(own);
    }
    s.context = std::make_shared<EventContext>(*s.registry);
    s.handler = KLSignalingEventHandler::create(s.context, {{}, s.toasts.get()});
}

Meeting::~Meeting()
{
    m_state->handler.reset();
    m_state->context.reset();
    m_state->registry.reset();
    KLRTCMediaSDK::install(nullptr);
}

KLParticipantRegistry &Meeting::registry() { return *m_state->registry; }
KLSignalingEventHandler &Meeting::handler() { return *m_state->handler; }

void Meeting::readBack()
{
    KLParticipantRegistry &r = *m_state->registry;
    for (const auto &feed : r.participants())
        if (const auto participant = feed->participant())
            r.isParticipantExists(*participant);
    r.memberList();
    r.participantsWithOnline(true);
    r.participantsWithOnline(false);
    r.onlineClients();
    r.mediaOrOnlineClients();
    r.offlineRooms();
    r.isSelfInMeeting();
    r.sharedFeed();
    r.floorChangeClient();
    r.roomClient();
    r.defaultClient();
    r.displayClientAutomatically();
    r.smallClients();
}

} // namespace klfuzz
