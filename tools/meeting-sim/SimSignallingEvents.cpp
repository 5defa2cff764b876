#include "SimSignallingEvents.h"

#include "SimScenario.h"

#include <QDateTime>
#include <QHash>

namespace kelvosim::signalling {

namespace {

const QString kMembers = QStringLiteral("members");
const QString kRooms = QStringLiteral("rooms");

QJsonObject clean(QJsonObject record)
{
    record.remove(QStringLiteral("callErrorCode"));
    record.remove(QStringLiteral("callErrorMsg"));
    return record;
}

QJsonArray cleanList(const QJsonArray &records)
{
    QJsonArray list;
    for (const QJsonValue &record : records)
        list.append(clean(record.toObject()));
    return list;
}

// The call state a participant not in the meeting reports: nothing known yet.
QJsonObject unknownCallState()
{
    return {{QStringLiteral("hasVideo"), -1}, {QStringLiteral("mute"), -1},     {QStringLiteral("online"), 0},
            {QStringLiteral("ringing"), -1},  {QStringLiteral("vmute"), -1},    {QStringLiteral("extension"), -1},
            {QStringLiteral("cellphone"), -1}, {QStringLiteral("multiScreen"), 0}};
}

QJsonObject layOver(QJsonObject body, const QJsonObject &fields)
{
    for (auto it = fields.begin(); it != fields.end(); ++it)
        body.insert(it.key(), it.value());
    return body;
}

} // namespace

QString eventKind(int eventId)
{
    static const QHash<int, QString> kinds{
        {Ring, QStringLiteral("ring")},
        {Online, QStringLiteral("online")},
        {Offline, QStringLiteral("offline")},
        {AudioMuted, QStringLiteral("mute")},
        {AudioUnmuted, QStringLiteral("unmute")},
        {Speaking, QStringLiteral("speaking")},
        {StoppedTalking, QStringLiteral("stoptalking")},
        {FloorChange, QStringLiteral("floorchange")},
        {VideoMuted, QStringLiteral("vmute")},
        {VideoUnmuted, QStringLiteral("unvmute")},
        {Kick, QStringLiteral("kick")},
        {SummaryLine, QStringLiteral("summary")},
        {MembersAdded, QStringLiteral("addmember")},
        {MembersDeleted, QStringLiteral("delmember")},
        {MemberList, QStringLiteral("memberlist")},
        {MeetingDeleted, QStringLiteral("delconference")},
        {SummaryStarted, QStringLiteral("summarystart")},
        {SummaryStopped, QStringLiteral("summarystop")},
        {ProjectionAccepted, QStringLiteral("multiscreenaccept")},
        {ProjectionRejected, QStringLiteral("multiscreenreject")},
        {ProjectionReceiveStarted, QStringLiteral("multiscreenreceivestart")},
        {ProjectionReceiveEnded, QStringLiteral("multiscreenreceiveend")},
        {ProjectionSendStarted, QStringLiteral("multiscreensendstart")},
        {ProjectionSendEnded, QStringLiteral("multiscreensendend")},
        {ProjectionEnded, QStringLiteral("multiscreenend")},
        {ProjectionAudioOpened, QStringLiteral("multiscreenaudio")},
        {MemberListAnswer, QStringLiteral("memberlist")},
    };
    return kinds.value(eventId, QStringLiteral("event"));
}

QJsonObject participant(const QJsonObject &meeting, const QString &memberUUID)
{
    if (memberUUID.isEmpty())
        return {};
    for (const QString &list : {kMembers, kRooms}) {
        for (const QJsonValue &value : meeting.value(list).toArray()) {
            const QJsonObject record = value.toObject();
            if (SimScenario::text(record.value(QLatin1String("memberUUID"))) == memberUUID)
                return clean(record);
        }
    }
    return {};
}

QJsonObject withMemberLists(QJsonObject body, const QJsonObject &meeting)
{
    body.insert(QStringLiteral("memberList"), cleanList(meeting.value(kMembers).toArray()));
    body.insert(QStringLiteral("roomList"), cleanList(meeting.value(kRooms).toArray()));
    return body;
}

QJsonObject eventBody(const QJsonObject &meeting, int eventId, const QString &memberUUID, const QJsonObject &fields)
{
    QJsonObject body{{QStringLiteral("eventId"), eventId},
                     {QStringLiteral("memberUUID"), memberUUID},
                     {QStringLiteral("appointmentId"), meeting.value(QLatin1String("appointmentId"))}};
    const QJsonObject who = participant(meeting, memberUUID);
    QJsonObject state = who.value(QLatin1String("callState")).toObject();
    if (state.isEmpty())
        state = unknownCallState();
    auto withState = [&](std::initializer_list<std::pair<const char *, int>> changes) {
        for (const auto &[key, value] : changes)
            state.insert(QLatin1String(key), value);
        body.insert(QStringLiteral("callState"), state);
    };
    // A participant record for the list events: the meeting's own, or a minimal one.
    QJsonObject record = who;
    if (record.isEmpty()) {
        record = {{QStringLiteral("memberUUID"), memberUUID},
                  {QStringLiteral("appointmentId"), meeting.value(QLatin1String("appointmentId"))},
                  {QStringLiteral("memberType"), 1},
                  {QStringLiteral("callState"), state}};
    }
    const bool isRoom = record.value(QLatin1String("memberType")).toInt() == 2;

    switch (eventId) {
    case Ring:
        withState({{"ringing", 1}});
        break;
    case Online:
        withState({{"online", 1}, {"ringing", 0}});
        break;
    case Offline:
        withState({{"online", 0}, {"ringing", 0}});
        break;
    case AudioMuted:
        withState({{"mute", 1}});
        break;
    case AudioUnmuted:
        withState({{"mute", 0}});
        break;
    case VideoMuted:
        withState({{"vmute", 1}});
        break;
    case VideoUnmuted:
        withState({{"vmute", 0}});
        break;
    case MembersAdded:
        body.insert(QStringLiteral("memberList"), isRoom ? QJsonArray() : QJsonArray{record});
        body.insert(QStringLiteral("roomList"), isRoom ? QJsonArray{record} : QJsonArray());
        break;
    case MembersDeleted:
        body.insert(QStringLiteral("memberList"), QJsonArray{record});
        break;
    case MemberList:
    case MemberListAnswer:
        body = withMemberLists(body, meeting);
        break;
    case SummaryStarted: {
        const QString lang = meeting.value(QLatin1String("meetingInfo")).toObject().value(QLatin1String("summaryLanguage")).toString();
        body.insert(QStringLiteral("lang"), lang.isEmpty() ? QStringLiteral("zh") : lang);
        break;
    }
    case SummaryStopped:
        body.insert(QStringLiteral("lang"), QString());
        break;
    default:
        // Speaking, floor, kick, deletion and projection events carry only who and where.
        break;
    }
    return layOver(body, fields);
}

QString summarySessionId(const QJsonObject &meeting, const QString &memberUUID)
{
    return memberUUID + QStringLiteral("vantorameeting") + SimScenario::text(meeting.value(QLatin1String("appointmentId")));
}

QJsonObject summaryBody(const QJsonObject &meeting, const QString &sessionId, int sentence, const QJsonObject &fields)
{
    const QString lang = meeting.value(QLatin1String("meetingInfo")).toObject().value(QLatin1String("summaryLanguage")).toString();
    const bool english = lang == QLatin1String("en");
    QJsonObject body{
        {QStringLiteral("sessionId"), sessionId},
        {QStringLiteral("appointmentId"), meeting.value(QLatin1String("appointmentId"))},
        {QStringLiteral("asrLanguage"), english ? QStringLiteral("en") : QStringLiteral("zh")},
        {QStringLiteral("asrText"),
         english ? QStringLiteral("Let's go through the road map first.") : QStringLiteral("我们先过一下路线图。")},
        {QStringLiteral("asrTranslateText"),
         english ? QStringLiteral("我们先过一下路线图。") : QStringLiteral("Let's go through the road map first.")},
        {QStringLiteral("asrTimeStamp"), QDateTime::currentMSecsSinceEpoch()},
        {QStringLiteral("asrSentenceId"), sentence},
    };
    return layOver(body, fields);
}

QJsonObject push(const QString &kind, const QJsonObject &body)
{
    return {{QStringLiteral("data"), QJsonObject{{QStringLiteral("type"), kind}, {QStringLiteral("body"), body}}}};
}

} // namespace kelvosim::signalling
