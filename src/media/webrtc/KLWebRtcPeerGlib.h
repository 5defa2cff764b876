#pragma once

// What the parts of KLWebRtcPeer share: GStreamer callbacks carry a weak reference to the peer
// as their user data, so a callback that arrives after the peer is gone does nothing.

#include "media/webrtc/KLWebRtcPeer.h"

#include <gst/gst.h>

#include <memory>

namespace kl_webrtc_peer_detail {

using WeakPeer = std::weak_ptr<KLWebRtcPeer>;

inline gpointer weakOf(const std::shared_ptr<KLWebRtcPeer> &peer)
{
    return new WeakPeer(peer);
}

inline void freeWeak(gpointer data)
{
    delete static_cast<WeakPeer *>(data);
}

inline void freeWeakClosure(gpointer data, GClosure *)
{
    freeWeak(data);
}

inline std::shared_ptr<KLWebRtcPeer> lockPeer(gpointer data)
{
    return static_cast<WeakPeer *>(data)->lock();
}

inline bool hasElement(const char *factory)
{
    GstElementFactory *found = gst_element_factory_find(factory);
    if (!found)
        return false;
    gst_object_unref(found);
    return true;
}

} // namespace kl_webrtc_peer_detail
