#pragma once

// An in-process engine for tests. Every object it makes records the operations called on it
// (name and arguments, in call order, into one log per engine) and lets the test raise
// whatever the real engine would deliver: connection events with any payload, stream states,
// device plug and unplug, engine messages, RTC log lines, media errors, statistics answers
// and TURN detection results. Deliveries run synchronously on the test's calling thread and
// reach a delegate only while it is alive.
//
//     auto engine = KLFakeMediaSDK::installNew();          // KLRTCMediaSDK::shared() is it
//     ... code under test creates a connection ...
//     engine->lastConnection()->raiseEvent(KLRTCMediaEventConnected);
//     EXPECT_EQ(engine->callLog()->count("publishStream"), 1);
//     KLRTCMediaSDK::install(nullptr);                      // in TearDown

#include "media/KLRTCMediaSDK.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>
#include <mutex>
#include <optional>
#include <vector>

/// One recorded call. Arguments are kept as JSON, in the order of the member's parameters: a
/// stream as its id (null for no stream), a view as its render stream id, a completion handler
/// not at all.
struct KLFakeMediaCall {
    QString object; ///< "engine", "connection#1", "stream#2", "deviceManager", "settingStore",
                    ///< "messageManager", "turnDetect#1", …
    QString name;   ///< member name, e.g. "publishStream"
    QJsonArray args;
};

/// The ordered, thread-safe record of the calls made on one fake engine and its objects.
class KLFakeMediaCallLog {
public:
    void record(const QString &object, const QString &name, const QJsonArray &args = {});

    std::vector<KLFakeMediaCall> calls() const;
    /// Calls of `name` on any object, oldest first.
    std::vector<KLFakeMediaCall> calls(const QString &name) const;
    /// Calls on `object`, oldest first.
    std::vector<KLFakeMediaCall> callsOn(const QString &object) const;
    int count(const QString &name) const;
    std::optional<KLFakeMediaCall> last(const QString &name) const;
    /// The member names of the calls on `object` (every object when empty), oldest first.
    QStringList names(const QString &object = QString()) const;
    void clear();

private:
    mutable std::mutex m_mutex;
    std::vector<KLFakeMediaCall> m_calls;
};

/// Base of the fakes: a label and the shared log.
class KLFakeMediaObject {
public:
    KLFakeMediaObject(std::shared_ptr<KLFakeMediaCallLog> log, QString label)
        : m_log(std::move(log)), m_label(std::move(label)) {}
    const QString &label() const { return m_label; }
    /// The calls made on this object, oldest first.
    std::vector<KLFakeMediaCall> calls() const { return m_log->callsOn(m_label); }
    QStringList callNames() const { return m_log->names(m_label); }

protected:
    void record(const QString &name, const QJsonArray &args = {}) const
    {
        m_log->record(m_label, name, args);
    }

private:
    std::shared_ptr<KLFakeMediaCallLog> m_log;
    QString m_label;
};

class KLFakeMediaStream final : public KLRTCMediaStream, public KLFakeMediaObject {
public:
    /// A stream as the engine makes it for `mediaDictionary`: "screen" and "fakeStream" set
    /// hasScreen and isFakeStream; "audio"/"video" give it an enabled track with the id
    /// "<label>-audio"/"<label>-video".
    KLFakeMediaStream(std::shared_ptr<KLFakeMediaCallLog> log, const QString &label,
                      const QJsonObject &mediaDictionary,
                      std::weak_ptr<KLRTCMediaStreamDelegate> delegate);

    QJsonObject mediaDictionary() const { return m_mediaDictionary; }

    // Shaping the stream (not recorded).
    void setID(const QString &id);
    void setDisplay(const QString &display);
    void setHasScreen(bool hasScreen);
    void setFakeStream(bool fake);
    /// Sets a track id ("audio" or "video"); an empty id removes the track.
    void setTrackId(const QString &kind, const QString &trackId);
    void setEnabled(const QString &kind, bool enabled);

