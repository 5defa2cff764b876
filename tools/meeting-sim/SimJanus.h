#pragma once

// A Janus media server for one simulated meeting: generated configuration in a temporary
// folder, VideoRoom rooms with string ids, the WebSocket transport with TLS on a free loopback
// port (the simulator's CA signs its certificate), signed-token authentication, and ICE on
// 127.0.0.1 only (the loopback shim is preloaded; gathering is confined to "lo").

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <QJsonObject>

#include <memory>

namespace kelvosim {

struct SimCertificateFiles;

class SimJanus {
public:
    /// The shim preloaded into Janus (built next to the simulator).
    static QString shimPath();
    /// True when the janus program and the VideoRoom and WebSocket plugins are installed.
    static bool installed(QString *why = nullptr);

    SimJanus();
    ~SimJanus();

    /// Writes the configuration with `rooms` and starts Janus; false (with `error`) when it
    /// does not listen within a few seconds.
    /// `certificates`: the simulator's own (its CA is then the one clients already trust);
    /// null for a CA and certificate of this instance's own.
    bool start(const QStringList &rooms, QString *error, const SimCertificateFiles *certificates = nullptr);
    /// Starts for every meeting of `scenario` (room: its meetingInfo "roomid") and points the
    /// meetings at this server: meetingInfo "rtcserverWsUrl", a token Janus accepts as
    /// "meetingToken" and meetingInfo "token", and "mediaEngine": "webrtc".
    bool startFor(QJsonObject &scenario, const SimCertificateFiles &certificates, QString *error);
    void stop();
    /// "wss://127.0.0.1:<port>/"
    QString url() const;
    /// The CA file a client trusts for url().
    QString caFile() const { return m_caFile; }
    /// A token Janus accepts for the VideoRoom plugin, valid for `seconds`.
    QString token(int seconds = 3600) const;
    /// A token signed with another secret (refused).
    static QString tokenWithSecret(const QString &secret, int seconds);
    QString output() const;

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QProcess m_process;
    QString m_caFile;
    QString m_secret;
    int m_port = 0;
};

} // namespace kelvosim
