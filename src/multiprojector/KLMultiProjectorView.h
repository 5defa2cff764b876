#pragma once

// What the multi-projector session asks of its window. The widget layer implements it; every
// call arrives on the main thread. Dialogs and tips do not come through here: they go to the
// shared dialog queue and toast manager like every other dialog of the meeting window.

#include <QList>
#include <QString>

#include <memory>

class KLFeedClient;

/// How the share bar is drawn.
struct KLMultiProjectorShareBarState {
    /// The accompanying audio meeting is open.
    bool audioMeetingOpen = false;
    /// Tooltip of the call button; empty for the default one.
    QString callButtonTooltip;

    bool operator==(const KLMultiProjectorShareBarState &other) const = default;
};

class KLMultiProjectorView {
public:
    virtual ~KLMultiProjectorView() = default;

    virtual void setWindowTitle(const QString &title) = 0;
    /// The meeting was entered: the loading view goes, the content comes.
    virtual void showContent() = 0;
    /// The hub starts the sender's cast view.
    virtual void startMProjectorForSender() = 0;
    /// The rooms that were busy when the cast started, for the user to confirm; the flags are
    /// the confirm dialog's (select by default, room-busy list, with audio).
    virtual void showMultiProjectorConfirmDialog(const QList<std::shared_ptr<KLFeedClient>> &rooms,
                                                 bool selectedByDefault, bool isRoomBusyStatus,
                                                 bool isOpenAudio) = 0;
    /// A sender with the audio meeting open closes the viewer: the hub's own leave dialog.
    virtual void showHubLeaveDialog() = 0;
    /// The server ended the session: the hub stops offering actions.
    virtual void setKickByOthers() = 0;
    virtual void updateShareBar(const KLMultiProjectorShareBarState &state) = 0;
    virtual bool isFullScreen() const = 0;
    virtual void leaveFullScreen() = 0;
    virtual void hideWindow() = 0;
};
