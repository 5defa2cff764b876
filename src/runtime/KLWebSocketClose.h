#pragma once

// Ending a WebSocket the way its server expects: every frame sent before, then a close frame
// with code 1000, then reading on until the server has answered with its own close frame, and
// only then the end of the connection. Ending it earlier, while the server still sends, turns
// the end into a reset that can take the close frame with it. Until the socket has ended (or
// the close has taken too long), the socket and the queue it lives on stay alive, so the queue
// still counts in KLDispatchQueue::meetingQueuesAlive() and a host that waits for the
// meeting's threads before exiting does not cut the goodbye off (the server would see 1001 or
// a dropped connection instead).

#include <QString>

#include <functional>
#include <memory>

class KLDispatchQueue;
class QWebSocket;

namespace KLWebSocketClose {

/// Longest wait for the server's answer to the close, in seconds (time-scaled).
inline constexpr double kCloseWaitSeconds = 1.0;

/// Call on `queue`'s thread, where `socket` lives; takes the socket over. Every connection
/// from the socket's signals is cut (its owner hears nothing more), an open socket is closed
/// with 1000 and `reason` (frames sent before still go first), any other is aborted; the
/// socket is deleted once the server has answered and the connection ended, or aborted with a
/// log line under `tag` after kCloseWaitSeconds. `queue` is kept until then. `closed`, when given, runs on the queue
/// once a socket that was open or opening has closed (in time or not), with the close code
/// and reason the socket reports; a socket closed already is not reported again.
void closeAndRelease(QWebSocket *socket, std::shared_ptr<KLDispatchQueue> queue, const QString &reason,
                     const QString &tag, std::function<void(int code, const QString &reason)> closed = {});

} // namespace KLWebSocketClose