    /// Reports `state` to the delegate; false when the delegate is gone.
    bool raiseState(int state, const QJsonObject &info = {});
    /// Hands `frame` to every live view the stream plays into; returns how many got it.
    int deliverFrame(const KLRTCMediaVideoFrame &frame);
    /// The live views the stream plays into (playWithView and preVideoWithView).
    std::vector<std::shared_ptr<KLRTCMediaVideoRenderView>> views() const;
    bool isClosed() const;

    // KLRTCMediaStream. Queries are not recorded.
    void initStream() override;
    QString getID() const override;
    QString display() const override;
    bool hasScreen() const override;
    bool isFakeStream() const override;
    bool isEnable(const QString &kind) const override;
    QString audioTrackId() const override;
    QString videoTrackId() const override;
    void muteAudio(bool muted) override;
    void muteVideo(bool muted) override;
    void setBeautyFlag(bool enabled) override;
    void playWithView(const std::shared_ptr<KLRTCMediaVideoRenderView> &view) override;
    void preVideoWithView(const std::shared_ptr<KLRTCMediaVideoRenderView> &view) override;
    void stopPlay() override;
    void stopPlayWithView(const std::shared_ptr<KLRTCMediaVideoRenderView> &view) override;
    void close() override;

private:
    void addView(const std::shared_ptr<KLRTCMediaVideoRenderView> &view);

    const QJsonObject m_mediaDictionary;
    const std::weak_ptr<KLRTCMediaStreamDelegate> m_delegate;
    mutable std::mutex m_mutex;
    QString m_id, m_display, m_audioTrackId, m_videoTrackId;
    bool m_hasScreen = false, m_fakeStream = false;
    bool m_audioEnabled = false, m_videoEnabled = false, m_closed = false;
    std::vector<std::weak_ptr<KLRTCMediaVideoRenderView>> m_views;
};

class KLFakeMediaConnection final : public KLRTCMediaConnection, public KLFakeMediaObject {
public:
    KLFakeMediaConnection(std::shared_ptr<KLFakeMediaCallLog> log, const QString &label,
                          const QJsonObject &connectionParam, int mode, int transport,
                          bool openDataChannel, bool useSimulcast,
                          std::weak_ptr<KLRTCMediaConnectionDelegate> delegate);

    // What the connection was created with.
    QJsonObject connectionParam() const { return m_param; }
    int mode() const { return m_mode; }
    int transport() const { return m_transport; }
    bool openDataChannel() const { return m_openDataChannel; }
    bool useSimulcast() const { return m_useSimulcast; }

    /// Delivers one event to the delegate; false when the delegate is gone.
    bool raiseEvent(int event, const KLRTCMediaEventInfo &eventInfo = {});
    bool hasDelegate() const { return !m_delegate.expired(); }

    /// The answer of getSpeakerDeviceStatus (initially empty).
    void setSpeakerDeviceStatus(const QJsonObject &status);
    /// From now on getStatusForMedia completes at once with `status`.
    void setStatusForMedia(const QJsonObject &status);
    /// From now on getStatusForMedia keeps its completion until completeStatusForMedia.
    void clearStatusForMedia();
    /// Completes every waiting getStatusForMedia with `status`; returns how many there were.
    int completeStatusForMedia(const QJsonObject &status);

    // KLRTCMediaConnection
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
    void videoStreamActionWithMain(bool main, bool small, bool hasScreen,
                                   const QJsonValue &screen) override;
    void setConfigIntVar(int variable, int value) override;
    QJsonObject getSpeakerDeviceStatus() override;
    void getStatusForMedia(const QString &media, KLRTCMediaStatusHandler completionHandler) override;

private:
    const QJsonObject m_param;
    const int m_mode, m_transport;
    const bool m_openDataChannel, m_useSimulcast;
    const std::weak_ptr<KLRTCMediaConnectionDelegate> m_delegate;
    mutable std::mutex m_mutex;
    QJsonObject m_speakerDeviceStatus;
    std::optional<QJsonObject> m_statusForMedia;
    std::vector<KLRTCMediaStatusHandler> m_pendingStatus;
};

