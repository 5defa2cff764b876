#pragma once

/// @file
/// Drawing the meeting window's dialogs and notices in the host's own way, and acting as the
/// user would: for hosts that run a meeting without the SDK's widgets (kiosks, automation,
/// the sample host's headless mode).

#include <KelvoUISDK/KelvoUISDKExport.h>

#include <QList>
#include <QString>
#include <QStringList>

/// One dialog waiting for the user. Texts are in the interface language; each key is the
/// localisation key of its text, or empty when the text has none (a server's message, a name).
struct KLUISDKDialog {
    /// Identifies this showing; hand it back with the button press.
    quint64 id = 0;
    QString titleKey;  ///< localisation key of the title
    QString title;     ///< the title
    QString descKey;   ///< localisation key of the description
    QString desc;      ///< the description
    /// Buttons 1 to 3 in order; a button the dialog does not have is an empty key and text.
    /// Trailing absent buttons are left out.
    QStringList buttonKeys;
    QStringList buttons;  ///< the buttons' texts, in the same order as `buttonKeys`
};

/// One row of the member list (or one room of the call-rooms dialog).
struct KLUISDKMember {
    QString uuid;          ///< the member's feed uuid, as the member actions take it
    QString name;          ///< the display name
    int memberType = 0;    ///< 1 person, 2 meeting room, 3 external member; 0 when not reported
    bool online = false;   ///< in the meeting now
    bool muted = false;    ///< the microphone is muted
    bool video = false;    ///< the camera sends
    bool calling = false;  ///< being called now
    bool speaking = false; ///< speaking now
    bool locked = false;   ///< pinned to the main view
    bool focused = false;  ///< the member the main view shows
    bool isSelf = false;   ///< the local user
    /// The row's buttons that may be pressed now: "mute", "hangup", "lock" on online rows,
    /// "call", "callCell", "callDetail" on offline ones. A call button pressed less than five
    /// seconds ago is left out.
    QStringList buttons;
};

/// One directory search result (a person, a meeting room or an external contact).
struct KLUISDKSearchResult {
    QString id;          ///< what `KLUISDKUserAction::Invite` takes: employee number, room id, e-mail or phone
    QString name;        ///< the display name
    int memberType = 0;  ///< 1 person, 2 meeting room, 3 external member
    QString detail;      ///< the department, else the e-mail
};

/// One toolbar button as drawn.
struct KLUISDKToolbarButton {
    /// The control's identifier in the host's action log ("hub-mute-button").
    QString control;
    QString icon;          ///< the icon's key ("conf_tool_audio_mute")
    QString label;         ///< the label under the button, in the interface language
    QString tooltip;       ///< the tooltip, or empty
    bool enabled = true;   ///< may be pressed
    bool visible = true;   ///< shown at all
    bool busy = false;     ///< shows a running progress indicator
};

/// The notices that stay until withdrawn.
enum KLUISDKNoticeKind : int {
    KLUISDKNoticeSpeakerAndMicOff = 1,  ///< the speaker and the microphone are both off
    KLUISDKNoticeMicOff = 2,            ///< the microphone is off
    KLUISDKNoticeLevelNotChanged = 3,   ///< no input level comes from the microphone
    KLUISDKNoticeNetworkLost = 4,       ///< the connection to the meeting is lost
    /// The weak-network tip about the own or the main view's connection.
    KLUISDKNoticeWeakNetwork = 5,
};

