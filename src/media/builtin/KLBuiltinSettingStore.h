#pragma once

// The built-in engine's process-wide defaults: every setter is kept under its own name
// ("BitrateAllocatorIgnoreBWE", "HowlingSuppression", ...) and can be read back.

#include "media/KLRTCMediaSettingStore.h"

#include <QJsonObject>
#include <QJsonValue>

#include <mutex>

class KLBuiltinSettingStore final : public KLRTCMediaSettingStore {
public:
    QString getComputerModel() override;
    void webrtcFileStop() override;
    void setDefaultsForBitrateAllocatorIgnoreBWE(bool ignore) override { keep(u"BitrateAllocatorIgnoreBWE", ignore); }
    void setDefaultsForVideoMacUseH264HwDecoder(bool enabled) override { keep(u"VideoMacUseH264HwDecoder", enabled); }
    void setDefaultsForHowlingSuppression(bool enabled) override { keep(u"HowlingSuppression", enabled); }
    void setDefaultsForScreenShareBwe(bool enabled) override { keep(u"ScreenShareBwe", enabled); }
    void setDefaultsForScreenShareBottomKbps(int kbps) override { keep(u"ScreenShareBottomKbps", kbps); }
    void setDefaultsForAudioAec3(bool enabled) override { keep(u"AudioAec3", enabled); }
    void setDefaultsForEnableCloseVideo(bool enabled) override { keep(u"EnableCloseVideo", enabled); }
    void setDefaultsForNetEqMaxPackets(int packets) override { keep(u"NetEqMaxPackets", packets); }
    void setDefaultsForOpusPacketLostUp(float value) override { keep(u"OpusPacketLostUp", double(value)); }
    void setDefaultsForHowingDetectionCount(int count) override { keep(u"HowingDetectionCount", count); }
    void setDefaultsForHowingMsgCount(int count) override { keep(u"HowingMsgCount", count); }
    void setDefaultsForHowingSuppressionCount(int count) override { keep(u"HowingSuppressionCount", count); }
    void setDefaultsForMacMicVolume(int volume) override { keep(u"MacMicVolume", volume); }

    /// The value kept for `name` (undefined when never set).
    QJsonValue value(const QString &name) const;
    /// Every value kept so far.
    QJsonObject values() const;
    /// How many times webrtcFileStop was called.
    int fileStops() const;

private:
    void keep(QStringView name, const QJsonValue &value);

    mutable std::mutex m_mutex;
    QJsonObject m_values;
    int m_fileStops = 0;
};
