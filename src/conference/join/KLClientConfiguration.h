#pragma once

// The two server-side documents fetched at the start of every join: the client switch
// configuration (feature switches) and the client configuration (media tuning and meeting
// presentation options). KLClientConfiguration holds what they set; its readers are pure, and
// applyMediaDefaults() hands the media tuning to the engine as process-wide defaults. The
// conference service seeds one with its current fields, lets KL_fetchClientConfiguration fill
// it, and copies the result back before it goes on with the ICE stage.
//
// Reading rules: a key counts as present when it holds a value of its type; a value of any
// other type (text for a number, null, an object, ...) reads as if the key were absent.
// Booleans accept JSON booleans and numbers (non-zero is true); integers accept numbers and
// booleans, cut towards zero and clamped to the integer's range; texts accept only texts.

#include "gateway/KLSDKMeetingApiProtocol.h"

#include <QJsonValue>
#include <QString>
#include <QtGlobal>

#include <functional>
#include <memory>
#include <optional>

class KLRTCMediaSDK;

struct KLClientConfiguration {
    // Conference service fields, with the service's initial values.
    bool isShowRate = true;
    QString meetingRateUrl;
    /// Null keeps the service's built-in caption page.
    QString meetingSummaryRtShowUrl;
    /// The configured WebSocket heartbeat in seconds; informational only.
    std::optional<double> channelInternal;
    bool macUseH264HwDecoder = false;
    bool howlingSuppression = false;
    /// Computer models without the beauty filter, separated by ",".
    QString beautifierNotSupportedString;
    bool autoSwitchBlueToothDeviceForMac = true;
    qint32 howingDetectionCount = 24000;
    qint32 howingMsgCount = 10;
    qint32 howingSuppressionCount = 1500;
    qint32 macMicVolume = 153;
    bool shareScreenBweEnable = false;
    qint32 kMultiScreenPaceMultiplier = 0;
    bool disableAvSyncForMultiProjector = false;
    qint32 multiScreenFps = 0;
    bool prefersLateDecodingForMultiProjector = false;
    bool isShowMeetingSummaryModule = false;

    // Engine defaults that are given only when the document says so.
    /// Set only together with shareScreenBweEnable.
    std::optional<qint32> screenShareBottomKbps;
    std::optional<bool> audioAec3;
    /// Set when the engine's own cloud log is to be started, with its byte limit.
    std::optional<qint64> rtcLogMaxBytes;
    std::optional<float> opusPacketLostUp;
    std::optional<qint32> netEqMaxPackets;
    std::optional<bool> enableCloseVideo;
    /// True once a meeting's client configuration was read: only then does
    /// applyMediaDefaults() touch the engine (projector runs leave it alone).
    bool hasMediaTuning = false;

    /// The switch configuration's answer: "meeting_transcription" sets
    /// isShowMeetingSummaryModule; anything else leaves it. A payload that is not an object
    /// reads as an empty one.
    void applySwitchConfig(const QJsonValue &payload);
    /// A failed switch configuration fetch hides the summary module.
    void applySwitchConfigFailure() { isShowMeetingSummaryModule = false; }

    /// The client configuration's answer. Projector runs (`conferenceMode` not 0) read only
    /// the four projector keys; meetings read the presentation and media tuning keys, the
    /// rating keys only for internal users (`isInternal`: the meeting configuration's
    /// internal flag). Fields of absent keys keep their values, except the internal user's
    /// isShowRate, which an absent "showRate" clears.
    void applyClientConfig(const QJsonValue &payload, qint64 conferenceMode, bool isInternal);

    /// Hands the media tuning of a meeting to `engine` (the shared engine when null), in the
    /// document's order: hardware decoder, howling suppression, screen share bandwidth
    /// estimation and floor, AEC3, the engine's cloud log, Opus loss threshold, jitter buffer
    /// size, close-video switch, then always the howling counts and microphone volume.
    /// Nothing happens unless hasMediaTuning.
    void applyMediaDefaults(std::shared_ptr<KLRTCMediaSDK> engine = nullptr) const;

    /// Whether a failed client configuration fetch stops the join: only for external users
    /// and the code "91212" (the join then ends behind a dialog showing the message).
    static bool failureStopsJoin(bool isInternal, const QString &code);

    /// A fresh configuration with the defaults, as a static reader for one switch answer.
    static KLClientConfiguration fromSwitchConfig(const QJsonValue &payload);
};

/// Where the answers of a configuration fetch go. Every handler is optional; they run on the
/// thread on which the meeting API delivers its answer.
struct KLClientConfigFetchHandlers {
    /// Meetings only: the summary-module flag after the switch answer (false on failure).
    std::function<void(bool isShowMeetingSummaryModule)> switchConfig;
    /// The client configuration was read and its media defaults are in the engine.
    std::function<void(const KLClientConfiguration &configuration)> configured;
    /// The client configuration fetch failed; `stopsJoin` as failureStopsJoin().
    std::function<void(const QString &code, const QString &message, bool stopsJoin)> failed;
};

/// Runs the join's configuration requests on `api`, on the calling thread: in meetings
/// (`conferenceMode` 0) first the switch configuration, then, without waiting for it, the
/// client configuration. `current` holds the service's current fields; the client
/// configuration answer is read into a copy of it, its media defaults are handed to the shared
/// engine and `configured` gets it. The switch answer is reported on its own, as it may come
/// before or after the other.
void KL_fetchClientConfiguration(KLSDKMeetingApiProtocol &api, const KLMeetingConfigPtr &config,
                                 qint64 conferenceMode, bool isInternal,
                                 const KLClientConfiguration &current,
                                 KLClientConfigFetchHandlers handlers);
