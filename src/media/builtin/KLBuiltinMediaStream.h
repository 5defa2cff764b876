#pragma once

// A stream of the built-in engine: the own camera/microphone stream, a screen share, the
// placeholder, or a remote participant's stream announced by the media server. Video is the
// picture of the screen capture for a local share when one can be opened (KLScreenCapture), else
// the synthetic test pattern, delivered to the views at a steady rate on the engine queue while
// the stream plays; the audio level is synthetic too.

#include "media/KLRTCMediaStream.h"
#include "media/builtin/KLBuiltinVideoPattern.h"

#include <QElapsedTimer>
#include <QJsonObject>

#include <memory>
#include <mutex>
#include <optional>
#include <vector>

class KLDispatchQueue;
class KLScreenCaptureSource;
class QTimer;

/// What the media server knows of a stream (also the payload of "publish" and "streamAdded").
struct KLBuiltinStreamDescription {
    QString streamId;
    QString display;
    bool screen = false;
    bool fake = false;
    bool audio = false;
    bool video = false;
    QString audioTrackId;
    QString videoTrackId;

    QJsonObject toJson() const;
    static std::optional<KLBuiltinStreamDescription> fromJson(const QJsonObject &message);
};

class KLBuiltinMediaStream final : public KLRTCMediaStream {
public:
    static constexpr int kFrameIntervalMs = 66; // about 15 frames per second

    /// A local stream as the SDK describes it (KLRTCMediaSDK::createStream).
    static std::shared_ptr<KLBuiltinMediaStream> createLocal(std::shared_ptr<KLDispatchQueue> queue,
                                                             const QJsonObject &mediaDictionary,
                                                             std::weak_ptr<KLRTCMediaStreamDelegate> delegate);
    /// A remote stream the media server announced.
    static std::shared_ptr<KLBuiltinMediaStream> createRemote(std::shared_ptr<KLDispatchQueue> queue,
                                                              const KLBuiltinStreamDescription &description);
    ~KLBuiltinMediaStream() override;

    void initStream() override;
    QString getID() const override;
    QString display() const override;
    bool hasScreen() const override;
    bool isFakeStream() const override;
    bool isEnable(const QString &kind) const override;
    QString audioTrackId() const override;
    QString videoTrackId() const override;
    void muteAudio(bool muted) override;
    void muteVideo(bool muted) override;
    void setBeautyFlag(bool enabled) override;
    void playWithView(const std::shared_ptr<KLRTCMediaVideoRenderView> &view) override;
    void preVideoWithView(const std::shared_ptr<KLRTCMediaVideoRenderView> &view) override;
    void stopPlay() override;
    void stopPlayWithView(const std::shared_ptr<KLRTCMediaVideoRenderView> &view) override;
    void close() override;

    // Engine side.
    bool isLocal() const { return m_local; }
    /// Names a local stream when it is published: its id and display name.
    void assignPublication(const QString &streamId, const QString &display);
    KLBuiltinStreamDescription description() const;
    /// Remote media flows once subscribed (and until unsubscribed).
    void setSubscribed(bool subscribed);
    bool isSubscribed() const;
    /// The server sends (or stops sending) this stream's video.
    void setServerVideo(bool on);
    bool isClosed() const;
    bool beautyFlag() const;
    /// The synthetic audio level, 0…32767 (0 when muted or without audio).
    int audioLevel() const;
    /// Milliseconds since the stream's media started (creation for local streams).
    qint64 mediaMilliseconds() const;
    /// True when a local share shows a real screen capture rather than the pattern.
    bool capturesScreen() const;

private:
    KLBuiltinMediaStream(std::shared_ptr<KLDispatchQueue> queue, bool local,
                         const KLBuiltinStreamDescription &description,
                         std::weak_ptr<KLRTCMediaStreamDelegate> delegate);
    void addView(const std::shared_ptr<KLRTCMediaVideoRenderView> &view);
    bool videoFlowingLocked() const;
    /// Starts the frame loop when it is not running and there is something to show.
    void kickLocked();
    void pumpFrame();

    const std::shared_ptr<KLDispatchQueue> m_queue;
    const bool m_local;
    const std::weak_ptr<KLRTCMediaStreamDelegate> m_delegate;
    QElapsedTimer m_clock;

    mutable std::mutex m_mutex;
    KLBuiltinStreamDescription m_description;
    std::unique_ptr<KLBuiltinVideoPattern> m_pattern;
    std::shared_ptr<KLScreenCaptureSource> m_capture; // a local share's screen, when it could be opened
    bool m_audioMuted = false;
    bool m_videoMuted = false;
    bool m_beauty = false;
    bool m_subscribed = false;
    bool m_serverVideo = true;
    bool m_closed = false;
    bool m_pumping = false;
    qint64 m_frameIndex = 0;
    std::vector<std::weak_ptr<KLRTCMediaVideoRenderView>> m_views;
    QTimer *m_timer = nullptr; // engine queue only; made on first play
};
