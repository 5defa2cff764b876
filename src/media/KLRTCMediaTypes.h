#pragma once

// Values shared by every class of the media engine boundary: connection event codes, stream
// states, device and message type codes, the payload of a connection event, a device record
// and a video frame.

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <memory>
#include <optional>

class KLRTCMediaStream;

/// Event codes of KLRTCMediaConnectionDelegate::rtcConnection. The payload kind of each code is
/// given next to it (see KLRTCMediaEventInfo). Codes 1, 8, 10, 16, 17 and 24 or more carry no
/// meaning for the SDK: an engine may raise them and the SDK ignores them.
enum KLRTCMediaConnectionEvent : int {
    /// The connection to the media server is established. No payload.
    KLRTCMediaEventConnected = 0,
    /// The media path is up (ICE connected, media flowing). No payload.
    KLRTCMediaEventWebrtcUp = 2,
    /// ICE failed. A dictionary of details, or no payload.
    KLRTCMediaEventIceFailed = 3,
    /// An error on the media server's signalling. A dictionary of details, or no payload.
    KLRTCMediaEventSignalError = 4,
    /// A remote stream was announced. Payload: the stream.
    KLRTCMediaEventStreamAdded = 5,
    /// A remote stream went away. Payload: the stream.
    KLRTCMediaEventStreamRemoved = 6,
    /// A subscription completed: the stream now carries remote media. Payload: the stream.
    KLRTCMediaEventStreamSubscribed = 7,
    /// A subscription ended. Payload: the stream.
    KLRTCMediaEventStreamUnsubscribed = 9,
    /// The server starts sending this stream's video. Payload: the stream id.
    KLRTCMediaEventServerVideoOn = 11,
    /// The server stops sending this stream's video. Payload: the stream id.
    KLRTCMediaEventServerVideoOff = 12,
    /// Network grade of a stream. Dictionary: "stream" (id), "grade" (integer).
    KLRTCMediaEventNetworkGrade = 13,
    /// Weak network of a stream. Dictionary: "stream" (id), "weak" (bool), "status" (text,
    /// "DISCONNECTED" when the stream's link is gone).
    KLRTCMediaEventWeakNetwork = 14,
    /// A data-channel message from a peer (what the peer gave to sendData). Dictionary.
    KLRTCMediaEventDataChannelMessage = 15,
    /// The media server hung the connection up. Dictionary: "causeCode" (integer) and details.
    KLRTCMediaEventHangupCause = 18,
    /// The engine has released the connection: drop the reference without calling it again.
    /// No payload.
    KLRTCMediaEventConnectionReleased = 19,
    /// The media server refused a signalling request. Dictionary: "responseCode" (integer) and
    /// details.
    KLRTCMediaEventMediaSignalingError = 20,
    /// The engine's own signalling channel changed state. Dictionary: either "errCode" (an
    /// error), or "action" (e.g. "networkAction") with "isOpen" (bool), or other details.
    KLRTCMediaEventMediaSignalingState = 21,
    /// ICE gathering reached a stage. Payload: the stage as any JSON value, or no payload.
    KLRTCMediaEventIceGatheringStage = 22,
    /// The media session id to use in cloud log records. Dictionary: "mediaSessionId" (text).
    KLRTCMediaEventMediaSessionId = 23,
};

/// States of KLRTCMediaStreamDelegate::rtcStream. Only "ready" has a meaning for the SDK; an
/// engine may report other states, which are passed through and ignored.
enum KLRTCMediaStreamState : int {
    /// The stream was initialised (initStream) and can be published.
    KLRTCMediaStreamStateReady = 0,
};

/// Device type codes of KLRTCMediaDevice::deviceType.
enum KLRTCMediaDeviceType : int {
    KLRTCMediaDeviceTypeCamera = 1,
    KLRTCMediaDeviceTypeSpeaker = 2, ///< audio output
    KLRTCMediaDeviceTypeMic = 3,     ///< audio input
};

