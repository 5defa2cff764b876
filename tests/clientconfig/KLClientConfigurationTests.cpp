// Reading the join's two configuration documents, the engine defaults they produce and the
// order and conditions of the fetch.
#include "conference/join/KLClientConfiguration.h"
#include "media/fake/KLFakeMediaSDK.h"

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

namespace {

QJsonObject fullMeetingDocument()
{
    return QJsonObject{
        {"showRate", true},
        {"rateUrl", "https://rate.example/page"},
        {"summaryRtShowUrl", "https://captions.example/index.html"},
        {"websocketHeartBeatTime", "12.5"},
        {"macUseH264HwDecoder", true},
        {"howlingSuppression", true},
        {"beautifierNotSupported", "ModelA,ModelB"},
        {"enableScreenShareBwe", true},
        {"screenShareBottomKbps", 300},
        {"audioAec3", false},
        {"enableWebrtcQlsLog", true},
        {"webrtcQlsLogMaxBytes", 5000000000.0},
        {"audioOpusPacketLostSwitch", true},
        {"opusPacketLostUp", 0.25},
        {"ajbMaxPackets", 60},
        {"autoSwitchBlueToothDeviceForMac", false},
        {"enableCloseVideo", true},
        {"howlingDetectionCount", 30000},
        {"howlingMsgCount", 7},
        {"howlingSuppressionCount", 900},
        {"macMicVolume", 200},
        // projector keys are not read in meetings
        {"kMultiScreenPaceMultiplier", 3},
        {"multiScreenFps", 15},
    };
}

/// The engine calls as "name[args]", oldest first.
QStringList engineCalls(const KLFakeMediaSDK &engine)
{
    QStringList calls;
    for (const auto &call : engine.callLog()->calls())
        calls << call.name + QString::fromUtf8(QJsonDocument(call.args).toJson(QJsonDocument::Compact));
    return calls;
}

class ClientConfigurationTest : public ::testing::Test {
protected:
    void SetUp() override { engine = KLFakeMediaSDK::installNew(); }
    void TearDown() override { KLRTCMediaSDK::install(nullptr); }

