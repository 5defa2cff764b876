#pragma once

// What both soaks share: the simulator behind the latency relay with a meeting of thirty, the
// recording delegate and layout, and small helpers. The soaks drive the conference service with
// the built-in engine, as the integration suites do, but for minutes or a thousand rounds.

#include "KLTestSupport.h"
#include "MeetingSim.h"
#include "SoakLatencyProxy.h"

#include "conference/registry/KLConferenceManagerDataSource.h"
#include "model/KLSDKMeetingEventDelegate.h"

#include <QJsonObject>
#include <QStringList>
#include <QTemporaryDir>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

class KLConferenceService;
class KLFakePlatform;

namespace soak {

/// One line on stdout, flushed: the soak's report is read while it runs.
void say(const QString &line);

using kltest::waitUntil;

/// The simulator serving a meeting of `members` members (the user included), reached through a
/// relay that delays each direction by `latencyMs` (0: no relay).
class SoakWorld {
public:
    bool start(int members, int latencyMs, QString *error);
    kelvosim::MeetingSim &sim() { return *m_sim; }
    /// Forgets what the simulator and the fake platform recorded (every request, frame and
    /// platform call), so that the memory figures are the SDK's rather than these logs.
    void forgetRecords();
    QJsonObject meeting() const { return m_meeting; }
    QString selfUuid() const;
    /// The other members' uuids (not the rooms), in scenario order.
    QStringList otherMembers() const;
    /// A fresh conference service for the meeting over the relay (not joined yet).
    std::shared_ptr<KLConferenceService> makeService(std::shared_ptr<KLSDKMeetingEventDelegate> delegate,
                                                     std::shared_ptr<KLConferenceManagerDataSource> layout) const;
    QVariantMap meetingDictionary() const;
    /// Connections the latency relay has carried.
    int relayedConnections() const { return m_proxy ? m_proxy->connections() : 0; }

private:
    QTemporaryDir m_dir;
    std::unique_ptr<LatencyProxy> m_proxy;
    std::unique_ptr<kelvosim::MeetingSim> m_sim;
    std::shared_ptr<KLFakePlatform> m_platform;
    QJsonObject m_meeting;
    quint16 m_clientPort = 0;
};

/// Counts what the meeting told its host; `closed` marks the end after which nothing may come.
class CountingDelegate final : public KLSDKMeetingEventDelegate {
public:
    void onMeetingStatusChange(int) override { seen(); run(onStatus); }
    void onApplicationStatusChange(int, const QString &) override { seen(); }
    void onMeetingJoined() override { seen(); ++joined; run(onJoined); }
    void onError(int code, const QString &reason) override;
    void onMeetingFinish(int, const QString &) override { seen(); }
    void onMeetingUserStatusChange(const std::shared_ptr<KLSDKMeetingUser> &, int) override { seen(); ++userEvents; run(onUser); }

    std::atomic<int> joined{0}, errors{0}, userEvents{0}, lateCalls{0};
    std::atomic<bool> closed{false};
    /// Run inside the matching callback, once each (set before the join).
    std::function<void()> onJoined, onStatus, onUser;

private:
    void seen();
    void run(std::function<void()> &hook);
    std::mutex m_mutex;
};

class CountingLayout final : public KLConferenceManagerDataSource {
public:
    void clientRendererViewOnMainScreen(const std::shared_ptr<KLFeedClient> &) override {}
    void clientRendererViewOnSmallScreen() override {}
    void updateRendererViewContent(const std::shared_ptr<KLFeedClient> &) override {}
    std::shared_ptr<KLRTCMediaVideoRenderView> rendererViewForClient(const std::shared_ptr<KLFeedClient> &) override { return nullptr; }
    std::shared_ptr<KLRTCMediaVideoRenderView> previewRendererViewForClient(const std::shared_ptr<KLFeedClient> &) override { return nullptr; }
    void enterRoomSuccess() override
    {
        ++entered;
        if (auto hook = std::exchange(onEntered, nullptr))
            hook();
    }
    void leaveRoomWithReason(int) override { ++left; }
    void refreshRoom() override { ++refreshes; }
    std::atomic<int> entered{0}, left{0}, refreshes{0};
    /// Run inside the first enterRoomSuccess (set before the join; the call comes once at a time).
    std::function<void()> onEntered;
};

/// The soaks; each returns the process exit code (0 when every check held).
int runMeetingSoak(int minutes);
int runCycles(int cycles);

} // namespace soak
