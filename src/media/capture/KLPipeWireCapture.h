#pragma once

// Reads a screen the desktop portal granted: GStreamer's pipewiresrc on the portal's PipeWire
// remote (a file descriptor) and node, converted to 32-bit pixels and scaled within
// 1280 × 720 keeping its shape. Frames arrive on GStreamer's streaming thread and are kept as
// the newest one; at most kFramesPerSecond are copied.
//
// A stream that fails after it started (the PipeWire daemon went away, the user ended the cast
// from the desktop) logs one warning line and keeps its last frame; the share then shows that
// frame, or the synthetic pattern when there was none.

#include "media/capture/KLScreenCapture.h"

namespace KLPipeWireCapture {

constexpr int kMaxWidth = 1280;
constexpr int kMaxHeight = 720;
constexpr double kFramesPerSecond = 15.0;

/// The source element for a portal stream: "pipewiresrc fd=<fd> path=<node>".
QString portalSource(int fd, quint32 node);

/// Starts a capture whose pictures come from the GStreamer source element described by
/// `sourceElement` (a portal stream in use; any video source in tests). `describe` names it in
/// log lines; `onStop` runs once when the capture is stopped (the portal session is closed
/// there). A source that cannot even start gives no capture and the reason.
KLScreenCaptureResult open(const QString &sourceElement, const QString &describe, std::function<void()> onStop = {});

} // namespace KLPipeWireCapture
