#pragma once

// What the benchmarks that hold a real meeting share: the local meeting simulator in-process
// (optionally serving a meeting grown to N members from its default scenario), a platform that
// grants capture, the built-in media engine talking to the simulator's media server, and a
// conference service joined against all of it whose delegate notes when the join completed.
// Settings the join writes go to a throw-away folder, never the user's own.

#include "MeetingSim.h"
#include "SimScenario.h"

#include "conference/registry/KLConferenceManagerDataSource.h"
#include "conference/service/KLConferenceService.h"
#include "host/UserPersistentData.h"
#include "media/KLRTCMediaSDK.h"
#include "model/KLSDKMeetingConfigInternal.h"
#include "model/KLSDKMeetingEventDelegate.h"
#include "platform/KLFakePlatform.h"
#include "runtime/KLLocalization.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLoggingCategory>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>

namespace klbench {

using Clock = std::chrono::steady_clock;

inline double millisecondsBetween(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

/// Runs the main thread's event loop until `done` holds or `timeoutMs` passes, looking every
/// millisecond (and calling `tick` first, when given); returns `done()`. The loop sleeps between
/// looks, so a waiting benchmark does not take a core from the work it measures.
inline bool waitUntil(const std::function<bool()> &done, int timeoutMs = 20000,
                      const std::function<void()> &tick = {})
{
    if (done())
        return true;
    QEventLoop loop;
    QTimer look;
    look.setTimerType(Qt::PreciseTimer);
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    QObject::connect(&look, &QTimer::timeout, &loop, [&] {
        if (tick)
            tick();
        if (done() || Clock::now() >= deadline)
            loop.quit();
    });
    look.start(1);
    loop.exec();
    return done();
}

/// Persistent settings go to a folder removed at exit. Make it before the application object.
class ThrowAwaySettings {
public:
    ThrowAwaySettings()
    {
        qputenv("XDG_CONFIG_HOME", m_home.path().toUtf8());
        QCoreApplication::setOrganizationName(QStringLiteral("KelvoBench"));
        QCoreApplication::setApplicationName(QStringLiteral("kelvo-bench"));
    }

private:
    QTemporaryDir m_home;
};

/// The default scenario with its first meeting grown to `memberCount` members: the four
/// default ones plus online members made from the host's record (every third muted, every
/// fifth with the camera off). Empty with `error` set when the default cannot be read.
inline QJsonObject scenarioWithMembers(int memberCount, QString *error)
{
    QJsonObject scenario;
    if (!kelvosim::SimScenario::load({}, &scenario, error))
        return {};
    QJsonArray meetings = scenario.value("meetings").toArray();
    QJsonObject meeting = meetings.first().toObject();
    QJsonArray members = meeting.value("members").toArray();
    const QJsonObject model = members.at(1).toObject();
    for (int i = members.size(); i < memberCount; ++i) {
        QJsonObject member = model;
        member["memberUUID"] = QStringLiteral("B0B0B0B0-0000-4000-8000-%1").arg(i, 12, 10, QLatin1Char('0'));
        member["memberId"] = 710000 + i;
        member["empId"] = QStringLiteral("E2%1").arg(i, 4, 10, QLatin1Char('0'));
        member["userId"] = QStringLiteral("u2%1").arg(i, 4, 10, QLatin1Char('0'));
        member["joinType"] = 1;
        member["displayName"] = QStringLiteral("Member %1").arg(i);
        member["displayNamePinYin"] = QStringLiteral("Member %1").arg(i);
        member["email"] = QStringLiteral("member.%1@kelvo.example").arg(i);
        member["cellPhone"] = QStringLiteral("1390000%1").arg(i, 4, 10, QLatin1Char('0'));
        member["extensionPhone"] = QString();
        QJsonObject callState = model.value("callState").toObject();
        callState["mute"] = i % 3 == 0 ? 1 : 0;
        callState["vmute"] = i % 5 == 0 ? 1 : 0;
        member["callState"] = callState;
        members.append(member);
    }
    meeting["members"] = members;
    meetings[0] = meeting;
    scenario["meetings"] = meetings;
    return scenario;
}

/// A scenario written to a temporary file (removed with this object) for the simulator.
class ScenarioFile {
public:
    bool write(const QJsonObject &scenario)
    {
        if (!m_file.open())
            return false;
        const QByteArray text = QJsonDocument(scenario).toJson(QJsonDocument::Indented);
        const bool written = m_file.write(text) == text.size() && m_file.flush();
        m_file.close();
        return written;
    }
    QString path() const { return m_file.fileName(); }

private:
    QTemporaryFile m_file{QDir::tempPath() + QStringLiteral("/kelvo-bench-scenario-XXXXXX.json")};
};

/// The meeting's delegate: when the join completed, and how many user events reached the host.
class JoinWatcher final : public KLSDKMeetingEventDelegate {
public:
    void onMeetingStatusChange(int) override {}
    void onApplicationStatusChange(int, const QString &) override {}
    void onMeetingJoined() override
    {
        m_joinedAt.store(Clock::now().time_since_epoch().count());
        m_joined.store(true);
    }
    void onError(int, const QString &) override { ++m_errors; }
    void onMeetingFinish(int, const QString &) override {}
    void onMeetingUserStatusChange(const std::shared_ptr<KLSDKMeetingUser> &, int) override { ++m_userEvents; }

    bool joined() const { return m_joined.load(); }
    Clock::time_point joinedAt() const { return Clock::time_point(Clock::duration(m_joinedAt.load())); }
    int errors() const { return m_errors.load(); }
    int userEvents() const { return m_userEvents.load(); }

private:
    std::atomic<bool> m_joined{false};
    std::atomic<Clock::rep> m_joinedAt{0};
    std::atomic<int> m_errors{0};
    std::atomic<int> m_userEvents{0};
};

/// A layout that shows nothing and notes only that the meeting was entered.
class SilentLayout final : public KLConferenceManagerDataSource {
public:
    void clientRendererViewOnMainScreen(const std::shared_ptr<KLFeedClient> &) override {}
    void clientRendererViewOnSmallScreen() override {}
    void updateRendererViewContent(const std::shared_ptr<KLFeedClient> &) override {}
    std::shared_ptr<KLRTCMediaVideoRenderView> rendererViewForClient(const std::shared_ptr<KLFeedClient> &) override { return nullptr; }
    std::shared_ptr<KLRTCMediaVideoRenderView> previewRendererViewForClient(const std::shared_ptr<KLFeedClient> &) override { return nullptr; }
    void enterRoomSuccess() override { m_entered.store(true); }
    void leaveRoomWithReason(int) override {}
    void refreshRoom() override {}
    bool entered() const { return m_entered.load(); }

private:
    std::atomic<bool> m_entered{false};
};

/// The simulator, the local user of its first meeting and one meeting at a time.
class BenchMeeting {
public:
    explicit BenchMeeting(const QString &scenarioPath = {}) : m_sim({scenarioPath, {}, 0}) {}
    ~BenchMeeting()
    {
        leave();
        m_sim.stop();
        KLPlatform::install(nullptr);
    }
    BenchMeeting(const BenchMeeting &) = delete;
    BenchMeeting &operator=(const BenchMeeting &) = delete;

    /// Starts the simulator and prepares the local user (E10001, entering unmuted), a
    /// platform that grants microphone and camera, and the built-in media engine.
    bool start(QString *error)
    {
        // The simulator's own account of every connection would bury the figures.
        QLoggingCategory::setFilterRules(QStringLiteral("kelvo.sim*=false"));
        if (!m_sim.start(error))
            return false;
        m_meeting = m_sim.scenario().value("meetings").toArray().first().toObject();
        UserPersistentData &data = UserPersistentData::sharedInstance();
        data.writeAccessToken(m_sim.scenario().value("accessToken").toString());
        data.writeWorkId(QStringLiteral("E10001"));
        data.writeEnterAudioMuteFlag(false);
        data.writeEnterVideoMuteFlag(false);
        KLLocalization::setLanguage(KLLocalization::Language::English);
        auto platform = std::make_shared<KLFakePlatform>();
        platform->setOsVersion(KLOSVersion{13, 0, 0});
        platform->setAuthorizationStatus(KLMediaType::Audio, KLAuthorizationStatusAuthorized);
        platform->setAuthorizationStatus(KLMediaType::Video, KLAuthorizationStatusAuthorized);
        platform->setHasVideoCaptureDevice(true);
        KLPlatform::install(platform);
        KLRTCMediaSDK::install(nullptr);
        return true;
    }

    /// A new service for the first meeting, its delegate and layout fresh; not joined yet.
    std::shared_ptr<KLConferenceService> prepare(bool internal)
    {
        leave();
        m_watcher = std::make_shared<JoinWatcher>();
        m_layout = std::make_shared<SilentLayout>();
        m_service = KLConferenceService::create(config(internal), m_watcher);
        m_service->setDataSource(m_layout);
        return m_service;
    }

    /// Leaves the current meeting (if any) and lets go of it.
    void leave()
    {
        if (!m_service)
            return;
        m_service->leave();
        m_service.reset();
    }

    /// True once the simulator has no signalling or media connection left.
    bool waitDisconnected(int timeoutMs = 10000)
    {
        return waitUntil([this] { return m_sim.openSignallingConnections() == 0 && m_sim.mediaClients() == 0; },
                         timeoutMs);
    }

    kelvosim::MeetingSim &sim() { return m_sim; }
    const QJsonObject &meeting() const { return m_meeting; }
    const std::shared_ptr<KLConferenceService> &service() const { return m_service; }
    const JoinWatcher &watcher() const { return *m_watcher; }
    const SilentLayout &layout() const { return *m_layout; }

private:
    std::shared_ptr<KLSDKMeetingConfigInternal> config(bool internal) const
    {
        return KLSDKMeetingConfigInternal::create(
            {{"meetingUUID", m_meeting.value("meetingUUID").toString()},
             {"memberUUID", m_meeting.value("selfMemberUUID").toString()},
             {"meetingToken", m_meeting.value("meetingToken").toString()},
             {"meetingDomain", QStringLiteral("127.0.0.1:%1").arg(m_sim.port())},
             {"apiBaseUrl", m_sim.baseUrl()},
             {"itMonitorBaseUrl", m_sim.baseUrl()},
             {"caFile", m_sim.caFile()},
             {"mediaEngine", "builtin"}, // the simulator's own media server
             {"vanInternal", internal}});
    }

    kelvosim::MeetingSim m_sim;
    QJsonObject m_meeting;
    std::shared_ptr<JoinWatcher> m_watcher = std::make_shared<JoinWatcher>();
    std::shared_ptr<SilentLayout> m_layout = std::make_shared<SilentLayout>();
    std::shared_ptr<KLConferenceService> m_service;
};

} // namespace klbench
