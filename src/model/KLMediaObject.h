#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>

#include <memory>

class KLJSONReader;

/// One statistics bucket of the media status reporter: the samples gathered for one stream
/// (or for the bandwidth estimate) during one reporting window, oldest first. The reporter owns
/// its buckets and guards them itself.
class KLMediaObject {
public:
    QString ssrc;            ///< stream source id; empty for the bandwidth bucket
    QString type;            ///< bucket kind: "videoBwe", "sendAudio", "receiveVideo", …
    QString memberUserName;
    QList<QJsonObject> mediaStatus;

    KLMediaObject() = default;
    /// A bucket holding `media` as its first sample when that is an object. A null or missing
    /// sample starts the bucket empty; any other value is not a sample and is dropped (logged).
    KLMediaObject(const QString &ssrc, const QString &type, const QString &userName,
                  const QJsonValue &media);

    /// Builds a bucket from JSON whose keys are the field names ("mediaStatus": an array of
    /// objects). Returns null and fills `error` (when given) on a value of the wrong JSON type.
    static std::shared_ptr<KLMediaObject> createWithDictionary(const QJsonObject &dictionary,
                                                               QString *error = nullptr);
    /// Reads a bucket nested in a larger record; failures stay in `reader`.
    static std::shared_ptr<KLMediaObject> fromJson(KLJSONReader &reader);

    /// Appends one sample.
    void pushStats(const QJsonObject &stats);

    QJsonObject toJson() const;

private:
    template <class Self, class Mapper>
    static void mapFields(Self &self, Mapper &mapper);
};
