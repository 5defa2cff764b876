#pragma once

// Monitor records: the texts of levels and groups, the fields every record carries, and the
// log entry a record becomes for the signed upload. Pure functions, no shared state.

#include "cloudlog/LogGroup.h"

#include <QDateTime>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <functional>

namespace KLQLSRecord {

/// 1 "trace", 2 "debug", 3 "info", 4 "warn", 5 "error", 6 "fatal"; anything else "".
QString levelText(int level);
/// 1 "action", 2 "event", 3 "error"; anything else "".
QString groupText(int group);

/// "UTC" and the offset from UTC in hours: "UTC+8", "UTC-5", "UTC+10", "UTC+0"; an offset
/// that is not whole hours adds the minutes: "UTC+5:30", "UTC-3:30".
QString timeZoneText(int offsetFromUtcSeconds);

/// The common values of a record, as the collector holds them when a record is built.
struct Fields {
    QString conferenceId;
    QString roomId;
    QString memberUUID;
    QString userName;
    QString meetingType;
    QString sid;
    QString traceId;
    QString timeZone;
    QString computerModel;
    QString logModule;
    QString projectorId;
    QString os;
    QString version;
    QString userId;
};

using Clock = std::function<QDateTime()>;

/// The record: the common fields ("time" and "genTime" are two readings of `clock`, local
/// "yyyy-MM-dd HH:mm:ss.SSS"), the projector fields when the module is "projector", then the
/// caller's `params` (its values win), then "topic" = the group text.
QJsonObject build(const Fields &fields, int level, int group, const QJsonObject &params,
                  const Clock &clock = &QDateTime::currentDateTime);

/// The group the signed upload sends for a record: topic `topic`, empty source, and one entry
/// with every string value (an empty one is left out) and every number as its decimal text
/// (true/false as "1"/"0"); lists, maps and nulls are left out.
LogGroup directPostGroup(const QJsonObject &record, const QString &topic);

} // namespace KLQLSRecord