class KLFakeMediaDeviceManager final : public KLRTCMediaDeviceManager, public KLFakeMediaObject {
public:
    explicit KLFakeMediaDeviceManager(std::shared_ptr<KLFakeMediaCallLog> log);

    /// Replaces the device list without notices.
    void setDevices(const QList<KLRTCMediaDevice> &devices);
    /// Adds `device` (replacing one with the same id and type) and notifies the delegate;
    /// false when the delegate is gone (the device is added all the same).
    bool plugDevice(const KLRTCMediaDevice &device);
    /// Removes the device and notifies the delegate; false when there is no such device or
    /// the delegate is gone.
    bool unplugDevice(const QString &deviceId, int type);

    // KLRTCMediaDeviceManager. Look-ups are not recorded.
    void initWithDelegate(std::weak_ptr<KLRTCMediaDeviceManagerDelegate> delegate) override;
    QList<KLRTCMediaDevice> getDeviceByType(int type) override;
    std::optional<KLRTCMediaDevice> getDeviceById(const QString &deviceId, int type) override;
    std::optional<KLRTCMediaDevice> getDeviceByTypeTransport(int type, int transport) override;
    QList<KLRTCMediaDevice> deviceArray() override;
    void updateAllDeviceName() override;
    void startPlayingFile(const QString &path) override;

private:
    mutable std::mutex m_mutex;
    QList<KLRTCMediaDevice> m_devices;
    std::weak_ptr<KLRTCMediaDeviceManagerDelegate> m_delegate;
};

/// Records every call; getComputerModel answers what setComputerModel gave.
class KLFakeMediaSettingStore final : public KLRTCMediaSettingStore, public KLFakeMediaObject {
public:
    explicit KLFakeMediaSettingStore(std::shared_ptr<KLFakeMediaCallLog> log)
        : KLFakeMediaObject(std::move(log), QStringLiteral("settingStore")) {}

    void setComputerModel(const QString &model);

    QString getComputerModel() override;
    void webrtcFileStop() override;
    void setDefaultsForBitrateAllocatorIgnoreBWE(bool ignore) override;
    void setDefaultsForVideoMacUseH264HwDecoder(bool enabled) override;
    void setDefaultsForHowlingSuppression(bool enabled) override;
    void setDefaultsForScreenShareBwe(bool enabled) override;
    void setDefaultsForScreenShareBottomKbps(int kbps) override;
    void setDefaultsForAudioAec3(bool enabled) override;
    void setDefaultsForEnableCloseVideo(bool enabled) override;
    void setDefaultsForNetEqMaxPackets(int packets) override;
    void setDefaultsForOpusPacketLostUp(float value) override;
    void setDefaultsForHowingDetectionCount(int count) override;
    void setDefaultsForHowingMsgCount(int count) override;
    void setDefaultsForHowingSuppressionCount(int count) override;
    void setDefaultsForMacMicVolume(int volume) override;

private:
    mutable std::mutex m_mutex;
    QString m_computerModel;
};

class KLFakeCommonWebRtcMsgManager final : public KLRTCCommonWebRtcMsgManager,
                                           public KLFakeMediaObject {
public:
    explicit KLFakeCommonWebRtcMsgManager(std::shared_ptr<KLFakeMediaCallLog> log)
        : KLFakeMediaObject(std::move(log), QStringLiteral("messageManager")) {}

    // Each returns false when no live delegate received it.
    bool raiseIncomingCommonWebRtcMsg(qint32 type);
    bool raiseRTCLog(const QString &log);
    bool raiseMediaError(qint32 code, qint32 reason);

    void initWithDelegate(std::weak_ptr<KLRTCCommonWebRtcMsgManagerDelegate> delegate) override;
    void startRTCLogWithMaxBytes(qint64 maxBytes) override;
    void stopRTCLog() override;

private:
    std::shared_ptr<KLRTCCommonWebRtcMsgManagerDelegate> delegate() const;

    mutable std::mutex m_mutex;
    std::weak_ptr<KLRTCCommonWebRtcMsgManagerDelegate> m_delegate;
};

