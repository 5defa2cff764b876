#pragma once

// Where the layout gets the views that draw a client's video. The core cannot make widgets, so
// the drawing layer installs a provider for its layout; without one the layout answers null and
// the meeting runs without pictures (a host presenter, a headless test).
//
// Threads: install and remove on the main thread; the look-ups may come from any thread (the
// service asks from its own queues), so a provider answers from state it guards itself.

#include <memory>

class KLFeedClient;
class KLRTCMediaVideoRenderView;

class KLRenderViewProvider {
public:
    virtual ~KLRenderViewProvider() = default;

    /// The view that plays `feed`'s stream now, or null when no tile shows it.
    virtual std::shared_ptr<KLRTCMediaVideoRenderView>
    rendererViewForClient(const std::shared_ptr<KLFeedClient> &feed) = 0;
    /// The view that shows `feed`'s local preview (the own camera), or null.
    virtual std::shared_ptr<KLRTCMediaVideoRenderView>
    previewRendererViewForClient(const std::shared_ptr<KLFeedClient> &feed) = 0;

    /// Makes `provider` answer for the layout `owner` (held weakly: a provider that is gone
    /// answers nothing). Installing again replaces the previous one.
    static void install(const void *owner, std::weak_ptr<KLRenderViewProvider> provider);
    /// Forgets the provider of `owner`, but only while it is still `provider` (a newer one stays).
    static void remove(const void *owner, const KLRenderViewProvider *provider);
    /// The live provider of `owner`, or null.
    static std::shared_ptr<KLRenderViewProvider> providerFor(const void *owner);
};
