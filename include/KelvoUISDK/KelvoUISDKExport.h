#pragma once

/// @file
/// The export macro of the KelvoUISDK binary interface.

/// Marks a symbol as part of the KelvoUISDK binary interface. Everything else in the
/// library is built with hidden visibility. Expands to nothing in a host's build.
#if defined(KELVOUISDK_BUILDING)
#define KELVOUISDK_EXPORT __attribute__((visibility("default")))
#else
#define KELVOUISDK_EXPORT
#endif
