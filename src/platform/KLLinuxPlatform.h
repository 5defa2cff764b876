#pragma once

#include "platform/KLLinuxDisplayProbes.h"
#include "platform/KLPlatform.h"
#include "platform/KLPlatformBuses.h"

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

class KLDispatchQueue;
class KLLinuxPermissions;
class KLLinuxPower;

/// The platform on Linux desktops (see docs/platform.md for every choice made here).
///
/// All D-Bus work happens on the platform's own serial queue "com.vantora.kelvo.platform",
/// asynchronously: the public operations may be called from any thread, return at once and
/// never wait on a bus. Answers that are needed at once (statuses, probes) come from what the
/// environment and /sys say and from what the portal said when it was asked, which starts as
/// soon as the platform exists.
class KLLinuxPlatform : public KLPlatform {
public:
    struct Options {
        KLPlatformBusAddresses buses;
        /// The display environment; the process's own when not given.
        std::optional<KLDisplayEnvironment> display;
        /// Root for /sys and /.flatpak-info (tests point it at a folder of their own).
        QString systemRoot = QStringLiteral("/");
        /// Sandboxed or not; detected from systemRoot and $SNAP when not given.
        std::optional<bool> sandboxed;
    };

    KLLinuxPlatform();
    explicit KLLinuxPlatform(Options options);
    ~KLLinuxPlatform() override;

    KLDisplaySleepHandle preventDisplaySleep(const QString &reason) override;
    void allowDisplaySleep(KLDisplaySleepHandle handle) override;
    void startMonitoringSleep() override;
    void stopMonitoringSleep() override;

    int authorizationStatusForMediaType(KLMediaType type) override;
    void requestAccessForMediaType(KLMediaType type, AccessCompletion completion) override;
    bool hasVideoCaptureDevice() override;

    bool canRecordScreen() override;
    bool recordScreenFromCreateStream() override;

    std::optional<KLOSVersion> osVersion() override;
    /// The version osVersion() reports for a distribution version text and a kernel release:
    /// the distribution's when it starts with a number, else the kernel's.
    static std::optional<KLOSVersion> mapVersion(const QString &productVersion, const QString &kernelVersion);

    /// True once the portal has answered (or could not be asked).
    bool portalProbeFinished() const;

private:
    KLDisplayProbe displayProbe() const;
    /// Runs `completion(granted)` on the main thread (on the caller's when there is none).
    static void completeOnMainThread(AccessCompletion completion, bool granted);

    Options m_options;
    bool m_sandboxed = false;
    std::atomic<KLDisplaySleepHandle> m_nextHandle{1};
    std::atomic<int> m_cameraAnswer{-1}; // the portal's last answer as a status, -1 before one

    // Created and destroyed on the queue's thread; used only there.
    std::unique_ptr<KLPlatformBuses> m_buses;
    std::unique_ptr<KLLinuxPower> m_power;
    std::unique_ptr<KLLinuxPermissions> m_permissions;
    KLLinuxPermissions *m_permissionsForReading = nullptr; // its atomics are read from any thread
    std::shared_ptr<KLDispatchQueue> m_queue;
};
