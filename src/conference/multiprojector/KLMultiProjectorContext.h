#pragma once

// What the multi-projector session needs of its meeting: the meeting-service operations, the
// registered feeds and the cast's flags. The conference service answers it through its
// MultiProjectorContext adapter; the session's tests answer it with a fake.

#include <QList>
#include <QString>

#include <memory>

class KLFeedClient;
class KLSDKMeetingApiProtocol;

class KLMultiProjectorContext {
public:
    using FeedPtr = std::shared_ptr<KLFeedClient>;

    virtual ~KLMultiProjectorContext() = default;

    /// Null once the meeting is gone.
    virtual std::shared_ptr<KLSDKMeetingApiProtocol> meetingApi() const = 0;
    virtual QString appointmentId() const = 0;
    /// The sender's project id; empty for a receiver.
    virtual QString projectId() const = 0;
    /// This instance casts (mode 1, not receiving).
    virtual bool isSender() const = 0;

    /// The own camera feed; null before it exists.
    virtual FeedPtr publisher() const = 0;
    /// Every registered feed, in registration order.
    virtual QList<FeedPtr> registeredFeeds() const = 0;
    virtual FeedPtr clientWithUUID(const QString &uuid) const = 0;
    /// The own screen share, else the remote one, else null.
    virtual FeedPtr sharedFeed() const = 0;

    virtual bool isOpenAudioMeetingForMultiProjector() const = 0;
    virtual void setIsOpenAudioMeetingForMultiProjector(bool open) = 0;
    /// The window's withAudio flag.
    virtual bool openAudioFromJSForMultiProjector() const = 0;
    virtual bool isOnlyPersonFromEnterForMultiProjector() const = 0;
    virtual bool isStopMultiScreenStage() const = 0;
    virtual void setIsStopMultiScreenStage(bool stopping) = 0;

    /// Ends media and signalling of the meeting (idempotent).
    virtual void leave() = 0;
};
