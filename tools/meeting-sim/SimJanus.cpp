#include "SimJanus.h"

#include "SimCertificates.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageAuthenticationCode>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QElapsedTimer>
#include <QJsonArray>

#ifndef KELVO_LOOPBACK_SHIM
#define KELVO_LOOPBACK_SHIM ""
#endif

namespace {

const char *kPluginDir = "/usr/lib/x86_64-linux-gnu/janus";

int freePort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    return server.serverPort();
}

bool write(const QString &path, const QString &text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text.toUtf8()) >= 0;
}

} // namespace

namespace kelvosim {

QString SimJanus::shimPath()
{
    return QString::fromUtf8(KELVO_LOOPBACK_SHIM);
}

bool SimJanus::installed(QString *why)
{
    QString missing;
    if (QStandardPaths::findExecutable(QStringLiteral("janus")).isEmpty())
        missing = QStringLiteral("janus is not installed");
    else if (!QFile::exists(QString::fromLatin1(kPluginDir) + QStringLiteral("/plugins/libjanus_videoroom.so")))
        missing = QStringLiteral("the VideoRoom plugin is missing");
    else if (!QFile::exists(shimPath()))
        missing = QStringLiteral("the loopback shim %1 is missing").arg(shimPath());
    if (why)
        *why = missing;
    return missing.isEmpty();
}

SimJanus::SimJanus() = default;

SimJanus::~SimJanus()
{
    stop();
}

QString SimJanus::tokenWithSecret(const QString &secret, int seconds)
{
    const QString data = QStringLiteral("%1,janus,janus.plugin.videoroom")
                             .arg(QDateTime::currentSecsSinceEpoch() + seconds);
    const QByteArray signature =
        QMessageAuthenticationCode::hash(data.toUtf8(), secret.toUtf8(), QCryptographicHash::Sha1).toBase64();
    return data + QLatin1Char(':') + QString::fromLatin1(signature);
}

QString SimJanus::token(int seconds) const
{
    return tokenWithSecret(m_secret, seconds);
}

QString SimJanus::url() const
{
    return QStringLiteral("wss://127.0.0.1:%1/").arg(m_port);
}

QString SimJanus::output() const
{
    return QString::fromUtf8(const_cast<QProcess &>(m_process).readAll());
}

bool SimJanus::startFor(QJsonObject &scenario, const SimCertificateFiles &certificates, QString *error)
{
    QJsonArray meetings = scenario.value(QLatin1String("meetings")).toArray();
    QStringList rooms;
    for (const QJsonValue &meeting : std::as_const(meetings)) {
        const QJsonValue room = meeting.toObject().value(QLatin1String("meetingInfo")).toObject().value(QLatin1String("roomid"));
        rooms << (room.isString() ? room.toString() : QString::number(room.toInteger()));
    }
    if (!start(rooms, error, &certificates))
        return false;
    for (qsizetype i = 0; i < meetings.size(); ++i) {
        QJsonObject meeting = meetings.at(i).toObject();
        QJsonObject info = meeting.value(QLatin1String("meetingInfo")).toObject();
        const QString signed_ = token(24 * 3600);
        info.insert(QStringLiteral("rtcserverWsUrl"), url());
        info.insert(QStringLiteral("token"), signed_);
        meeting.insert(QStringLiteral("meetingInfo"), info);
        meeting.insert(QStringLiteral("meetingToken"), signed_);
        meetings[i] = meeting;
    }
    scenario.insert(QStringLiteral("meetings"), meetings);
    scenario.insert(QStringLiteral("mediaEngine"), QStringLiteral("webrtc"));
    return true;
}

bool SimJanus::start(const QStringList &rooms, QString *error, const SimCertificateFiles *certificates)
{
    QString why;
    if (!installed(&why)) {
        *error = why;
        return false;
    }
    m_dir = std::make_unique<QTemporaryDir>();
    const QString dir = m_dir->path();
    SimCertificateFiles certs;
    if (certificates)
        certs = *certificates;
    else if (!SimCertificates::generate(dir + QStringLiteral("/tls"), &certs, error))
        return false;
    m_caFile = certs.caFile;
    m_secret = QString::number(QRandomGenerator::global()->generate64(), 36);
    m_port = freePort();
    // Only the two modules a meeting needs are loaded.
    for (const QString &kind : {QStringLiteral("plugins"), QStringLiteral("transports"), QStringLiteral("events"),
                                QStringLiteral("loggers")})
        QDir(dir).mkpath(kind);
    QFile::link(QString::fromLatin1(kPluginDir) + QStringLiteral("/plugins/libjanus_videoroom.so"),
                dir + QStringLiteral("/plugins/libjanus_videoroom.so"));
    QFile::link(QString::fromLatin1(kPluginDir) + QStringLiteral("/transports/libjanus_websockets.so"),
                dir + QStringLiteral("/transports/libjanus_websockets.so"));
    const QString general = QStringLiteral(
        "general: {\n configs_folder = \"%1\"\n plugins_folder = \"%1/plugins\"\n transports_folder = \"%1/transports\"\n"
        " events_folder = \"%1/events\"\n loggers_folder = \"%1/loggers\"\n log_to_stdout = true\n debug_level = 4\n"
        " token_auth = true\n token_auth_secret = \"%2\"\n session_timeout = 60\n}\n"
        "media: {\n ipv6 = false\n rtp_port_range = \"20000-40000\"\n}\n"
        "nat: {\n ice_enforce_list = \"lo\"\n nice_debug = false\n full_trickle = false\n ignore_mdns = true\n}\n"
        "plugins: {\n}\ntransports: {\n}\nevents: {\n broadcast = false\n}\n")
        .arg(dir, m_secret);
    QString videoroom = QStringLiteral("general: {\n string_ids = true\n}\n");
    for (const QString &room : rooms)
        videoroom += QStringLiteral("room-%1: {\n description = \"%1\"\n publishers = 10\n bitrate = 600000\n"
                                    " audiocodec = \"opus\"\n videocodec = \"vp8\"\n notify_joining = false\n"
                                    // Publishers that send the audio-level header extension are
                                    // reported talking once half a second of their packets averages
                                    // louder than -50 dBov, and stopped once it no longer does.
                                    " audiolevel_ext = true\n audiolevel_event = true\n audio_active_packets = 25\n"
                                    " audio_level_average = 50\n}\n")
                         .arg(room);
    const QString websockets = QStringLiteral(
        "general: {\n json = \"compact\"\n ws = false\n wss = true\n wss_port = %1\n wss_ip = \"127.0.0.1\"\n}\n"
        "admin: {\n admin_ws = false\n admin_wss = false\n}\n"
        "certificates: {\n cert_pem = \"%2\"\n cert_key = \"%3\"\n}\n")
        .arg(m_port).arg(certs.certFile, certs.keyFile);
    if (!write(dir + QStringLiteral("/janus.jcfg"), general)
        || !write(dir + QStringLiteral("/janus.plugin.videoroom.jcfg"), videoroom)
        || !write(dir + QStringLiteral("/janus.transport.websockets.jcfg"), websockets)) {
        *error = QStringLiteral("cannot write the media server's configuration");
        return false;
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LD_PRELOAD"), shimPath());
    m_process.setProcessEnvironment(environment);
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.start(QStringLiteral("janus"), {QStringLiteral("-C"), dir + QStringLiteral("/janus.jcfg"),
                                              QStringLiteral("-F"), dir});
    if (!m_process.waitForStarted(5000)) {
        *error = QStringLiteral("janus did not start: %1").arg(m_process.errorString());
        return false;
    }
    // Janus listens within about a tenth of a second; wait for the port.
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 10000) {
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, quint16(m_port));
        if (probe.waitForConnected(200))
            return true;
        if (m_process.state() != QProcess::Running)
            break;
        m_process.waitForReadyRead(100);
    }
    *error = QStringLiteral("janus is not listening on %1: %2").arg(m_port).arg(output().right(2000));
    return false;
}

void SimJanus::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(2000);
    }
}

} // namespace kelvosim
