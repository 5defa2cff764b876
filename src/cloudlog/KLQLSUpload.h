#pragma once

// What both uploads to the log service share: how their HTTP client is set up, how an
// unsuccessful answer is written to the log, and how an upload under way holds the end of the
// meeting. Uploads are never retried.

#include "runtime/KLHttpManager.h"

#include <QString>

#include <memory>
#include <mutex>

namespace KLQLSUpload {

/// Longest time an upload holds the end of a meeting, in seconds (time-scaled).
inline constexpr double kMeetingWaitSeconds = 1.0;

/// One upload under way. From its start until it is answered, and at most
/// kMeetingWaitSeconds, it counts as meeting work (KLDispatchQueue::holdForMeeting), so a host
/// that quits once the meeting's threads have ended still delivers the records of the
/// meeting's last moments, the leave among them. An upload not answered by then stops holding
/// the meeting's end, with a log line; it goes on as long as the process does.
class Underway {
public:
    /// Starts holding; `tag` and `url` name the upload in the give-up line.
    static std::shared_ptr<Underway> begin(const QString &tag, const QString &url);
    /// The answer came (any answer): the meeting's end no longer waits for it.
    void answered();

    Underway(const QString &tag, const QString &url);

private:
    void giveUp();

    const QString m_tag;
    const QString m_url;
    std::mutex m_mutex;
    std::shared_ptr<void> m_hold;
};

/// A client for one upload: 60-second timeout, raw (undecoded) answers, completion on the
/// network queue, the response cache `cacheName`, the extra CA file `caFile` (may be empty)
/// and, when not empty, `connectTo` ("host:port") as the address to connect to.
std::shared_ptr<KLHttpManager> manager(const QString &cacheName, const QString &caFile,
                                       const QString &connectTo);

/// Logs what went wrong with an upload to `url`, under `tag`:
/// no response → "Invalid address: <url>"; a status other than 200 → "Result: <body as JSON>"
/// or, when the body is not JSON, "Error: <why>"; a transport failure → "Error: <description>".
/// A 200 answer logs nothing.
void logOutcome(const QString &tag, const QString &url, const KLHttpResult &result);

} // namespace KLQLSUpload
