#include "media/KLRTCMediaLogging.h"

#include "runtime/KLSDKLoggingHandler.h"

#include <KelvoUISDK/KLSDKLogger.h>

#include <memory>
#include <mutex>

namespace {

struct HandlerSlot {
    std::mutex mutex;
    std::shared_ptr<const KLLoggingHandlerFunction> handler =
        std::make_shared<const KLLoggingHandlerFunction>(&LoggingHandler);
};

HandlerSlot &slot()
{
    static HandlerSlot instance;
    return instance;
}

} // namespace

void KLLoggingSetLoggingHandler(KLLoggingHandlerFunction handler)
{
    auto next = handler ? std::make_shared<const KLLoggingHandlerFunction>(std::move(handler))
                        : nullptr;
    std::lock_guard lock(slot().mutex);
    slot().handler = std::move(next);
}

void KLLogging(int severity, const QString &message)
{
    std::shared_ptr<const KLLoggingHandlerFunction> handler;
    {
        std::lock_guard lock(slot().mutex);
        handler = slot().handler;
    }
    // Called outside the lock: a handler may log again or register another handler.
    if (handler)
        (*handler)(severity, message);
}

QString KLLoggingFileName(const char *path)
{
    return KLSDKLoggingFileName(path);
}
