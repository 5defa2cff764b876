#include "collab/KLChatManager.h"

#include "collab/KLChatHost.h"
#include "collab/KLChatText.h"
#include "collab/KLChatViews.h"
#include "runtime/KLDictionary.h"
#include "runtime/KLSDKLog.h"

#include <KelvoUISDK/KLSDKDispatch.h>

#include <utility>

namespace {
const char *const kTag = "KLChatManager";

using WeakManager = std::weak_ptr<KLChatManager *>;

// Runs `act` on the manager only while it still exists.
template <typename Act>
void withManager(const WeakManager &weak, Act act)
{
    if (auto alive = weak.lock())
        act(**alive);
}
} // namespace

KLChatManager &KLChatManager::sharedInstance()
{
    // Never destroyed: its timers and views must not be torn down after the application
    // object is gone at process exit.
    static KLChatManager *instance = new KLChatManager;
    return *instance;
}

KLChatManager::KLChatManager(std::shared_ptr<KLDelayScheduler> scheduler)
    : m_scheduler(std::move(scheduler)), m_alive(std::make_shared<KLChatManager *>(this))
{
}

KLChatManager::~KLChatManager()
{
    m_alive.reset();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_scheduler->cancel(m_pieceTimer);
    m_scheduler->cancel(m_timer);
}

void KLChatManager::initWithConferenceManager(std::weak_ptr<KLChatHost> host)
{
    cancelPendingPieces();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_host = std::move(host);
}

void KLChatManager::initChatMessageView(std::shared_ptr<KLChatBubbleView> view)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_messageView = std::move(view);
}

void KLChatManager::initChatInputView(std::shared_ptr<KLChatInputView> view)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_chatView = std::move(view);
}

// --- Sending --------------------------------------------------------------------------------

void KLChatManager::sendChatMessage(const QString &text)
{
    QStringList pieces = KLChatText::pieces(text);
    if (pieces.isEmpty()) {
        KL_LOG_INFO(kTag, QStringLiteral("empty chat message not sent"));
        return;
    }
    // A new text replaces the rest of an earlier long one still being sent.
    cancelPendingPieces();
    std::shared_ptr<KLChatHost> host;
    quint64 generation = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        host = m_host.lock();
        if (!host) {
            KL_LOG_WARN(kTag, QStringLiteral("chat message dropped: no meeting attached"));
            return;
        }
        for (qsizetype i = 1; i < pieces.size(); ++i)
            m_pendingPieces.push_back(pieces.at(i));
        generation = m_pieceGeneration;
    }
    sendPiece(host, pieces.first());
    scheduleNextPiece(generation);
}

void KLChatManager::sendPiece(const std::shared_ptr<KLChatHost> &host, const QString &piece)
{
    if (!host->isMeetingActive()) {
        KL_LOG_INFO(kTag, QStringLiteral("chat message dropped: the meeting has ended"));
        cancelPendingPieces();
        return;
    }
    host->sendChatMessage(piece);
}

void KLChatManager::scheduleNextPiece(quint64 generation)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (generation != m_pieceGeneration || m_pendingPieces.empty())
            return;
    }
    WeakManager weak = m_alive;
    const KLDelayScheduler::Token timer =
        m_scheduler->schedule(kPieceIntervalSeconds, [weak, generation]() {
            withManager(weak, [generation](KLChatManager &self) { self.sendNextPiece(generation); });
        });
    bool stale = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        stale = generation != m_pieceGeneration;
        if (!stale)
            m_pieceTimer = timer;
    }
    if (stale)
        m_scheduler->cancel(timer); // cancelled while it was being scheduled
}

void KLChatManager::sendNextPiece(quint64 generation)
{
    std::shared_ptr<KLChatHost> host;
    QString piece;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (generation != m_pieceGeneration || m_pendingPieces.empty())
            return;
        m_pieceTimer = 0;
        piece = m_pendingPieces.front();
        m_pendingPieces.pop_front();
        host = m_host.lock();
    }
    if (!host) {
        KL_LOG_INFO(kTag, QStringLiteral("chat piece dropped: the meeting is gone"));
        cancelPendingPieces();
        return;
    }
    sendPiece(host, piece);
    scheduleNextPiece(generation);
}

