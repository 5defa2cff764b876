#include "ui/share/KLX11ScreenCapture.h"

#include "runtime/KLSDKLog.h"
#include "runtime/KLTimer.h"
#include "ui/share/KLScreens.h"

#include <KelvoUISDK/KLSDKDispatch.h>

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>

#include <atomic>
#include <mutex>

namespace {
const char *const kTag = "KLX11ScreenCapture";

QScreen *findScreen(const QString &name)
{
    QScreen *screen = KLScreens::named(name);
    return screen ? screen : QGuiApplication::primaryScreen();
}

class X11Capture final : public KLScreenCaptureSource, public std::enable_shared_from_this<X11Capture> {
public:
    X11Capture(QString screenName, QString description)
        : m_screenName(std::move(screenName)), m_description(std::move(description))
    {
    }
    ~X11Capture() override { stop(); }

    void start()
    {
        std::weak_ptr<X11Capture> weak = weak_from_this();
        m_timer = std::make_unique<KLTimer>(1.0 / KLX11ScreenCapture::kFramesPerSecond, true, [weak] {
            if (auto self = weak.lock())
                self->grab();
        });
        m_timer->startTimer();
        KLPerformBlockOnMainThread([weak] {
            if (auto self = weak.lock())
                self->grab(); // the first picture without waiting a period
        });
    }

    QString describe() const override
    {
        std::lock_guard lock(m_mutex);
        return m_description;
    }

    bool latestFrame(KLRTCMediaVideoFrame &frame) const override
    {
        std::lock_guard lock(m_mutex);
        if (!m_frame.isValid())
            return false;
        frame = m_frame;
        return true;
    }

    qint64 framesTaken() const override { return m_taken.load(); }

    void stop() override
    {
        if (m_stopped.exchange(true))
            return;
        if (m_timer)
            m_timer->stopTimer();
        KL_LOG_INFO(kTag, QStringLiteral("capture of %1 ended after %2 frames").arg(describe()).arg(m_taken.load()));
    }

private:
    // Main thread: pixmaps belong to it.
    void grab()
    {
        if (m_stopped.load())
            return;
        QScreen *screen = findScreen(m_screenName);
        QImage image = screen ? screen->grabWindow(0).toImage() : QImage();
        if (image.isNull()) {
            if (!m_warned) {
                m_warned = true;
                KL_LOG_WARN(kTag, QStringLiteral("the X server gave no picture of %1").arg(describe()));
            }
            return;
        }
        if (m_taken.load() == 0) {
            std::lock_guard lock(m_mutex);
            m_description = QStringLiteral("X11 display %1, screen '%2' %3x%4 at %5 frames a second")
                                .arg(qEnvironmentVariable("DISPLAY"), KLScreens::nameOf(screen))
                                .arg(screen->size().width())
                                .arg(screen->size().height())
                                .arg(KLX11ScreenCapture::kFramesPerSecond);
        }
        if (image.width() > KLX11ScreenCapture::kMaxWidth || image.height() > KLX11ScreenCapture::kMaxHeight)
            image = image.scaled(KLX11ScreenCapture::kMaxWidth, KLX11ScreenCapture::kMaxHeight, Qt::KeepAspectRatio,
                                 Qt::SmoothTransformation);
        image = image.convertToFormat(QImage::Format_RGB32);
        KLRTCMediaVideoFrame frame;
        frame.width = image.width();
        frame.height = image.height();
        frame.format = KLRTCMediaVideoFrame::FormatRGB32;
        frame.bytesPerLine = static_cast<int>(image.bytesPerLine());
        frame.pixels = QByteArray(reinterpret_cast<const char *>(image.constBits()), image.sizeInBytes());
        {
            std::lock_guard lock(m_mutex);
            m_frame = std::move(frame);
        }
        ++m_taken;
    }

    const QString m_screenName;
    QString m_description; // under m_mutex
    std::unique_ptr<KLTimer> m_timer;
    mutable std::mutex m_mutex;
    KLRTCMediaVideoFrame m_frame;
    std::atomic<qint64> m_taken{0};
    std::atomic<bool> m_stopped{false};
    bool m_warned = false; // main thread
};

} // namespace

KLScreenCaptureResult KLX11ScreenCapture::open(const QString &screenName)
{
    KLScreenCaptureResult result;
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        result.why = QStringLiteral("no GUI application to reach a window system");
        return result;
    }
    const QString platform = QGuiApplication::platformName();
    if (platform != QLatin1String("xcb")) {
        result.why = QStringLiteral("the window system is \"%1\", not an X server").arg(platform);
        return result;
    }
    // The screen list belongs to the main thread: the first grab names the screen taken.
    auto capture = std::make_shared<X11Capture>(
        screenName, QStringLiteral("X11 display %1, %2 at %3 frames a second")
                        .arg(qEnvironmentVariable("DISPLAY"),
                             screenName.isEmpty() ? QStringLiteral("primary screen") : QStringLiteral("screen '%1'").arg(screenName))
                        .arg(kFramesPerSecond));
    capture->start();
    result.source = capture;
    return result;
}

void KLX11ScreenCapture::install()
{
    KLScreenCapture::setBackend([](const QString &screenName) { return open(screenName); },
                                [] {
                                    return qobject_cast<QGuiApplication *>(QCoreApplication::instance()) &&
                                           QGuiApplication::platformName() == QLatin1String("xcb");
                                });
}
