#pragma once

// A dbus-daemon of the test's own on a socket in a temporary folder, and a connection to it on
// which the test registers its stand-in services. No <servicedir>: nothing is started on demand,
// so a service the test does not offer stays absent.

#include "KLTestSupport.h"

#include <QDBusConnection>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <optional>

namespace kltest {

class PrivateSessionBus {
public:
    /// Starts the daemon and connects `serviceName` to it; false when either fails (no
    /// dbus-daemon on this machine: the caller skips).
    bool start(const QString &serviceName)
    {
        const QString program = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (program.isEmpty() || !m_dir.isValid())
            return false;
        QFile config(m_dir.filePath(QStringLiteral("bus.conf")));
        if (!config.open(QIODevice::WriteOnly))
            return false;
        config.write(QStringLiteral("<busconfig><type>session</type><listen>unix:dir=%1</listen><auth>EXTERNAL</auth>"
                                    "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
                                    "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n")
                         .arg(m_dir.path())
                         .toUtf8());
        config.close();
        m_daemon.start(program, {QStringLiteral("--config-file=") + config.fileName(), QStringLiteral("--print-address"),
                                 QStringLiteral("--nofork")});
        QByteArray output;
        waitUntil([&] {
            output += m_daemon.readAllStandardOutput();
            return output.contains('\n') || m_daemon.state() == QProcess::NotRunning;
        }, 10000);
        address = QString::fromUtf8(output).section(QLatin1Char('\n'), 0, 0).trimmed();
        if (address.isEmpty())
            return false;
        m_serviceName = serviceName;
        service.emplace(QDBusConnection::connectToBus(address, serviceName));
        return service->isConnected();
    }
    ~PrivateSessionBus()
    {
        if (service) {
            service.reset();
            QDBusConnection::disconnectFromBus(m_serviceName);
        }
        if (m_daemon.state() != QProcess::NotRunning) {
            m_daemon.terminate();
            m_daemon.waitForFinished(5000);
        }
    }

    QString address;
    /// The test's own connection, for the stand-ins it offers.
    std::optional<QDBusConnection> service;

private:
    QTemporaryDir m_dir;
    QProcess m_daemon;
    QString m_serviceName;
};

} // namespace kltest
