#include "media/KLRTCMediaTypes.h"

#include "media/KLRTCMediaStream.h"

KLRTCMediaEventInfo KLRTCMediaEventInfo::fromStream(std::shared_ptr<KLRTCMediaStream> stream)
{
    KLRTCMediaEventInfo info;
    info.stream = std::move(stream);
    return info;
}

KLRTCMediaEventInfo KLRTCMediaEventInfo::fromStreamId(const QString &streamId)
{
    KLRTCMediaEventInfo info;
    info.streamId = streamId;
    return info;
}

KLRTCMediaEventInfo KLRTCMediaEventInfo::fromDictionary(const QJsonObject &dictionary)
{
    KLRTCMediaEventInfo info;
    info.value = dictionary;
    return info;
}

KLRTCMediaEventInfo KLRTCMediaEventInfo::fromValue(const QJsonValue &value)
{
    KLRTCMediaEventInfo info;
    info.value = value;
    return info;
}

bool KLRTCMediaVideoFrame::isValid() const
{
    if (format == FormatInvalid || width <= 0 || height <= 0 || bytesPerLine < width * 4)
        return false;
    return pixels.size() >= qsizetype(bytesPerLine) * height;
}
