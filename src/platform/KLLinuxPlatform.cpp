#include "platform/KLLinuxPlatform.h"

#include "platform/KLLinuxPermissions.h"
#include "platform/KLLinuxPower.h"
#include "runtime/KLDispatchQueue.h"
#include "runtime/KLMainThread.h"
#include "runtime/KLSDKLog.h"

#include <QSysInfo>

namespace {

const QString kTag = QStringLiteral("KLPlatform");

} // namespace

KLLinuxPlatform::KLLinuxPlatform() : KLLinuxPlatform(Options()) {}

KLLinuxPlatform::KLLinuxPlatform(Options options)
    : m_options(std::move(options)),
      m_queue(std::make_shared<KLDispatchQueue>(QStringLiteral("com.vantora.kelvo.platform")))
{
    m_sandboxed = m_options.sandboxed.value_or(KLLinuxDisplayProbes::isSandboxed(m_options.systemRoot));

    // The sleep notification goes to the main thread; the delay lock is let go on the queue
    // once the observers have run. The queue may be gone by then (platform destroyed).
    const std::weak_ptr<KLDispatchQueue> weakQueue = m_queue;
    auto postOnMainThread = [weakQueue](std::function<void()> onMain, std::function<void()> then) {
        const bool posted = KLMainThread::post([weakQueue, onMain, then] {
            onMain();
            if (const std::shared_ptr<KLDispatchQueue> queue = weakQueue.lock())
                queue->async(then);
        });
        if (!posted) {
            KL_LOG_WARN(kTag, QStringLiteral("no main thread: SystemWillSleep posted on the platform thread"));
            onMain();
            then();
        }
    };
    m_queue->sync([this, postOnMainThread] {
        m_buses = std::make_unique<KLPlatformBuses>(m_options.buses);
        m_power = std::make_unique<KLLinuxPower>(*m_buses, postOnMainThread);
        m_permissions = std::make_unique<KLLinuxPermissions>(*m_buses);
    });
    m_permissionsForReading = m_permissions.get();
    // Ask the portal now, so that its answers are in when the meeting needs them.
    m_queue->async([this] { m_permissions->probe(); });
}

KLLinuxPlatform::~KLLinuxPlatform()
{
    // Blocks queued before this one still run; then every D-Bus object goes, on its thread.
    m_queue->sync([this] {
        m_power.reset();
        m_permissions.reset();
        m_buses.reset();
    });
}

// --- Power ------------------------------------------------------------------------------------

KLDisplaySleepHandle KLLinuxPlatform::preventDisplaySleep(const QString &reason)
{
    KLDisplaySleepHandle handle = m_nextHandle++;
    if (handle == 0) // wrapped around
        handle = m_nextHandle++;
    m_queue->async([this, handle, reason] { m_power->preventDisplaySleep(handle, reason); });
    return handle;
}

void KLLinuxPlatform::allowDisplaySleep(KLDisplaySleepHandle handle)
{
    m_queue->async([this, handle] { m_power->allowDisplaySleep(handle); });
}

void KLLinuxPlatform::startMonitoringSleep()
{
    m_queue->async([this] { m_power->startMonitoringSleep(); });
}

void KLLinuxPlatform::stopMonitoringSleep()
{
    m_queue->async([this] { m_power->stopMonitoringSleep(); });
}

// --- Capture authorisation --------------------------------------------------------------------

KLDisplayProbe KLLinuxPlatform::displayProbe() const
{
    return KLLinuxDisplayProbes::detect(m_options.display.value_or(KLDisplayEnvironment::current()));
}

