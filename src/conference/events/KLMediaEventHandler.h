#pragma once

// Turns the media engine's callbacks (connection events, stream states, engine messages) and
// the conference signal channel's state into changes of the meeting: what is published and
// subscribed, which feeds exist, when the meeting counts as entered, what the user is told,
// and how each failure ends (nothing, a record, an ICE restart, a refresh, a hang-up, an
// error to the host, or a host pipe report followed by closing the app).
//
// The conference service owns one handler and forwards its delegate callbacks to it. The
// handler reads and changes the meeting only through KLMediaEventContext; its own state is the
// time the last howling / ring-tone tip was raised and whether the media path was ever up.

#include "conference/events/KLMediaEventContext.h"
#include "media/KLRTCMediaTypes.h"

#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <QVariantMap>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

class KLFeedClient;
class KLMessageMode;
class KLRTCMediaStream;
class KLToastManager;

/// Collaborators a test may replace; empty members mean the process-wide ones.
struct KLMediaEventHandlerOptions {
    /// The clock of the howling throttle; the current time when empty.
    std::function<QDateTime()> now;
    /// The host message pipe; KLMessageMode::sharedInstance() when null.
    KLMessageMode *hostMessages = nullptr;
    /// Notices and dialogs; KLToastManager::shared() when null.
    KLToastManager *toasts = nullptr;
};

class KLMediaEventHandler : public std::enable_shared_from_this<KLMediaEventHandler> {
public:
    /// A howling or ring-tone tip is raised at most once in this many seconds.
    static constexpr double kHowlingTipSeconds = 20.0;
    /// Host pipe codes of a multi-projector sender that gives up.
    static constexpr int kHostErrorConnectFailed = -41;
    static constexpr int kHostErrorNetworkDisconnected = -42;

    /// The handler holds `context` weakly: once the meeting is gone, every call does nothing.
    static std::shared_ptr<KLMediaEventHandler>
    create(std::weak_ptr<KLMediaEventContext> context, KLMediaEventHandlerOptions options = {});

    KLMediaEventHandler(const KLMediaEventHandler &) = delete;
    KLMediaEventHandler &operator=(const KLMediaEventHandler &) = delete;

    // ---- Engine and signal channel callbacks (any thread) --------------------------

    /// One connection event (KLRTCMediaConnectionEvent); codes without a meaning are ignored.
    void handleConnectionEvent(int event, const KLRTCMediaEventInfo &info);
    /// A local stream's progress: state 0 publishes it (after making it the own feed's stream
    /// or a share feed's); other states are ignored.
    void handleStreamState(const std::shared_ptr<KLRTCMediaStream> &stream, int state,
                           const QJsonObject &info);
    /// Howling (2) and ring-tone (3) messages: recorded, and at most one tip per
    /// kHowlingTipSeconds. Handled on a high-priority pool thread; returns at once.
    void incomingCommonWebRtcMsg(qint32 type);
    /// A non-empty engine log line becomes a "webrtcLog" record.
    void didGetRTCLog(const QString &log);
    /// Recorded in ordinary meetings only.
    void didGetMediaError(qint32 error, qint32 reason);
    /// The conference signal channel opened or closed.
    void signalChannelOpenState(bool open);
    /// A fatal conference signal channel error: 0 token invalid, 1 server unreachable. Shows
    /// a dialog whose button ends the meeting.
    void signalChannelError(int type);

    // ---- Operations ----------------------------------------------------------------

    /// The media connection is established: unmutes the speaker and creates what the meeting
    /// publishes (the camera/microphone stream, a placeholder or a screen share).
    void handleConnected();
    /// The media path is up: marks the entry successful, reports it and starts the reporters.
    void handleWebrtcUp();
    /// Acts on the two channels' state: both up resumes, both down reports the network lost.
    void checkForNetworkStatus();

    /// When the last howling / ring-tone tip was raised; empty before the first.
    std::optional<QDateTime> showHowlingTime() const;

private:
    using Context = KLMediaEventContext;
    using FeedPtr = std::shared_ptr<KLFeedClient>;
    using StreamPtr = std::shared_ptr<KLRTCMediaStream>;

