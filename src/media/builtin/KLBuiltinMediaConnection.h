#pragma once

// The built-in engine's media connection: a WebSocket, on a queue of its own, to the media
// server named by connectionParam["rtcWsRegInfo"]["signalingServer"], verified against the
// system's authorities plus connectionParam["caFile"]. It registers with
// rtcWsRegInfo["regInfo"], publishes the local streams, subscribes remote ones and turns what
// the server says into connection events. Once registered it wins a lost socket back by itself
// (KLBuiltinMediaReconnect.cpp). The wire protocol is in docs/media-server-protocol.md.

#include "media/KLMediaConnectionBase.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QMap>
#include <QUrl>

#include <atomic>
#include <memory>
#include <mutex>

class KLBuiltinMediaStream;
class KLBuiltinMessageManager;
class KLDispatchQueue;
class QWebSocket;

class KLBuiltinMediaConnection final
    : public KLMediaConnectionBase<KLBuiltinMediaConnection, KLBuiltinMediaStream> {
public:
    /// Failed attempts to win a lost registration back before the loss is reported as hang-up
    /// cause 10002; the attempts go on after it.
    static constexpr int kReconnectAttempts = 10;
    /// Back-off of those attempts: the first after this many seconds, doubling up to the cap.
    static constexpr double kReconnectFirstDelaySeconds = 0.25;
    static constexpr double kReconnectMaxDelaySeconds = 4.0;

    static std::shared_ptr<KLBuiltinMediaConnection>
    create(const QJsonObject &connectionParam, bool openDataChannel, bool useSimulcast,
           std::weak_ptr<KLRTCMediaConnectionDelegate> delegate,
           std::shared_ptr<KLDispatchQueue> engineQueue, std::shared_ptr<KLBuiltinMessageManager> messages);
    ~KLBuiltinMediaConnection() override;

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

    /// The own display name used for the registration and published streams: connectionParam
    /// "displayName", else bizInfo "display" (the business info's key), else bizInfo
    /// "displayName", else regInfo "displayName", else the member uuid.
    QString displayName() const { return m_displayName; }
    QString memberUuid() const;

    /// Handles `text` on the connection's queue as a frame of the current media server
    /// connection would be, and returns once it has been handled (the parsers' fuzzing harness
    /// feeds it what a server might send).
    void receiveFrameForTest(const QString &text);

private:
    KLBuiltinMediaConnection(const QJsonObject &connectionParam, bool openDataChannel, bool useSimulcast,
                             std::weak_ptr<KLRTCMediaConnectionDelegate> delegate,
                             std::shared_ptr<KLDispatchQueue> engineQueue,
                             std::shared_ptr<KLBuiltinMessageManager> messages);

    void openSocket(bool restart);
    void send(const QJsonObject &message);
    void sendRegister();
    void sendPublish(const std::shared_ptr<KLBuiltinMediaStream> &stream);
    void didOpen(quint64 generation);
    void didReceive(quint64 generation, const QString &text);
    void didDrop(quint64 generation, const QString &why);
    /// After losing a registered connection: the next attempt after a back-off; hang-up cause
    /// 10002 once kReconnectAttempts attempts have failed (KLBuiltinMediaReconnect.cpp).
    void scheduleReconnect();
    void reconnect(quint64 generation);
    /// A socket is being opened or registered right now.
    bool connecting() const;
    void handle(const QJsonObject &message);
    void handleStreamAdded(const QJsonObject &message);
    void handleEngineMessage(const QString &type, const QJsonObject &message);
    std::shared_ptr<KLBuiltinMediaStream> remote(const QString &streamId) const;
    QJsonObject statistics(const QString &media) const;

    // Fixed at creation.
    const QUrl m_url;
    const QString m_caFile;
    const QJsonObject m_regInfo;
    const QJsonObject m_bizInfo;
    const QString m_displayName;
    const bool m_openDataChannel;
    const bool m_useSimulcast;
    const bool m_multiScreen; // a cast: its screen alone is the media path
    const std::shared_ptr<KLDispatchQueue> m_engineQueue;
    const std::shared_ptr<KLBuiltinMessageManager> m_messages;

    // The connection's queue only.
    QWebSocket *m_socket = nullptr;
    quint64 m_generation = 0;
    quint64 m_droppedGeneration = 0;
    bool m_registered = false;
    bool m_everConnected = false;
    bool m_channelOpen = false;
    bool m_webrtcUp = false;
    bool m_speakerMuted = false;
    bool m_reconnecting = false; ///< a lost registration is being won back
    int m_reconnectAttempts = 0; ///< attempts since the registration was lost
    QString m_mediaSessionId;
    // Removed by the server, kept until the unsubscription the SDK sends for them is answered.
    QMap<QString, std::shared_ptr<KLBuiltinMediaStream>> m_withdrawn;

    mutable std::mutex m_mutex; // guards the copies read from other threads
    QString m_audioInput, m_audioOutput, m_videoInput;
};