class KLFakeMediaLocalTurnDetect final : public KLRTCMediaLocalTurnDetect,
                                         public KLFakeMediaObject {
public:
    using KLFakeMediaObject::KLFakeMediaObject;

    /// The servers of the last detection request (empty before one).
    QJsonArray iceServers() const;
    /// True while a detection waits for complete().
    bool isPending() const;
    /// Completes the waiting detection; false when none waits (each completes only once).
    bool complete(const QJsonArray &ips, const QJsonArray &iceRtts, const QString &localIp);

    void detectLocalTurnServerWithIceServices(const QJsonArray &iceServers,
                                              KLRTCMediaTurnDetectHandler completionHandler) override;

private:
    mutable std::mutex m_mutex;
    QJsonArray m_iceServers;
    KLRTCMediaTurnDetectHandler m_pending;
};

class KLFakeMediaSDK final : public KLRTCMediaSDK {
public:
    KLFakeMediaSDK();

    /// A new fake engine, installed as KLRTCMediaSDK::shared().
    static std::shared_ptr<KLFakeMediaSDK> installNew();

    std::shared_ptr<KLFakeMediaCallLog> callLog() const { return m_log; }

    /// Everything made so far, oldest first; the last ones are null before any was made.
    std::vector<std::shared_ptr<KLFakeMediaConnection>> connections() const;
    std::shared_ptr<KLFakeMediaConnection> lastConnection() const;
    std::vector<std::shared_ptr<KLFakeMediaStream>> streams() const;
    std::shared_ptr<KLFakeMediaStream> lastStream() const;
    std::shared_ptr<KLFakeMediaLocalTurnDetect> lastTurnDetect() const;

    std::shared_ptr<KLFakeMediaDeviceManager> fakeDeviceManager() const { return m_devices; }
    std::shared_ptr<KLFakeMediaSettingStore> fakeSettingStore() const { return m_settings; }
    std::shared_ptr<KLFakeCommonWebRtcMsgManager> fakeMessageManager() const { return m_messages; }

    /// A remote participant's stream to hand over in a connection event: id and display set,
    /// audio and video tracks "<id>-audio"/"<id>-video", hasScreen for "screen-…" and
    /// "content". It has no delegate and is not listed in streams().
    std::shared_ptr<KLFakeMediaStream> makeRemoteStream(const QString &id,
                                                        const QString &display = QString());

    // KLRTCMediaSDK
    std::shared_ptr<KLRTCMediaConnection>
    createConnection(const QJsonObject &connectionParam, int mode, int transport,
                     bool openDataChannel, bool useSimulcast,
                     std::weak_ptr<KLRTCMediaConnectionDelegate> delegate) override;
    std::shared_ptr<KLRTCMediaStream>
    createStream(const QJsonObject &mediaDictionary,
                 std::weak_ptr<KLRTCMediaStreamDelegate> delegate) override;
    std::shared_ptr<KLRTCMediaLocalTurnDetect> createLocalTurnDetect() override;
    std::shared_ptr<KLRTCMediaDeviceManager> deviceManager() override { return m_devices; }
    std::shared_ptr<KLRTCMediaSettingStore> settingStore() override { return m_settings; }
    std::shared_ptr<KLRTCCommonWebRtcMsgManager> messageManager() override { return m_messages; }

private:
    const std::shared_ptr<KLFakeMediaCallLog> m_log;
    const std::shared_ptr<KLFakeMediaDeviceManager> m_devices;
    const std::shared_ptr<KLFakeMediaSettingStore> m_settings;
    const std::shared_ptr<KLFakeCommonWebRtcMsgManager> m_messages;
    mutable std::mutex m_mutex;
    int m_nextId = 1;
    std::vector<std::shared_ptr<KLFakeMediaConnection>> m_connections;
    std::vector<std::shared_ptr<KLFakeMediaStream>> m_streams;
    std::shared_ptr<KLFakeMediaLocalTurnDetect> m_lastTurnDetect;
};
