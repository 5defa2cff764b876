// Winning back a lost media server connection. Once registered, a connection whose socket
// closes or drops opens a new one by itself, after a short back-off that doubles up to a cap,
// registers again and republishes its streams; the meeting hears of the loss once (the channel
// closed, an ICE failure) and of the recovery once (the channel open, the media path up again).
// When the first kReconnectAttempts attempts have failed it reports hang-up cause 10002 (the
// connection could not be restored) and goes on trying at the longest back-off until it is
// released.
#include "media/builtin/KLBuiltinMediaConnection.h"

#include "media/KLRTCMediaLogging.h"
#include "runtime/KLDispatchQueue.h"
#include "runtime/KLTimeScale.h"

#include <QWebSocket>

#include <algorithm>
#include <cmath>

namespace {
constexpr int kCauseReconnectFailed = 10002;
}

bool KLBuiltinMediaConnection::connecting() const
{
    if (!m_socket)
        return false;
    switch (m_socket->state()) {
    case QAbstractSocket::HostLookupState:
    case QAbstractSocket::ConnectingState:
        return true;
    case QAbstractSocket::ConnectedState:
        return !m_registered;
    default:
        return false;
    }
}

void KLBuiltinMediaConnection::scheduleReconnect()
{
    if (m_released)
        return;
    if (m_reconnectAttempts == kReconnectAttempts) {
        // Told once per loss; the attempts go on at the longest back-off, so the meeting gets
        // its media back whenever the server can be reached again.
        KL_ENGINE_LOG(8, QStringLiteral("media server unreachable after %1 attempts").arg(m_reconnectAttempts));
        raise(KLRTCMediaEventHangupCause,
              KLRTCMediaEventInfo::fromDictionary(
                  {{QStringLiteral("causeCode"), kCauseReconnectFailed},
                   {QStringLiteral("reason"), QStringLiteral("media server connection could not be restored")}}));
    }
    const double seconds = std::min(kReconnectMaxDelaySeconds,
                                    kReconnectFirstDelaySeconds * std::pow(2.0, std::min(m_reconnectAttempts, 16)));
    ++m_reconnectAttempts;
    m_reconnecting = true;
    KL_ENGINE_LOG(4, QStringLiteral("media server reconnect attempt %1 in %2 s").arg(m_reconnectAttempts).arg(seconds));
    // A socket opened meanwhile (an ICE restart) makes this attempt moot.
    const quint64 generation = m_generation;
    std::weak_ptr<KLBuiltinMediaConnection> weak = self();
    m_queue->asyncAfter(KLTimeScale::scaledMilliseconds(seconds), [weak, generation] {
        if (auto connection = weak.lock())
            connection->reconnect(generation);
    });
}

void KLBuiltinMediaConnection::reconnect(quint64 generation)
{
    if (m_released || generation != m_generation || m_registered || connecting())
        return;
    openSocket(true);
}
