#pragma once

// ICE server probe of the built-in engine. It measures what it can without a STUN stack: the
// TCP connect time to every ICE server address of the list ("stun:host:port",
// "turn:host:port?transport=udp|tcp", "stuns:"/"turns:" with 5349 as the default port, 3478
// otherwise), all at once, each with a time-out. Answered servers are listed by connect time;
// unreachable ones follow in iceRtts with "rtt" -1 and "failed" true. "ips" holds the local
// address each answered connection used (no reflexive address is learnt over a plain TCP
// connect). The completion runs once, on the engine queue.

#include "media/KLRTCMediaLocalTurnDetect.h"

#include <memory>
#include <optional>

class KLDispatchQueue;

struct KLBuiltinIceAddress {
    QString url;  ///< as listed
    QString host;
    quint16 port = 0;
};

class KLBuiltinLocalTurnDetect final : public KLRTCMediaLocalTurnDetect,
                                       public std::enable_shared_from_this<KLBuiltinLocalTurnDetect> {
public:
    static constexpr double kTimeoutSeconds = 2.0; // scaled by KLTimeScale

    explicit KLBuiltinLocalTurnDetect(std::shared_ptr<KLDispatchQueue> queue);
    ~KLBuiltinLocalTurnDetect() override;

    void detectLocalTurnServerWithIceServices(const QJsonArray &iceServers,
                                              KLRTCMediaTurnDetectHandler completionHandler) override;

    /// The address of one ICE URL; empty for a URL that is not stun/stuns/turn/turns.
    static std::optional<KLBuiltinIceAddress> parseUrl(const QString &url);
    /// Every URL of an ICE server list (entries with "urls" as text or list, "url", or text).
    static QList<KLBuiltinIceAddress> addresses(const QJsonArray &iceServers);

    struct Run;

private:
    const std::shared_ptr<KLDispatchQueue> m_queue;
    std::shared_ptr<Run> m_run;
};
