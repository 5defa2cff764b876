#include "conference/join/KLClientConfiguration.h"

#include "media/KLRTCMediaSDK.h"
#include "runtime/KLDictionary.h"
#include "runtime/KLSDKLog.h"

#include <QJsonObject>
#include <QLocale>

#include <cmath>
#include <limits>

namespace {

const QString kTag = QStringLiteral("KLClientConfiguration");

bool isNumeric(const QJsonValue &value) { return value.isDouble() || value.isBool(); }

/// The key's value when it is present with a boolean or number.
std::optional<bool> boolAt(const QJsonObject &dict, const char *key)
{
    const QJsonValue value = dict.value(QLatin1String(key));
    if (value.isBool())
        return value.toBool();
    if (value.isDouble())
        return value.toDouble() != 0.0;
    return std::nullopt;
}

template <typename Int>
std::optional<Int> integerAt(const QJsonObject &dict, const char *key)
{
    const QJsonValue value = dict.value(QLatin1String(key));
    if (!isNumeric(value))
        return std::nullopt;
    if (value.isBool())
        return value.toBool() ? Int(1) : Int(0);
    const double number = std::trunc(value.toDouble());
    if (std::isnan(number))
        return Int(0);
    // Clamp before converting: an out-of-range double-to-integer conversion is undefined.
    if (number <= double(std::numeric_limits<Int>::min()))
        return std::numeric_limits<Int>::min();
    if (number >= double(std::numeric_limits<Int>::max()))
        return std::numeric_limits<Int>::max();
    return Int(number);
}

std::optional<float> floatAt(const QJsonObject &dict, const char *key)
{
    const QJsonValue value = dict.value(QLatin1String(key));
    if (value.isBool())
        return value.toBool() ? 1.0f : 0.0f;
    if (value.isDouble())
        return float(value.toDouble());
    return std::nullopt;
}

std::optional<QString> textAt(const QJsonObject &dict, const char *key)
{
    const QJsonValue value = dict.value(QLatin1String(key));
    if (value.isString())
        return value.toString();
    return std::nullopt;
}

template <typename T>
void assignIfPresent(T &field, const std::optional<T> &value)
{
    if (value)
        field = *value;
}

} // namespace

void KLClientConfiguration::applySwitchConfig(const QJsonValue &payload)
{
    assignIfPresent(isShowMeetingSummaryModule,
                    boolAt(payload.toObject(), "meeting_transcription"));
}

KLClientConfiguration KLClientConfiguration::fromSwitchConfig(const QJsonValue &payload)
{
    KLClientConfiguration configuration;
    configuration.applySwitchConfig(payload);
    return configuration;
}

void KLClientConfiguration::applyClientConfig(const QJsonValue &payload, qint64 conferenceMode,
                                              bool isInternal)
{
    const QJsonObject dict = payload.toObject();

    if (conferenceMode != 0) {
        assignIfPresent(kMultiScreenPaceMultiplier,
                        integerAt<qint32>(dict, "kMultiScreenPaceMultiplier"));
        assignIfPresent(disableAvSyncForMultiProjector, boolAt(dict, "disableAvSync"));
        assignIfPresent(multiScreenFps, integerAt<qint32>(dict, "multiScreenFps"));
        assignIfPresent(prefersLateDecodingForMultiProjector, boolAt(dict, "prefersLateDecoding"));
        return;
    }

    KL_LOG_INFO(kTag, QStringLiteral("clientConfig: %1").arg(KL_JSONString(dict)));
    hasMediaTuning = true;

    if (isInternal) {
        // Read without a presence check: an internal user sees the rating page only when the
        // configuration asks for it.
        isShowRate = boolAt(dict, "showRate").value_or(false);
        assignIfPresent(meetingRateUrl, textAt(dict, "rateUrl"));
        assignIfPresent(meetingSummaryRtShowUrl, textAt(dict, "summaryRtShowUrl"));
    }

    if (const auto heartbeat = textAt(dict, "websocketHeartBeatTime")) {
        bool ok = false;
        const double seconds = QLocale::c().toDouble(heartbeat->trimmed(), &ok);
        channelInternal = ok ? std::optional<double>(seconds) : std::nullopt;
    }

    assignIfPresent(macUseH264HwDecoder, boolAt(dict, "macUseH264HwDecoder"));
    assignIfPresent(howlingSuppression, boolAt(dict, "howlingSuppression"));
    assignIfPresent(beautifierNotSupportedString, textAt(dict, "beautifierNotSupported"));

    if (boolAt(dict, "enableScreenShareBwe").value_or(false)) {
        shareScreenBweEnable = true;
        screenShareBottomKbps = integerAt<qint32>(dict, "screenShareBottomKbps");
    }

    if (const auto aec3 = boolAt(dict, "audioAec3"))
        audioAec3 = aec3;

    if (boolAt(dict, "enableWebrtcQlsLog").value_or(false))
        rtcLogMaxBytes = integerAt<qint64>(dict, "webrtcQlsLogMaxBytes").value_or(0);

    if (boolAt(dict, "audioOpusPacketLostSwitch").value_or(false)) {
        if (const auto lossUp = floatAt(dict, "opusPacketLostUp"))
            opusPacketLostUp = lossUp;
    }

    if (const auto packets = integerAt<qint32>(dict, "ajbMaxPackets"))
        netEqMaxPackets = packets;
    assignIfPresent(autoSwitchBlueToothDeviceForMac,
                    boolAt(dict, "autoSwitchBlueToothDeviceForMac"));
    if (const auto closeVideo = boolAt(dict, "enableCloseVideo"))
        enableCloseVideo = closeVideo;
    assignIfPresent(howingDetectionCount, integerAt<qint32>(dict, "howlingDetectionCount"));
    assignIfPresent(howingMsgCount, integerAt<qint32>(dict, "howlingMsgCount"));
    assignIfPresent(howingSuppressionCount, integerAt<qint32>(dict, "howlingSuppressionCount"));
    assignIfPresent(macMicVolume, integerAt<qint32>(dict, "macMicVolume"));
}

