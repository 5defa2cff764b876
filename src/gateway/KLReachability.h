#pragma once

// Network reachability for the meeting API's "network available" flag. Uses the system's
// network information backend where one loads; without one (no NetworkManager, no GLib
// monitor: containers, CI) it probes the interfaces itself every few seconds.

#include <functional>
#include <memory>

class KLReachability {
public:
    enum class Status { Unknown, NotReachable, ReachableViaWWAN, ReachableViaWiFi };
    using Handler = std::function<void(Status status)>;

    virtual ~KLReachability() = default;
    /// Reports the current status once, then every change, on the main thread, until the
    /// object is destroyed. Call once.
    virtual void startMonitoring(Handler handler) = 0;

    /// The system's backend when available, else the interface probe.
    static std::unique_ptr<KLReachability> create();
    /// The interface probe alone: reachable while an interface other than loopback is up,
    /// running and has an address.
    static std::unique_ptr<KLReachability> createInterfaceProbe();
};
