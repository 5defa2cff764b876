#pragma once

#include <KelvoUISDK/KLSDKDispatch.h>

#include "runtime/KLDispatchQueue.h"

#include <QThreadPool>

/// The conference work queues: the serial queue "com.tandu.conf.serial" and the concurrent
/// queue "com.tandu.conf.concurrent", a thread pool of the SDK's own (never the host's
/// global pool).
class KLUtility {
public:
    static KLUtility &shareInstance();

    void dispatch_async_serial(KLBlock block);
    void dispatch_async_concurrent(KLBlock block);

    KLDispatchQueue &serialQueue() { return m_serialQueue; }
    QThreadPool &concurrentQueue() { return m_concurrentQueue; }

private:
    KLUtility();

    KLDispatchQueue m_serialQueue;
    QThreadPool m_concurrentQueue;
};
