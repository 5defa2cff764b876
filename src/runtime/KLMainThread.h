#pragma once

#include <KelvoUISDK/KLSDKDispatch.h>

/// The host's main (GUI) thread: the thread of its QCoreApplication.
namespace KLMainThread {
/// True when an application object exists and the caller runs on its thread.
bool isCurrent();
/// True when an application object exists, so that the main thread can take work.
bool isAvailable();
/// Queues a block for the main thread; false (nothing queued) without an application object.
bool post(KLBlock block);
/// Runs a block on the main thread and waits for it; the caller must be another thread.
/// False (nothing run) without an application object.
bool postAndWait(KLBlock block);
} // namespace KLMainThread
