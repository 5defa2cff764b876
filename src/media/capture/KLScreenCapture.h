#pragma once

// Where a screen share's pictures come from. The core draws no screens itself: the widget layer
// registers a capture backend (the X11 grabber) at start-up, and a local share stream of the
// built-in engine asks for a source when it is created. Where no backend can capture (a Wayland
// session) the desktop portal's screen cast is asked for before the share starts. Without
// either, the share falls back to the synthetic pattern, and the log says why.

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

/// Installs (or, with an empty function, removes) the backend. `canCapture` says, without
/// opening anything, whether the backend can capture here (the X11 grabber: only under an X
/// server); without it the backend is taken as able. Any thread.
void setBackend(Backend backend, std::function<bool()> canCapture = {});
bool hasBackend();

/// The screen the next share captures, as the user picked it; empty for the primary screen.
void setChosenScreen(const QString &screenName);
QString chosenScreen();

/// The bus the desktop portal is asked on. Empty: the session bus, and only in a Wayland session,
/// where no backend can grab the screen itself. An address: that bus, asked before every share
/// whatever the session, even where the backend could capture (a developer's stand-in portal
/// on a private bus). Starts as $KELVO_SCREEN_CAST_PORTAL_BUS. Any thread.
void setPortalBus(const QString &address);

/// Asks whether a share may start, as the platform answers it, and gets the screen ready: a
/// backend that can capture needs nobody's permission (authorised at once); otherwise the
/// desktop portal's screen cast asks the user (KLPortalScreenCast), whose answer maps to
/// KLAuthorizationStatus — authorised, denied when the user cancelled, restricted otherwise.
/// Where there is neither, the share is authorised and shows the synthetic pattern. What was
/// granted is used by the next open(). Call and get `completion(status)` on the main thread.
void requestAccess(std::function<void(int status)> completion);

/// Opens a capture of the chosen screen: the screen cast the portal granted for this share
/// (read with KLPipeWireCapture) first; then the backend; otherwise none. Every outcome is logged once per
/// call with the screen and the reason.
KLScreenCaptureResult open();

} // namespace KLScreenCapture
