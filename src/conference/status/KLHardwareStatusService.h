#pragma once

// The process's CPU and memory use, sampled once a second while the meeting's media path is up
// and reported ten readings at a time to the cloud log service.
//
// startTimer starts a thread of the reporter's own with a repeating 1-second timer; each tick
// only schedules a reading on the conference serial queue, where the readings are taken and
// gathered. The tenth reading of a window sends one monitor record (level 3, group 2,
// "hardwareStatus") and empties the window.

#include "conference/status/KLProcessUsageReader.h"

#include <QList>
#include <QString>

#include <memory>
#include <mutex>

class KLDispatchQueue;
class KLSDKGCDTimer;

class KLHardwareStatusService {
public:
    /// Readings per report.
    static constexpr quint32 kReadingsPerReport = 10;
    /// Seconds between readings (scaled by the runtime's time scale).
    static constexpr double kInterval = 1.0;

    /// Reads the process's figures under `procRoot` (the proc file system's mount point; a
    /// fixture directory in tests) for the entry `process` ("self" or a pid).
    explicit KLHardwareStatusService(const QString &procRoot = QStringLiteral("/proc"),
                                     const QString &process = QStringLiteral("self"));
    /// Stops sampling; a reading already queued on the serial queue is dropped.
    ~KLHardwareStatusService();
    KLHardwareStatusService(const KLHardwareStatusService &) = delete;
    KLHardwareStatusService &operator=(const KLHardwareStatusService &) = delete;

    /// Stops any running sampling, then starts the sampling thread and its 1-second timer.
    void startTimer();
    /// Stops the timer and ends the sampling thread. Readings gathered so far stay in the
    /// window and count towards the next report. Safe when not running.
    void stopTimer();
    bool isRunning() const;

    /// Percent of one core used by the process (several cores can exceed 100); -1.0 when the
    /// figures cannot be read.
    double getCpuUsage();
    /// Resident memory in MiB; -1.0 when it cannot be read.
    double getMemoryUsage();

    /// One tick's work (what the timer schedules on the serial queue): takes both readings,
    /// adds them to the window truncated to integers, and reports a full window.
    void sampleHardwareStatus();

    // The current window.
    quint32 count() const;
    QList<qint64> cpuUsageArray() const;
    QList<qint64> memoryUsageArray() const;

    struct Window;

private:
    const std::shared_ptr<Window> m_window;
    mutable std::mutex m_timerMutex; // guards the thread and the timer
    std::unique_ptr<KLDispatchQueue> m_thread;
    std::shared_ptr<KLSDKGCDTimer> m_timer;
};
