#pragma once

#include "runtime/KLDispatchQueue.h"

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

class KLHostPipe;

/// The SDK's outgoing message channel to the host application. Each operation composes one
/// small JSON message (pretty-printed):
///
///     {"path": kind, "track": the host's tracking id or "", "withResponse": false,
///      "isMulti": true (work-status messages only), "body": {...} (most messages)}
///
/// and hands the text to the sink. The shared instance's sink is the host pipe (KLHostPipe,
/// on this object's serial queue), named by the host in the persistent data.
///
/// The start message and button messages are composed on the serial queue
/// "com.kelvo.messagemode.serial", in call order; the others on the caller's thread.
class KLMessageMode {
public:
    /// Receives each composed message, on the thread that composed it.
    using Sink = std::function<void(const QByteArray &message)>;

    static KLMessageMode &sharedInstance();

    /// An instance delivering to `sink` instead of the host pipe. Like the shared instance it
    /// logs "Message Mode Init" and composes the start message on its queue.
    explicit KLMessageMode(Sink sink);
    /// Lets the queue finish what was composed before.
    ~KLMessageMode();
    KLMessageMode(const KLMessageMode &) = delete;
    KLMessageMode &operator=(const KLMessageMode &) = delete;

    /// "/kelvo/started", no body.
    void notifyNativeStart();
    /// "/projector/NotifyWorkStatus", body {"status"}; the text is also logged.
    void notifyWorkStatus(int status);
    /// "/projector/NotifyWorkStatus", body {"status", "param"}: "param" is the message (an
    /// object or array) as pretty-printed JSON text, or "" for anything else; also logged.
    void notifyErrorStatus(int status, const QJsonValue &message);
    /// "/kelvo/UploadLogToQLS" when isMeetingModule, else "/projector/UploadLogToQLS"; body
    /// {"log": the record as pretty-printed JSON text}.
    void commitQls(const QJsonObject &record);
    /// "/kelvo/evaluating", no body.
    void enterMeetingRatePage();
    /// "/kelvo/action", body {"btn": the button name or "", "ts": seconds since 1970}; composed
    /// on the serial queue.
    void actionLog(const QString &btn);
    /// "/kelvo/ReEnterMeeting", body {"uuid", "bizType": "conference"}.
    void reEnterMeeting(const QString &uuid);

    /// Chooses the upload path of monitor records (false, the projector path, until set).
    void setLogModuleFlag(bool isMeetingModule);
    bool isMeetingModule() const { return m_isMeetingModule.load(); }
    /// Nothing to do: the host is never asked for its status.
    void getProjectorStatus() {}

    KLDispatchQueue &queue() { return m_queue; }
    /// The host pipe of the shared instance; null for an instance with its own sink.
    KLHostPipe *pipe() const { return m_pipe.get(); }

private:
    struct UsePipe {};
    explicit KLMessageMode(UsePipe);

    void messageModeInit();
    void actionLogInternal(const QString &btn);
    /// Composes the envelope, hands it to the sink and returns the text.
    QByteArray sendMessage(const QString &path, const std::optional<QJsonObject> &body,
                           bool isMulti);

    KLDispatchQueue m_queue;
    std::unique_ptr<KLHostPipe> m_pipe;
    Sink m_sink;
    std::atomic<bool> m_isMeetingModule{false};
};

/// Logs "kelvo messagemode pipeName <name>"; offered to the host, never called by the SDK.
void initCallBack(const char *pipeName);
