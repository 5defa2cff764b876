// What a five-party meeting on the WebRTC engine costs the user's process: a Janus started for
// the run (loopback only), four simulated members publishing in a child process (the
// simulator's feeds: the name picture at 640×360, 15 fps, VP8, and a tone on Opus, sent to
// Janus as plain RTP), and this process as the user: it publishes its own
// 640×360 stream, subscribes to the four and decodes their frames. Reported: the time from
// "joined" to the first remote frame, frames decoded per remote stream against the 15 fps
// sent (the rest counted as dropped), this process's CPU share of one core (user + system of
// all its threads, children excluded) and its resident memory. Frames are not drawn.
//
// Usage: bench_webrtc [seconds to hold, default 20]

#include "KLBenchSupport.h"
#include "KLProcessFigures.h"

#include "SimJanus.h"
#include "SimJanusFeeds.h"
#include "media/webrtc/KLWebRtcMediaSDK.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QProcess>
#include <QThread>

#include <atomic>
#include <cstdio>
#include <mutex>
#include <vector>

namespace {

constexpr int kPublishers = 4;
constexpr int kFps = 15;

QJsonObject param(const QString &url, const QString &ca, const QString &token, const QString &uuid)
{
    return {{QStringLiteral("rtcWsRegInfo"),
             QJsonObject{{QStringLiteral("signalingServer"), url},
                         {QStringLiteral("regInfo"), QJsonObject{{QStringLiteral("appointmentId"), QStringLiteral("bench")},
                                                                 {QStringLiteral("memberUuid"), uuid},
                                                                 {QStringLiteral("token"), token}}}}},
            {QStringLiteral("caFile"), ca},
            {QStringLiteral("displayName"), QStringLiteral("Member ") + uuid}};
}

class Counter : public KLRTCMediaVideoRenderView {
public:
    explicit Counter(std::atomic<qint64> *firstFrameMs, const QElapsedTimer *clock)
        : m_first(firstFrameMs), m_clock(clock) {}
    QString renderStreamId() const override { return {}; }
    void setRenderStreamId(const QString &) override {}
    bool isVideoRenderer() const override { return true; }
    void renderFrame(const KLRTCMediaVideoFrame &frame) override
    {
        qint64 none = -1;
        m_first->compare_exchange_strong(none, m_clock->elapsed());
        if (frame.width == 640 && frame.height == 360)
            ++frames;
    }
    std::atomic<int> frames{0};

private:
    std::atomic<qint64> *m_first;
    const QElapsedTimer *m_clock;
};

/// Joined, and what the user subscribed to.
class User : public KLRTCMediaConnectionDelegate {
public:
    User(const QElapsedTimer *clock) : m_clock(clock) {}
    void rtcConnection(const std::shared_ptr<KLRTCMediaConnection> &connection, int event,
                       const KLRTCMediaEventInfo &info) override
    {
        if (event == KLRTCMediaEventConnected) {
            joinedMs = m_clock->elapsed();
        } else if (event == KLRTCMediaEventStreamSubscribed) {
            qint64 none = -1;
            firstSubscribedMs.compare_exchange_strong(none, m_clock->elapsed());
        } else if (event == KLRTCMediaEventStreamAdded && info.stream) {
            qint64 none = -1;
            firstAddedMs.compare_exchange_strong(none, m_clock->elapsed());
            auto view = std::make_shared<Counter>(&firstFrameMs, m_clock);
            {
                std::lock_guard lock(mutex);
                views.push_back(view);
                streams.push_back(info.stream);
            }
            info.stream->playWithView(view);
            connection->subscribe(info.stream);
        }
    }
    std::atomic<qint64> joinedMs{-1};
    std::atomic<qint64> firstFrameMs{-1};
    std::atomic<qint64> firstAddedMs{-1};      ///< the first remote stream announced
    std::atomic<qint64> firstSubscribedMs{-1}; ///< the first subscription answered and started
    std::mutex mutex;
    std::vector<std::shared_ptr<Counter>> views;
    std::vector<std::shared_ptr<KLRTCMediaStream>> streams;

private:
    const QElapsedTimer *m_clock;
};

std::shared_ptr<KLRTCMediaStream> localStream(KLWebRtcMediaSDK &engine, bool tone)
{
    auto stream = engine.createStream({{QStringLiteral("audio"), true}, {QStringLiteral("video"), true},
                                       {QStringLiteral("vWidth"), 640}, {QStringLiteral("vHeight"), 360},
                                       {QStringLiteral("micId"), tone ? QStringLiteral("test-tone") : QString()}},
                                      {});
    stream->initStream();
    return stream;
}

/// The child: four simulated members speaking until killed.
int publish(const QStringList &args)
{
    kelvosim::SimJanusFeeds feeds(args.at(2), args.at(3), args.at(4));
    feeds.start({});
    for (int i = 0; i < kPublishers; ++i) {
        const QString id = QStringLiteral("publisher-%1").arg(i);
        feeds.publish(QStringLiteral("bench"), id, QStringLiteral("Member %1").arg(i));
        feeds.setSpeaking(id, true);
    }
    return QCoreApplication::exec();
}

void pump(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(20);
    }
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    KLSDKLogger::setLoggerPrinter(std::make_shared<KLDiscardingPrinter>());
    const QStringList args = app.arguments();
    if (args.size() >= 5 && args.at(1) == QLatin1String("--publishers"))
        return publish(args);
    const int seconds = args.size() > 1 && args.at(1).toInt() > 0 ? args.at(1).toInt() : 20;

