#pragma once

// A coturn TURN server on 127.0.0.1 for scenarios that allow only relayed media: UDP on a free
// port, long-term credentials, relay addresses on loopback and loopback peers allowed.

#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <memory>

namespace kelvosim {

class SimTurn {
public:
    static bool installed();

    ~SimTurn();
    bool start(QString *error);
    void stop();
    /// The ICE list entry clients use: {"urls": ["turn:127.0.0.1:<port>?transport=udp"],
    /// "username", "credential"}.
    QJsonObject iceServer() const;

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QProcess m_process;
    int m_port = 0;
};

} // namespace kelvosim
