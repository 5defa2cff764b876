#pragma once

// Pictures of the toolbar's panels for the project's documentation, taken in a meeting of an
// internal user (whose directory the invitation page searches): the meeting-information
// popover, the invitation page with search results and a chosen invitee, the settings popover
// and the device settings window. Each goes to "<dir>/meeting-<moment>-<language>.png"; then
// the window is closed as the user would. Turned on by KELVO_HOST_PANEL_PICTURES=<dir> with
// --sim and a drawn window.

#include "HostPictureSession.h"

namespace kelvohost {

class HostPanelPictures : public HostPictureSession {
public:
    using HostPictureSession::HostPictureSession;

    /// Waits for the meeting page, then takes the pictures one after the other.
    void start();

private:
    /// The screen under a window (the meeting window by default), so that the popovers over it
    /// are in the picture.
    void grabScreenOverWindow(const QString &moment, const char *objectName = "meeting-window");
    void pictureInformation();
    void pictureInvitation();
    void pictureSettings();
};

} // namespace kelvohost