int KLLinuxPlatform::authorizationStatusForMediaType(KLMediaType type)
{
    switch (type) {
    case KLMediaType::Audio:
        // Nothing on a Linux desktop asks the user about microphones; the sound server serves
        // every client of the session.
        return KLAuthorizationStatusAuthorized;
    case KLMediaType::Video: {
        if (!m_sandboxed)
            return KLAuthorizationStatusAuthorized; // outside a sandbox the camera is ours to open
        const int answer = m_cameraAnswer.load();
        return answer >= 0 ? answer : KLAuthorizationStatusNotDetermined;
    }
    case KLMediaType::Screen: {
        const KLDisplayProbe probe = displayProbe();
        if (probe.session != KLDisplaySession::None) {
            KL_LOG_INFO(kTag, QStringLiteral("screen capture authorised: %1").arg(probe.description));
            return KLAuthorizationStatusAuthorized;
        }
        if (m_permissionsForReading->hasScreenCastPortal()) {
            KL_LOG_INFO(kTag, QStringLiteral("screen capture authorised: ScreenCast portal (%1)").arg(probe.description));
            return KLAuthorizationStatusAuthorized;
        }
        KL_LOG_INFO(kTag, QStringLiteral("screen capture restricted: %1, no ScreenCast portal").arg(probe.description));
        return KLAuthorizationStatusRestricted;
    }
    }
    KL_LOG_WARN(kTag, QStringLiteral("authorization status of unknown media type %1").arg(int(type)));
    return KLAuthorizationStatusNotDetermined;
}

void KLLinuxPlatform::completeOnMainThread(AccessCompletion completion, bool granted)
{
    if (!completion)
        return;
    if (!KLMainThread::post([completion, granted] { completion(granted); })) {
        KL_LOG_WARN(kTag, QStringLiteral("no main thread: access answer delivered on the caller's thread"));
        completion(granted);
    }
}

void KLLinuxPlatform::requestAccessForMediaType(KLMediaType type, AccessCompletion completion)
{
    switch (type) {
    case KLMediaType::Audio:
    case KLMediaType::Screen: {
        // Nobody to ask: the answer is the status (the screen's comes with its log line).
        const bool granted = authorizationStatusForMediaType(type) == KLAuthorizationStatusAuthorized;
        completeOnMainThread(std::move(completion), granted);
        return;
    }
    case KLMediaType::Video:
        if (!m_sandboxed) {
            completeOnMainThread(std::move(completion), true);
            return;
        }
        m_queue->async([this, completion = std::move(completion)]() mutable {
            m_permissions->requestCameraAccess([this, completion](bool granted) {
                m_cameraAnswer = granted ? KLAuthorizationStatusAuthorized : KLAuthorizationStatusDenied;
                completeOnMainThread(completion, granted);
            });
        });
        return;
    }
    KL_LOG_WARN(kTag, QStringLiteral("access request for unknown media type %1 refused").arg(int(type)));
    completeOnMainThread(std::move(completion), false);
}

bool KLLinuxPlatform::hasVideoCaptureDevice()
{
    return !KLLinuxDisplayProbes::videoCaptureDevices(m_options.systemRoot).isEmpty()
           || m_permissionsForReading->portalSeesCamera();
}

bool KLLinuxPlatform::portalProbeFinished() const
{
    return m_permissionsForReading->probeFinished();
}

// --- Screen-capture probes --------------------------------------------------------------------

bool KLLinuxPlatform::canRecordScreen()
{
    const KLDisplayProbe probe = displayProbe();
    switch (probe.session) {
    case KLDisplaySession::X11:
        return true; // every X client may read the screen
    case KLDisplaySession::Wayland:
        // Only the ScreenCast portal captures a Wayland screen; it asks the user each time.
        return m_permissionsForReading->hasScreenCastPortal();
    case KLDisplaySession::None:
        break;
    }
    return false;
}

bool KLLinuxPlatform::recordScreenFromCreateStream()
{
    return displayProbe().session != KLDisplaySession::None;
}

// --- Version ----------------------------------------------------------------------------------

std::optional<KLOSVersion> KLLinuxPlatform::mapVersion(const QString &productVersion, const QString &kernelVersion)
{
    if (std::optional<KLOSVersion> distribution = KLOSVersion::parse(productVersion))
        return distribution;
    return KLOSVersion::parse(kernelVersion);
}

std::optional<KLOSVersion> KLLinuxPlatform::osVersion()
{
    return mapVersion(QSysInfo::productVersion(), QSysInfo::kernelVersion());
}
