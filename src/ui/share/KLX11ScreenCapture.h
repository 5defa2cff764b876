#pragma once

// The screen capture of the widget layer: under an X server (the "xcb" window system) the chosen
// screen is grabbed whole, a few times a second, on the main thread, scaled down to at most
// 1280 × 720 and kept as the newest frame for the engine to send. Any other window system
// (offscreen, Wayland without X) cannot be grabbed this way and says so.

#include "media/capture/KLScreenCapture.h"

namespace KLX11ScreenCapture {

/// Grabs per second: enough for slides and documents, light on the machine.
constexpr double kFramesPerSecond = 5.0;
constexpr int kMaxWidth = 1280;
constexpr int kMaxHeight = 720;

/// Opens a capture of the screen named (empty or unknown: the primary screen). Any thread.
KLScreenCaptureResult open(const QString &screenName);

/// Makes open() the core's capture backend.
void install();

} // namespace KLX11ScreenCapture
