#pragma once

// The simulator's logging category: every rejected or malformed input gets one line here.

#include <QLoggingCategory>

namespace kelvosim {
Q_DECLARE_LOGGING_CATEGORY(lcSim)
} // namespace kelvosim
