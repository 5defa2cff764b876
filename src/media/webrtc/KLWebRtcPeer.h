#pragma once

// One WebRTC peer connection on GStreamer's webrtcbin, in a pipeline of its own: either a
// publisher (camera or test pattern with the member's name, or a share's screen capture;
// microphone or a tone or silence; VP8 and Opus; a data channel) or a subscriber (whatever the media server offers, decoded:
// video to BGRA frames, audio measured by a `level` element and played on the chosen speaker or
// discarded). Microphones and speakers are opened through the engine's device monitor and can
// be switched while the peer runs, without a new negotiation.
//
// Callbacks arrive on GStreamer's threads; the owner moves work to its own queue. The peer
// never blocks on its owner.

#include "media/KLRTCMediaTypes.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

class KLScreenCaptureSource;
class KLWebRtcDeviceMonitor;

/// The microphone id that asks for a 440 Hz tone instead of a device (tests, simulated members).
inline constexpr char kKLWebRtcToneMicrophone[] = "test-tone";

struct KLWebRtcPeerConfig {
    bool publisher = false;
    /// The media server is on this machine: ICE gathers on 127.0.0.1 only and every remote
    /// candidate that is not a loopback address is dropped.
    bool loopbackOnly = false;
    /// The ICE list of the join: [{"urls": [...] or "url", "username", "credential"}].
    QJsonArray iceServers;
    bool relayOnly = false;     ///< only TURN relay candidates are used
    QString overlayText;        ///< drawn on the test pattern (the member's name)
    QString cameraDevice;       ///< a V4L2 device node; the test pattern when absent
    /// Where microphones and speakers are opened; without it silence is sent and received
    /// audio is discarded.
    std::shared_ptr<KLWebRtcDeviceMonitor> devices;
    /// The chosen microphone's id (kKLWebRtcToneMicrophone for a tone); the default one when
    /// empty or not listed, silence when there is none.
    QString micId;
    /// The chosen speaker's id for received audio; the default one when empty or not listed.
    QString speakerId;
    bool audio = true;
    bool video = true;
    bool screen = false;
    /// A share's running screen capture: its newest frame is sent at `fps`, scaled to the size
    /// of the first frame sent. Without one a share sends a moving pattern.
    std::shared_ptr<KLScreenCaptureSource> capture;
    bool dataChannel = false;
    int width = 320;
    int height = 180;
    int fps = 15;
};

struct KLWebRtcPeerCallbacks {
    /// The local offer or answer ("offer"/"answer", SDP text).
    std::function<void(const QString &type, const QString &sdp)> localDescription;
    /// A local ICE candidate; an empty candidate when gathering has completed.
    std::function<void(int mlineIndex, const QString &candidate)> localCandidate;
    /// A decoded (subscriber) or captured (publisher preview) frame.
    std::function<void(const KLRTCMediaVideoFrame &frame)> videoFrame;
    /// A text message on any data channel.
    std::function<void(const QString &text)> dataMessage;
    /// ICE connection state: "connected", "completed", "failed", "disconnected", "closed".
    std::function<void(const QString &state)> iceState;
    /// A pipeline error, as text.
    std::function<void(const QString &error)> error;
};

class KLWebRtcPeer : public std::enable_shared_from_this<KLWebRtcPeer> {
public:
    /// Loads GStreamer once; false (with the reason) when an element the engine needs is missing.
    static bool initialise(QString *error);
    /// True for 127.0.0.0/8, ::1 and "localhost".
    static bool isLoopbackHost(const QString &host);
    /// Drops the a=candidate lines of `sdp` whose address is not a loopback address.
    static QString loopbackCandidatesOnly(const QString &sdp);

    static std::shared_ptr<KLWebRtcPeer> create(const KLWebRtcPeerConfig &config, KLWebRtcPeerCallbacks callbacks);
    ~KLWebRtcPeer();
    KLWebRtcPeer(const KLWebRtcPeer &) = delete;
    KLWebRtcPeer &operator=(const KLWebRtcPeer &) = delete;

    /// Adds the signalling callbacks of the connection that negotiates this peer (the empty
    /// ones are left as they are).
    void setSignalling(const KLWebRtcPeerCallbacks &callbacks);
    /// Builds the pipeline and sets it playing; false with a logged reason when it cannot.
    bool start();
    /// Applies the ICE servers and loopback restriction (before the first description).
    void configureIce(const KLWebRtcPeerConfig &config);
    /// Opens the own data channel when there is none yet (before the offer that carries it).
    void openDataChannel();
    /// Publisher: makes an offer once every sending pad has caps (localDescription follows).
    void createOffer(bool iceRestart);
    /// Publisher: the server's answer. Subscriber: the server's offer; the answer follows.
    void setRemoteDescription(const QString &type, const QString &sdp);
    void addRemoteCandidate(int mlineIndex, const QString &candidate);
    /// The text drawn on the test pattern (the publisher's name).
    void setOverlayText(const QString &text);
    void setAudioMuted(bool muted);
    void setVideoMuted(bool muted);
    /// Subscriber: plays (or silences) the received audio.
    void setPlaybackMuted(bool muted);
    /// Publisher: sends from another microphone (as KLWebRtcPeerConfig::micId chooses) from now
    /// on; the stream and its negotiation stay as they are.
    void switchMicrophone(const QString &micId);
    /// Subscriber: plays the received audio on another speaker from now on (the old one is
    /// let go once the audio chain is between two buffers).
    void switchSpeaker(const QString &speakerId);
    /// The microphone or speaker in use (its device id; empty for a tone, silence or discarding).
    QString audioDeviceInUse() const;
    /// The microphone (publisher) or speaker (subscriber) chosen last.
    QString audioChoice() const;
    bool sendData(const QString &text);
    /// Starts one statistics request; stats() holds the answer once it came.
    void requestStats();
    /// The latest statistics: {"outbound": [...], "inbound": [...], "remoteInbound": [...]},
    /// each entry the fields webrtcbin reports for one RTP stream.
    QJsonObject stats() const;
    /// The latest audio level, 0…32767 (0 when muted, silent or without audio).
    int audioLevel() const { return m_level.load(); }
    int framesDelivered() const { return m_frames.load(); }
    quint32 audioSsrc() const { return m_audioSsrc; }
    quint32 videoSsrc() const { return m_videoSsrc; }
    const KLWebRtcPeerConfig &config() const { return m_config; }
    /// Stops the media (the pipeline goes to NULL); the peer then ignores further calls.
    void stop();
    bool stopped() const;

