#include "runtime/KLSDKGCDTimer.h"

#include "runtime/KLDispatchQueue.h"
#include "runtime/KLTimeScale.h"

#include <QObject>
#include <QTimer>

#include <atomic>

namespace {
// The platform timer tolerates a 0.1 s leeway; Qt's coarse timers give at most 5 %, which
// is the closest equivalent that still keeps short test intervals accurate.
constexpr Qt::TimerType kLeewayTimerType = Qt::CoarseTimer;
} // namespace

/// State shared with the queue. The queue side holds it only weakly, so the owner's
/// KLSDKGCDTimer decides its life; the target lives exactly as long as the source.
struct KLSDKGCDTimer::Source {
    std::shared_ptr<void> target;
    KLBlock selector;
    KLDispatchQueue *queue = nullptr;
    qint64 intervalMs = 0;
    bool repeats = false;
    std::atomic<quint64> generation{0};
    QTimer *timer = nullptr; // touched only on the queue's thread
};

namespace {

void deleteTimerOnQueue(KLSDKGCDTimer::Source &source)
{
    delete source.timer;
    source.timer = nullptr;
}

void startOnQueue(const std::weak_ptr<KLSDKGCDTimer::Source> &weakSource, quint64 generation)
{
    auto source = weakSource.lock();
    if (!source || source->generation.load() != generation)
        return;
    deleteTimerOnQueue(*source);
    auto *timer = new QTimer(source->queue->context());
    timer->setTimerType(kLeewayTimerType);
    timer->setInterval(static_cast<int>(source->intervalMs));
    timer->setSingleShot(!source->repeats);
    QObject::connect(timer, &QTimer::timeout, timer, [weakSource, generation]() {
        auto live = weakSource.lock();
        if (!live || live->generation.load() != generation)
            return;
        if (!live->repeats)
            live->generation.fetch_add(1);
        if (live->selector)
            live->selector();
    });
    source->timer = timer;
    timer->start();
}

} // namespace

KLSDKGCDTimer::KLSDKGCDTimer(double interval, std::shared_ptr<void> target, KLBlock selector,
                             KLDispatchQueue *queue, const QVariant &userInfo, bool repeats)
    : m_source(std::make_shared<Source>())
{
    Q_UNUSED(userInfo); // accepted for call compatibility; nothing reads it
    m_source->target = std::move(target);
    m_source->selector = std::move(selector);
    m_source->queue = queue;
    m_source->intervalMs = KLTimeScale::scaledMilliseconds(interval);
    m_source->repeats = repeats;
    resume();
}

KLSDKGCDTimer::~KLSDKGCDTimer()
{
    invalidate();
}

std::shared_ptr<KLSDKGCDTimer> KLSDKGCDTimer::scheduledTimerWithTimeInterval(
    double interval, std::shared_ptr<void> target, KLBlock selector, KLDispatchQueue *queue,
    const QVariant &userInfo, bool repeats)
{
    return std::make_shared<KLSDKGCDTimer>(interval, std::move(target), std::move(selector), queue,
                                           userInfo, repeats);
}

void KLSDKGCDTimer::resume()
{
    if (!m_source->queue)
        return;
    const quint64 generation = m_source->generation.fetch_add(1) + 1;
    std::weak_ptr<Source> weakSource = m_source;
    m_source->queue->async([weakSource, generation]() { startOnQueue(weakSource, generation); });
}

void KLSDKGCDTimer::invalidate()
{
    m_source->generation.fetch_add(1);
    if (!m_source->queue)
        return;
    // The strong copy lets the queue delete its QTimer (and drop the target) on its own thread
    // even when this object is being destroyed.
    m_source->queue->async([source = m_source]() { deleteTimerOnQueue(*source); });
}
