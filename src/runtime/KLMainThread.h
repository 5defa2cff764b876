#pragma once

/// The host's main (GUI) thread: the thread of its QCoreApplication.
namespace KLMainThread {
/// True when an application object exists and the caller runs on its thread.
bool isCurrent();
/// True when an application object exists, so that the main thread can take work.
bool isAvailable();
} // namespace KLMainThread
