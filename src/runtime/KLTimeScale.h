#pragma once

#include <QtGlobal>

/// One process-wide factor applied to every delay and timer interval of the SDK.
/// Production runs at 1.0; tests shrink it so that a 30-second timer fires in 300 ms.
/// It is read from KELVO_TIME_SCALE at start-up and may be changed at run time.
class KLTimeScale {
public:
    static double factor();
    static void setFactor(double factor);
    /// Scaled milliseconds for a delay given in seconds; never negative.
    static qint64 scaledMilliseconds(double seconds);
};
