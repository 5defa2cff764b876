#include "SimTurn.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QStandardPaths>
#include <QUdpSocket>

namespace kelvosim {

namespace {
const char *kUser = "kelvo";
const char *kPassword = "kelvo-turn-secret";
} // namespace

bool SimTurn::installed()
{
    return !QStandardPaths::findExecutable(QStringLiteral("turnserver")).isEmpty();
}

SimTurn::~SimTurn()
{
    stop();
}

bool SimTurn::start(QString *error)
{
    {
        QUdpSocket probe;
        probe.bind(QHostAddress::LocalHost, 0);
        m_port = probe.localPort();
    }
    m_dir = std::make_unique<QTemporaryDir>();
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.start(QStringLiteral("turnserver"),
                    {QStringLiteral("-n"), QStringLiteral("--listening-ip"), QStringLiteral("127.0.0.1"),
                     QStringLiteral("--relay-ip"), QStringLiteral("127.0.0.1"), QStringLiteral("--listening-port"),
                     QString::number(m_port), QStringLiteral("--allow-loopback-peers"), QStringLiteral("--lt-cred-mech"),
                     QStringLiteral("--user"), QStringLiteral("%1:%2").arg(QLatin1String(kUser), QLatin1String(kPassword)),
                     QStringLiteral("--realm"), QStringLiteral("kelvo"), QStringLiteral("--no-cli"), QStringLiteral("--no-tls"),
                     QStringLiteral("--no-dtls"), QStringLiteral("--no-tcp-relay"), QStringLiteral("--min-port"),
                     QStringLiteral("50000"), QStringLiteral("--max-port"), QStringLiteral("50999"),
                     QStringLiteral("--userdb"), m_dir->filePath(QStringLiteral("turndb")), QStringLiteral("--pidfile"),
                     m_dir->filePath(QStringLiteral("turn.pid")), QStringLiteral("--log-file"), QStringLiteral("stdout"),
                     QStringLiteral("--simple-log")});
    if (!m_process.waitForStarted(5000)) {
        *error = QStringLiteral("turnserver did not start: %1").arg(m_process.errorString());
        return false;
    }
    // coturn says when its servers are made (it names no UDP listener on every build).
    QByteArray said;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 5000 && m_process.state() == QProcess::Running) {
        m_process.waitForReadyRead(100);
        said += m_process.readAll();
        if (said.contains("Total General servers"))
            return true;
    }
    *error = QStringLiteral("turnserver is not listening: %1").arg(QString::fromUtf8(said.right(1500)));
    return false;
}

void SimTurn::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(3000)) {
        m_process.kill();
        m_process.waitForFinished(2000);
    }
}

QJsonObject SimTurn::iceServer() const
{
    return {{QStringLiteral("urls"), QJsonArray{QStringLiteral("turn:127.0.0.1:%1?transport=udp").arg(m_port)}},
            {QStringLiteral("username"), QLatin1String(kUser)},
            {QStringLiteral("credential"), QLatin1String(kPassword)}};
}

} // namespace kelvosim