    std::shared_ptr<KLFakeMediaSDK> engine;
};

TEST_F(ClientConfigurationTest, FullMeetingDocumentSetsEveryFieldAndEngineDefaultInOrder)
{
    KLClientConfiguration c;
    c.applyClientConfig(fullMeetingDocument(), 0, true);

    EXPECT_TRUE(c.isShowRate);
    EXPECT_EQ(c.meetingRateUrl, "https://rate.example/page");
    EXPECT_EQ(c.meetingSummaryRtShowUrl, "https://captions.example/index.html");
    EXPECT_EQ(c.channelInternal, 12.5);
    EXPECT_TRUE(c.macUseH264HwDecoder);
    EXPECT_TRUE(c.howlingSuppression);
    EXPECT_EQ(c.beautifierNotSupportedString, "ModelA,ModelB");
    EXPECT_FALSE(c.autoSwitchBlueToothDeviceForMac);
    EXPECT_EQ(c.howingDetectionCount, 30000);
    EXPECT_EQ(c.howingMsgCount, 7);
    EXPECT_EQ(c.howingSuppressionCount, 900);
    EXPECT_EQ(c.macMicVolume, 200);
    EXPECT_TRUE(c.shareScreenBweEnable);
    EXPECT_EQ(c.screenShareBottomKbps, 300);
    EXPECT_EQ(c.kMultiScreenPaceMultiplier, 0);
    EXPECT_EQ(c.multiScreenFps, 0);

    c.applyMediaDefaults();
    EXPECT_EQ(engineCalls(*engine),
              (QStringList{"setDefaultsForVideoMacUseH264HwDecoder[true]",
                           "setDefaultsForHowlingSuppression[true]",
                           "setDefaultsForScreenShareBwe[true]",
                           "setDefaultsForScreenShareBottomKbps[300]",
                           "setDefaultsForAudioAec3[false]",
                           "startRTCLogWithMaxBytes[5000000000]",
                           "setDefaultsForOpusPacketLostUp[0.25]",
                           "setDefaultsForNetEqMaxPackets[60]",
                           "setDefaultsForEnableCloseVideo[true]",
                           "setDefaultsForHowingDetectionCount[30000]",
                           "setDefaultsForHowingMsgCount[7]",
                           "setDefaultsForHowingSuppressionCount[900]",
                           "setDefaultsForMacMicVolume[200]"}));
}

TEST_F(ClientConfigurationTest, EmptyAndWrongTypedDocumentsGiveDefaults)
{
    const QStringList defaultCalls{"setDefaultsForVideoMacUseH264HwDecoder[false]",
                                   "setDefaultsForHowlingSuppression[false]",
                                   "setDefaultsForHowingDetectionCount[24000]",
                                   "setDefaultsForHowingMsgCount[10]",
                                   "setDefaultsForHowingSuppressionCount[1500]",
                                   "setDefaultsForMacMicVolume[153]"};
    const QJsonObject full = fullMeetingDocument();
    QJsonObject wrong;
    for (auto it = full.constBegin(); it != full.constEnd(); ++it)
        wrong.insert(it.key(), it.value().isString() ? QJsonValue(7) : QJsonValue("1"));
    wrong.insert("audioAec3", QJsonValue::Null);

    for (const QJsonValue &document : {QJsonValue(QJsonObject()), QJsonValue(wrong),
                                       QJsonValue(QJsonValue::Undefined), QJsonValue("text")}) {
        SCOPED_TRACE(QJsonDocument(QJsonObject{{"doc", document}}).toJson().toStdString());
        engine->callLog()->clear();
        KLClientConfiguration c;
        c.meetingSummaryRtShowUrl = "built-in";
        c.applyClientConfig(document, 0, true);

        EXPECT_FALSE(c.isShowRate); // an internal user without "showRate" gets no rating page
        EXPECT_TRUE(c.meetingRateUrl.isNull());
        EXPECT_EQ(c.meetingSummaryRtShowUrl, "built-in");
        EXPECT_FALSE(c.channelInternal.has_value());
        EXPECT_TRUE(c.beautifierNotSupportedString.isNull());
        EXPECT_TRUE(c.autoSwitchBlueToothDeviceForMac);
        EXPECT_FALSE(c.shareScreenBweEnable);
        EXPECT_FALSE(c.audioAec3 || c.rtcLogMaxBytes || c.opusPacketLostUp ||
                     c.netEqMaxPackets || c.enableCloseVideo || c.screenShareBottomKbps);
        c.applyMediaDefaults();
        EXPECT_EQ(engineCalls(*engine), defaultCalls);
    }
}

TEST_F(ClientConfigurationTest, ConditionalKeysAndConversions)
{
    KLClientConfiguration c;
    c.applyClientConfig(QJsonObject{{"enableScreenShareBwe", false},
                                    {"screenShareBottomKbps", 300},
                                    {"enableWebrtcQlsLog", 1},
                                    {"audioOpusPacketLostSwitch", true},
                                    {"ajbMaxPackets", 1e12},
                                    {"howlingMsgCount", 12.9},
                                    {"websocketHeartBeatTime", "abc"}},
                        0, true);
    EXPECT_FALSE(c.shareScreenBweEnable);
    EXPECT_FALSE(c.screenShareBottomKbps.has_value());
    EXPECT_EQ(c.rtcLogMaxBytes, 0); // log on without a size: 0
    EXPECT_FALSE(c.opusPacketLostUp.has_value()); // switch on without a value
    EXPECT_EQ(c.netEqMaxPackets, 2147483647);
    EXPECT_EQ(c.howingMsgCount, 12);
    EXPECT_FALSE(c.channelInternal.has_value());

    c = KLClientConfiguration();
    c.applyClientConfig(QJsonObject{{"enableScreenShareBwe", true},
                                    {"audioOpusPacketLostSwitch", false},
                                    {"opusPacketLostUp", 0.5}},
                        0, true);
    EXPECT_TRUE(c.shareScreenBweEnable);
    EXPECT_FALSE(c.screenShareBottomKbps.has_value());
    EXPECT_FALSE(c.opusPacketLostUp.has_value());
    c.applyMediaDefaults();
    EXPECT_EQ(engine->callLog()->count("setDefaultsForScreenShareBwe"), 1);
    EXPECT_EQ(engine->callLog()->count("setDefaultsForScreenShareBottomKbps"), 0);
}

TEST_F(ClientConfigurationTest, ExternalUsersAndProjectorRunsReadTheirOwnKeys)
{
    KLClientConfiguration external;
    external.applyClientConfig(fullMeetingDocument(), 0, false);
    EXPECT_TRUE(external.isShowRate);
    EXPECT_TRUE(external.meetingRateUrl.isNull());
    EXPECT_TRUE(external.meetingSummaryRtShowUrl.isNull());
    EXPECT_TRUE(external.macUseH264HwDecoder);

    KLClientConfiguration noRate;
    noRate.applyClientConfig(QJsonObject{}, 0, false);
    EXPECT_TRUE(noRate.isShowRate);

    QJsonObject projectorDocument = fullMeetingDocument();
    projectorDocument.insert("showRate", false);
    projectorDocument.insert("disableAvSync", true);
    projectorDocument.insert("prefersLateDecoding", 1);
    KLClientConfiguration projector;
    projector.applyClientConfig(projectorDocument, 1, true);
    EXPECT_EQ(projector.kMultiScreenPaceMultiplier, 3);
    EXPECT_EQ(projector.multiScreenFps, 15);
    EXPECT_TRUE(projector.disableAvSyncForMultiProjector);
    EXPECT_TRUE(projector.prefersLateDecodingForMultiProjector);
    EXPECT_TRUE(projector.isShowRate);
    EXPECT_FALSE(projector.macUseH264HwDecoder);
    EXPECT_EQ(projector.howingDetectionCount, 24000);
    EXPECT_FALSE(projector.hasMediaTuning);
    projector.applyMediaDefaults();
    EXPECT_TRUE(engine->callLog()->calls().empty());

    KLClientConfiguration wrongProjector;
    wrongProjector.applyClientConfig(
        QJsonObject{{"kMultiScreenPaceMultiplier", "3"}, {"disableAvSync", "true"}}, 2, false);
    EXPECT_EQ(wrongProjector.kMultiScreenPaceMultiplier, 0);
    EXPECT_FALSE(wrongProjector.disableAvSyncForMultiProjector);
}

TEST(ClientSwitchConfiguration, TranscriptionKey)
{
    EXPECT_TRUE(KLClientConfiguration::fromSwitchConfig(
                    QJsonObject{{"meeting_transcription", true}})
                    .isShowMeetingSummaryModule);
    KLClientConfiguration shown;
    shown.isShowMeetingSummaryModule = true;
    shown.applySwitchConfig(QJsonObject{{"other", false}});
    EXPECT_TRUE(shown.isShowMeetingSummaryModule); // absent: unchanged
    shown.applySwitchConfig(QJsonObject{{"meeting_transcription", "yes"}});
    EXPECT_TRUE(shown.isShowMeetingSummaryModule); // wrong type: unchanged
    shown.applySwitchConfig(QJsonObject{{"meeting_transcription", 0}});
    EXPECT_FALSE(shown.isShowMeetingSummaryModule);
}

} // namespace
