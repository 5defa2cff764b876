#pragma once

// Chat of an ordinary meeting: short texts to everyone over the media engine's data channel,
// shown to every participant (the sender too) in a bubble that goes away after five seconds.
// Nothing is stored: no history, no read state, no addressing.

#include "collab/KLDelayScheduler.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QStringList>

#include <deque>
#include <memory>
#include <mutex>

class KLChatBubbleView;
class KLChatHost;
class KLChatInputView;

/// What the bubble shows (or would show without a view).
struct KLChatBubbleContent {
    QString text;       ///< "name：message"
    QString senderUuid;
    friend bool operator==(const KLChatBubbleContent &, const KLChatBubbleContent &) = default;
};

/// The chat manager.
///
/// Threads: `sendChatMessage` and `pushChatMessage` may be called from any thread (incoming
/// messages arrive on engine threads); further pieces and the bubble's timer run where the
/// scheduler runs them (the main thread in production); every view call goes to the main
/// thread. The state sits behind one lock that is never held while calling out.
class KLChatManager {
public:
    /// Delay between two pieces of one long text, in seconds.
    static constexpr double kPieceIntervalSeconds = 2.0;
    /// How long the bubble shows a message, in seconds.
    static constexpr double kBubbleSeconds = 5.0;

    /// The process-wide chat manager, created on first use.
    static KLChatManager &sharedInstance();

    explicit KLChatManager(std::shared_ptr<KLDelayScheduler> scheduler =
                               KLDelayScheduler::timerScheduler());
    ~KLChatManager();
    KLChatManager(const KLChatManager &) = delete;
    KLChatManager &operator=(const KLChatManager &) = delete;

    /// Attaches the meeting (kept weakly). Pieces of an earlier meeting still waiting are
    /// dropped, so they never reach the new one.
    void initWithConferenceManager(std::weak_ptr<KLChatHost> host);
    /// Attaches (or, with null, detaches) the bubble. Without a bubble the manager still
    /// keeps `currentMessage` and `shownContent`.
    void initChatMessageView(std::shared_ptr<KLChatBubbleView> view);
    void initChatInputView(std::shared_ptr<KLChatInputView> view);

    /// The send rule: the text is normalized (see KLChatText); nothing is sent for an empty
    /// result; a text of up to 113 code units goes as one message, a longer one as pieces of
    /// 113, the first at once and each further one 2.0 s after the previous.
    void sendChatMessage(const QString &text);
    /// The display rule for a received or own message {"source", "text"}: it becomes
    /// `currentMessage`, the bubble shows "name：text" and hides 5.0 s later; a newer message
    /// replaces it and starts the five seconds again. Anything but an object is logged and
    /// ignored.
    void pushChatMessage(const QJsonValue &message);
    /// Main thread: the input area takes `hidden`, the chat button the opposite.
    void setChatHidden(bool hidden);
    /// The meeting ended: pieces still waiting are dropped.
    void meetingEnded();

    /// The message shown now; empty once its five seconds are over.
    QJsonObject currentMessage() const;
    /// What the bubble shows now (set on the main thread); empty text when hidden.
    KLChatBubbleContent shownContent() const;
    /// Pieces of the current long text still waiting to be sent.
    int pendingPieceCount() const;

private:
    void sendPiece(const std::shared_ptr<KLChatHost> &host, const QString &piece);
    void scheduleNextPiece(quint64 generation);
    void sendNextPiece(quint64 generation);
    void cancelPendingPieces();
    void showOnMain(const QJsonObject &message, quint64 displayGeneration);
    void bubbleExpired(quint64 displayGeneration);

    std::shared_ptr<KLDelayScheduler> m_scheduler;
    mutable std::mutex m_mutex;
    std::weak_ptr<KLChatHost> m_host;
    std::shared_ptr<KLChatBubbleView> m_messageView;
    std::shared_ptr<KLChatInputView> m_chatView;
    std::deque<QString> m_pendingPieces;
    quint64 m_pieceGeneration = 0;
    KLDelayScheduler::Token m_pieceTimer = 0;
    QJsonObject m_currentMessage;
    quint64 m_displayGeneration = 0;
    KLDelayScheduler::Token m_timer = 0;
    KLChatBubbleContent m_shown;
    // Blocks queued for later hold this weakly, so a destroyed manager is never called back.
    std::shared_ptr<KLChatManager *> m_alive;
};
