#include "model/KLMediaObject.h"

#include "model/KLJSONReader.h"
#include "model/KLJSONWriter.h"
#include "runtime/KLSDKLog.h"

KLMediaObject::KLMediaObject(const QString &ssrc, const QString &type, const QString &userName,
                             const QJsonValue &media)
    : ssrc(ssrc), type(type), memberUserName(userName)
{
    if (media.isObject()) {
        mediaStatus.append(media.toObject());
    } else if (!media.isNull() && !media.isUndefined()) {
        KL_LOG_WARN("KLMediaObject",
                    QStringLiteral("bucket %1 %2: first sample is not an object, dropped")
                        .arg(type, ssrc));
    }
}

template <class Self, class Mapper>
void KLMediaObject::mapFields(Self &self, Mapper &mapper)
{
    mapper.text("ssrc", self.ssrc);
    mapper.text("type", self.type);
    mapper.text("memberUserName", self.memberUserName);
    mapper.objects("mediaStatus", self.mediaStatus);
}

std::shared_ptr<KLMediaObject> KLMediaObject::fromJson(KLJSONReader &reader)
{
    auto bucket = std::make_shared<KLMediaObject>();
    mapFields(*bucket, reader);
    return reader.failed() ? nullptr : bucket;
}

std::shared_ptr<KLMediaObject> KLMediaObject::createWithDictionary(const QJsonObject &dictionary,
                                                                   QString *error)
{
    KLJSONReader reader(dictionary);
    std::shared_ptr<KLMediaObject> bucket = fromJson(reader);
    if (error)
        *error = reader.errorText(QStringLiteral("KLMediaObject"));
    return bucket;
}

void KLMediaObject::pushStats(const QJsonObject &stats)
{
    mediaStatus.append(stats);
}

QJsonObject KLMediaObject::toJson() const
{
    KLJSONWriter writer;
    mapFields(*this, writer);
    return writer.object();
}
