#pragma once

#include <QString>

/// The media engine's log handler: engine severities 1, 2 and 4 are written as info lines,
/// 8 as error, 16 as debug, all with the tag "KLRTCMediaSDK"; any other severity is dropped.
void LoggingHandler(int severity, const QString &message);
