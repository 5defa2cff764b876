#pragma once

#include <QString>
#include <QStringList>

/// What the process's environment says about the display it runs on. Read from the variables
/// the display servers set; the defaults are the standard places of their sockets.
struct KLDisplayEnvironment {
    QString display;        // $DISPLAY
    QString waylandDisplay; // $WAYLAND_DISPLAY
    QString runtimeDir;     // $XDG_RUNTIME_DIR
    QString x11SocketDir = QStringLiteral("/tmp/.X11-unix");

    static KLDisplayEnvironment current();
};

enum class KLDisplaySession { None, X11, Wayland };

/// The display session found and, for log lines, how it was found.
struct KLDisplayProbe {
    KLDisplaySession session = KLDisplaySession::None;
    QString description;
};

namespace KLLinuxDisplayProbes {

/// Wayland when $WAYLAND_DISPLAY names a socket that exists (relative names live in
/// $XDG_RUNTIME_DIR); else X11 when $DISPLAY names a local display whose socket exists
/// ("<x11SocketDir>/X<n>") or a display on another host (trusted as given: checking it would
/// take a network round trip); else None.
KLDisplayProbe detect(const KLDisplayEnvironment &environment);

/// Names of the video capture devices under `<systemRoot>/sys/class/video4linux`, in device
/// order. A camera registers several nodes (capture, metadata); only a node with index 0 is a
/// device's first capture node, so each camera is listed once.
QStringList videoCaptureDevices(const QString &systemRoot = QStringLiteral("/"));

/// True when the process runs inside an application sandbox (Flatpak or Snap), where the camera
/// is reached only through the desktop portal.
bool isSandboxed(const QString &systemRoot = QStringLiteral("/"));

} // namespace KLLinuxDisplayProbes
