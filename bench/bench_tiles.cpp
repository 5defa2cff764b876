// What drawing the meeting's video costs: the video area of a meeting window (the big view and
// the four tiles of the strip) on screen, each tile playing its own 640x360 stream at 15 frames
// per second delivered from a thread of its own, as an engine delivers decoded frames. Over the
// run the program reports the process's CPU share of one core (user + system time of all
// threads over wall time, after a warm-up second), the main thread's part of it, and per tile
// the frames received, drawn and dropped (replaced before they were drawn), and how many paints
// happened off the main thread (must be 0). Frames are made once up front and handed out by
// their shared buffers, so the figures are the drawing's, not a decoder's.
//
// Usage (needs a display): xvfb-run -s "-screen 0 1920x1080x24" bench_tiles [seconds, default 30]

#include "KLBenchSupport.h"
#include "KLBenchVideoArea.h"
#include "KLProcessFigures.h"

#include "media/fake/KLFakeMediaSDK.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

constexpr int kTiles = 5;
constexpr int kWidth = 640;
constexpr int kHeight = 360;
constexpr int kFps = 15;
constexpr int kDistinctFrames = kFps; // one second of pictures, cycled

// One second of a moving picture for stream `index`: its own colour, a bar sweeping across.
std::vector<KLRTCMediaVideoFrame> makeFrames(int index)
{
    std::vector<KLRTCMediaVideoFrame> frames;
    for (int i = 0; i < kDistinctFrames; ++i) {
        QImage image(kWidth, kHeight, QImage::Format_RGB32);
        image.fill(QColor::fromHsv((index * 67) % 360, 160, 200));
        QPainter p(&image);
        p.fillRect(i * kWidth / kDistinctFrames, 0, kWidth / 12, kHeight, Qt::white);
        p.end();
        KLRTCMediaVideoFrame frame;
        frame.width = kWidth;
        frame.height = kHeight;
        frame.format = KLRTCMediaVideoFrame::FormatRGB32;
        frame.bytesPerLine = int(image.bytesPerLine());
        frame.pixels = QByteArray(reinterpret_cast<const char *>(image.constBits()), int(image.sizeInBytes()));
        frames.push_back(frame);
    }
    return frames;
}

std::shared_ptr<KLFeedClient> member(int index, const std::shared_ptr<KLFakeMediaSDK> &engine)
{
    const QString uuid = QStringLiteral("member-%1").arg(index);
    const QString name = QStringLiteral("Member %1").arg(index);
    return klbench::videoMember(uuid, name, engine->makeRemoteStream(uuid, name));
}

int secondsToRun(int argc, char **argv)
{
    bool given = false;
    const int asked = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt(&given) : 0;
    return given && asked > 0 ? asked : 30;
}

} // namespace

int main(int argc, char **argv)
{
    if (!klbench::hasDisplay("bench_tiles"))
        return 2;
    QApplication app(argc, argv);
    KLSDKLogger::setLoggerPrinter(std::make_shared<KLDiscardingPrinter>());
    const int seconds = secondsToRun(argc, argv);
    auto engine = KLFakeMediaSDK::installNew();

    klbench::BenchVideoArea area(QStringLiteral("bench_tiles"));
    std::vector<std::shared_ptr<KLFeedClient>> feeds;
    for (int i = 0; i < kTiles; ++i)
        feeds.push_back(member(i, engine));
    area.show(feeds);
    const std::vector<KLVideoRenderWidget *> views = area.views();

    // One delivering thread per stream, 15 frames a second on a steady schedule.
    std::atomic<bool> running{true};
    std::vector<std::thread> engines;
    for (int i = 0; i < kTiles; ++i) {
        auto stream = std::static_pointer_cast<KLFakeMediaStream>(feeds[i]->mediaStream());
        engines.emplace_back([stream, i, &running] {
            const auto frames = makeFrames(i);
            auto next = std::chrono::steady_clock::now();
            for (qint64 n = 0; running; ++n) {
                stream->deliverFrame(frames[n % frames.size()]);
                next += std::chrono::microseconds(1000000 / kFps);
                std::this_thread::sleep_until(next);
            }
        });
    }

    // Warm up for a second, then measure.
    double cpuStart = 0, mainStart = 0;
    qint64 wallStartMs = 0;
    std::vector<KLVideoRenderWidget::Counters> startCounts(kTiles);
    QElapsedTimer wall;
    wall.start();
    QTimer::singleShot(1000, &app, [&] {
        cpuStart = klbench::cpuSeconds();
        mainStart = klbench::cpuSeconds(RUSAGE_THREAD);
        wallStartMs = wall.elapsed();
        for (int i = 0; i < kTiles; ++i)
            startCounts[i] = views[i]->counters();
    });
    QTimer::singleShot(1000 + seconds * 1000, &app, [&] { app.quit(); });
    app.exec();
    const double cpu = klbench::cpuSeconds() - cpuStart;
    const double mainCpu = klbench::cpuSeconds(RUSAGE_THREAD) - mainStart;
    const double elapsed = (wall.elapsed() - wallStartMs) / 1000.0;
    running = false;
    for (auto &engine : engines)
        engine.join();

    std::printf("bench_tiles: %d tiles of %dx%d at %d fps for %.1f s, window %dx%d (platform %s)\n", kTiles, kWidth,
                kHeight, kFps, elapsed, area.window().width(), area.window().height(), qPrintable(QGuiApplication::platformName()));
    quint64 received = 0, drawn = 0, dropped = 0, offMain = 0;
    for (int i = 0; i < kTiles; ++i) {
        const auto now = views[i]->counters();
        const auto &was = startCounts[i];
        std::printf("  tile %d (%s, %dx%d): received %llu, drawn %llu, dropped %llu\n", i, i == 0 ? "big" : "small",
                    views[i]->width(), views[i]->height(), (unsigned long long)(now.received - was.received),
                    (unsigned long long)(now.drawn - was.drawn), (unsigned long long)(now.dropped - was.dropped));
        received += now.received - was.received;
        drawn += now.drawn - was.drawn;
        dropped += now.dropped - was.dropped;
        offMain += now.offMainThreadPaints;
    }
    std::printf("  frames: received %llu, drawn %llu, dropped %llu (%.2f %%)\n", (unsigned long long)received,
                (unsigned long long)drawn, (unsigned long long)dropped, received ? 100.0 * dropped / received : 0.0);
    std::printf("  paints off the main thread: %llu\n", (unsigned long long)offMain);
    std::printf("  CPU: %.1f %% of one core (main thread %.1f %%), target <= 15 %%\n", 100.0 * cpu / elapsed,
                100.0 * mainCpu / elapsed);
    auto &summary = klbench::Summary::shared();
    summary.add(QStringLiteral("tiles drawn, 5 x 640x360 at 15 fps: CPU"),
                QString::number(100.0 * cpu / elapsed, 'f', 1) + QStringLiteral(" %"), QStringLiteral("<= 15 %"),
                QStringLiteral("-"));
    summary.add(QStringLiteral("tiles drawn: frames dropped"),
                QString::number(received ? 100.0 * dropped / received : 0.0, 'f', 2) + QStringLiteral(" %"),
                QStringLiteral("-"), QStringLiteral("-"));
    summary.print();
    KLRTCMediaSDK::install(nullptr);
    return offMain == 0 ? 0 : 1;
}
