#include "media/capture/KLScreenCapture.h"

#include "media/capture/KLPipeWireCapture.h"
#include "media/capture/KLPortalScreenCast.h"
#include "platform/KLLinuxDisplayProbes.h"
#include "platform/KLPlatform.h"
#include "runtime/KLSDKLog.h"

#include <QDBusConnection>
#include <QPointer>

#include <mutex>
#include <optional>

namespace {
const char *const kTag = "KLScreenCapture";

/// What the portal granted for the next share.
struct PortalGrant {
    QDBusConnection bus;
    KLPortalScreenCastResult cast;
};

struct Registry {
    std::mutex mutex;
    KLScreenCapture::Backend backend;
    std::function<bool()> canCapture;
    QString chosenScreen;
    // A developer may point the share at a portal of their own (a stand-in on a private bus).
    QString portalBus = qEnvironmentVariable("KELVO_SCREEN_CAST_PORTAL_BUS");
    std::optional<PortalGrant> grant;
};

Registry &registry()
{
    static Registry instance;
    return instance;
}

/// The bus to ask the portal on, or nothing with the reason.
std::optional<QDBusConnection> portalBus(QString &why)
{
    QString address;
    {
        auto &r = registry();
        std::lock_guard lock(r.mutex);
        address = r.portalBus;
    }
    if (address.isEmpty()) {
        const KLDisplayProbe display = KLLinuxDisplayProbes::detect(KLDisplayEnvironment::current());
        if (display.session != KLDisplaySession::Wayland) {
            why = QStringLiteral("not a Wayland session, so no desktop portal is asked");
            return std::nullopt;
        }
        // Without an address libdbus would try to launch a bus of its own.
        if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) {
            why = QStringLiteral("no session bus to reach a desktop portal");
            return std::nullopt;
        }
        return QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("kelvo-screencast"));
    }
    return QDBusConnection::connectToBus(address, QStringLiteral("kelvo-screencast ") + address);
}

void dropGrant()
{
    std::optional<PortalGrant> old;
    {
        auto &r = registry();
        std::lock_guard lock(r.mutex);
        old.swap(r.grant);
    }
    if (old)
        KLPortalScreenCast::closeSession(old->bus, old->cast.sessionHandle);
}
} // namespace

KLScreenCaptureSource::~KLScreenCaptureSource() = default;

