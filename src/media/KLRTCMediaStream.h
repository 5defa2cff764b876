#pragma once

#include "media/KLRTCMediaTypes.h"

#include <QJsonObject>
#include <QString>

#include <memory>

class KLRTCMediaStream;
class KLRTCMediaVideoRenderView;

/// Receives the progress of a stream the SDK created (KLRTCMediaSDK::createStream).
class KLRTCMediaStreamDelegate {
public:
    virtual ~KLRTCMediaStreamDelegate() = default;

    /// The stream reached `state` (a KLRTCMediaStreamState, or an engine state the SDK
    /// ignores); `info` holds the engine's details, possibly empty. Called on an engine thread.
    virtual void rtcStream(const std::shared_ptr<KLRTCMediaStream> &stream, int state,
                           const QJsonObject &info) = 0;
};

/// One media stream: the own camera/microphone stream, a screen share, a placeholder, or a
/// remote participant's stream announced by the connection (events 5, 6, 7, 9). Streams are
/// always owned by std::shared_ptr (the engine passes them on with shared_from_this).
///
/// Threads: every member may be called from any thread; the engine guards its own state.
/// Delegate callbacks arrive on engine threads.
class KLRTCMediaStream : public std::enable_shared_from_this<KLRTCMediaStream> {
public:
    virtual ~KLRTCMediaStream() = default;

    /// Opens the local media the stream was created for; the delegate then gets state 0
    /// (ready) on an engine thread. Remote streams need no initialisation.
    virtual void initStream() = 0;

    /// The stream id: the participant's uuid for a main stream, "screen-<uuid>" or "content"
    /// for a share.
    virtual QString getID() const = 0;
    /// The display name the publisher gave the stream (may be Base64 text for a share).
    virtual QString display() const = 0;
    virtual bool hasScreen() const = 0;
    /// True for the placeholder stream published by a participant without audio and video.
    virtual bool isFakeStream() const = 0;
    /// Whether the track of `kind` ("audio" or "video") exists and is not muted.
    virtual bool isEnable(const QString &kind) const = 0;
    /// Track ids, empty when the stream has no such track. They match the "trackId" entries of
    /// the connection's statistics.
    virtual QString audioTrackId() const = 0;
    virtual QString videoTrackId() const = 0;

    virtual void muteAudio(bool muted) = 0;
    virtual void muteVideo(bool muted) = 0;
    /// Turns the beauty filter of a local camera stream on or off.
    virtual void setBeautyFlag(bool enabled) = 0;

    /// Plays the stream's video into `view` (several views may show one stream). The engine
    /// keeps only a weak reference: a view that goes away stops receiving frames.
    virtual void playWithView(const std::shared_ptr<KLRTCMediaVideoRenderView> &view) = 0;
    /// Shows the local capture in `view` before (or besides) publishing.
    virtual void preVideoWithView(const std::shared_ptr<KLRTCMediaVideoRenderView> &view) = 0;
    /// Stops playing into every view.
    virtual void stopPlay() = 0;
    /// Stops playing into `view` only.
    virtual void stopPlayWithView(const std::shared_ptr<KLRTCMediaVideoRenderView> &view) = 0;
    /// Releases the stream's media; the object stays valid but inert.
    virtual void close() = 0;
};
