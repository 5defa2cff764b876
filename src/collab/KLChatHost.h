#pragma once

// What the chat manager needs from the meeting it serves. The conference service implements
// it through an adapter that holds the service weakly; the chat manager holds the adapter
// weakly, so a meeting that has gone simply stops answering.

#include <QString>

class KLChatHost {
public:
    virtual ~KLChatHost() = default;

    /// Sends one piece of chat text to everyone (the meeting builds the message with the own
    /// feed's uuid, shows it to the sender at once and puts it on the data channel).
    virtual void sendChatMessage(const QString &text) = 0;
    /// The short name (`vanName`) of the feed registered under `uuid`; "" when there is none.
    virtual QString feedDisplayName(const QString &uuid) const = 0;
    /// False once the meeting is ending or has ended: pieces still waiting are dropped then.
    virtual bool isMeetingActive() const = 0;
};
