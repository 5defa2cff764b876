#include "cloudlog/KLQLSRecord.h"

#include "runtime/KLFormEncoding.h"

#include <QLocale>

#include <cmath>
#include <limits>

namespace KLQLSRecord {

namespace {

const QString kTimeFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz");

/// Texts, numbers and flags as their plain text; lists, maps and nulls have none.
QString entryText(const QJsonValue &value)
{
    if (value.isArray() || value.isObject())
        return QString();
    return KLFormEncoding::describe(value);
}

} // namespace

QString levelText(int level)
{
    static const char *const names[] = {"trace", "debug", "info", "warn", "error", "fatal"};
    return level >= 1 && level <= 6 ? QString::fromLatin1(names[level - 1]) : QString();
}

QString groupText(int group)
{
    static const char *const names[] = {"action", "event", "error"};
    return group >= 1 && group <= 3 ? QString::fromLatin1(names[group - 1]) : QString();
}

QString timeZoneText(int offsetFromUtcSeconds)
{
    const int minutes = std::abs(offsetFromUtcSeconds) / 60;
    QString text = QStringLiteral("UTC") + (offsetFromUtcSeconds < 0 ? u'-' : u'+')
        + QString::number(minutes / 60);
    if (minutes % 60 != 0)
        text += QStringLiteral(":%1").arg(minutes % 60, 2, 10, QLatin1Char('0'));
    return text;
}

QJsonObject build(const Fields &fields, int level, int group, const QJsonObject &params,
                  const Clock &clock)
{
    QJsonObject record{
        {QStringLiteral("time"), clock().toString(kTimeFormat)},
        {QStringLiteral("genTime"), clock().toString(kTimeFormat)},
        {QStringLiteral("level"), levelText(level)},
        {QStringLiteral("os"), fields.os},
        {QStringLiteral("version"), fields.version},
        {QStringLiteral("agent"), QStringLiteral("KelvoUISDK_Linux")},
        {QStringLiteral("sessionId"), fields.sid},
        {QStringLiteral("traceId"), fields.traceId},
        {QStringLiteral("timeZone"), fields.timeZone},
        {QStringLiteral("module"), fields.logModule},
        {QStringLiteral("meeting"), fields.meetingType},
        {QStringLiteral("roomId"), fields.roomId},
        {QStringLiteral("project"), QStringLiteral("ecology")},
        {QStringLiteral("meetingId"), fields.conferenceId},
        {QStringLiteral("memberUUid"), fields.memberUUID},
        {QStringLiteral("userName"), fields.userName},
        {QStringLiteral("userId"), fields.userId},
        {QStringLiteral("computerModel"), fields.computerModel},
    };
    if (fields.logModule == QLatin1String("projector")) {
        if (!fields.projectorId.isEmpty())
            record.insert(QStringLiteral("projectId"), fields.projectorId);
        record.insert(QStringLiteral("projectDetailType"), QStringLiteral("multiscreen"));
        record.insert(QStringLiteral("projectMode"), QStringLiteral("native_mprojector"));
    }
    for (auto it = params.begin(); it != params.end(); ++it)
        record.insert(it.key(), it.value());
    record.insert(QStringLiteral("topic"), groupText(group));
    return record;
}

LogGroup directPostGroup(const QJsonObject &record, const QString &topic)
{
    Log entry;
    for (auto it = record.begin(); it != record.end(); ++it)
        entry.PutContent(entryText(it.value()), it.key());
    LogGroup group(topic, QString());
    group.PutLog(entry);
    return group;
}

} // namespace KLQLSRecord
