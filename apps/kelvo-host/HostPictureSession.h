#pragma once

// What every series of documentation pictures taken in a meeting of the simulator's does: wait
// for a control of the meeting page, find the windows and controls by object name, take each
// step a moment after the last, write "<dir>/meeting-<moment>-<language>.png", and close the
// meeting window as the user would when the series is done (or cannot go on).

#include <QObject>
#include <QString>

#include <functional>

class KLUISDKMeetingMainWindow;
class QWidget;

namespace kelvohost {

class HostPictureSession : public QObject {
public:
    HostPictureSession(KLUISDKMeetingMainWindow &meeting, QString directory, QString language);

protected:
    /// Once `objectName` is on screen (the meeting page is up), `first` runs a moment later —
    /// time for the page to draw its first frames.
    void startWhenShown(const char *objectName, std::function<void()> first);
    /// A visible top-level window of that name.
    QWidget *topLevel(const char *objectName) const;
    /// A visible window or control of that name.
    QWidget *find(const char *objectName) const;
    void after(int ms, std::function<void()> step);
    /// The file the picture of `moment` goes to.
    QString picturePath(const QString &moment) const;
    /// `widget` drawn into the picture of `moment`.
    void grab(QWidget *widget, const QString &moment);
    /// Says whether the picture was written.
    static void report(bool written, const QString &path);
    /// Closes the meeting window: the host then ends.
    void finish();

private:
    KLUISDKMeetingMainWindow &m_meeting;
    const QString m_directory;
    const QString m_language;
};

} // namespace kelvohost
