#pragma once

#include "media/KLRTCMediaTypes.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <functional>
#include <memory>

class KLRTCMediaConnection;
class KLRTCMediaStream;

/// Receives the events of a media connection.
class KLRTCMediaConnectionDelegate {
public:
    virtual ~KLRTCMediaConnectionDelegate() = default;

    /// `event` is a KLRTCMediaConnectionEvent (or a code the SDK ignores); `eventInfo` carries
    /// the stream, stream id or dictionary that the code names. Called on an engine thread,
    /// never while the caller of a connection operation waits for it.
    virtual void rtcConnection(const std::shared_ptr<KLRTCMediaConnection> &connection,
                               int event, const KLRTCMediaEventInfo &eventInfo) = 0;
};

/// Completion of KLRTCMediaConnection::getStatusForMedia: one statistics sample, a dictionary
/// with "videoBwe" (dictionary), "audio" and "video" (lists of per-stream dictionaries, each
/// with at least "ssrc" and "trackId"; audio entries carry "sendAudio" and, when sending,
/// "iLevel" and "pktsSent"; video entries carry "sendVideo" and "sendScreen").
using KLRTCMediaStatusHandler = std::function<void(const QJsonObject &status)>;

/// The meeting's media connection: one per meeting, created by KLRTCMediaSDK::createConnection.
/// Operations return at once; their outcomes arrive as delegate events. Connections are always
/// owned by std::shared_ptr.
///
/// Threads: every member may be called from any thread. Events, stream states and completions
/// arrive on engine threads.
class KLRTCMediaConnection : public std::enable_shared_from_this<KLRTCMediaConnection> {
public:
    virtual ~KLRTCMediaConnection() = default;

    /// Asks the engine to write an echo-cancellation dump (a diagnostic aid).
    virtual void setAecDumpFlagForTest(bool enabled) = 0;
    /// Starts connecting: event 0 when connected, then 2 when the media path is up.
    virtual void connect() = 0;
    virtual void disconnect() = 0;
    /// Restarts ICE on the existing connection.
    virtual void connectIceRestart() = 0;

    virtual void publishStream(const std::shared_ptr<KLRTCMediaStream> &stream) = 0;
    virtual void unPublishStream(const std::shared_ptr<KLRTCMediaStream> &stream) = 0;
    /// Subscribes a remote stream announced by event 5; event 7 follows.
    virtual void subscribe(const std::shared_ptr<KLRTCMediaStream> &stream) = 0;
    /// Ends a subscription; event 9 follows.
    virtual void unsubscribe(const std::shared_ptr<KLRTCMediaStream> &stream) = 0;

    virtual void muteSpeaker(bool muted) = 0;
    /// Asks for the high-definition layer of the stream with this id (a participant uuid).
    virtual void enableHDVideo(const QString &streamId) = 0;
    /// Turns reception of a remote stream's video on or off.
    virtual void streamVideo(const std::shared_ptr<KLRTCMediaStream> &stream, bool enabled) = 0;
    virtual void changeAudioInputDevice(const QString &deviceId) = 0;
    virtual void changeAudioOutputDevice(const QString &deviceId) = 0;
    virtual void changeVideoInputDevice(const QString &deviceId, int width, int height) = 0;

    /// Sends a dictionary over the data channel; peers receive it as event 15.
    virtual void sendData(const QJsonObject &data) = 0;
    /// Which of its layers the own publisher sends, as a peer asked over the data channel:
    /// `main` and `small` layers of the camera, whether a screen share is running, and the
    /// request's "screen" entry passed on unchanged.
    virtual void videoStreamActionWithMain(bool main, bool small, bool hasScreen,
                                           const QJsonValue &screen) = 0;
    /// Sets a configuration variable (KLRTCMediaConfigVar).
    virtual void setConfigIntVar(int variable, int value) = 0;

    /// The engine's view of the audio devices in use, merged into the "enterRoom" record; an
    /// empty dictionary when it has none.
    virtual QJsonObject getSpeakerDeviceStatus() = 0;
    /// Asks for one statistics sample of the streams of kind `media` (a null text for all);
    /// `completionHandler` runs once, on an engine thread.
    virtual void getStatusForMedia(const QString &media,
                                   KLRTCMediaStatusHandler completionHandler) = 0;
};
