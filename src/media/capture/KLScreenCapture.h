#pragma once

// Where a screen share's pictures come from. The core draws no screens itself: the widget layer
// registers a capture backend (the X11 grabber) at start-up, and a local share stream of the
// built-in engine asks for a source when it is created. Without a backend that can capture, the
// share falls back to the synthetic pattern, and the log says why.

#include "media/KLRTCMediaTypes.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

/// One running capture of one screen. Frames are taken on the capturing side's own thread;
/// latestFrame() may be called from any thread.
class KLScreenCaptureSource {
public:
    virtual ~KLScreenCaptureSource();
    /// For log lines: how and what is captured ("X11 screen :99 'default' 1024x768").
    virtual QString describe() const = 0;
    /// The newest frame taken; false until the first frame is there.
    virtual bool latestFrame(KLRTCMediaVideoFrame &frame) const = 0;
    /// How many frames have been taken so far.
    virtual qint64 framesTaken() const = 0;
    /// Ends the capture; latestFrame() keeps the last frame. Safe from any thread, more than once.
    virtual void stop() = 0;
};

/// What opening a capture gave, and the line that says so.
struct KLScreenCaptureResult {
    std::shared_ptr<KLScreenCaptureSource> source; ///< null: the share shows the pattern
    QString why;
};

namespace KLScreenCapture {

/// A backend: opens a capture of the screen named (empty: the primary one) or answers why it cannot.
using Backend = std::function<KLScreenCaptureResult(const QString &screenName)>;

/// Installs (or, with an empty function, removes) the backend. Any thread.
void setBackend(Backend backend);
bool hasBackend();

/// The screen the next share captures, as the user picked it; empty for the primary screen.
void setChosenScreen(const QString &screenName);
QString chosenScreen();

/// What the desktop portal offers for screen casts: the ScreenCast interface's version on the
/// session bus, or 0 when there is no portal (or no session bus). Asks the bus with a short timeout.
int portalScreenCastVersion();

/// Opens a capture of the chosen screen: the backend first; then the desktop portal, whose
/// PipeWire streams this build does not read (logged when a portal is there); otherwise none.
/// Every outcome is logged once per call with the screen and the reason.
KLScreenCaptureResult open();

} // namespace KLScreenCapture