void KLScreenCapture::setBackend(Backend backend, std::function<bool()> canCapture)
{
    auto &r = registry();
    std::lock_guard lock(r.mutex);
    r.backend = std::move(backend);
    r.canCapture = std::move(canCapture);
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

void KLScreenCapture::setPortalBus(const QString &address)
{
    auto &r = registry();
    std::lock_guard lock(r.mutex);
    r.portalBus = address;
}

void KLScreenCapture::requestAccess(std::function<void(int status)> completion)
{
    bool backendCaptures = false;
    {
        auto &r = registry();
        std::lock_guard lock(r.mutex);
        // A portal named outright is asked even where the backend could grab the screen.
        backendCaptures = r.portalBus.isEmpty() && r.backend && (!r.canCapture || r.canCapture());
    }
    dropGrant(); // a grant nobody used is not carried into another share
    if (backendCaptures) {
        KL_LOG_INFO(kTag, QStringLiteral("screen capture allowed: the capture backend reads the screen itself"));
        completion(KLAuthorizationStatusAuthorized);
        return;
    }
    QString why;
    const std::optional<QDBusConnection> bus = portalBus(why);
    if (!bus) {
        KL_LOG_INFO(kTag, QStringLiteral("screen capture allowed without asking (%1); the share shows the synthetic pattern").arg(why));
        completion(KLAuthorizationStatusAuthorized);
        return;
    }
    auto *cast = new KLPortalScreenCast(*bus);
    KL_LOG_INFO(kTag, QStringLiteral("asking the desktop portal for a screen cast"));
    const QDBusConnection connection = *bus;
    cast->start([cast, connection, completion = std::move(completion)](const KLPortalScreenCastResult &result) {
        cast->deleteLater();
        using Outcome = KLPortalScreenCastResult::Outcome;
        switch (result.outcome) {
        case Outcome::Granted: {
            QString size = result.width > 0 ? QStringLiteral(" %1x%2").arg(result.width).arg(result.height) : QString();
            if (result.pipeWireRemote.isValid())
                KL_LOG_INFO(kTag, QStringLiteral("the desktop portal granted a screen cast: PipeWire node %1%2")
                                      .arg(result.nodeId)
                                      .arg(size));
            else
                KL_LOG_WARN(kTag, QStringLiteral("the desktop portal granted a screen cast (node %1%2), but %3; "
                                                 "the share will show the synthetic pattern")
                                      .arg(result.nodeId)
                                      .arg(size, result.error));
            {
                auto &r = registry();
                std::lock_guard lock(r.mutex);
                r.grant = PortalGrant{connection, result};
            }
            completion(KLAuthorizationStatusAuthorized);
            return;
        }
        case Outcome::Answered: {
            const int status = KLPortalScreenCast::authorizationStatus(result.response);
            KL_LOG_WARN(kTag, QStringLiteral("screen capture not permitted (status %1): %2").arg(status).arg(result.error));
            completion(status);
            return;
        }
        case Outcome::NoPortal:
            KL_LOG_INFO(kTag, QStringLiteral("screen capture allowed without asking (no desktop portal with screen casts: "
                                             "%1); the share shows the synthetic pattern")
                                  .arg(result.error));
            completion(KLAuthorizationStatusAuthorized);
            return;
        case Outcome::Failed:
            break;
        }
        KL_LOG_WARN(kTag, QStringLiteral("screen capture not permitted (status %1): the desktop portal failed: %2")
                              .arg(int(KLAuthorizationStatusRestricted))
                              .arg(result.error));
        completion(KLAuthorizationStatusRestricted);
    });
}

KLScreenCaptureResult KLScreenCapture::open()
{
    Backend backend;
    QString screen;
    std::optional<PortalGrant> grant;
    {
        auto &r = registry();
        std::lock_guard lock(r.mutex);
        backend = r.backend;
        screen = r.chosenScreen;
        grant.swap(r.grant);
    }
    const QString which = screen.isEmpty() ? QStringLiteral("the primary screen") : QStringLiteral("screen '%1'").arg(screen);
    QStringList reasons;
    // What the user granted in the desktop's own dialog comes first: it was asked for this share.
    if (grant && grant->cast.pipeWireRemote.isValid()) {
        const PortalGrant held = *grant;
        const QString description = QStringLiteral("desktop portal screen cast, PipeWire node %1").arg(held.cast.nodeId);
        // The closing step holds the remote's descriptor until the capture is over.
        KLScreenCaptureResult result = KLPipeWireCapture::open(
            KLPipeWireCapture::portalSource(held.cast.pipeWireRemote.fileDescriptor(), held.cast.nodeId), description,
            [held] { KLPortalScreenCast::closeSession(held.bus, held.cast.sessionHandle); });
        if (result.source) {
            KL_LOG_INFO(kTag, QStringLiteral("sharing the screen the user chose in the desktop's dialog: %1").arg(description));
            return result;
        }
        reasons << QStringLiteral("the %1 cannot be read: %2").arg(description, result.why);
    } else if (grant) {
        KLPortalScreenCast::closeSession(grant->bus, grant->cast.sessionHandle);
        reasons << QStringLiteral("the desktop portal granted a screen cast, but %1").arg(grant->cast.error);
    }
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
    if (!grant)
        reasons << QStringLiteral("no screen cast was granted by a desktop portal");
    KLScreenCaptureResult none;
    none.why = reasons.join(QStringLiteral("; "));
    KL_LOG_WARN(kTag, QStringLiteral("cannot capture %1, the share shows the synthetic pattern: %2").arg(which, none.why));
    return none;
}
