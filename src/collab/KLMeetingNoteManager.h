#pragma once

// Hands the live caption lines of the meeting's note taker to the caption page.

#include <QJsonObject>

#include <memory>
#include <mutex>

class KLCaptionBridge;
class KLCaptionPage;

class KLMeetingNoteManager {
public:
    /// The process-wide notes manager, created on first use.
    static KLMeetingNoteManager &sharedInstance();

    KLMeetingNoteManager() = default;
    KLMeetingNoteManager(const KLMeetingNoteManager &) = delete;
    KLMeetingNoteManager &operator=(const KLMeetingNoteManager &) = delete;

    /// Main thread: attaches the caption page (a new bridge over it), or detaches with null.
    void initMeetingCaptionView(std::shared_ptr<KLCaptionPage> page);
    /// The bridge over the attached page; null when none is attached.
    std::shared_ptr<KLCaptionBridge> captionView() const;

    /// Any thread: one caption message (see docs/chat-and-captions.md) as pretty-printed JSON
    /// to the page's "onReceive". A message without "memberType" is sent with 3, the page's
    /// type for a speaker it knows nothing about. Nothing goes out without a page.
    void pushSubTitle(const QJsonObject &caption);

    /// The JSON text `pushSubTitle` sends for `caption`.
    static QString captionText(const QJsonObject &caption);

private:
    mutable std::mutex m_mutex;
    std::shared_ptr<KLCaptionBridge> m_captionView;
};
