#include "runtime/KLTimer.h"

#include "runtime/KLTimeScale.h"

#include <QObject>
#include <QTimer>

#include <atomic>

/// Shared with the main thread. Every start takes a new generation; a fire or a queued
/// start from an older generation is ignored, which is what makes stop immediate.
struct KLTimer::State {
    double timeVal = 0;
    bool isRepeat = false;
    KLBlock selectorBlock;
    std::atomic<quint64> generation{0};
    QTimer *timer = nullptr;      // main thread only
    quint64 timerGeneration = 0;  // main thread only: the start that made `timer`
};

namespace {

void dropTimerOnMain(KLTimer::State &state)
{
    delete state.timer;
    state.timer = nullptr;
}

// A stop queued from another thread may arrive after a newer start already ran here;
// only a timer of an older generation is dropped.
void dropStaleTimerOnMain(KLTimer::State &state)
{
    if (state.timer && state.timerGeneration != state.generation.load())
        dropTimerOnMain(state);
}

void createTimerOnMain(const std::weak_ptr<KLTimer::State> &weakState, quint64 generation)
{
    auto state = weakState.lock();
    if (!state || state->generation.load() != generation)
        return;
    dropTimerOnMain(*state);
    auto *timer = new QTimer;
    timer->setTimerType(Qt::PreciseTimer);
    timer->setInterval(static_cast<int>(KLTimeScale::scaledMilliseconds(state->timeVal)));
    timer->setSingleShot(!state->isRepeat);
    QObject::connect(timer, &QTimer::timeout, timer, [weakState, generation]() {
        auto live = weakState.lock();
        if (!live || live->generation.load() != generation)
            return;
        if (live->selectorBlock)
            live->selectorBlock();
    });
    state->timer = timer;
    state->timerGeneration = generation;
    timer->start();
}

} // namespace

KLTimer::KLTimer(double timeVal, bool isRepeat, KLBlock selectorBlock)
    : m_state(std::make_shared<State>())
{
    m_state->timeVal = timeVal;
    m_state->isRepeat = isRepeat;
    m_state->selectorBlock = std::move(selectorBlock);
}

KLTimer::~KLTimer()
{
    stopTimer();
}

void KLTimer::startTimer()
{
    stopTimer();
    const quint64 generation = m_state->generation.fetch_add(1) + 1;
    std::weak_ptr<State> weakState = m_state;
    KLPerformBlockOnMainThread([weakState, generation]() { createTimerOnMain(weakState, generation); });
}

void KLTimer::stopTimer()
{
    m_state->generation.fetch_add(1);
    // The strong copy lets the main thread delete the QTimer even after this object is gone.
    KLPerformBlockOnMainThread([state = m_state]() { dropStaleTimerOnMain(*state); });
}

bool KLTimer::isRepeat() const
{
    return m_state->isRepeat;
}

double KLTimer::timeVal() const
{
    return m_state->timeVal;
}
