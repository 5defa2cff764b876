#pragma once

#include "media/KLRTCMediaTypes.h"

#include <QString>

/// A place a stream's video is drawn into, implemented by the views of the UI layer (and by
/// tests). A stream plays into a view with KLRTCMediaStream::playWithView; the engine then hands
/// it frames until stopPlay/stopPlayWithView.
///
/// Threads: renderFrame is called on an engine thread, one frame at a time per view; a view
/// copies what it needs (the frame's buffer is implicitly shared) and draws on its own thread.
/// The other members may be called from any thread.
class KLRTCMediaVideoRenderView {
public:
    virtual ~KLRTCMediaVideoRenderView() = default;

    /// Id of the stream this view shows; empty when it shows none.
    virtual QString renderStreamId() const = 0;
    /// Sets or clears (empty text) the id of the stream this view shows.
    virtual void setRenderStreamId(const QString &streamId) = 0;
    /// True when the view draws video (false for a placeholder that only shows a name).
    virtual bool isVideoRenderer() const = 0;
    /// One decoded frame to show.
    virtual void renderFrame(const KLRTCMediaVideoFrame &frame) = 0;
};
