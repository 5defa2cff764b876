#include "runtime/KLSDKLoggingHandler.h"

#include "runtime/KLSDKLog.h"

namespace {
const QString kEngineTag = QStringLiteral("KLRTCMediaSDK");

// Each accepted severity writes from its own statement, named by the handler itself.
#define KL_ENGINE_LINE(level) \
    ::kl_log_detail::write((level), kEngineTag, ::kl_log_detail::sourceFileName(__FILE__), \
                           __LINE__, __func__, message)
} // namespace

void LoggingHandler(int severity, const QString &message)
{
    switch (severity) {
    case 1:
        KL_ENGINE_LINE(KLSDKLogLevelInfo);
        break;
    case 2:
        KL_ENGINE_LINE(KLSDKLogLevelInfo);
        break;
    case 4: // engine warnings are kept as info lines
        KL_ENGINE_LINE(KLSDKLogLevelInfo);
        break;
    case 8:
        KL_ENGINE_LINE(KLSDKLogLevelError);
        break;
    case 16:
        KL_ENGINE_LINE(KLSDKLogLevelDebug);
        break;
    default:
        break;
    }
}
