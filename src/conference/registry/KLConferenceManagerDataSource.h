#pragma once

// What the conference service tells the meeting layout. The layout implements it; the
// service holds it weakly. Calls arrive on whichever thread the service is working on (the
// signalling queue, the engine's threads, the serial queue or the main thread); the layout
// moves its view work to the main thread itself.

#include <memory>

class KLFeedClient;
class KLRTCMediaVideoRenderView;

class KLConferenceManagerDataSource {
public:
    virtual ~KLConferenceManagerDataSource() = default;

    /// `feed` is now the main view's feed.
    virtual void clientRendererViewOnMainScreen(const std::shared_ptr<KLFeedClient> &feed) = 0;
    /// The strip of small videos must be recomputed (`smallClients`).
    virtual void clientRendererViewOnSmallScreen() = 0;
    /// The main view keeps its feed but must redraw what it shows.
    virtual void updateRendererViewContent(const std::shared_ptr<KLFeedClient> &feed) = 0;
    /// The view that renders `feed`, or null when the layout shows it nowhere.
    virtual std::shared_ptr<KLRTCMediaVideoRenderView>
    rendererViewForClient(const std::shared_ptr<KLFeedClient> &feed) = 0;
    /// The view that previews the local camera of `feed`, or null.
    virtual std::shared_ptr<KLRTCMediaVideoRenderView>
    previewRendererViewForClient(const std::shared_ptr<KLFeedClient> &feed) = 0;
    /// The media path came up: the meeting has been entered.
    virtual void enterRoomSuccess() = 0;
    /// The meeting ended for the local user with `reason` (0–10, see KLLeaveReason).
    virtual void leaveRoomWithReason(int reason) = 0;
    /// A refresh began: drop every feed the views hold.
    virtual void refreshRoom() = 0;
};
