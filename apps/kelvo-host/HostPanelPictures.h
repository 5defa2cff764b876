#pragma once

// Pictures of the toolbar's panels for the project's documentation, taken in a meeting of an
// internal user (whose directory the invitation page searches): the meeting-information
// popover, the invitation page with search results and a chosen invitee, the settings popover
// and the device settings window. Each goes to "<dir>/meeting-<moment>-<language>.png"; then
// the window is closed as the user would. Turned on by KELVO_HOST_PANEL_PICTURES=<dir> with
// --sim and a drawn window.

#include <QObject>
#include <QString>

#include <functional>

class KLUISDKMeetingMainWindow;
class QWidget;

namespace kelvohost {

class HostPanelPictures : public QObject {
public:
    HostPanelPictures(KLUISDKMeetingMainWindow &meeting, QString directory, QString language);

    /// Waits for the meeting page, then takes the pictures one after the other.
    void start();

private:
    QWidget *topLevel(const char *objectName) const;
    QWidget *find(const char *objectName) const;
    /// The window `widget` drawn into the picture of `moment`.
    void grabWidget(QWidget *widget, const QString &moment);
    /// The screen under a window (the meeting window by default), so that the popovers over it
    /// are in the picture.
    void grabScreenOverWindow(const QString &moment, const char *objectName = "meeting-window");
    void after(int ms, std::function<void()> step);
    void pictureInformation();
    void pictureInvitation();
    void pictureSettings();
    void finish();

    KLUISDKMeetingMainWindow &m_meeting;
    const QString m_directory;
    const QString m_language;
};

} // namespace kelvohost