    // Called from GStreamer's C callbacks.
    void onNegotiationReady();
    void onOfferCreated(struct _GstPromise *promise);
    void onAnswerCreated(struct _GstPromise *promise);
    void onRemoteOfferSet();
    void onIceCandidate(unsigned mline, const char *candidate);
    void onGatheringState();
    void onIceConnectionState();
    void onPadAdded(struct _GstPad *pad);
    void onDataChannel(struct _GstWebRTCDataChannel *channel);
    void onDataString(const char *text);
    void onStats(const struct _GstStructure *reply);
    void onBusMessage(struct _GstMessage *message);
    void onSample(struct _GstAppSink *sink);
    void onCaps();
    void onSpeakerIdle();
    /// A pipeline error from the microphone or speaker in use (unplugged, taken away): the
    /// current choice is opened again off the streaming thread, which falls back to the default
    /// device, silence or discarding. False when the error came from elsewhere.
    bool recoverAudioDevice(struct _GstMessage *error);
    /// A share's frame tick: pushes the capture's newest frame into the pipeline.
    void onScreenTick();

private:
    KLWebRtcPeer(const KLWebRtcPeerConfig &config, KLWebRtcPeerCallbacks callbacks);
    bool buildPublisher();
    bool buildSubscriber();
    void watchChannel(struct _GstWebRTCDataChannel *channel);
    void addAppSink(struct _GstElement *convertFrom, struct _GstPad *from);
    struct _GstElement *makeMicrophone(const QString &micId, QString *deviceId);
    struct _GstElement *makeSpeaker(const QString &speakerId, QString *deviceId);
    /// Puts the (floating) microphone element in place of the current source.
    void placeMicrophone(struct _GstElement *source, const QString &deviceId);
    /// Publisher: puts the chosen microphone in front of `input` as the pipeline is made.
    void openMicrophone(struct _GstElement *input);
    /// Subscriber: ends the received audio's chain with the chosen speaker.
    void attachSpeaker(struct _GstElement *chain);
    /// The pipeline text that feeds a share's video from the capture (up to raw I420 video).
    QString screenSource() const;
    /// Finds the capture's elements in the made pipeline; starts and stops the frame tick.
    void wireScreen();
    void startScreen();
    void stopScreen();

    KLWebRtcPeerConfig m_config;
    KLWebRtcPeerCallbacks callbacks() const;
    KLWebRtcPeerCallbacks m_callbacks; // guarded by m_mutex
    const quint32 m_audioSsrc;
    const quint32 m_videoSsrc;
    struct _GstElement *m_pipeline = nullptr;
    struct _GstElement *m_webrtc = nullptr;
    struct _GstElement *m_audioVolume = nullptr;   // publisher mute, subscriber playback mute
    struct _GstElement *m_videoValve = nullptr;    // publisher camera off
    std::atomic<int> m_level{0};
    std::atomic<int> m_frames{0};
    std::atomic<int> m_capsSeen{0};
    int m_capsExpected = 0;

    // Microphone and speaker swaps (never held while calling back or into the bus handler).
    mutable std::mutex m_deviceMutex;
    QString m_micChoice, m_speakerChoice;        // what the owner chose
    QString m_deviceInUse;                       // what is open
    std::atomic<struct _GstElement *> m_audioSource{nullptr}; // publisher: microphone, tone or silence
    struct _GstElement *m_audioIn = nullptr;     // publisher: what the source feeds
    struct _GstElement *m_audioOut = nullptr;    // subscriber: what feeds the speaker
    std::atomic<struct _GstElement *> m_audioSink{nullptr};   // subscriber: the speaker or a discarding sink
    struct _GstElement *m_pendingSink = nullptr; // subscriber: the next speaker (one reference)
    QString m_pendingDevice;
    bool m_swapWaiting = false;                  // an idle probe will put the pending speaker in

    mutable std::mutex m_mutex;
    bool m_offerWanted = false;
    bool m_offerRestart = false;
    bool m_stopped = false;
    struct _GstWebRTCDataChannel *m_channel = nullptr; // ours (publisher, or the subscriber's own)
    QJsonObject m_stats;

    // A share from a screen capture (KLWebRtcPeerScreen.cpp). The tick runs on the system
    // clock's thread; these are touched there and by start/stop only.
    struct _GstElement *m_screenSrc = nullptr;   // appsrc the capture's frames go into
    struct _GstElement *m_screenSize = nullptr;  // capsfilter fixing the encoder's size
    void *m_screenTick = nullptr;                // GstClockID of the periodic frame tick
    std::mutex m_screenMutex;
    struct _GstCaps *m_screenCaps = nullptr;     // the caps last set on m_screenSrc
    bool m_screenSized = false;                  // the encoder's size is fixed
    int m_screenTicksWithoutFrame = 0;
};
