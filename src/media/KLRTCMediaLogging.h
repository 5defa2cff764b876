#pragma once

// The media engine's log functions. Engine code writes with KLLogging; the lines go to the
// handler registered with KLLoggingSetLoggingHandler, which is, until something else is
// registered, the SDK's LoggingHandler (runtime/KLSDKLoggingHandler.h): engine lines reach the
// SDK logger with the tag "KLRTCMediaSDK" and the severity mapping 1, 2, 4 → info, 8 → error,
// 16 → debug; other severities vanish.

#include <QString>

#include <functional>

/// The engine's handler signature: severity (1, 2, 4, 8, 16 as the SDK's levels) and message.
using KLLoggingHandlerFunction = std::function<void(int severity, const QString &message)>;

/// Registers the handler that receives every engine line; an empty handler drops them.
/// Thread-safe; lines already being handed over on other threads still reach the old handler.
void KLLoggingSetLoggingHandler(KLLoggingHandlerFunction handler);

/// Writes one engine line: hands it to the registered handler on the calling thread.
void KLLogging(int severity, const QString &message);

/// The part of a path after its last "/" (the whole text without one, "" for a trailing "/"
/// or no path at all).
QString KLLoggingFileName(const char *path);

/// An engine log statement: the message gets the prefix "(file:line function): " before it is
/// written with KLLogging.
#define KL_ENGINE_LOG(severity, message)                                                     \
    ::KLLogging((severity), QStringLiteral("(%1:%2 %3): %4")                                 \
                                .arg(::KLLoggingFileName(__FILE__))                          \
                                .arg(__LINE__)                                               \
                                .arg(QString::fromUtf8(__PRETTY_FUNCTION__), (message)))
