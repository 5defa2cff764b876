#pragma once

#include <QJsonArray>
#include <QString>

#include <functional>

/// Completion of a local TURN detection:
/// - `ips`: the public (server-reflexive) addresses found, best first; each entry is a
///   dictionary with at least "ip" (text) and, when known, "port" (integer) and "server" (the
///   ICE server's URL that answered);
/// - `iceRtts`: round-trip measurements, best first; each entry is a dictionary with at least
///   "server" (the ICE server's URL) and "rtt" (milliseconds, number);
/// - `localIp`: the local address used, empty when none.
/// The lists are forwarded to the meeting service as they are, so their entries are plain JSON.
using KLRTCMediaTurnDetectHandler =
    std::function<void(const QJsonArray &ips, const QJsonArray &iceRtts, const QString &localIp)>;

/// Measures the ICE servers before joining. A fresh object per detection
/// (KLRTCMediaSDK::createLocalTurnDetect); the caller keeps it until the completion ran.
class KLRTCMediaLocalTurnDetect {
public:
    virtual ~KLRTCMediaLocalTurnDetect() = default;

    /// Probes `iceServers` (the ICE server list of the meeting service, passed as received).
    /// `completionHandler` runs exactly once, on an engine thread, also when nothing answers
    /// (with empty lists).
    virtual void detectLocalTurnServerWithIceServices(const QJsonArray &iceServers,
                                                      KLRTCMediaTurnDetectHandler completionHandler) = 0;
};
