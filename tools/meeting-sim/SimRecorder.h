#pragma once

// A recorder of what the simulator sends, for seeding the SDK's fuzz corpora with real
// traffic: with KELVO_SIM_RECORD set to a folder, every signalling frame, media server frame
// and HTTP response body is written there as one file (<folder>/<channel>/<pid>-<n>). Off, it
// costs one environment look-up.

#include <QByteArray>

/// `channel`: "signal", "media" or "http" (an HTTP body is written after its content type and a
/// newline).
void simRecord(const char *channel, const QByteArray &bytes);
