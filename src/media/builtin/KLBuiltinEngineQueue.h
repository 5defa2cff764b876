#pragma once

// The engine's threads are KLDispatchQueues shared by the objects that run work on them. The
// last owner may let go on the queue's own thread (inside one of its blocks), where a queue
// cannot be destroyed; such a queue is handed to the main thread to be taken down there.

#include "runtime/KLDispatchQueue.h"

#include <memory>

std::shared_ptr<KLDispatchQueue> KLBuiltinMakeEngineQueue(const QString &label);
