#pragma once

#include <QString>

/// Process-wide engine defaults. Each setter applies to media connections created afterwards.
/// One per engine (KLRTCMediaSDK::settingStore). Every member may be called from any thread.
class KLRTCMediaSettingStore {
public:
    virtual ~KLRTCMediaSettingStore() = default;

    /// A model name of this computer (reported to the cloud log, matched against the models on
    /// which the beauty filter is not offered).
    virtual QString getComputerModel() = 0;
    /// Stops the engine's diagnostic file dumps.
    virtual void webrtcFileStop() = 0;

    virtual void setDefaultsForBitrateAllocatorIgnoreBWE(bool ignore) = 0;
    virtual void setDefaultsForVideoMacUseH264HwDecoder(bool enabled) = 0;
    virtual void setDefaultsForHowlingSuppression(bool enabled) = 0;
    virtual void setDefaultsForScreenShareBwe(bool enabled) = 0;
    virtual void setDefaultsForScreenShareBottomKbps(int kbps) = 0;
    virtual void setDefaultsForAudioAec3(bool enabled) = 0;
    virtual void setDefaultsForEnableCloseVideo(bool enabled) = 0;
    virtual void setDefaultsForNetEqMaxPackets(int packets) = 0;
    virtual void setDefaultsForOpusPacketLostUp(float value) = 0;
    virtual void setDefaultsForHowingDetectionCount(int count) = 0;
    virtual void setDefaultsForHowingMsgCount(int count) = 0;
    virtual void setDefaultsForHowingSuppressionCount(int count) = 0;
    virtual void setDefaultsForMacMicVolume(int volume) = 0;
};
