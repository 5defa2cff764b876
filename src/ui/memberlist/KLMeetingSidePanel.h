#pragma once

// The panel on the right of the meeting page: the member list above, the chat input at its
// foot; with the chat bubble over the video and the window's small dialogs that belong to them
// (call rooms, enter name). Built once per meeting window from its controllers. Main thread only.

#include <QWidget>

#include <memory>

class KLCallRoomDialogWidget;
class KLChatBubbleWidget;
class KLChatPanelWidget;
class KLEnterNameDialogWidget;
class KLMemberListWidget;
class KLUISDKMeetingWindow;

class KLMeetingSidePanel : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 280;

    /// `videoArea` carries the chat bubble; the dialogs cover `window`.
    KLMeetingSidePanel(const std::shared_ptr<KLUISDKMeetingWindow> &meetingWindow, QWidget *videoArea,
                       QWidget *window, QWidget *parent = nullptr);
    ~KLMeetingSidePanel() override;

    KLMemberListWidget *memberList() const { return m_members; }
    KLChatPanelWidget *chatPanel() const { return m_chat; }
    KLChatBubbleWidget *chatBubble() const { return m_bubble; }
    /// The call-rooms dialog shown now, or null.
    KLCallRoomDialogWidget *callRoomDialog() const;
    KLEnterNameDialogWidget *enterNameDialog() const { return m_enterName; }

private:
    KLMemberListWidget *m_members = nullptr;
    KLChatPanelWidget *m_chat = nullptr;
    KLChatBubbleWidget *m_bubble = nullptr;
    KLEnterNameDialogWidget *m_enterName = nullptr;
    QWidget *m_window = nullptr;
    struct Private;
    std::unique_ptr<Private> d;
};
