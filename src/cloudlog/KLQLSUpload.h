#pragma once

// What both uploads to the log service share: how their HTTP client is set up and how an
// unsuccessful answer is written to the log. Uploads are never retried.

#include "runtime/KLHttpManager.h"

#include <QString>

#include <memory>

namespace KLQLSUpload {

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
