#pragma once

// Pictures of the drawn meeting window at five moments of the demo (and of the user's own
// share notice early in it), for the project's
// documentation: while the meeting is being entered, in the full meeting while a screen is
// shared (with the share's toast up), with the meeting notes showing captions, with the leave
// dialog open, and the rating page after leaving. Each is the window grabbed into
// "<dir>/meeting-<moment>-<language>.png"; after the last one the meeting window is closed as
// the user would. Turned on by KELVO_HOST_SCREENSHOTS=<dir> with the demo.

#include <QObject>
#include <QString>

class KLUISDKMeetingMainWindow;
class QWidget;

namespace kelvohost {

class HostScreenshots : public QObject {
public:
    HostScreenshots(KLUISDKMeetingMainWindow &meeting, QString directory, QString language);

    /// Starts watching for the meeting window (the entering picture).
    void start();
    /// A step of the demo ran: the share's start leads to the meeting picture, a step marked
    /// with "picture" to that picture and then to the leave and rating-page pictures.
    void demoStep(const QJsonObject &step);

private:
    QWidget *meetingWindow() const;
    void grab(const QString &moment);
    /// Shares the user's screen, pictures the share notice and stops the share from it.
    void pictureShareNotice();
    /// The member list beside the video with the first chat message in its bubble, then the
    /// user's reply typed into the chat panel and sent, pictured with the panel open.
    void pictureMembersAndChat();
    /// Leaves as the user would: the leave dialog, its leave button, the rating page.
    void leaveToTheRatingPage();

    KLUISDKMeetingMainWindow &m_meeting;
    const QString m_directory;
    const QString m_language;
    bool m_enteringTaken = false;
};

} // namespace kelvohost
