#pragma once

#include "KLQtPrinters.h"

#include <functional>

namespace kltest {

/// Processes main-thread events until `done` holds or `timeoutMs` passes; returns `done()`.
bool waitUntil(const std::function<bool()> &done, int timeoutMs = 5000);
/// Processes main-thread events for `ms` milliseconds.
inline void pumpEvents(int ms) { waitUntil([] { return false; }, ms); }
/// Waits until every line queued on the logger's IO queue so far has been printed.
void drainLogger();

} // namespace kltest
