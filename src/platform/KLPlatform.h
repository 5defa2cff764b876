#pragma once

// What the meeting asks of the operating system: keeping the display awake, hearing about system
// sleep, capture authorisation, the screen-capture probes and the system version. Everything goes
// through one installed platform object so that tests can replace it (KLFakePlatform).

#include <QString>

#include <functional>
#include <memory>
#include <optional>

/// The capture devices authorisation is asked for.
enum class KLMediaType { Audio, Video, Screen };

/// Authorisation status values as the platform reports them.
enum KLAuthorizationStatus : int {
    KLAuthorizationStatusNotDetermined = 0,
    KLAuthorizationStatusRestricted = 1,
    KLAuthorizationStatusDenied = 2,
    KLAuthorizationStatusAuthorized = 3,
};

/// A system version as major.minor(.patch); compared field by field, so 10.9 < 10.14.
struct KLOSVersion {
    int major = 0;
    int minor = 0;
    int patch = 0;

    friend auto operator<=>(const KLOSVersion &, const KLOSVersion &) = default;
    /// "major.minor", the form the version checks compare.
    QString toString() const { return QStringLiteral("%1.%2").arg(major).arg(minor); }
    /// The leading dotted numbers of `text` ("12" → 12.0, "22.04" → 22.4, "6.1.0-13-amd64" →
    /// 6.1.0); nothing when the text does not start with a number ("", "unknown", "rolling").
    static std::optional<KLOSVersion> parse(const QString &text);
};

/// Handle of one "keep the display awake" request; 0 is never handed out.
using KLDisplaySleepHandle = quint32;

class KLPlatform {
public:
    using AccessCompletion = std::function<void(bool granted)>;

    virtual ~KLPlatform();

    /// The installed platform; the Linux one unless a test installed another. Never null.
    static std::shared_ptr<KLPlatform> shared();
    /// Installs `platform` for everyone who asks shared() from now on; null puts the Linux
    /// platform back. Objects that already hold the previous one keep it.
    static void install(std::shared_ptr<KLPlatform> platform);

    // --- Power ---------------------------------------------------------------------------------
    /// Keeps the display from sleeping (and the screen saver from starting) until the handle is
    /// given back. Never blocks; where the system offers no way to do it, logs one line.
    virtual KLDisplaySleepHandle preventDisplaySleep(const QString &reason) = 0;
    /// Gives back a handle of preventDisplaySleep(); an unknown handle is logged and ignored.
    virtual void allowDisplaySleep(KLDisplaySleepHandle handle) = 0;
    /// Starts watching for system sleep: before the system sleeps, "SystemWillSleep" is posted
    /// on the main thread (no object) and only then is the system let go. Calling it again while
    /// watching does nothing.
    virtual void startMonitoringSleep() = 0;
    virtual void stopMonitoringSleep() = 0;

    // --- Capture authorisation -----------------------------------------------------------------
    /// One of KLAuthorizationStatus; answers at once, without asking the user.
    virtual int authorizationStatusForMediaType(KLMediaType type) = 0;
    /// Asks for access (the system may ask the user); `completion` runs once, on the main thread.
    virtual void requestAccessForMediaType(KLMediaType type, AccessCompletion completion) = 0;
    /// True when the machine has at least one video capture device.
    virtual bool hasVideoCaptureDevice() = 0;

    // --- Screen-capture probes -----------------------------------------------------------------
    /// Is capturing the screen permitted without asking anyone?
    virtual bool canRecordScreen() = 0;
    /// Is there a display a capture stream could be made of?
    virtual bool recordScreenFromCreateStream() = 0;

    // --- Version -------------------------------------------------------------------------------
    /// The system version the version checks compare; nothing when it cannot be queried.
    virtual std::optional<KLOSVersion> osVersion() = 0;
    /// True when osVersion() is known and not older than major.minor. An unknown version counts
    /// as an old system, the branch every version check takes when it cannot ask.
    bool isAtLeast(int major, int minor);

    /// Name of a media type for log lines ("audio", "video", "screen").
    static QString mediaTypeName(KLMediaType type);
};
