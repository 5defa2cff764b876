#pragma once

/// @file
/// Version symbols of the KelvoUISDK library. Constants: readable from any thread, also from
/// the host's own static initialisers.

#include <KelvoUISDK/KelvoUISDKExport.h>

/// The SDK version reported to the meeting service and the log service: "1.0.0".
extern KELVOUISDK_EXPORT const char *const KLSDKVersion;

/// The library's version number: 1.0.
extern KELVOUISDK_EXPORT const double KelvoUISDKVersionNumber;

/// The library's identification text, "@(#)PROGRAM:KelvoUISDK  PROJECT:KelvoUISDK-1" followed
/// by a line feed and the terminating NUL. It is kept in the binary even when unused, so
/// that `strings` finds it.
extern KELVOUISDK_EXPORT const unsigned char KelvoUISDKVersionString[];
