#pragma once

// Delayed one-shot work of the collaboration layer (chat pieces, the chat bubble's lifetime,
// the notes panel's only-self notice). The chat and notes objects take the scheduler as a
// parameter so that a test can drive their time by hand instead of waiting for real timers.

#include <KelvoUISDK/KLSDKDispatch.h>

#include <QtGlobal>

#include <memory>

class KLDelayScheduler {
public:
    using Token = quint64;

    virtual ~KLDelayScheduler() = default;

    /// Runs `block` once, `seconds` from now. Returns a token for `cancel` (never 0).
    virtual Token schedule(double seconds, KLBlock block) = 0;
    /// Drops a scheduled block that has not run yet; unknown or spent tokens are ignored.
    /// Once it returns, the block is never called.
    virtual void cancel(Token token) = 0;

    /// The production scheduler: one KLTimer per block, so blocks run on the main thread and
    /// honour KLTimeScale. Safe to use from any thread.
    static std::shared_ptr<KLDelayScheduler> timerScheduler();
};
