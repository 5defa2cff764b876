// The exported queue entry points of the SDK.
#include <KelvoUISDK/KLSDKDispatch.h>

#include "runtime/KLMainThread.h"
#include "runtime/KLSDKDispatcher.h"
#include "runtime/KLSDKLog.h"
#include "runtime/KLUtility.h"


void SYNC_RUN_ON_MAIN_QUEUE_WITHOUT_DEAD_LOCKING(KLBlock block)
{
    KLSDKDispatcher::syncRunOnMainQueueWithoutDeadlocking(std::move(block));
}

void ASYNC_RUN_ON_SERIAL_QUEUE(KLBlock block)
{
    if (KLSDKDispatcher::sharedDispatcher().serialQueue().isCurrent()) {
        if (block)
            block();
        return;
    }
    KLSDKDispatcher::asyncRunOnSerialQueue(std::move(block));
}

void ASYNC_RUN_ON_IO_QUEUE(KLBlock block)
{
    if (KLSDKDispatcher::sharedDispatcher().ioQueue().isCurrent()) {
        if (block)
            block();
        return;
    }
    KLSDKDispatcher::asyncRunOnIoQueue(std::move(block));
}

void KLPerformBlockOnMainThread(KLBlock block)
{
    if (!block)
        return;
    if (KLMainThread::isCurrent()) {
        block();
        return;
    }
    if (!KLMainThread::post(std::move(block)))
        KL_LOG_ERROR("KLUtility", QStringLiteral("no application object: main-thread block dropped"));
}

void KLPerformBlockSyncOnMainThread(KLBlock block)
{
    if (!block)
        return;
    if (KLMainThread::isCurrent() || !KLMainThread::isAvailable()) {
        // Without an application object there is no main loop to wait for: run here.
        block();
        return;
    }
    KLMainThread::postAndWait(std::move(block));
}

void KLPerformBlockOnSerialQueue(KLBlock block)
{
    KLUtility::shareInstance().dispatch_async_serial(std::move(block));
}

void KLPerformBlockOnConcurrentQueue(KLBlock block)
{
    KLUtility::shareInstance().dispatch_async_concurrent(std::move(block));
}
