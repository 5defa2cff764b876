#include "media/builtin/KLBuiltinVideoPattern.h"

#include "media/builtin/KLBuiltinStableHash.h"

#include <cstring>

namespace {

constexpr int kBars = 8;
constexpr int kSweepWidth = 8;
constexpr int kSweepStep = 6;
constexpr int kMeterHeight = 12;

quint32 rgbFromHue(int hue)
{
    // HSV with full saturation and value 0.85.
    hue = ((hue % 360) + 360) % 360;
    const int value = 217;
    const int sector = hue / 60;
    const int rising = value * (hue % 60) / 60;
    const int falling = value - rising;
    int r = 0, g = 0, b = 0;
    switch (sector) {
    case 0: r = value; g = rising; break;
    case 1: r = falling; g = value; break;
    case 2: g = value; b = rising; break;
    case 3: g = falling; b = value; break;
    case 4: r = rising; b = value; break;
    default: r = value; b = falling; break;
    }
    return 0xff000000u | (quint32(r) << 16) | (quint32(g) << 8) | quint32(b);
}

} // namespace

KLBuiltinVideoPattern::KLBuiltinVideoPattern(const QString &seed)
    : m_baseHue(int(KLBuiltinStableHash(seed) % 360u))
{
    m_background.resize(qsizetype(kWidth) * kHeight * 4);
    auto *pixels = reinterpret_cast<quint32 *>(m_background.data());
    quint32 row[kWidth];
    for (int x = 0; x < kWidth; ++x)
        row[x] = rgbFromHue(m_baseHue + (x * kBars / kWidth) * (360 / kBars));
    for (int y = 0; y < kHeight; ++y)
        std::memcpy(pixels + qsizetype(y) * kWidth, row, sizeof row);
}

KLRTCMediaVideoFrame KLBuiltinVideoPattern::frame(qint64 index, int level, qint64 timestampUs) const
{
    KLRTCMediaVideoFrame frame;
    frame.width = kWidth;
    frame.height = kHeight;
    frame.format = KLRTCMediaVideoFrame::FormatRGB32;
    frame.bytesPerLine = kWidth * 4;
    frame.timestampUs = timestampUs;
    frame.pixels = m_background;
    auto *pixels = reinterpret_cast<quint32 *>(frame.pixels.data()); // detaches once
    const int sweep = int((index * kSweepStep) % kWidth);
    for (int y = 0; y < kHeight - kMeterHeight; ++y) {
        quint32 *line = pixels + qsizetype(y) * kWidth;
        for (int x = sweep; x < sweep + kSweepWidth && x < kWidth; ++x)
            line[x] = 0xffffffffu;
    }
    const int meter = qBound(0, level, 32767) * kWidth / 32767;
    for (int y = kHeight - kMeterHeight; y < kHeight; ++y) {
        quint32 *line = pixels + qsizetype(y) * kWidth;
        for (int x = 0; x < kWidth; ++x)
            line[x] = x < meter ? 0xff30d050u : 0xff202020u;
    }
    return frame;
}
