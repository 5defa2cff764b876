#pragma once

// The chat's views as the chat manager sees them. The widget layer implements them; every
// call arrives on the main thread.

#include <QString>

/// The bubble that shows the latest chat message for a few seconds.
class KLChatBubbleView {
public:
    virtual ~KLChatBubbleView() = default;
    /// Shows `text` (already "name：message") with the avatar of `senderUuid`, replacing
    /// whatever the bubble showed.
    virtual void show(const QString &text, const QString &senderUuid) = 0;
    virtual void hide() = 0;
};

/// The input area and the button that opens it.
class KLChatInputView {
public:
    virtual ~KLChatInputView() = default;
    virtual void setInputHidden(bool hidden) = 0;
    virtual void setChatButtonHidden(bool hidden) = 0;
};
