#pragma once

// The simulator's own certificate authority and its loopback server certificate.
// Clients trust the simulator by loading ca.pem; nothing ever turns verification off.

#include <QSslConfiguration>
#include <QString>

namespace kelvosim {

struct SimCertificateFiles {
    QString dir;      ///< folder that holds the three files
    QString caFile;   ///< <dir>/ca.pem: the CA certificate clients trust
    QString certFile; ///< <dir>/server.pem: server certificate (SAN DNS:localhost, IP:127.0.0.1)
    QString keyFile;  ///< <dir>/server.key: the server's private key (PKCS#8 PEM, mode 0600)
};

class SimCertificates
{
public:
    /// Writes a fresh CA (EC P-256, self-signed) and a server certificate signed by it into `dir`
    /// (created when missing), replacing any files of the same names.
    static bool generate(const QString &dir, SimCertificateFiles *files, QString *error);

    /// Reuses the set already in `dir` when all three files load, the server certificate is
    /// signed by the CA and stays valid for at least another day; otherwise generates a new set.
    static bool ensure(const QString &dir, SimCertificateFiles *files, QString *error);

    /// TLS configuration for the server side: the server certificate and the CA as its chain.
    static bool serverConfiguration(const SimCertificateFiles &files, QSslConfiguration *config,
                                    QString *error);
};

} // namespace kelvosim
