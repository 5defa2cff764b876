#pragma once

// A stand-in for the desktop's ScreenCast portal on a bus of the caller's (a private session bus):
// an object answering CreateSession, SelectSources, Start and OpenPipeWireRemote the way the
// portal does, each request answered later by a Response signal on its request path. What
// SelectSources and Start answer, and what OpenPipeWireRemote gives, is set by its owner: the
// tests of the screen cast, and the sample host's pictures of a user who cancels.

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QTimer>

#include <sys/socket.h>
#include <unistd.h>

namespace kelvosim {

/// One stream of Start's answer: a(ua{sv}).
struct PortalStream {
    uint node = 0;
    QVariantMap properties;
};
struct PortalSize {
    int width = 0, height = 0;
};

inline QDBusArgument &operator<<(QDBusArgument &argument, const PortalSize &size)
{
    argument.beginStructure();
    argument << size.width << size.height;
    argument.endStructure();
    return argument;
}
inline const QDBusArgument &operator>>(const QDBusArgument &argument, PortalSize &size)
{
    argument.beginStructure();
    argument >> size.width >> size.height;
    argument.endStructure();
    return argument;
}
inline QDBusArgument &operator<<(QDBusArgument &argument, const PortalStream &stream)
{
    argument.beginStructure();
    argument << stream.node << stream.properties;
    argument.endStructure();
    return argument;
}
inline const QDBusArgument &operator>>(const QDBusArgument &argument, PortalStream &stream)
{
    argument.beginStructure();
    argument >> stream.node >> stream.properties;
    argument.endStructure();
    return argument;
}

} // namespace kelvosim

Q_DECLARE_METATYPE(kelvosim::PortalStream)
Q_DECLARE_METATYPE(kelvosim::PortalSize)

namespace kelvosim {

/// The session object the portal hands out; records Close.
class SimPortalSession : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Session")
public:
    explicit SimPortalSession(int *closes, QObject *parent) : QObject(parent), m_closes(closes) {}
public Q_SLOTS:
    void Close() { ++*m_closes; }

private:
    int *m_closes;
};

class SimScreenCastPortal : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.ScreenCast")
    Q_PROPERTY(uint version READ version)
public:
    enum class Remote { Error, ClosedSocket };

    explicit SimScreenCastPortal(QDBusConnection bus) : m_bus(std::move(bus))
    {
        qDBusRegisterMetaType<PortalSize>();
        qDBusRegisterMetaType<PortalStream>();
        qDBusRegisterMetaType<QList<PortalStream>>();
    }
    bool publish()
    {
        return m_bus.registerObject(QStringLiteral("/org/freedesktop/portal/desktop"), this,
                                    QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties) &&
               m_bus.registerService(QStringLiteral("org.freedesktop.portal.Desktop"));
    }
    uint version() const { return 4; }

    // What the owner sets.
    uint selectResponse = 0;
    uint startResponse = 0;
    Remote remote = Remote::Error;

    // What the portal saw.
    QStringList calls;
    QVariantMap selectOptions;
    int closes = 0;

public Q_SLOTS:
    QDBusObjectPath CreateSession(const QVariantMap &options, const QDBusMessage &message)
    {
        calls << QStringLiteral("CreateSession");
        const QString session = QStringLiteral("/org/freedesktop/portal/desktop/session/%1/%2")
                                    .arg(senderPart(message), options.value(QStringLiteral("session_handle_token")).toString());
        m_bus.registerObject(session, new SimPortalSession(&closes, this), QDBusConnection::ExportAllSlots);
        return answer(message, options, 0, {{QStringLiteral("session_handle"), session}});
    }
    QDBusObjectPath SelectSources(const QDBusObjectPath &, const QVariantMap &options, const QDBusMessage &message)
    {
        calls << QStringLiteral("SelectSources");
        selectOptions = options;
        return answer(message, options, selectResponse, {});
    }
    QDBusObjectPath Start(const QDBusObjectPath &, const QString &, const QVariantMap &options, const QDBusMessage &message)
    {
        calls << QStringLiteral("Start");
        QVariantMap results;
        if (startResponse == 0) {
            PortalStream stream{42, {{QStringLiteral("size"), QVariant::fromValue(PortalSize{1920, 1080})}}};
            results.insert(QStringLiteral("streams"), QVariant::fromValue(QList<PortalStream>{stream}));
        }
        return answer(message, options, startResponse, results);
    }
    QDBusUnixFileDescriptor OpenPipeWireRemote(const QDBusObjectPath &, const QVariantMap &, const QDBusMessage &message)
    {
        calls << QStringLiteral("OpenPipeWireRemote");
        if (remote == Remote::Error) {
            message.setDelayedReply(true);
            m_bus.send(message.createErrorReply(QStringLiteral("org.freedesktop.portal.Error.Failed"),
                                                QStringLiteral("Could not connect to PipeWire")));
            return {};
        }
        // A socket whose other end is gone: what a client gets from a PipeWire daemon that died.
        int ends[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
            return {};
        ::close(ends[1]);
        QDBusUnixFileDescriptor handedOut(ends[0]);
        ::close(ends[0]);
        return handedOut;
    }

private:
    static QString senderPart(const QDBusMessage &message)
    {
        return message.service().mid(1).replace(QLatin1Char('.'), QLatin1Char('_'));
    }
    // The request object's path comes back at once; its Response follows from the event loop.
    QDBusObjectPath answer(const QDBusMessage &message, const QVariantMap &options, uint response, QVariantMap results)
    {
        const QString path = QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2")
                                 .arg(senderPart(message), options.value(QStringLiteral("handle_token")).toString());
        QDBusConnection bus = m_bus;
        QTimer::singleShot(0, this, [bus, path, response, results]() mutable {
            QDBusMessage signal = QDBusMessage::createSignal(path, QStringLiteral("org.freedesktop.portal.Request"),
                                                             QStringLiteral("Response"));
            signal << response << results;
            bus.send(signal);
        });
        return QDBusObjectPath(path);
    }

    QDBusConnection m_bus;
};

} // namespace kelvosim
