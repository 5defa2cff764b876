#pragma once

/// @file
/// Drawing the meeting window's dialogs and notices in the host's own way, and acting as the
/// user would: for hosts that run a meeting without the SDK's widgets (kiosks, automation,
/// the sample host's headless mode).

#include <KelvoUISDK/KelvoUISDKExport.h>

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
};
