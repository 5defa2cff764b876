#pragma once

// Whether a web page's server may be trusted when the web engine itself refused its
// certificate. The meeting's servers may present certificates of a private authority (the
// meeting configuration's CA file); the web engine knows only the system's trust, so it reports
// those as an unknown authority. Such a chain is accepted only when it verifies in full — chain,
// validity period and host name — against the system's trust plus the CA file; every other
// certificate error is refused.

#include <QList>
#include <QSslCertificate>
#include <QString>

namespace KLWebCertificateTrust {

/// Verifies `chain` (leaf first, then the intermediates the server sent) for `host` against the
/// system's authorities and those of the PEM file `caFile` (may be empty). On failure `why`
/// (when given) says what failed. Any thread.
bool verifyChain(const QList<QSslCertificate> &chain, const QString &host, const QString &caFile,
                 QString *why = nullptr);

} // namespace KLWebCertificateTrust