void KLChatManager::cancelPendingPieces()
{
    KLDelayScheduler::Token timer = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_pieceGeneration;
        m_pendingPieces.clear();
        timer = std::exchange(m_pieceTimer, 0);
    }
    if (timer)
        m_scheduler->cancel(timer);
}

void KLChatManager::meetingEnded()
{
    cancelPendingPieces();
}

// --- Showing --------------------------------------------------------------------------------

void KLChatManager::pushChatMessage(const QJsonValue &message)
{
    if (!message.isObject()) {
        KL_LOG_WARN(kTag, QStringLiteral("chat message ignored: not a dictionary"));
        return;
    }
    const QJsonObject chat = message.toObject();
    KLDelayScheduler::Token previous = 0;
    quint64 generation = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_currentMessage = chat;
        generation = ++m_displayGeneration;
        previous = std::exchange(m_timer, 0);
    }
    if (previous)
        m_scheduler->cancel(previous);
    WeakManager weak = m_alive;
    const KLDelayScheduler::Token timer =
        m_scheduler->schedule(kBubbleSeconds, [weak, generation]() {
            withManager(weak, [generation](KLChatManager &self) { self.bubbleExpired(generation); });
        });
    bool stale = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        stale = generation != m_displayGeneration;
        if (!stale)
            m_timer = timer;
    }
    if (stale)
        m_scheduler->cancel(timer); // a newer message already took over
    KLPerformBlockOnMainThread([weak, chat, generation]() {
        withManager(weak, [&](KLChatManager &self) { self.showOnMain(chat, generation); });
    });
}

void KLChatManager::showOnMain(const QJsonObject &message, quint64 displayGeneration)
{
    std::shared_ptr<KLChatHost> host;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (displayGeneration != m_displayGeneration)
            return; // a newer message is on its way, or this one already expired
        host = m_host.lock();
    }
    const QString source = KL_stringForKey(message, QStringLiteral("source"));
    const QString name = host ? host->feedDisplayName(source) : QString();
    const KLChatBubbleContent content{
        KLChatText::bubbleText(name, KL_stringForKey(message, QStringLiteral("text"))), source};
    std::shared_ptr<KLChatBubbleView> view;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (displayGeneration != m_displayGeneration)
            return;
        m_shown = content;
        view = m_messageView;
    }
    if (view)
        view->show(content.text, content.senderUuid);
}

void KLChatManager::bubbleExpired(quint64 displayGeneration)
{
    quint64 hiddenGeneration = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (displayGeneration != m_displayGeneration)
            return;
        // A new generation, so that a show of this message still queued cannot bring it back.
        hiddenGeneration = ++m_displayGeneration;
        m_currentMessage = QJsonObject();
        m_timer = 0;
    }
    WeakManager weak = m_alive;
    KLPerformBlockOnMainThread([weak, hiddenGeneration]() {
        withManager(weak, [hiddenGeneration](KLChatManager &self) {
            std::shared_ptr<KLChatBubbleView> view;
            {
                std::lock_guard<std::mutex> lock(self.m_mutex);
                if (hiddenGeneration != self.m_displayGeneration)
                    return; // a newer message is shown meanwhile
                self.m_shown = KLChatBubbleContent();
                view = self.m_messageView;
            }
            if (view)
                view->hide();
        });
    });
}

void KLChatManager::setChatHidden(bool hidden)
{
    WeakManager weak = m_alive;
    KLPerformBlockOnMainThread([weak, hidden]() {
        withManager(weak, [hidden](KLChatManager &self) {
            std::shared_ptr<KLChatInputView> view;
            {
                std::lock_guard<std::mutex> lock(self.m_mutex);
                view = self.m_chatView;
            }
            if (!view)
                return;
            view->setInputHidden(hidden);
            view->setChatButtonHidden(!hidden);
        });
    });
}

// --- Reads ----------------------------------------------------------------------------------

QJsonObject KLChatManager::currentMessage() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_currentMessage;
}

KLChatBubbleContent KLChatManager::shownContent() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_shown;
}

int KLChatManager::pendingPieceCount() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<int>(m_pendingPieces.size());
}
