#pragma once

// A stream of the WebRTC engine. A local stream owns its publishing peer (made by initStream, so
// that the preview runs before publication; the connection negotiates it when published); a
// remote stream is a publisher of the room, given a subscribing peer once subscribed. Frames of
// either go to the stream's views on GStreamer's threads.

#include "media/KLRTCMediaStream.h"
#include "media/webrtc/KLWebRtcPeer.h"

#include <QJsonObject>

#include <memory>
#include <mutex>
#include <vector>

class KLWebRtcDeviceMonitor;

class KLWebRtcMediaStream final : public KLRTCMediaStream {
public:
    /// "micId" and "speakerId" of `mediaDictionary` are opened through `devices`.
    static std::shared_ptr<KLWebRtcMediaStream> createLocal(const QJsonObject &mediaDictionary,
                                                            std::weak_ptr<KLRTCMediaStreamDelegate> delegate,
                                                            std::shared_ptr<KLWebRtcDeviceMonitor> devices = {});
    /// A publisher of the room: `feedId` is the stream id, `display` its display name.
    static std::shared_ptr<KLWebRtcMediaStream> createRemote(const QString &feedId, const QString &display,
                                                             bool audio, bool video);
    ~KLWebRtcMediaStream() override;

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
    /// Names a local stream when published, and gives the test pattern the publisher's name.
    void assignPublication(const QString &streamId, const QString &display);
    /// The stream's peer: the publisher of a local stream, the subscriber of a remote one.
    std::shared_ptr<KLWebRtcPeer> peer() const;
    /// Gives a remote stream its subscribing peer (null ends the subscription).
    void setPeer(std::shared_ptr<KLWebRtcPeer> peer);
    /// A local stream's publisher made anew (a restart negotiates fresh peers).
    void renewPeer();
    /// The configuration a local stream's publisher was made with.
    KLWebRtcPeerConfig publisherConfig() const;
    /// A local stream sends from this microphone from now on (and after a restart).
    void switchMicrophone(const QString &micId);
    /// Hands a frame to every live view.
    void deliver(const KLRTCMediaVideoFrame &frame);
    /// 0…32767: the microphone's level (local) or the received audio's (remote); 0 when muted.
    int audioLevel() const;

private:
    KLWebRtcMediaStream(bool local, std::weak_ptr<KLRTCMediaStreamDelegate> delegate);
    void addView(const std::shared_ptr<KLRTCMediaVideoRenderView> &view);

    const bool m_local;
    const std::weak_ptr<KLRTCMediaStreamDelegate> m_delegate;

    mutable std::mutex m_mutex;
    QString m_id;
    QString m_display;
    bool m_screen = false;
    bool m_fake = false;
    bool m_audio = false;
    bool m_video = false;
    bool m_audioMuted = false;
    bool m_videoMuted = false;
    bool m_closed = false;
    KLWebRtcPeerConfig m_config;
    std::shared_ptr<KLWebRtcPeer> m_peer;
    std::vector<std::weak_ptr<KLRTCMediaVideoRenderView>> m_views;
};
