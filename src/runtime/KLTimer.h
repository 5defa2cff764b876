#pragma once

#include <KelvoUISDK/KLSDKDispatch.h>

#include <memory>

/// A repeating or one-shot timer on the main thread that calls a block on each fire.
/// Safe to start and stop from any thread; the platform timer itself lives on the main thread.
class KLTimer {
public:
    KLTimer(double timeVal, bool isRepeat, KLBlock selectorBlock);
    ~KLTimer();
    KLTimer(const KLTimer &) = delete;
    KLTimer &operator=(const KLTimer &) = delete;

    /// Stops a running timer first, so at most one is ever running.
    void startTimer();
    /// Safe when already stopped. A fire already due but not yet delivered is dropped.
    void stopTimer();

    bool isRepeat() const;
    double timeVal() const;

    struct State;

private:
    std::shared_ptr<State> m_state;
};