    KLMediaEventHandler(std::weak_ptr<KLMediaEventContext> context,
                        KLMediaEventHandlerOptions options);

    // Collaborators (KLMediaEventHandler.cpp).
    std::shared_ptr<Context> context() const;
    QDateTime now() const;
    KLMessageMode &hostMessages() const;
    KLToastManager &toasts() const;
    static void commitRecord(int level, int group, const QJsonObject &record);
    static QJsonObject recordWithInfo(const QString &value, const QJsonObject &info);
    static void post(const Context &ctx, const QString &name, const QVariantMap &userInfo = {});
    static bool isMultiProjectorSender(const Context &ctx);
    static QString appointmentIdText(const Context &ctx);
    /// The meeting has been entered: now, or earlier with the media path being won back since
    /// (an ICE failure after entry clears `enterRoomSuccess` until the path is up again).
    bool hasEntered(const Context &ctx) const;
    void reportToHostAndCloseApp(Context &ctx, int code);

    // Entering (KLMediaEventHandler.cpp).
    void handleConnected(Context &ctx);
    void publishMultiProjectorStream(Context &ctx);
    void createCameraAndMicrophoneStream(Context &ctx);
    bool beautyEnabled(const Context &ctx) const;
    void handleWebrtcUp(Context &ctx);
    void reportEnterRoom(Context &ctx, double elapsedSeconds);
    void announceMultiProjectorUp(Context &ctx);

    // Local and remote streams (KLMediaEventStreams.cpp).
    void handleStreamReady(Context &ctx, const StreamPtr &stream);
    void attachLocalShareStream(Context &ctx, const StreamPtr &stream);
    void attachOwnMainStream(Context &ctx, const StreamPtr &stream);
    void streamAdded(Context &ctx, const StreamPtr &stream);
    void streamSubscribed(Context &ctx, const StreamPtr &stream);
    FeedPtr createRemoteFeed(Context &ctx, const StreamPtr &stream);
    void prepareRemoteShareFeed(Context &ctx, const FeedPtr &feed, const StreamPtr &stream);
    void remoteShareArrived(Context &ctx, const FeedPtr &feed);
    void queryProjectorStatus();
    void streamGone(Context &ctx, const StreamPtr &stream, bool unsubscribed);
    void serverVideoChanged(Context &ctx, const QString &streamId, bool sending);
    void networkGrade(Context &ctx, const QJsonObject &info);
    void weakNetwork(Context &ctx, const QJsonObject &info);
    void dataChannelMessage(Context &ctx, const QJsonObject &message);

    // Failures (KLMediaEventFailures.cpp).
    void mediaSignalError(Context &ctx, const QJsonObject &info);
    void iceFailed(Context &ctx, const QJsonObject &info);
    void hangupCause(Context &ctx, const QJsonObject &info);
    void signalRegisterFailed(Context &ctx);
    void signalReconnectFailed(Context &ctx, const QJsonObject &info);
    void mediaSignalingError(Context &ctx, const QJsonObject &info);
    void mediaSignalingState(Context &ctx, const QJsonObject &info);
    void checkForNetworkStatus(Context &ctx);
    void networkLost(Context &ctx);

    // Engine messages and the signal channel (KLMediaEventMessages.cpp).
    void handleEngineMessage(qint32 type);
    bool claimHowlingTip();
    void iceGatheringStage(const KLRTCMediaEventInfo &info);
    void mediaSessionId(const QJsonObject &info);
    void signalChannelOpenState(Context &ctx, bool open);
    void signalChannelErrorConfirmed(int type, const QString &title);

    const std::weak_ptr<KLMediaEventContext> m_context;
    const KLMediaEventHandlerOptions m_options;

    /// Read and written on the message pool's threads.
    mutable std::mutex m_howlingMutex;
    std::optional<QDateTime> m_showHowlingTime;
    /// Set the first time the media path comes up; never cleared.
    std::atomic<bool> m_mediaPathWasUp{false};
};
