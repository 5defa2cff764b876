#pragma once

// The built-in engine's synthetic video: colour bars whose hues derive from a seed (the
// stream id, so every participant looks different) with a white bar sweeping across them
// (so a frozen picture is visible at a glance), and a level meter strip at the bottom.

#include "media/KLRTCMediaTypes.h"

#include <QByteArray>
#include <QString>

class KLBuiltinVideoPattern {
public:
    static constexpr int kWidth = 320;
    static constexpr int kHeight = 180;

    explicit KLBuiltinVideoPattern(const QString &seed);

    /// Frame number `index` (the sweeping bar moves a few pixels per frame); `level` is the
    /// audio level 0…32767 drawn as the meter strip.
    KLRTCMediaVideoFrame frame(qint64 index, int level, qint64 timestampUs) const;

    /// The base hue (0…359) this seed gives.
    int baseHue() const { return m_baseHue; }

private:
    int m_baseHue = 0;
    QByteArray m_background; // the bars, RGB32
};
