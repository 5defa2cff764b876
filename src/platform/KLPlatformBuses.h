#pragma once

#include <QDBusConnection>
#include <QString>

#include <optional>

/// Where the Linux platform finds its two buses. An empty address means the standard bus of
/// that kind (what DBUS_SESSION_BUS_ADDRESS / DBUS_SYSTEM_BUS_ADDRESS say, read when the bus is
/// first used).
struct KLPlatformBusAddresses {
    QString session;
    QString system;
};

/// The platform's own connections to the session and system bus, made on first use and kept
/// for the platform's life. They are private, named connections (not Qt's shared default ones)
/// so that the host's bus use and ours never interfere, and a test can point a platform at a
/// private bus.
///
/// Use from the platform's thread only: connecting is a synchronous round trip (the bus's
/// "Hello"), which is why it never happens on the main thread. A bus that cannot be reached is
/// tried once; later calls get the same answer at once.
class KLPlatformBuses {
public:
    explicit KLPlatformBuses(KLPlatformBusAddresses addresses);
    ~KLPlatformBuses();
    KLPlatformBuses(const KLPlatformBuses &) = delete;
    KLPlatformBuses &operator=(const KLPlatformBuses &) = delete;

    /// The connected session bus, or nothing (sessionError() then says why).
    std::optional<QDBusConnection> session();
    std::optional<QDBusConnection> system();
    QString sessionError() const { return m_session.error; }
    QString systemError() const { return m_system.error; }

    /// The process's name on the bus for log lines and inhibitors ("KelvoUISDK" when the host's
    /// application has no name).
    static QString applicationName();

private:
    struct Bus {
        QDBusConnection::BusType type = QDBusConnection::SessionBus;
        QString address;
        QString connectionName;
        bool tried = false;
        bool connected = false;
        QString error;
    };
    std::optional<QDBusConnection> connect(Bus &bus);

    Bus m_session;
    Bus m_system;
};

/// Call time-out of every non-interactive platform call, in milliseconds. A bus or service that
/// hangs costs at most this long, on the platform's thread, never on the caller's.
inline constexpr int KLPlatformCallTimeoutMs = 5000;