void KLClientConfiguration::applyMediaDefaults(std::shared_ptr<KLRTCMediaSDK> engine) const
{
    if (!hasMediaTuning)
        return;
    if (!engine)
        engine = KLRTCMediaSDK::shared();
    const auto store = engine->settingStore();

    store->setDefaultsForVideoMacUseH264HwDecoder(macUseH264HwDecoder);
    store->setDefaultsForHowlingSuppression(howlingSuppression);
    if (shareScreenBweEnable) {
        store->setDefaultsForScreenShareBwe(true);
        if (screenShareBottomKbps)
            store->setDefaultsForScreenShareBottomKbps(*screenShareBottomKbps);
    }
    if (audioAec3)
        store->setDefaultsForAudioAec3(*audioAec3);
    if (rtcLogMaxBytes)
        engine->messageManager()->startRTCLogWithMaxBytes(*rtcLogMaxBytes);
    if (opusPacketLostUp)
        store->setDefaultsForOpusPacketLostUp(*opusPacketLostUp);
    if (netEqMaxPackets)
        store->setDefaultsForNetEqMaxPackets(*netEqMaxPackets);
    if (enableCloseVideo)
        store->setDefaultsForEnableCloseVideo(*enableCloseVideo);
    store->setDefaultsForHowingDetectionCount(howingDetectionCount);
    store->setDefaultsForHowingMsgCount(howingMsgCount);
    store->setDefaultsForHowingSuppressionCount(howingSuppressionCount);
    store->setDefaultsForMacMicVolume(macMicVolume);
}

bool KLClientConfiguration::failureStopsJoin(bool isInternal, const QString &code)
{
    return !isInternal && code == QLatin1String("91212");
}

void KL_fetchClientConfiguration(KLSDKMeetingApiProtocol &api, const KLMeetingConfigPtr &config,
                                 qint64 conferenceMode, bool isInternal,
                                 const KLClientConfiguration &current,
                                 KLClientConfigFetchHandlers handlers)
{
    if (conferenceMode == 0) {
        const bool initial = current.isShowMeetingSummaryModule;
        auto report = handlers.switchConfig;
        api.getClientSwitchConfigWithConfig(
            config,
            [initial, report](const QJsonValue &payload) {
                KLClientConfiguration answer;
                answer.isShowMeetingSummaryModule = initial;
                answer.applySwitchConfig(payload);
                if (report)
                    report(answer.isShowMeetingSummaryModule);
            },
            [report](const QString &, const QString &message) {
                KL_LOG_INFO(kTag, QStringLiteral("getClientSwitchConfig error: %1").arg(message));
                if (report)
                    report(false);
            });
    }

    api.getClientConfigWithConfig(
        config,
        [current, conferenceMode, isInternal,
         configured = handlers.configured](const QJsonValue &payload) {
            KLClientConfiguration configuration = current;
            configuration.applyClientConfig(payload, conferenceMode, isInternal);
            configuration.applyMediaDefaults();
            if (configured)
                configured(configuration);
        },
        [isInternal, failed = handlers.failed](const QString &code, const QString &message) {
            KL_LOG_INFO(kTag, QStringLiteral("getClientConfig error: %1 %2").arg(code, message));
            if (failed)
                failed(code, message, KLClientConfiguration::failureStopsJoin(isInternal, code));
        });
}
