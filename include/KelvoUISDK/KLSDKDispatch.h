#pragma once

/// @file
/// Handing work to the SDK's threads: the main (GUI) thread, the serial work queue, the IO queue
/// and the concurrent pool. Every function may be called from any thread and takes the block by
/// value; the block runs once, on the named thread, and is destroyed there.

#include <KelvoUISDK/KelvoUISDKExport.h>

#include <functional>

/// A unit of work handed to one of the SDK's queues. An empty function is "no block":
/// every entry point below accepts it and does nothing with it. What the block captures is
/// owned by the queue until the block has run.
using KLBlock = std::function<void()>;

/// Runs `block` on the main (GUI) thread and waits for it; runs it inline when the caller
/// already is the main thread, so it never deadlocks there.
KELVOUISDK_EXPORT void SYNC_RUN_ON_MAIN_QUEUE_WITHOUT_DEAD_LOCKING(KLBlock block);
/// Runs `block` on the dispatcher's serial queue: inline when already there, else queued.
KELVOUISDK_EXPORT void ASYNC_RUN_ON_SERIAL_QUEUE(KLBlock block);
/// Runs `block` on the dispatcher's IO queue: inline when already there, else queued.
KELVOUISDK_EXPORT void ASYNC_RUN_ON_IO_QUEUE(KLBlock block);

/// Main thread: inline when already there, else queued asynchronously.
KELVOUISDK_EXPORT void KLPerformBlockOnMainThread(KLBlock block);
/// Main thread: inline when already there, else run synchronously (the caller waits).
KELVOUISDK_EXPORT void KLPerformBlockSyncOnMainThread(KLBlock block);
/// Queued on the SDK's serial work queue ("com.tandu.conf.serial").
KELVOUISDK_EXPORT void KLPerformBlockOnSerialQueue(KLBlock block);
/// Queued on the SDK's own concurrent pool ("com.tandu.conf.concurrent").
KELVOUISDK_EXPORT void KLPerformBlockOnConcurrentQueue(KLBlock block);
