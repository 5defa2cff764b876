#include "media/capture/KLScreenCapture.h"

#include "runtime/KLSDKLog.h"

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>
#include <QDBusVariant>

#include <mutex>

namespace {
const char *const kTag = "KLScreenCapture";

struct Registry {
    std::mutex mutex;
    KLScreenCapture::Backend backend;
    QString chosenScreen;
};

Registry &registry()
{
    static Registry instance;
    return instance;
}
} // namespace

KLScreenCaptureSource::~KLScreenCaptureSource() = default;

void KLScreenCapture::setBackend(Backend backend)
{
    auto &r = registry();
    std::lock_guard lock(r.mutex);
    r.backend = std::move(backend);
}

bool KLScreenCapture::hasBackend()
{
    auto &r = registry();
    std::lock_guard lock(r.mutex);
    return static_cast<bool>(r.backend);
}

void KLScreenCapture::setChosenScreen(const QString &screenName)
{
    auto &r = registry();
    std::lock_guard lock(r.mutex);
    r.chosenScreen = screenName;
}

QString KLScreenCapture::chosenScreen()
{
    auto &r = registry();
    std::lock_guard lock(r.mutex);
    return r.chosenScreen;
}

int KLScreenCapture::portalScreenCastVersion()
{
    // Without an address libdbus would try to launch a bus of its own.
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        return 0;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return 0;
    QDBusInterface properties(QStringLiteral("org.freedesktop.portal.Desktop"),
                              QStringLiteral("/org/freedesktop/portal/desktop"),
                              QStringLiteral("org.freedesktop.DBus.Properties"), bus);
    properties.setTimeout(500); // a missing portal must not hold the share up
    const QDBusReply<QDBusVariant> reply = properties.call(
        QStringLiteral("Get"), QStringLiteral("org.freedesktop.portal.ScreenCast"), QStringLiteral("version"));
    if (!reply.isValid())
        return 0;
    return reply.value().variant().toInt();
}

KLScreenCaptureResult KLScreenCapture::open()
{
    Backend backend;
    QString screen;
    {
        auto &r = registry();
        std::lock_guard lock(r.mutex);
        backend = r.backend;
        screen = r.chosenScreen;
    }
    const QString which = screen.isEmpty() ? QStringLiteral("the primary screen") : QStringLiteral("screen '%1'").arg(screen);
    QStringList reasons;
    if (backend) {
        KLScreenCaptureResult result = backend(screen);
        if (result.source) {
            KL_LOG_INFO(kTag, QStringLiteral("sharing %1: %2").arg(which, result.source->describe()));
            return result;
        }
        reasons << result.why;
    } else {
        reasons << QStringLiteral("no capture backend is installed (the widgets are not loaded)");
    }
    const int portal = portalScreenCastVersion();
    if (portal > 0)
        reasons << QStringLiteral("the desktop portal offers screen casts (version %1), but its PipeWire streams "
                                  "are not read by this build")
                       .arg(portal);
    else
        reasons << QStringLiteral("no desktop portal with screen casts on the session bus");
    KLScreenCaptureResult none;
    none.why = reasons.join(QStringLiteral("; "));
    KL_LOG_WARN(kTag, QStringLiteral("cannot capture %1, the share shows the synthetic pattern: %2").arg(which, none.why));
    return none;
}