    QString error;
    if (!KLWebRtcMediaSDK::available(&error) || !kelvosim::SimJanus::installed(&error)) {
        std::fprintf(stderr, "cannot run: %s\n", qPrintable(error));
        return 1;
    }
    kelvosim::SimJanus janus;
    if (!janus.start({QStringLiteral("bench")}, &error)) {
        std::fprintf(stderr, "janus: %s\n", qPrintable(error));
        return 1;
    }
    QProcess publishers;
    publishers.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    publishers.start(QCoreApplication::applicationFilePath(),
                     {QStringLiteral("--publishers"), janus.url(), janus.caFile(), janus.token()});
    pump(3000); // the four are in the room before the user comes

    QElapsedTimer clock;
    clock.start();
    KLWebRtcMediaSDK engine;
    auto user = std::make_shared<User>(&clock);
    auto connection = engine.createConnection(param(janus.url(), janus.caFile(), janus.token(), QStringLiteral("user")), 1, 0,
                                              true, false, user);
    auto own = localStream(engine, false);
    connection->connect();
    connection->publishStream(own);
    pump(3000); // settle: subscriptions made, decoders running

    std::vector<int> before;
    {
        std::lock_guard lock(user->mutex);
        for (const auto &view : user->views)
            before.push_back(view->frames);
    }
    const double cpuBefore = klbench::cpuSeconds();
    QElapsedTimer hold;
    hold.start();
    pump(seconds * 1000);
    const double wall = hold.elapsed() / 1000.0;
    const double cpu = klbench::cpuSeconds() - cpuBefore;

    std::printf("five-party meeting on the WebRTC engine, %d s held, 640x360 at %d fps, VP8 + Opus\n", seconds, kFps);
    std::printf("joined -> first remote frame: %lld ms\n",
                user->joinedMs >= 0 && user->firstFrameMs >= 0 ? (long long)(user->firstFrameMs - user->joinedMs) : -1LL);
    // Where the first frame's time goes: the announcement, the subscription's negotiation (the
    // offer from Janus, the answer, "started"), then ICE, DTLS and the first key frame.
    std::printf("  joined -> first stream announced: %lld ms, -> first subscription started: %lld ms\n",
                (long long)(user->firstAddedMs - user->joinedMs), (long long)(user->firstSubscribedMs - user->joinedMs));
    std::lock_guard lock(user->mutex);
    int total = 0;
    for (size_t i = 0; i < user->views.size(); ++i) {
        const int got = user->views[i]->frames - (i < before.size() ? before[i] : 0);
        total += got;
        std::printf("remote %s: %d frames decoded at 640x360 (%.1f fps), %d dropped against %d fps\n",
                    qPrintable(user->streams[i]->getID()), got, got / wall, std::max(0, int(kFps * wall) - got), kFps);
    }
    std::printf("remote streams: %zu of %d\n", user->views.size(), kPublishers);
    std::printf("user process CPU: %.1f %% of one core\n", 100.0 * cpu / wall);
    std::printf("user process RSS: %lld kB (peak %lld kB)\n", (long long)klbench::statusKilobytes("VmRSS"),
                (long long)klbench::statusKilobytes("VmHWM"));
    connection->disconnect();
    own->close();
    publishers.terminate();
    publishers.waitForFinished(5000);
    return user->views.size() == kPublishers && total > 0 ? 0 : 1;
}
