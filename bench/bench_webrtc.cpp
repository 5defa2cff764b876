// What a five-party meeting on the WebRTC engine costs the user's process: a Janus started for
// the run (loopback only), four simulated members publishing in a child process (the
// simulator's feeds: the name picture at 640×360, 15 fps, VP8, and a tone on Opus, sent to
// Janus as plain RTP), and this process as the user: it publishes its own
// 640×360 stream, subscribes to the four and decodes their frames. Reported: the time from
// "joined" to the first remote frame drawn, per remote stream the frames decoded against the
// 15 fps sent and of those the frames drawn and dropped, this process's CPU share of one core
// (user + system of all its threads, children excluded) and its resident memory. Each remote
// stream plays into a render widget of the meeting window's video area (the first in the big
// view, the others in the strip), so the figures include drawing, as a host's window pays it.
// With --no-draw the frames go to views that only count them (no display needed).
//
// Usage: xvfb-run -s "-screen 0 1920x1080x24" bench_webrtc [--no-draw] [seconds to hold, default 20]

#include "KLBenchSupport.h"
#include "KLBenchVideoArea.h"
#include "KLProcessFigures.h"

#include "SimJanus.h"
#include "SimJanusFeeds.h"
#include "media/webrtc/KLWebRtcMediaSDK.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonArray>
#include <QPointer>
#include <QProcess>
#include <QTimer>

#include <algorithm>
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

/// When a render widget of the area first paints with a frame handed in: the paint event
/// reaches this filter just before the widget draws the waiting frame.
class FirstPaint : public QObject {
public:
    FirstPaint(std::atomic<qint64> *firstDrawnMs, const QElapsedTimer *clock) : m_first(firstDrawnMs), m_clock(clock) {}
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && *m_first < 0) {
            const auto *view = qobject_cast<KLVideoRenderWidget *>(watched);
            if (view && view->counters().received > 0)
                *m_first = m_clock->elapsed();
        }
        return false;
    }

private:
    std::atomic<qint64> *m_first;
    const QElapsedTimer *m_clock;
};

