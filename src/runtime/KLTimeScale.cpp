#include "runtime/KLTimeScale.h"

#include <QByteArray>

#include <atomic>
#include <cmath>
#include <cstdlib>

namespace {

double initialFactor()
{
    const QByteArray text = qgetenv("KELVO_TIME_SCALE");
    bool ok = false;
    const double value = text.toDouble(&ok);
    return ok && value > 0.0 ? value : 1.0;
}

std::atomic<double> &factorSlot()
{
    static std::atomic<double> slot{initialFactor()};
    return slot;
}

} // namespace

double KLTimeScale::factor()
{
    return factorSlot().load(std::memory_order_relaxed);
}

void KLTimeScale::setFactor(double factor)
{
    if (factor > 0.0 && std::isfinite(factor))
        factorSlot().store(factor, std::memory_order_relaxed);
}

qint64 KLTimeScale::scaledMilliseconds(double seconds)
{
    if (!(seconds > 0.0))
        return 0;
    return static_cast<qint64>(std::llround(seconds * 1000.0 * factor()));
}
