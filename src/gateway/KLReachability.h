#pragma once

// Network reachability for the meeting API's "network available" flag. Uses the system's
// network information backend where one loads; without one (no NetworkManager, no GLib
// monitor: containers, CI) it probes the interfaces itself every few seconds.

#include <atomic>
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
    /// Monitors with the meeting API's rules: unknown only logs "未知网络"; not reachable logs
    /// "没有网络(断网)" and clears `networkAvailable`; reachable sets it and posts
    /// "NetWorkAvaliable". Reports after the flag's owner is gone are ignored.
    void startUpdating(std::weak_ptr<std::atomic<bool>> networkAvailable);

    /// The system's backend when available, else the interface probe.
    static std::unique_ptr<KLReachability> create();
    /// The interface probe alone: reachable while an interface other than loopback is up,
    /// running and has an address.
    static std::unique_ptr<KLReachability> createInterfaceProbe();
};
