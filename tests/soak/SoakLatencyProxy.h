#pragma once

// A loopback TCP relay that holds every chunk for a fixed time in each direction: the meeting's
// HTTPS, signalling and media connections all pass through it unchanged (TLS end to end, the
// certificate still names 127.0.0.1), only later. It runs on a thread of its own.

#include <QtGlobal>

#include <memory>

class QThread;

namespace soak {

class LatencyRelay;

class LatencyProxy {
public:
    LatencyProxy();
    ~LatencyProxy();
    LatencyProxy(const LatencyProxy &) = delete;
    LatencyProxy &operator=(const LatencyProxy &) = delete;

    /// Listens on 127.0.0.1 (any free port); false when it cannot.
    bool listen();
    quint16 port() const { return m_port; }
    /// Where connections go (set before the first one arrives), and the delay each way.
    void forwardTo(quint16 targetPort, int delayMs);
    /// Connections relayed so far.
    int connections() const;

private:
    QThread *m_thread = nullptr;
    LatencyRelay *m_relay = nullptr;
    quint16 m_port = 0;
};

} // namespace soak
