#include "conference/join/KLMemberUuidStore.h"

#include "host/UserPersistentData.h"
#include "model/KLSDKMeetingConfigInternal.h"
#include "runtime/KLDictionary.h"
#include "runtime/KLSDKLog.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QUuid>

namespace {

const QString kTag = QStringLiteral("KLMemberUuidStore");
const QString kMeetingKey = QStringLiteral("meetingUUID");
const QString kMemberKey = QStringLiteral("memberUUID");

QJsonObject record(const QString &meetingUUID, const QString &memberUUID)
{
    return QJsonObject{{kMeetingKey, meetingUUID}, {kMemberKey, memberUUID}};
}

} // namespace

QString KLMemberUuidStore::createUUID()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

std::optional<QJsonArray> KLMemberUuidStore::readRecords(const UserPersistentData &store)
{
    const QString text = store.readStringWithKey(QLatin1String(kStorageKey));
    if (text.isEmpty())
        return std::nullopt;
    const QJsonValue parsed = KL_JSONObject(text);
    if (!parsed.isArray()) {
        // A damaged list is started afresh rather than trusted.
        KL_LOG_WARN(kTag, QStringLiteral("stored member UUID list is not a list"));
        return std::nullopt;
    }
    return parsed.toArray();
}

bool KLMemberUuidStore::writeRecords(UserPersistentData &store, const QJsonArray &records)
{
    const QString text =
        QString::fromUtf8(QJsonDocument(records).toJson(QJsonDocument::Compact));
    return store.writeString(text, QLatin1String(kStorageKey));
}

QString KLMemberUuidStore::memberUuidForMeeting(std::optional<QJsonArray> &records,
                                                const QString &meetingUUID,
                                                const std::function<QString()> &makeUUID)
{
    if (!records) {
        const QString uuid = makeUUID();
        records = QJsonArray{record(meetingUUID, uuid)};
        return uuid;
    }

    for (const QJsonValue &entry : std::as_const(*records)) {
        const QJsonObject dict = entry.toObject();
        if (KL_stringForKey(dict, kMeetingKey) == meetingUUID) {
            const QString found = KL_stringForKey(dict, kMemberKey);
            if (!found.isEmpty())
                return found;
            break; // the first record of the meeting decides, even an empty one
        }
    }

    const QString uuid = makeUUID();
    while (records->size() >= kMaxRecords)
        records->removeFirst();
    records->append(record(meetingUUID, uuid));
    return uuid;
}

QString KLMemberUuidStore::assignMemberUuid(KLSDKMeetingConfigInternal &config,
                                            const QString &meetingUUID, UserPersistentData &store)
{
    std::optional<QJsonArray> records = readRecords(store);
    const QString uuid = memberUuidForMeeting(records, meetingUUID);
    if (!writeRecords(store, *records))
        KL_LOG_WARN(kTag, QStringLiteral("member UUID list could not be stored"));
    config.setMemberUUID(uuid);
    KL_LOG_INFO(kTag, QStringLiteral("member UUID %1 for meeting %2").arg(uuid, meetingUUID));
    return uuid;
}
