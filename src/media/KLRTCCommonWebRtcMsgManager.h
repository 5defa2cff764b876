#pragma once

#include <QString>
#include <QtGlobal>

#include <memory>

/// Receives the engine's messages that concern no single connection.
///
/// Threads: every callback arrives on an engine thread.
class KLRTCCommonWebRtcMsgManagerDelegate {
public:
    virtual ~KLRTCCommonWebRtcMsgManagerDelegate() = default;

    /// The audio pipeline noticed something; `type` is a KLRTCMediaMessageType (2 howling,
    /// 3 ring tone) or another engine type.
    virtual void IncomingCommonWebRtcMsg(qint32 type) = 0;
    /// One line of the engine's own cloud log (while startRTCLogWithMaxBytes is running).
    virtual void didGetRTCLog(const QString &log) = 0;
    /// A media error; the codes are the engine's.
    virtual void didGetMediaError(qint32 code, qint32 reason) = 0;
};

/// The engine's message hub: one per engine (KLRTCMediaSDK::messageManager).
/// Every member may be called from any thread.
class KLRTCCommonWebRtcMsgManager {
public:
    virtual ~KLRTCCommonWebRtcMsgManager() = default;

    /// Registers the delegate (replacing any earlier one). Held weakly.
    virtual void initWithDelegate(std::weak_ptr<KLRTCCommonWebRtcMsgManagerDelegate> delegate) = 0;
    /// Starts the engine's own cloud log, keeping at most `maxBytes`; lines come back through
    /// didGetRTCLog.
    virtual void startRTCLogWithMaxBytes(qint64 maxBytes) = 0;
    virtual void stopRTCLog() = 0;
};
