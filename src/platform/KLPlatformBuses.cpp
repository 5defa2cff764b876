#include "platform/KLPlatformBuses.h"

#include <QCoreApplication>
#include <QDBusError>

#include <atomic>

namespace {

QString uniqueConnectionName(const char *kind)
{
    static std::atomic<int> counter{0};
    return QStringLiteral("kelvo-platform-%1-%2").arg(QLatin1String(kind)).arg(++counter);
}

} // namespace

KLPlatformBuses::KLPlatformBuses(KLPlatformBusAddresses addresses)
{
    m_session.type = QDBusConnection::SessionBus;
    m_session.address = addresses.session;
    m_session.connectionName = uniqueConnectionName("session");
    m_system.type = QDBusConnection::SystemBus;
    m_system.address = addresses.system;
    m_system.connectionName = uniqueConnectionName("system");
}

KLPlatformBuses::~KLPlatformBuses()
{
    for (const Bus *bus : {&m_session, &m_system}) {
        if (bus->tried)
            QDBusConnection::disconnectFromBus(bus->connectionName);
    }
}

std::optional<QDBusConnection> KLPlatformBuses::session()
{
    return connect(m_session);
}

std::optional<QDBusConnection> KLPlatformBuses::system()
{
    return connect(m_system);
}

std::optional<QDBusConnection> KLPlatformBuses::connect(Bus &bus)
{
    if (!bus.tried) {
        bus.tried = true;
        const QDBusConnection connection =
            bus.address.isEmpty() ? QDBusConnection::connectToBus(bus.type, bus.connectionName)
                                  : QDBusConnection::connectToBus(bus.address, bus.connectionName);
        bus.connected = connection.isConnected();
        if (!bus.connected) {
            const QDBusError error = connection.lastError();
            bus.error = error.isValid() ? error.message() : QStringLiteral("not connected");
            if (bus.error.isEmpty())
                bus.error = QStringLiteral("not connected");
        }
    }
    if (!bus.connected)
        return std::nullopt;
    return QDBusConnection(bus.connectionName);
}

QString KLPlatformBuses::applicationName()
{
    const QString name = QCoreApplication::applicationName();
    return name.isEmpty() ? QStringLiteral("KelvoUISDK") : name;
}
