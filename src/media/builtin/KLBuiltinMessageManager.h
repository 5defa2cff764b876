#pragma once

// The built-in engine's message hub. Messages come from the media server ("engineMessage",
// "rtcLog", "mediaError") through the connection and reach the delegate on the engine queue.
// RTC log lines pass only while the RTC log runs, up to its byte budget.

#include "media/KLRTCCommonWebRtcMsgManager.h"

#include <memory>
#include <mutex>

class KLDispatchQueue;

class KLBuiltinMessageManager final : public KLRTCCommonWebRtcMsgManager {
public:
    explicit KLBuiltinMessageManager(std::shared_ptr<KLDispatchQueue> queue);

    void initWithDelegate(std::weak_ptr<KLRTCCommonWebRtcMsgManagerDelegate> delegate) override;
    void startRTCLogWithMaxBytes(qint64 maxBytes) override;
    void stopRTCLog() override;

    void deliverMessage(qint32 type);
    /// Dropped when the RTC log is not running or its budget is spent.
    void deliverRTCLog(const QString &line);
    void deliverMediaError(qint32 code, qint32 reason);

private:
    std::weak_ptr<KLRTCCommonWebRtcMsgManagerDelegate> delegate() const;

    const std::shared_ptr<KLDispatchQueue> m_queue;
    mutable std::mutex m_mutex;
    std::weak_ptr<KLRTCCommonWebRtcMsgManagerDelegate> m_delegate;
    bool m_logRunning = false;
    qint64 m_logBudget = 0;
};