/// Transport codes of KLRTCMediaDevice::transportType that the SDK gives a meaning to; other
/// codes are the engine's own and are kept as they are.
enum KLRTCMediaTransportType : int {
    KLRTCMediaTransportBluetooth = 2, ///< preferred when Bluetooth devices win automatically
    KLRTCMediaTransportNotRestored = 7, ///< a persisted audio input of this kind is not reused
};

/// Configuration variables of KLRTCMediaConnection::setConfigIntVar.
enum KLRTCMediaConfigVar : int {
    KLRTCMediaConfigVarOnlineCount = 1, ///< number of participants online
    KLRTCMediaConfigVarCallStatus = 2,  ///< the own participant's call status
};

/// Message types of KLRTCCommonWebRtcMsgManagerDelegate::IncomingCommonWebRtcMsg that the SDK
/// acts on; other types are only recorded.
enum KLRTCMediaMessageType : qint32 {
    KLRTCMediaMessageHowling = 2,  ///< howling (acoustic feedback) detected
    KLRTCMediaMessageRingTone = 3, ///< a ring tone was heard on the microphone
};

/// The connection parameters the SDK always uses (KLRTCMediaSDK::createConnection).
inline constexpr int KLRTCMediaConnectionModeDefault = 1;
inline constexpr int KLRTCMediaConnectionTransportDefault = 0;

/// The payload of one connection event. Exactly one of the three members is set, or none:
/// `stream` for the stream events (5, 6, 7, 9), `streamId` for 11 and 12, `value` for the rest
/// (a JSON object for dictionaries; event 22 may carry any JSON value). An event without a
/// payload has all three empty (`value` undefined).
struct KLRTCMediaEventInfo {
    std::shared_ptr<KLRTCMediaStream> stream;
    std::optional<QString> streamId;
    QJsonValue value = QJsonValue(QJsonValue::Undefined);

    static KLRTCMediaEventInfo none() { return {}; }
    static KLRTCMediaEventInfo fromStream(std::shared_ptr<KLRTCMediaStream> stream);
    static KLRTCMediaEventInfo fromStreamId(const QString &streamId);
    static KLRTCMediaEventInfo fromDictionary(const QJsonObject &dictionary);
    static KLRTCMediaEventInfo fromValue(const QJsonValue &value);

    bool isNone() const { return !stream && !streamId && value.isUndefined(); }
    bool hasDictionary() const { return value.isObject(); }
    /// The dictionary payload; empty when the payload is not a dictionary.
    QJsonObject dictionary() const { return value.toObject(); }
};

/// One capture or playback device as the engine lists it.
struct KLRTCMediaDevice {
    QString deviceId;
    QString deviceName;
    int deviceType = 0;    ///< a KLRTCMediaDeviceType
    int transportType = 0; ///< the engine's transport code (KLRTCMediaTransportType and others)

    friend bool operator==(const KLRTCMediaDevice &, const KLRTCMediaDevice &) = default;
};

/// One decoded video frame handed to a render view. `pixels` holds `height` rows of
/// `bytesPerLine` bytes each; the buffer is implicitly shared, so passing frames is cheap.
struct KLRTCMediaVideoFrame {
    enum Format : int {
        FormatInvalid = 0,
        FormatRGB32,     ///< 32-bit 0xffRRGGBB words in native byte order
        FormatARGB32,    ///< 32-bit 0xAARRGGBB words in native byte order, not premultiplied
        FormatRGBA8888,  ///< bytes R, G, B, A
    };

    int width = 0;
    int height = 0;
    Format format = FormatInvalid;
    int bytesPerLine = 0;
    QByteArray pixels;
    qint64 timestampUs = 0; ///< capture time in microseconds of the engine's monotonic clock

    /// True when the frame has a format and enough bytes for its size.
    bool isValid() const;
};
