#pragma once

/// Marks a symbol as part of the KelvoUISDK binary interface. Everything else in the
/// library is built with hidden visibility.
#if defined(KELVOUISDK_BUILDING)
#define KELVOUISDK_EXPORT __attribute__((visibility("default")))
#else
#define KELVOUISDK_EXPORT
#endif
