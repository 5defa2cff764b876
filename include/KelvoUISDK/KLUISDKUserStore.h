#pragma once

/// @file
/// The store a host shares with the SDK: the application's default settings (its organisation
/// and application names), where the host keeps the signed-in user's identity before a meeting
/// ("KEY_WORK_ID", "KEY_ACCESS_TOKEN", "KEY_PIPE_NAME", ...) and the SDK keeps a few
/// preferences of its own.

#include <KelvoUISDK/KelvoUISDKExport.h>

#include <QString>

/// Writes `value` under `key` in the form the SDK reads it (the work id encrypted, other keys
/// as text) and flushes it to disk; false when the flush failed. Any thread; set the
/// application's names first.
KELVOUISDK_EXPORT bool KLUISDKWriteUserValue(const QString &key, const QString &value);
