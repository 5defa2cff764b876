#pragma once

// Pictures of what a share asks before it starts, for the project's documentation: the screen
// picker (on a display with two screens) and the screen-recording permission dialog the
// meeting window shows when the desktop refuses. The desktop here is a stand-in screen-cast
// portal of this host's own on the bus $KELVO_SCREEN_CAST_PORTAL_BUS names, which the SDK asks
// before every share; it answers that the user cancelled. Each picture goes to
// "<dir>/meeting-<moment>-<language>.png"; then the window is closed as the user would.
// Turned on by KELVO_HOST_SHARE_PICTURES=<dir> with --sim and a drawn window.

#include "HostPictureSession.h"

#include <memory>

namespace kelvohost {

class HostSharePictures : public HostPictureSession {
public:
    using HostPictureSession::HostPictureSession;
    ~HostSharePictures() override;

    /// Puts the stand-in portal on its bus, waits for the meeting page, then takes the pictures.
    void start();

private:
    void picturePicker();
    void picturePermissionDialog();

    std::unique_ptr<QObject> m_portal;
};

} // namespace kelvohost