/// What the user can do, as `KLUISDKMeetingMainWindow::performUserAction` takes it. Actions
/// on a member take the member's uuid as argument; `Chat` takes the text and `RatePage` the
/// message the rating page posts.
enum class KLUISDKUserAction {
    Mute,          ///< the toolbar's microphone button
    Camera,        ///< the toolbar's camera button
    Speaker,       ///< the toolbar's speaker button
    Share,         ///< the toolbar's share button
    Leave,         ///< the toolbar's leave button
    Chat,          ///< sends the argument as the chat input would (trimmed, without line breaks, long texts in pieces)
    Click,         ///< clicks a member's row
    Lock,          ///< locks or unlocks a member in the main view
    MuteMember,    ///< a member row's microphone button
    HangupMember,  ///< a member row's hang-up button
    MuteAll,       ///< the member list's mute-all button
    CallAll,       ///< the member list's call-all button (asks first; calls everyone not in the meeting)
    Sleep,         ///< the system is about to sleep
    Close,         ///< the user closes the meeting window
    RatePage,      ///< the rating page posted the argument
    CallMember,    ///< an offline member row's call button (the argument is the uuid)
    /// Calls the rooms whose uuids the argument lists, separated by commas, in the open
    /// call-rooms dialog, and closes it; refused when no dialog is open or none is listed.
    CallRooms,
    /// The name typed into the enter-name dialog; refused while none is open or when the name
    /// is blank or has an emoji (the dialog stays open).
    EnterName,
    /// Searches the directory for the argument (empty: the recent contacts); the results come
    /// through `KLUISDKMeetingPresenter::searchResults`.
    Search,
    /// Invites the results of the last search whose ids the argument lists, separated by
    /// commas, with the invitation's own dialogs; refused when an id is not among them.
    Invite,
    /// The meeting information's copies: "share", "password" or "link"; the text comes through
    /// `KLUISDKMeetingPresenter::clipboardWritten`.
    Copy,
    /// A settings choice as "name=value": "enterAudioMuted", "enterVideoMuted", "beauty" with
    /// "true" or "false"; "cellPhone" (calls the user's cell phone); "camera", "microphone",
    /// "speaker" with a device id or name. Refused for an unknown name, value or device.
    Setting,
    MeetingNote,   ///< the toolbar's meeting-note button: opens the meeting-notes panel
};

/// The host's presentation of one meeting window. Every call arrives on the main thread.
/// The host creates it and hands it over by shared pointer
/// (`KLUISDKMeetingMainWindow::setPresenter` or `setObserver`); the entry object keeps it
/// until it is destroyed.
class KLUISDKMeetingPresenter {
public:
    /// Destroyed by whoever holds the last reference.
    virtual ~KLUISDKMeetingPresenter() = default;
    /// A dialog replaces the one shown before; answer with `pressDialogButton`.
    virtual void showDialog(const KLUISDKDialog &dialog) = 0;
    /// The visible dialog went away.
    virtual void closeDialog() = 0;
    /// A transient toast (three seconds); `kind` numbers the toast's kind, `key` is empty for
    /// texts without one.
    virtual void showToast(int kind, const QString &key, const QString &text) = 0;
    /// A notice of `KLUISDKNoticeKind` appeared (`shown`) or went away.
    virtual void noticeChanged(int kind, const QString &text, bool shown) = 0;
    /// A chat message arrived (or was sent): `text` is "name：message" as the bubble shows it.
    virtual void showChatMessage(const QString &senderUuid, const QString &text) = 0;
    /// The meeting was left and the rating page at `url` takes the window's place; the page
    /// answers through `KLUISDKUserAction::RatePage`.
    virtual void showRatePage(const QString &url) = 0;
    /// The meeting window closed; nothing of this meeting follows.
    virtual void windowClosed() = 0;
    /// The member list changed (sent whenever a row, a section or a row's buttons change):
    /// online members in the list's order, then those not in the meeting (listed for the
    /// internal deployment only).
    virtual void membersChanged(const QList<KLUISDKMember> &online, const QList<KLUISDKMember> &offline)
    {
        Q_UNUSED(online);
        Q_UNUSED(offline);
    }
    /// The toolbar changed: every button, in the toolbar's order.
    virtual void toolbarChanged(const QList<KLUISDKToolbarButton> &buttons) { Q_UNUSED(buttons); }
    /// The call-rooms dialog is open (again with the new list when rooms change) or, with
    /// `shown` false, closed; answer with `KLUISDKUserAction::CallRooms`.
    virtual void callRoomsChanged(const QList<KLUISDKMember> &rooms, bool shown)
    {
        Q_UNUSED(rooms);
        Q_UNUSED(shown);
    }
    /// The meeting needs the user's display name before it goes on (`error` is empty, or the
    /// reason the last name was refused); answer with `KLUISDKUserAction::EnterName`.
    virtual void showEnterName(const QString &error) { Q_UNUSED(error); }
    /// The results of a `KLUISDKUserAction::Search`, in the directory's order.
    virtual void searchResults(const QList<KLUISDKSearchResult> &results) { Q_UNUSED(results); }
    /// A copy of the meeting information put `text` on the clipboard (empty: nothing to copy).
    virtual void clipboardWritten(const QString &text) { Q_UNUSED(text); }
};