/// Joined, and what the user subscribed to. Drawn, each remote stream gets a feed shown in the
/// video area (on the main thread; the engine calls in on its own); otherwise a counting view.
class User : public KLRTCMediaConnectionDelegate {
public:
    User(const QElapsedTimer *clock, klbench::BenchVideoArea *area)
        : m_clock(clock), m_area(area), m_firstPaint(&firstFrameMs, clock) {}
    void rtcConnection(const std::shared_ptr<KLRTCMediaConnection> &connection, int event,
                       const KLRTCMediaEventInfo &info) override
    {
        if (event == KLRTCMediaEventConnected) {
            joinedMs = m_clock->elapsed();
        } else if (event == KLRTCMediaEventStreamSubscribed) {
            qint64 none = -1;
            firstSubscribedMs.compare_exchange_strong(none, m_clock->elapsed());
            // The stream has its tracks now: the tiles bind it.
            if (m_area)
                QMetaObject::invokeMethod(qApp, [this] { showFeeds(); });
        } else if (event == KLRTCMediaEventStreamAdded && info.stream) {
            qint64 none = -1;
            firstAddedMs.compare_exchange_strong(none, m_clock->elapsed());
            {
                std::lock_guard lock(mutex);
                streams.push_back(info.stream);
            }
            if (m_area) {
                const auto stream = info.stream;
                QMetaObject::invokeMethod(qApp, [this, stream] {
                    const QString id = stream->getID();
                    feeds.push_back(klbench::videoMember(id, id, stream));
                    showFeeds();
                });
            } else {
                auto view = std::make_shared<Counter>(&firstFrameMs, m_clock);
                {
                    std::lock_guard lock(mutex);
                    views.push_back(view);
                }
                info.stream->playWithView(view);
            }
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
    std::vector<std::shared_ptr<KLFeedClient>> feeds; ///< drawn: main thread only

private:
    void showFeeds()
    {
        m_area->show(feeds);
        for (KLVideoRenderWidget *view : m_area->views())
            view->installEventFilter(&m_firstPaint); // again is harmless: one filter per object
    }

    const QElapsedTimer *m_clock;
    klbench::BenchVideoArea *m_area;
    FirstPaint m_firstPaint;
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

/// Runs the event loop for `ms` (paints and the engine's queued calls go on meanwhile).
void pump(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

/// Frames per stream: decoded (handed to its view), drawn and dropped.
struct StreamFrames {
    QString id;
    qint64 decoded = 0, drawn = 0, dropped = 0;
};

} // namespace

int main(int argc, char **argv)
{
    QStringList given;
    for (int i = 1; i < argc; ++i)
        given << QString::fromLocal8Bit(argv[i]);
    const bool child = given.size() >= 4 && given.at(0) == QLatin1String("--publishers");
    const bool draw = !child && !given.contains(QStringLiteral("--no-draw"));
    if (draw && !klbench::hasDisplay("bench_webrtc (or give --no-draw)"))
        return 2;
    std::unique_ptr<QCoreApplication> app = draw ? std::make_unique<QApplication>(argc, argv)
                                                 : std::make_unique<QCoreApplication>(argc, argv);
    KLSDKLogger::setLoggerPrinter(std::make_shared<KLDiscardingPrinter>());
    const QStringList args = app->arguments();
    if (child)
        return publish(args);
    int seconds = 20;
    for (const QString &arg : given)
        if (arg.toInt() > 0)
            seconds = arg.toInt();

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
    std::unique_ptr<klbench::BenchVideoArea> area;
    if (draw)
        area = std::make_unique<klbench::BenchVideoArea>(QStringLiteral("bench_webrtc"));
    pump(3000); // the four are in the room before the user comes (and the window is up)

    QElapsedTimer clock;
    clock.start();
    KLWebRtcMediaSDK engine;
    auto user = std::make_shared<User>(&clock, area.get());
    auto connection = engine.createConnection(param(janus.url(), janus.caFile(), janus.token(), QStringLiteral("user")), 1, 0,
                                              true, false, user);
    auto own = localStream(engine, false);
    connection->connect();
    connection->publishStream(own);
    pump(3000); // settle: subscriptions made, decoders running

    // Frames so far per stream, from the views that count them or the area's render widgets.
    auto frames = [&] {
        std::vector<StreamFrames> now;
        if (area) {
            const auto views = area->views();
            for (size_t i = 0; i < views.size(); ++i) {
                const auto c = views[i]->counters();
                now.push_back({user->feeds[i]->uuid(), qint64(c.received), qint64(c.drawn), qint64(c.dropped)});
            }
        } else {
            std::lock_guard lock(user->mutex);
            for (size_t i = 0; i < user->views.size(); ++i)
                now.push_back({user->streams[i]->getID(), user->views[i]->frames, 0, 0});
        }
        return now;
    };
    const std::vector<StreamFrames> before = frames();
    const double cpuBefore = klbench::cpuSeconds();
    QElapsedTimer hold;
    hold.start();
    pump(seconds * 1000);
    const double wall = hold.elapsed() / 1000.0;
    const double cpu = klbench::cpuSeconds() - cpuBefore;
    const std::vector<StreamFrames> after = frames();

    std::printf("five-party meeting on the WebRTC engine, %d s held, 640x360 at %d fps, VP8 + Opus, %s\n", seconds, kFps,
                draw ? qPrintable(QStringLiteral("drawn in the meeting window's video area (platform %1)")
                                      .arg(QGuiApplication::platformName()))
                     : "not drawn");
    const qint64 firstMs =
        user->joinedMs >= 0 && user->firstFrameMs >= 0 ? qint64(user->firstFrameMs - user->joinedMs) : -1;
    std::printf("joined -> first remote frame %s: %lld ms\n", draw ? "drawn" : "decoded", (long long)firstMs);
    // Where the first frame's time goes: the announcement, the subscription's negotiation (the
    // offer from Janus, the answer, "started"), then ICE, DTLS and the first key frame.
    std::printf("  joined -> first stream announced: %lld ms, -> first subscription started: %lld ms\n",
                (long long)(user->firstAddedMs - user->joinedMs), (long long)(user->firstSubscribedMs - user->joinedMs));
    qint64 decodedAll = 0, droppedAll = 0, shortAll = 0;
    for (size_t i = 0; i < after.size(); ++i) {
        const StreamFrames was = i < before.size() ? before[i] : StreamFrames{};
        const qint64 decoded = after[i].decoded - was.decoded;
        const qint64 missing = std::max<qint64>(0, qint64(kFps * wall) - decoded);
        decodedAll += decoded;
        shortAll += missing;
        if (draw) {
            const qint64 dropped = after[i].dropped - was.dropped;
            droppedAll += dropped;
            std::printf("remote %s: %lld frames decoded (%.1f fps, %lld short of %d fps), %lld drawn, %lld dropped\n",
                        qPrintable(after[i].id), (long long)decoded, decoded / wall, (long long)missing, kFps,
                        (long long)(after[i].drawn - was.drawn), (long long)dropped);
        } else {
            std::printf("remote %s: %lld frames decoded at 640x360 (%.1f fps), %lld dropped against %d fps\n",
                        qPrintable(after[i].id), (long long)decoded, decoded / wall, (long long)missing, kFps);
        }
    }
    const qint64 rss = klbench::statusKilobytes("VmRSS");
    const double share = 100.0 * cpu / wall;
    std::printf("remote streams: %zu of %d\n", after.size(), kPublishers);
    std::printf("user process CPU: %.1f %% of one core\n", share);
    std::printf("user process RSS: %lld kB (peak %lld kB)\n", (long long)rss,
                (long long)klbench::statusKilobytes("VmHWM"));

    auto &summary = klbench::Summary::shared();
    const QString what = draw ? QStringLiteral("WebRTC 5-party, drawn: ") : QStringLiteral("WebRTC 5-party, not drawn: ");
    summary.add(what + QStringLiteral("CPU"), QString::number(share, 'f', 1) + QStringLiteral(" %"),
                QStringLiteral("<= 50 %"), QStringLiteral("-"));
    summary.add(what + QStringLiteral("RSS"), QString::number(rss / 1024) + QStringLiteral(" MB"), QStringLiteral("-"),
                QStringLiteral("-"));
    summary.add(what + (draw ? QStringLiteral("joined -> 1st frame drawn") : QStringLiteral("joined -> 1st frame")), QString::number(firstMs) + QStringLiteral(" ms"),
                QStringLiteral("<= 500 ms"), QStringLiteral("-"));
    const qint64 lost = shortAll + droppedAll;
    summary.add(what + QStringLiteral("frames short/dropped"),
                QString::number(decodedAll + shortAll > 0 ? 100.0 * lost / double(decodedAll + shortAll) : 0.0, 'f', 2) +
                    QStringLiteral(" %"),
                QStringLiteral("-"), QStringLiteral("-"));
    summary.print();

    connection->disconnect();
    own->close();
    publishers.terminate();
    publishers.waitForFinished(5000);
    const bool drewAll = !draw || std::all_of(after.begin(), after.end(), [&](const StreamFrames &f) { return f.drawn > 0; });
    return after.size() == kPublishers && decodedAll > 0 && drewAll ? 0 : 1;
}
