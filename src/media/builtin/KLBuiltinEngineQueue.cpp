#include "media/builtin/KLBuiltinEngineQueue.h"

#include "runtime/KLMainThread.h"

std::shared_ptr<KLDispatchQueue> KLBuiltinMakeEngineQueue(const QString &label)
{
    return std::shared_ptr<KLDispatchQueue>(new KLDispatchQueue(label), [](KLDispatchQueue *queue) {
        if (!queue->isCurrent()) {
            delete queue;
            return;
        }
        // On its own thread: the main thread joins it. Without an application object the
        // queue is left to the end of the process rather than destroyed from inside itself.
        KLMainThread::post([queue] { delete queue; });
    });
}
