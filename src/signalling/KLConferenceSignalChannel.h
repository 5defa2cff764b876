#pragma once

// The meeting service's signalling protocol over the WebSocket transport: register,
// keep-alive, the member list after every re-register, replies matched to requests by id, and
// every push handed to the conference service as a KLSignalingMessage.
//
// Requests expire: a request whose reply has not come within its `timeout` is failed with
// KLSDKApiChannelErrorTimeout, and requests still waiting when signalling stops are failed the
// same way, so no caller waits forever.
//
// The internal meeting kind registers with a bare message that gets no matched reply; the
// channel counts as registered once that message has been sent on an open transport, so the
// internal keep-alive and the member list after a re-register run for that kind too.

#include "signalling/KLConferenceChannelWebSocket.h"
#include "signalling/KLSDKApiChannelRequest.h"
#include "signalling/KLSignalingMessage.h"

#include <KelvoUISDK/KLSDKDispatch.h>

#include <QHash>

#include <atomic>
#include <memory>
#include <mutex>

class KLSDKMeetingConfigInternal;
class KLTimer;

/// The conference service's side of the channel. Calls arrive on the transport's queue,
/// except the "not usable" report, which comes from a main-thread timer.
class KLConferenceSignalChannelDelegate {
public:
    virtual ~KLConferenceSignalChannelDelegate() = default;
    virtual void didGetConferenceSignalChannelOpenState(bool usable) = 0;
    /// 0: the meeting token was refused at register.
    virtual void didGetError(qint64 code) = 0;
    virtual void handleKelvoSignalingMessage(const KLSignalingMessage &message) = 0;
};

class KLConferenceSignalChannel final
    : public KLConferenceChannelDelegate,
      public std::enable_shared_from_this<KLConferenceSignalChannel> {
public:
    /// `heatBeat` below 2 seconds becomes 30. Nothing is connected yet. The transport trusts
    /// the configuration's extra CA file besides the system's authorities.
    static std::shared_ptr<KLConferenceSignalChannel>
    create(const QString &server, std::shared_ptr<KLSDKMeetingConfigInternal> meetingConfig,
           double heatBeat, std::weak_ptr<KLConferenceSignalChannelDelegate> delegate);
    ~KLConferenceSignalChannel() override;

    void startSignaling();
    /// Closes the transport for good, stops the keep-alive and fails waiting requests. A new
    /// connection needs a new channel.
    void stopSignaling();

    /// Fills in the default sender and receiver, stores the request for its reply when it
    /// expects one, and sends it whatever the connection state.
    void sendRequest(const std::shared_ptr<KLSDKApiChannelRequest> &request);
    /// The member-list request (needs the configuration's appointment id).
    void sendJoinRequest();

    /// Runs once, after the first successful register.
    void setRegisterBlock(KLBlock block);
    void setDelegate(std::weak_ptr<KLConferenceSignalChannelDelegate> delegate);
    double heatBeatVal() const { return m_heatBeatVal; }
    const QString &signalingServer() const { return m_signalingServer; }
    KLConferenceChannelWebSocket &signalingChannel() { return *m_signalingChannel; }
    /// Requests waiting for their reply.
    int pendingRequestCount() const;

    // KLConferenceChannelDelegate
    void didChangeState(qint64 state) override;
    void didReceiveAppMessage(const std::optional<QJsonObject> &message) override;
    /// Logs the frame's own text (no second serialisation of every push) and goes on as
    /// didReceiveAppMessage.
    void didReceiveAppFrame(const QString &text, const std::optional<QJsonObject> &message) override;

private:
    void handleReceived(const std::optional<QJsonObject> &message);
    KLConferenceSignalChannel(const QString &server,
                              std::shared_ptr<KLSDKMeetingConfigInternal> meetingConfig,
                              double heatBeat,
                              std::weak_ptr<KLConferenceSignalChannelDelegate> delegate);
    std::shared_ptr<KLConferenceSignalChannelDelegate> lockDelegate() const;
    void doRegister();
    void doRegisterInternal();
    void onRegistered();
    void runRegisterBlockOnce();
    void startHeartBeatMessage();
    void heartBeat();
    void keepAlive();
    void stopHeartBeat();
    void startChannelCheckTimer();
    void stopChannelCheckTimer();
    void checkChannelState();
    void expireLater(const std::shared_ptr<KLSDKApiChannelRequest> &request);
    std::shared_ptr<KLSDKApiChannelRequest> takeRequest(const QString &requestId);
    QJsonObject internalBody(int eventId) const;

    const QString m_signalingServer;
    const std::shared_ptr<KLSDKMeetingConfigInternal> m_meetingConfig;
    const double m_heatBeatVal;
    std::shared_ptr<KLConferenceChannelWebSocket> m_signalingChannel;
    std::atomic<bool> m_isFirstRegister{true};
    std::atomic<bool> m_shouldHeartBeat{false};
    std::atomic<bool> m_checkTimerRunning{false};
    std::unique_ptr<KLTimer> m_timerHeartBeat;
    std::unique_ptr<KLTimer> m_channelCheckTimer;
    mutable std::mutex m_mutex; // guards the fields below
    std::weak_ptr<KLConferenceSignalChannelDelegate> m_delegate;
    KLBlock m_registerBlock;
    QHash<QString, std::shared_ptr<KLSDKApiChannelRequest>> m_requestMapper;
};
