#pragma once

// The WebRTC engine's media connection: the meeting's room on a Janus media server, reached
// through its VideoRoom plugin over the WebSocket transport (subprotocol "janus-protocol"),
// TLS verified against the system's authorities plus connectionParam["caFile"]. One Janus
// session per connection; one plugin handle per published stream (the main one also joins the
// room and hears who publishes) and one per subscription. The mapping onto the engine's events
// is in docs/media-engine.md.

#include "media/KLMediaConnectionBase.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QMap>
#include <QUrl>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

class KLWebRtcDeviceMonitor;
class KLWebRtcMediaStream;
class KLWebRtcPeer;
class QWebSocket;

class KLWebRtcMediaConnection final
    : public KLMediaConnectionBase<KLWebRtcMediaConnection, KLWebRtcMediaStream> {
public:
    /// Statistics are sampled this often (seconds, scaled by KLTimeScale) for grades.
    static constexpr double kStatsIntervalSeconds = 2.0;
    static constexpr double kKeepaliveSeconds = 25.0;

    /// Subscriptions play on speakers of `devices` (none: received audio is discarded).
    static std::shared_ptr<KLWebRtcMediaConnection> create(const QJsonObject &connectionParam, bool openDataChannel,
                                                           std::weak_ptr<KLRTCMediaConnectionDelegate> delegate,
                                                           std::shared_ptr<KLWebRtcDeviceMonitor> devices = {});
    ~KLWebRtcMediaConnection() override;

    void setAecDumpFlagForTest(bool enabled) override;
    void connect() override;
    void disconnect() override;
    void connectIceRestart() override;
    void publishStream(const std::shared_ptr<KLRTCMediaStream> &stream) override;
    void unPublishStream(const std::shared_ptr<KLRTCMediaStream> &stream) override;
    void subscribe(const std::shared_ptr<KLRTCMediaStream> &stream) override;
    void unsubscribe(const std::shared_ptr<KLRTCMediaStream> &stream) override;
    void muteSpeaker(bool muted) override;
    void enableHDVideo(const QString &streamId) override;
    void streamVideo(const std::shared_ptr<KLRTCMediaStream> &stream, bool enabled) override;
    void changeAudioInputDevice(const QString &deviceId) override;
    void changeAudioOutputDevice(const QString &deviceId) override;
    void changeVideoInputDevice(const QString &deviceId, int width, int height) override;
    void sendData(const QJsonObject &data) override;
    void videoStreamActionWithMain(bool main, bool small, bool hasScreen, const QJsonValue &screen) override;
    void setConfigIntVar(int variable, int value) override;
    QJsonObject getSpeakerDeviceStatus() override;
    void getStatusForMedia(const QString &media, KLRTCMediaStatusHandler completionHandler) override;

    /// The network grade of a sample: 4 good … 1 bad, from packet loss (fraction) and round-trip
    /// time (seconds); the thresholds are in docs/media-engine.md.
    static int gradeFor(double loss, double rttSeconds);

private:
    struct Handle {
        qint64 id = 0;
        QString feed;     ///< the published or subscribed stream id
        bool publisher = false;
        bool joined = false;
        std::shared_ptr<KLWebRtcMediaStream> stream;
        std::shared_ptr<KLWebRtcPeer> peer;
        int grade = 0;
        qint64 lostBefore = 0, receivedBefore = 0;
        /// A subscription's last decoded frame size, width << 32 | height (written on the
        /// decoder's thread, read for the statistics).
        std::shared_ptr<std::atomic<quint64>> frameSize = std::make_shared<std::atomic<quint64>>(0);
    };
    using Reply = std::function<void(KLWebRtcMediaConnection &, const QJsonObject &)>;

    KLWebRtcMediaConnection(const QJsonObject &connectionParam, bool openDataChannel,
                            std::weak_ptr<KLRTCMediaConnectionDelegate> delegate,
                            std::shared_ptr<KLWebRtcDeviceMonitor> devices);

    void openSocket();
    void didOpen(quint64 generation);
    void didReceive(quint64 generation, const QString &text);
    void didDrop(quint64 generation, const QString &why);
    void request(QJsonObject message, Reply reply = {});
    void sendToHandle(qint64 handle, const QJsonObject &body, const QJsonObject &jsep = {}, Reply reply = {});
    void joinRoom(qint64 handle);
    void attach(std::function<void(KLWebRtcMediaConnection &, qint64 handle)> then);
    void handle(const QJsonObject &message);
    void handlePluginEvent(qint64 sender, const QJsonObject &data, const QJsonObject &jsep);
    void handlePublishers(const QJsonArray &publishers);
    void removeRemote(const QString &feed);
    void failRegistration(const QString &why, int code);

    void startPublishing(const std::shared_ptr<KLWebRtcMediaStream> &stream);
    void offerOn(qint64 handle);
    void startSubscription(const std::shared_ptr<KLWebRtcMediaStream> &stream);
    void wirePeer(qint64 handle, const std::shared_ptr<KLWebRtcPeer> &peer);
    void endHandle(qint64 handle);
    qint64 handleOfFeed(const QString &feed, bool publisher) const;
    void keepalive(quint64 generation);
    void sampleStatistics(quint64 generation);
    QJsonObject statistics(const QString &media) const;
    /// The speaker subscriptions play on: the one changeAudioOutputDevice chose, else the
    /// published camera stream's "speakerId".
    QString speakerChoice() const;

    // Fixed at creation.
    const QUrl m_url;
    const QString m_caFile;
    const QString m_room;
    const QString m_token;
    const QString m_uuid;
    const QString m_displayName;
    const QJsonArray m_iceServers;
    const bool m_loopbackOnly;
    const bool m_relayOnly;
    const bool m_openDataChannel;
    const std::shared_ptr<KLWebRtcDeviceMonitor> m_devices;

    // The connection's queue only.
    QWebSocket *m_socket = nullptr;
    quint64 m_generation = 0;
    quint64 m_transaction = 0;
    qint64 m_session = 0;
    qint64 m_mainHandle = 0;
    bool m_joined = false;
    bool m_everJoined = false;
    bool m_webrtcUp = false;
    bool m_speakerMuted = false;
    int m_rejoinAttempts = 0;
    bool m_restartPending = false; ///< the old session is being destroyed before a new one
    QMap<QString, Reply> m_pending;                                   // by transaction
    QMap<qint64, Handle> m_handles;                                   // by Janus handle id

    mutable std::mutex m_mutex; // the device choices read from other threads
    QString m_audioInput, m_audioOutput, m_videoInput;
};
