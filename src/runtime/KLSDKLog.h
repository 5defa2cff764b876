#pragma once

// The log statement every writer in the SDK uses. The line reaches the logger's printer as
// "(file:line function): message", with the level mapping of KLSDKLogging; the prefix is
// spelt out on the IO queue, so the caller pays only for queueing its message.

#include <KelvoUISDK/KLSDKLogger.h>

#include <QString>

namespace kl_log_detail {

/// Last path component of a source path, computed at compile time for __FILE__.
constexpr const char *sourceFileName(const char *path)
{
    const char *name = path;
    for (const char *p = path; *p; ++p) {
        if (*p == '/')
            name = p + 1;
    }
    return name;
}

/// Queues "(file:line function): message". `fileName` and `function` must outlive the
/// process's logging (string literals: the macros below pass them).
void write(int level, const QString &tag, const char *fileName, int line, const char *function,
           const QString &message);

} // namespace kl_log_detail

#define KL_LOG(level, tag, message)                                                            \
    ::kl_log_detail::write((level), (tag), ::kl_log_detail::sourceFileName(__FILE__), __LINE__, \
                           __PRETTY_FUNCTION__, (message))
#define KL_LOG_INFO(tag, message) KL_LOG(KLSDKLogLevelInfo, tag, message)
#define KL_LOG_WARN(tag, message) KL_LOG(KLSDKLogLevelWarn, tag, message)
#define KL_LOG_ERROR(tag, message) KL_LOG(KLSDKLogLevelError, tag, message)
#define KL_LOG_DEBUG(tag, message) KL_LOG(KLSDKLogLevelDebug, tag, message)
