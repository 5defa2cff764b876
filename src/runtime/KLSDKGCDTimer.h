#pragma once

#include <KelvoUISDK/KLSDKDispatch.h>

#include <QVariant>

#include <memory>

class KLDispatchQueue;

/// A repeating or one-shot timer on a serial queue, with a leeway of 0.1 s. It starts at
/// construction: first fire after the interval, then every interval.
///
/// The timer keeps its target alive and calls `selector` on the queue. Whoever owns the
/// timer object controls its life: once that object is gone (or `invalidate` ran) no further
/// call reaches the target, even one already queued. The target must therefore not own the
/// timer itself, or the two would keep each other alive.
class KLSDKGCDTimer {
public:
    KLSDKGCDTimer(double interval, std::shared_ptr<void> target, KLBlock selector,
                  KLDispatchQueue *queue, const QVariant &userInfo, bool repeats);
    ~KLSDKGCDTimer();
    KLSDKGCDTimer(const KLSDKGCDTimer &) = delete;
    KLSDKGCDTimer &operator=(const KLSDKGCDTimer &) = delete;

    static std::shared_ptr<KLSDKGCDTimer> scheduledTimerWithTimeInterval(
        double interval, std::shared_ptr<void> target, KLBlock selector, KLDispatchQueue *queue,
        const QVariant &userInfo, bool repeats);

    /// Convenience for a member function of a shared target.
    template <class T>
    static std::shared_ptr<KLSDKGCDTimer> scheduledTimerWithTimeInterval(
        double interval, const std::shared_ptr<T> &target, void (T::*selector)(),
        KLDispatchQueue *queue, const QVariant &userInfo, bool repeats)
    {
        T *raw = target.get();
        return scheduledTimerWithTimeInterval(
            interval, std::static_pointer_cast<void>(target),
            selector ? KLBlock([raw, selector]() { (raw->*selector)(); }) : KLBlock(), queue,
            userInfo, repeats);
    }

    /// Starts the timer again after `invalidate` or after a one-shot fire.
    void resume();
    void invalidate();

    struct Source;

private:
    std::shared_ptr<Source> m_source;
};
