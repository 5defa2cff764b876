#pragma once

// The media status reporter. While the media path is up it asks the engine for transport
// statistics once a second and, every tenth sample, sends the window's monitor records
// (level 3, group 2, "value" = "mediaStatus"): one per received audio stream, one per received
// main-view video stream, and the sending side's. On the way it keeps the own feed's input
// level and sent-packet count current. The bookkeeping itself is KLMediaStatusWindow.
//
// Threads: the one-second timer runs on a queue of the reporter's own ("thread"), created by
// startTimer and ended by stopTimer. Each tick asks for statistics from the SDK's serial work
// queue; the answer is processed on whatever thread the engine completes on.

#include "conference/status/KLMediaStatusSource.h"
#include "conference/status/KLMediaStatusWindow.h"

#include <QJsonObject>

#include <functional>
#include <memory>
#include <mutex>

class KLDispatchQueue;
class KLSDKGCDTimer;

class KLMediaStatusService {
public:
    /// Where records go; by default the shared KLQLSLogger's commitMonitorLevel.
    using RecordSink = std::function<void(int level, int group, const QJsonObject &params)>;

    /// `conferenceManager` is held weakly: once it is gone, ticks do nothing.
    explicit KLMediaStatusService(std::weak_ptr<KLMediaStatusSource> conferenceManager,
                                  RecordSink recordSink = {});
    /// Stops sampling (see stopTimer).
    ~KLMediaStatusService();
    KLMediaStatusService(const KLMediaStatusService &) = delete;
    KLMediaStatusService &operator=(const KLMediaStatusService &) = delete;

    /// Stops any running sampling, then starts a new sampling thread with a repeating 1.0 s
    /// timer (scaled by KLTimeScale). The first sample opens a new window.
    void startTimer();
    /// Ends the timer and its thread, and forgets the window (count, buckets, main feed).
    /// When it returns no tick is left, and statistics answers still on their way are
    /// dropped without sending a record. Not to be called from a record sink.
    void stopTimer();
    bool isRunning() const;

    /// Takes one statistics sample at once, as a timer answer would be taken.
    void uploadMediaStatus(const QJsonObject &sample);

    int mediaCount() const;
    /// Copies of the current window's buckets.
    std::vector<KLMediaObject> mediaObjectList() const;

    struct Shared;

private:
    const std::shared_ptr<Shared> m_shared;
    mutable std::mutex m_controlMutex; // start and stop
    std::unique_ptr<KLDispatchQueue> m_thread;
    std::shared_ptr<KLSDKGCDTimer> m_timer;
};
