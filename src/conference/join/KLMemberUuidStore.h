#pragma once

// The member UUIDs this machine used, one per meeting, for users whose host gives none (an
// external user's projector run started from an internal host). Reusing the meeting's UUID
// makes a rejoin replace the earlier member instead of adding a second one.
//
// The list lives in the persistent store shared with the host under
// "KEY_MEETING_MEMBER_UUIDS", as compact JSON: [{"meetingUUID": …, "memberUUID": …}, …],
// oldest first.

#include <QJsonArray>
#include <QString>

#include <functional>
#include <optional>

class KLSDKMeetingConfigInternal;
class UserPersistentData;

class KLMemberUuidStore {
public:
    /// The persistent key of the list.
    static constexpr const char *kStorageKey = "KEY_MEETING_MEMBER_UUIDS";
    /// The list never holds more records than this.
    static constexpr int kMaxRecords = 51;

    /// A fresh member UUID: upper-case canonical text of 36 characters.
    static QString createUUID();

    /// The stored list; none when nothing is stored or the stored text is not a JSON list.
    static std::optional<QJsonArray> readRecords(const UserPersistentData &store);
    static bool writeRecords(UserPersistentData &store, const QJsonArray &records);

    /// The member UUID for `meetingUUID`, updating `records` (pure apart from `createUUID`):
    /// without a list, a new one-record list; with one, the member UUID of the first record of
    /// this meeting when it is not empty; otherwise a new record is appended, the oldest ones
    /// dropped first so that the list ends with at most kMaxRecords.
    static QString memberUuidForMeeting(std::optional<QJsonArray> &records,
                                        const QString &meetingUUID,
                                        const std::function<QString()> &makeUUID = createUUID);

    /// The whole step: reads the list, picks or creates the UUID, stores the list again and
    /// writes the UUID into `config`'s member UUID. Returns the UUID.
    static QString assignMemberUuid(KLSDKMeetingConfigInternal &config, const QString &meetingUUID,
                                    UserPersistentData &store);
};
