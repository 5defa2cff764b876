#include "SimMeetingApi.h"

#include "SimLog.h"
#include "SimScenario.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QUuid>

namespace kelvosim {

namespace {

const QString kMembers = QStringLiteral("members");
const QString kRooms = QStringLiteral("rooms");

// Error codes of the meeting service that callers tell apart.
const QString kErrParam = QStringLiteral("11001");
const QString kErrNoMeeting = QStringLiteral("11002");
const QString kErrEnded = QStringLiteral("10000");
const QString kErrNoMember = QStringLiteral("11006");
const QString kErrPassword = QStringLiteral("11004");

QString str(const QJsonObject &object, const char *key)
{
    return SimScenario::text(object.value(QLatin1String(key)));
}

bool matchesKeyword(const QJsonObject &entry, const QString &keyword)
{
    if (keyword.isEmpty())
        return true;
    for (const char *key : {"displayName", "displayNamePinYin", "empId", "email", "roomName", "roomId",
                            "aliasName", "cellPhone", "deptName"}) {
        if (str(entry, key).contains(keyword, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

bool isBooleanText(const QString &text)
{
    return text == QLatin1String("true") || text == QLatin1String("false") || text == QLatin1String("1")
        || text == QLatin1String("0");
}

bool isTrueText(const QString &text)
{
    return text == QLatin1String("true") || text == QLatin1String("1");
}

} // namespace

QString SimMeetingApi::Call::param(const char *key) const
{
    return SimScenario::text(form.value(QLatin1String(key)));
}

bool SimMeetingApi::isApiPath(const QString &path)
{
    return path.startsWith(QLatin1String("/conference/api/")) || path.startsWith(QLatin1String("/conference/gbc/"))
        || path.startsWith(QLatin1String("/webvc/"));
}

SimMeetingApi::SimMeetingApi(QJsonObject scenario) : m_state(std::move(scenario))
{
    const QStringList member{QStringLiteral("appointment_id"), QStringLiteral("member_uuid"),
                             QStringLiteral("member_id")};
    auto route = [this](const char *path, QStringList required, Handler handler, bool asData = false) {
        m_routes.insert(QLatin1String(path), Route{std::move(required), std::move(handler), asData});
    };
    auto echo = [](QStringList keys) {
        return [keys](SimMeetingApi *api, const Call &call) { return api->acknowledge(call, keys); };
    };
    auto scenarioValue = [](const char *key, QJsonValue fallback) {
        return [key, fallback](SimMeetingApi *api, const Call &) {
            const QJsonValue value = api->m_state.value(QLatin1String(key));
            return ok(value.isUndefined() ? fallback : value);
        };
    };

    route("/conference/api/addMember", {QStringLiteral("appointmentId"), QStringLiteral("roomIds")},
          &SimMeetingApi::addMember);
    route("/conference/api/v2/detailAppointment",
          {QStringLiteral("appointmentId"), QStringLiteral("checkMemberState"), QStringLiteral("language")},
          &SimMeetingApi::detailAppointment);
    route("/conference/api/muteMeetingMember", member + QStringList{QStringLiteral("status"), QStringLiteral("type")},
          [](SimMeetingApi *api, const Call &call) { return api->muteMember(call, QStringLiteral("mute")); });
    route("/conference/api/vmuteMeetingMember", member + QStringList{QStringLiteral("status"), QStringLiteral("type")},
          [](SimMeetingApi *api, const Call &call) { return api->muteMember(call, QStringLiteral("vmute")); });
    route("/conference/api/findMember", {QStringLiteral("keyword")}, &SimMeetingApi::findMember);
    route("/conference/api/meetingInfo",
          {QStringLiteral("meetingId"), QStringLiteral("clientUuid"), QStringLiteral("meetingClientType")},
          &SimMeetingApi::meetingInfo);
    route("/conference/api/callMeetingMember", member + QStringList{QStringLiteral("callnumber"), QStringLiteral("type")},
          &SimMeetingApi::callMember);
    route("/conference/api/v2/hangUpAll", {QStringLiteral("appointmentId")}, &SimMeetingApi::hangUpAll);
    route("/conference/api/hangUpMeetingMember", member + QStringList{QStringLiteral("type")},
          &SimMeetingApi::hangUpMember);
    route("/conference/api/getRoomsStatus", {QStringLiteral("appointmentId"), QStringLiteral("roomIds")},
          &SimMeetingApi::roomsStatus);
    route("/conference/api/robRoom", {QStringLiteral("appointmentId"), QStringLiteral("memberUuid")},
          echo({QStringLiteral("appointmentId"), QStringLiteral("memberUuid")}));
    route("/conference/api/v3/openSummary",
          {QStringLiteral("appointmentId"), QStringLiteral("memberUUID"), QStringLiteral("lang"),
           QStringLiteral("isTrain"), QStringLiteral("sendMail")},
          [](SimMeetingApi *api, const Call &call) { return api->summary(call, true, false); });
    route("/conference/api/v3/changeMemberSummaryLang",
          {QStringLiteral("appointmentId"), QStringLiteral("memberUUID"), QStringLiteral("lang")},
          [](SimMeetingApi *api, const Call &call) { return api->summary(call, false, false); });
    route("/conference/api/v3/stopSummary", {QStringLiteral("appointmentId"), QStringLiteral("memberUUID")},
          [](SimMeetingApi *api, const Call &call) { return api->summary(call, false, true); });
    route("/conference/api/v2/getCallInNumberByLetter", {}, scenarioValue("dialInNumbers", QJsonArray()));
    route("/conference/api/getClientConfig", {}, scenarioValue("clientConfig", QJsonObject()));
    route("/conference/api/v2/getSwitchConfig", {QStringLiteral("empId")}, scenarioValue("switchConfig", QJsonObject()));
    route("/webvc/savePcJumpStatus", {QStringLiteral("uuid"), QStringLiteral("random"), QStringLiteral("clienttype")},
          echo({QStringLiteral("uuid"), QStringLiteral("random"), QStringLiteral("clienttype")}), true);
    route("/conference/api/v2/meetingContact", {QStringLiteral("empId")}, scenarioValue("contacts", QJsonArray()));
    route("/conference/gbc/getIceServerList", {}, scenarioValue("iceServers", QJsonArray()));
    route("/conference/api/v2/checkPassword", {QStringLiteral("password"), QStringLiteral("uuid")},
          &SimMeetingApi::checkPassword);
    route("/conference/api/v2/openAudioForMultiScreen", {QStringLiteral("appointmentId"), QStringLiteral("ownerId")},
          echo({QStringLiteral("appointmentId")}));
    route("/conference/api/v2/multiScreenRobRoom",
          {QStringLiteral("appointmentId"), QStringLiteral("ownerId"), QStringLiteral("targetMemberUUID"),
           QStringLiteral("enableCall")},
          echo({QStringLiteral("appointmentId"), QStringLiteral("targetMemberUUID")}));
    route("/conference/api/v2/getStartMultiScreenRoomStatus", {QStringLiteral("appointmentId")},
          &SimMeetingApi::startMultiScreenRoomStatus);
    route("/conference/api/v2/shareMultiScreenMember",
          {QStringLiteral("targetMemberUUID"), QStringLiteral("ownerId"), QStringLiteral("type"),
           QStringLiteral("enableShare"), QStringLiteral("enableCall")},
          echo({QStringLiteral("targetMemberUUID"), QStringLiteral("type")}));
    route("/conference/api/v2/shareMultiScreenAll",
          {QStringLiteral("appointmentId"), QStringLiteral("ownerId"), QStringLiteral("type"),
           QStringLiteral("enableShare"), QStringLiteral("enableCall"), QStringLiteral("excludeMyself")},
          echo({QStringLiteral("appointmentId"), QStringLiteral("type")}));
    route("/conference/api/v2/addMemberMultiScreen",
          {QStringLiteral("appointmentId"), QStringLiteral("startAudio"), QStringLiteral("ownerId"),
           QStringLiteral("members")},
          echo({QStringLiteral("appointmentId")}));
    route("/conference/api/v2/notifyMultiScreen",
          {QStringLiteral("appointmentId"), QStringLiteral("memberUUID"), QStringLiteral("status")},
          echo({QStringLiteral("appointmentId"), QStringLiteral("memberUUID"), QStringLiteral("status")}));
    route("/conference/api/v2/findUserAndRoom", {QStringLiteral("key"), QStringLiteral("ownerId")},
          [](SimMeetingApi *api, const Call &call) {
              return ok(api->search(QStringLiteral("findUserAndRoom"), call.param("key")));
          });
}

QStringList SimMeetingApi::routes() const
{
    QStringList paths = m_routes.keys();
    paths.sort();
    return paths;
}

SimOutcome SimMeetingApi::handle(const SimHttpRequest &request, const QJsonObject &form)
{
    SimOutcome outcome;
    const auto found = m_routes.constFind(request.path);
    if (found == m_routes.constEnd()) {
        outcome.response = SimHttpResponse::json({{QStringLiteral("success"), false},
                                                  {QStringLiteral("errorCode"), QStringLiteral("404")},
                                                  {QStringLiteral("errorMsg"), QStringLiteral("no route %1").arg(request.path)}},
                                                 404);
        return outcome;
    }
    const Route &route = found.value();
    // Paths containing "addMember" carry their parameters as the JSON text in "data"
    // (SimRequestChecks has made sure it is an object).
    const QJsonObject params = request.path.contains(QLatin1String("addMember"))
        ? QJsonDocument::fromJson(form.value(QLatin1String("data")).toString().toUtf8()).object()
        : form;
    const Call call{request, params};
    Answer answer;
    for (const QString &key : route.required) {
        if (!params.contains(key)) {
            answer = error(kErrParam, QStringLiteral("missing parameter %1").arg(key));
            break;
        }
    }
    if (answer.ok)
        answer = route.handler(this, call);

    QJsonObject reply;
    if (answer.ok) {
        reply.insert(QStringLiteral("success"), true);
        if (!answer.content.isUndefined() && !answer.content.isNull())
            reply.insert(route.replyAsData ? QStringLiteral("data") : QStringLiteral("content"), answer.content);
    } else {
        qCInfo(lcSim) << request.path << "answers error" << answer.errorCode << answer.errorMsg;
        reply.insert(QStringLiteral("success"), false);
        reply.insert(QStringLiteral("errorCode"), answer.errorCode);
        reply.insert(QStringLiteral("errorMsg"), answer.errorMsg);
    }
    outcome.response = SimHttpResponse::json(reply);
    return outcome;
}

// ---- live state -------------------------------------------------------------------------

int SimMeetingApi::meetingIndex(const QString &id, bool byAppointment) const
{
    const QJsonArray meetings = m_state.value(QLatin1String("meetings")).toArray();
    const char *key = byAppointment ? "appointmentId" : "meetingUUID";
    for (int i = 0; i < meetings.size(); ++i) {
        if (!id.isEmpty() && str(meetings.at(i).toObject(), key) == id)
            return i;
    }
    return -1;
}

QJsonObject SimMeetingApi::meeting(int index) const
{
    return m_state.value(QLatin1String("meetings")).toArray().at(index).toObject();
}

void SimMeetingApi::setMeeting(int index, const QJsonObject &meeting)
{
    QJsonArray meetings = m_state.value(QLatin1String("meetings")).toArray();
    meetings[index] = meeting;
    m_state.insert(QStringLiteral("meetings"), meetings);
}

SimMeetingApi::Answer SimMeetingApi::meetingByAppointment(const QString &id, int *index) const
{
    if (id.isEmpty())
        return error(kErrParam, QStringLiteral("empty appointment id"));
    *index = meetingIndex(id, true);
    if (*index < 0)
        return error(kErrNoMeeting, QStringLiteral("meeting not found: appointment %1").arg(id));
    return ok({});
}

bool SimMeetingApi::findParticipant(int index, const QString &uuid, const QString &memberId, QString *list,
                                    int *position) const
{
    const QJsonObject m = meeting(index);
    for (const QString &name : {kMembers, kRooms}) {
        const QJsonArray entries = m.value(name).toArray();
        for (int i = 0; i < entries.size(); ++i) {
            const QJsonObject entry = entries.at(i).toObject();
            const bool byUuid = !uuid.isEmpty() && str(entry, "memberUUID") == uuid;
            const bool byId = uuid.isEmpty() && !memberId.isEmpty() && memberId != QLatin1String("0")
                && str(entry, "memberId") == memberId;
            if (byUuid || byId) {
                *list = name;
                *position = i;
                return true;
            }
        }
    }
    return false;
}

SimMeetingApi::Answer SimMeetingApi::updateCallState(const Call &call, const QString &field, int value)
{
    int index = -1;
    Answer found = meetingByAppointment(call.param("appointment_id"), &index);
    if (!found.ok)
        return found;
    QString list;
    int position = -1;
    if (!findParticipant(index, call.param("member_uuid"), call.param("member_id"), &list, &position))
        return error(kErrNoMember, QStringLiteral("member not found: %1").arg(call.param("member_uuid")));
    QJsonObject m = meeting(index);
    QJsonArray entries = m.value(list).toArray();
    QJsonObject entry = entries.at(position).toObject();
    QJsonObject state = entry.value(QLatin1String("callState")).toObject();
    state.insert(field, value);
    if (field == QLatin1String("online") && value == 0)
        state.insert(QStringLiteral("ringing"), 0);
    entry.insert(QStringLiteral("callState"), state);
    entries[position] = entry;
    m.insert(list, entries);
    setMeeting(index, m);
    return ok(QJsonObject{{QStringLiteral("memberUUID"), str(entry, "memberUUID")},
                          {QStringLiteral("callState"), state}});
}

bool SimMeetingApi::setOnline(const QString &meetingUUID, const QString &memberUUID, bool online)
{
    const int index = meetingIndex(meetingUUID, false);
    QString list;
    int position = -1;
    if (index < 0 || memberUUID.isEmpty() || !findParticipant(index, memberUUID, {}, &list, &position))
        return false;
    QJsonObject m = meeting(index);
    QJsonArray entries = m.value(list).toArray();
    QJsonObject entry = entries.at(position).toObject();
    QJsonObject state = entry.value(QLatin1String("callState")).toObject();
    state.insert(QStringLiteral("online"), online ? 1 : 0);
    state.insert(QStringLiteral("ringing"), 0);
    entry.insert(QStringLiteral("callState"), state);
    entries[position] = entry;
    m.insert(list, entries);
    setMeeting(index, m);
    return true;
}

QJsonObject SimMeetingApi::selfMember(int index, const Call &call)
{
    QJsonObject m = meeting(index);
    QJsonArray members = m.value(kMembers).toArray();
    // Staff are known by their work id ("ownerId"); others by the member UUID they bring.
    const QString empId = call.param("ownerId");
    const QString outerUuid = call.param("outerMemberUUID");
    for (const QJsonValue &value : members) {
        const QJsonObject member = value.toObject();
        if ((!empId.isEmpty() && str(member, "empId") == empId)
            || (empId.isEmpty() && !outerUuid.isEmpty() && str(member, "memberUUID") == outerUuid))
            return member;
    }
    if (empId.isEmpty() && outerUuid.isEmpty()) {
        const QString selfUuid = str(m, "selfMemberUUID");
        for (const QJsonValue &value : members) {
            if (str(value.toObject(), "memberUUID") == selfUuid)
                return value.toObject();
        }
    }
    // Someone the meeting did not invite: the service adds them as they join.
    const QString key = empId.isEmpty() ? outerUuid : empId;
    const QString uuid = !outerUuid.isEmpty() && empId.isEmpty()
        ? outerUuid
        : QUuid::createUuidV5(QUuid(str(m, "meetingUUID")), key).toString(QUuid::WithoutBraces).toUpper();
    const QString alias = call.param("outerAliasName");
    QJsonObject guest{{QStringLiteral("memberUUID"), uuid},
                      {QStringLiteral("empId"), empId},
                      {QStringLiteral("displayName"), alias.isEmpty() ? (empId.isEmpty() ? QStringLiteral("Guest") : empId) : alias},
                      {QStringLiteral("memberType"), empId.isEmpty() ? 3 : 1},
                      {QStringLiteral("memberId"), m_nextMemberId++},
                      {QStringLiteral("appointmentId"), m.value(QLatin1String("appointmentId"))},
                      {QStringLiteral("joinType"), 2},
                      {QStringLiteral("callState"),
                       QJsonObject{{QStringLiteral("online"), 0}, {QStringLiteral("ringing"), 0},
                                   {QStringLiteral("mute"), 0}, {QStringLiteral("vmute"), 0},
                                   {QStringLiteral("hasVideo"), 1}, {QStringLiteral("extension"), -1},
                                   {QStringLiteral("cellphone"), -1}, {QStringLiteral("multiScreen"), 0}}}};
    members.append(guest);
    m.insert(kMembers, members);
    setMeeting(index, m);
    return guest;
}

QJsonArray SimMeetingApi::search(const QString &listName, const QString &keyword) const
{
    QJsonArray results;
    const QJsonArray entries = m_state.value(QLatin1String("search")).toObject().value(listName).toArray();
    for (const QJsonValue &entry : entries) {
        if (matchesKeyword(entry.toObject(), keyword.trimmed()))
            results.append(entry);
    }
    return results;
}

// ---- routes -----------------------------------------------------------------------------

SimMeetingApi::Answer SimMeetingApi::addMember(const Call &call)
{
    const QJsonObject &data = call.form;
    const QJsonValue memberList = data.value(QLatin1String("memberList"));
    if (!memberList.isUndefined() && !memberList.isArray())
        return error(kErrParam, QStringLiteral("memberList in data is not a list"));
    int index = -1;
    Answer found = meetingByAppointment(str(data, "appointmentId"), &index);
    if (!found.ok)
        return found;

    QJsonObject m = meeting(index);
    QJsonArray members = m.value(kMembers).toArray();
    QJsonArray rooms = m.value(kRooms).toArray();
    QJsonArray added;
    QJsonArray directory;
    for (const char *listName : {"findUserAndRoom", "findMember"}) {
        for (const QJsonValue &entry :
             m_state.value(QLatin1String("search")).toObject().value(QLatin1String(listName)).toArray())
            directory.append(entry);
    }
    auto lookUp = [&directory](const char *key, const QString &value) {
        for (const QJsonValue &entry : directory) {
            if (!value.isEmpty() && str(entry.toObject(), key) == value)
                return entry.toObject();
        }
        return QJsonObject();
    };
    auto invite = [&](QJsonObject person, QJsonArray &into) {
        person.insert(QStringLiteral("appointmentId"), m.value(QLatin1String("appointmentId")));
        if (str(person, "memberUUID").isEmpty())
            person.insert(QStringLiteral("memberUUID"), QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper());
        if (person.value(QLatin1String("memberId")).toInteger() == 0)
            person.insert(QStringLiteral("memberId"), m_nextMemberId++);
        person.insert(QStringLiteral("callState"),
                      QJsonObject{{QStringLiteral("online"), 0}, {QStringLiteral("ringing"), 1},
                                  {QStringLiteral("mute"), -1}, {QStringLiteral("vmute"), -1},
                                  {QStringLiteral("hasVideo"), -1}, {QStringLiteral("extension"), -1},
                                  {QStringLiteral("cellphone"), -1}, {QStringLiteral("multiScreen"), 0}});
        into.append(person);
        added.append(str(person, "memberUUID"));
    };
    for (const QJsonValue &value : memberList.toArray()) {
        const QJsonObject entry = value.toObject();
        if (!str(entry, "empId").isEmpty()) {
            QJsonObject person = lookUp("empId", str(entry, "empId"));
            if (person.isEmpty())
                person = {{QStringLiteral("empId"), str(entry, "empId")}, {QStringLiteral("displayName"), str(entry, "empId")}};
            person.insert(QStringLiteral("memberType"), 1);
            invite(person, members);
        } else if (!str(entry, "email").isEmpty() || !str(entry, "cellPhone").isEmpty()
                   || !str(entry, "extensionPhone").isEmpty()) {
            QJsonObject person = entry;
            person.insert(QStringLiteral("memberType"), 3);
            person.insert(QStringLiteral("displayName"),
                          !str(entry, "email").isEmpty() ? str(entry, "email") : str(entry, "cellPhone") + str(entry, "extensionPhone"));
            invite(person, members);
        } else {
            return error(kErrParam, QStringLiteral("memberList entry without empId, email, cellPhone or extensionPhone"));
        }
    }
    for (const QString &roomId : str(data, "roomIds").split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        QJsonObject room = lookUp("roomId", roomId.trimmed());
        if (room.isEmpty())
            room = {{QStringLiteral("roomId"), roomId.trimmed()}, {QStringLiteral("roomName"), roomId.trimmed()}};
        room.insert(QStringLiteral("memberType"), 2);
        invite(room, rooms);
    }
    m.insert(kMembers, members);
    m.insert(kRooms, rooms);
    setMeeting(index, m);
    return ok(QJsonObject{{QStringLiteral("appointmentId"), m.value(QLatin1String("appointmentId"))},
                          {QStringLiteral("added"), added}});
}

SimMeetingApi::Answer SimMeetingApi::detailAppointment(const Call &call)
{
    int index = -1;
    Answer found = meetingByAppointment(call.param("appointmentId"), &index);
    if (!found.ok)
        return found;
    const QJsonObject m = meeting(index);
    QJsonObject detail = m.value(QLatin1String("appointmentDetail")).toObject();
    detail.insert(QStringLiteral("appointmentId"), m.value(QLatin1String("appointmentId")));
    detail.insert(QStringLiteral("appointmentUUID"), m.value(QLatin1String("meetingUUID")));
    detail.insert(QStringLiteral("memberList"), m.value(kMembers).toArray());
    detail.insert(QStringLiteral("roomList"), m.value(kRooms).toArray());
    return ok(detail);
}

SimMeetingApi::Answer SimMeetingApi::muteMember(const Call &call, const QString &field)
{
    const QString status = call.param("status");
    if (!isBooleanText(status))
        return error(kErrParam, QStringLiteral("status must be true or false, not \"%1\"").arg(status));
    return updateCallState(call, field, isTrueText(status) ? 1 : 0);
}

SimMeetingApi::Answer SimMeetingApi::findMember(const Call &call)
{
    return ok(search(QStringLiteral("findMember"), call.param("keyword")));
}

SimMeetingApi::Answer SimMeetingApi::meetingInfo(const Call &call)
{
    const QString meetingId = call.param("meetingId");
    const int index = meetingIndex(meetingId, false);
    if (index < 0)
        return error(kErrNoMeeting, QStringLiteral("meeting not found: %1").arg(meetingId));
    if (call.form.contains(QLatin1String("iceServers"))
        && !QJsonDocument::fromJson(call.param("iceServers").toUtf8()).isObject())
        return error(kErrParam, QStringLiteral("iceServers is not the JSON text of an object"));
    if (meeting(index).value(QLatin1String("ended")).toBool())
        return error(kErrEnded, QStringLiteral("the meeting has ended"));
    const QJsonObject self = selfMember(index, call);
    const QJsonObject m = meeting(index);
    QJsonObject info = m.value(QLatin1String("meetingInfo")).toObject();
    if (!info.contains(QLatin1String("roomid")))
        info.insert(QStringLiteral("roomid"), str(m, "appointmentId"));
    if (!info.contains(QLatin1String("iceServers")))
        info.insert(QStringLiteral("iceServers"), m_state.value(QLatin1String("iceServers")));
    info.insert(QStringLiteral("memberInfo"), self);
    return ok(info);
}

SimMeetingApi::Answer SimMeetingApi::callMember(const Call &call)
{
    int index = -1;
    Answer found = meetingByAppointment(call.param("appointment_id"), &index);
    if (!found.ok)
        return found;
    QString list;
    int position = -1;
    if (findParticipant(index, call.param("member_uuid"), call.param("member_id"), &list, &position)) {
        const QJsonObject entry = meeting(index).value(list).toArray().at(position).toObject();
        // A scenario entry may make the call fail, e.g. "-20" for a busy meeting room.
        if (!str(entry, "callErrorCode").isEmpty())
            return error(str(entry, "callErrorCode"), str(entry, "callErrorMsg"));
    }
    return updateCallState(call, QStringLiteral("ringing"), 1);
}

SimMeetingApi::Answer SimMeetingApi::hangUpAll(const Call &call)
{
    int index = -1;
    Answer found = meetingByAppointment(call.param("appointmentId"), &index);
    if (!found.ok)
        return found;
    QJsonObject m = meeting(index);
    m.insert(QStringLiteral("ended"), true);
    for (const QString &name : {kMembers, kRooms}) {
        QJsonArray entries = m.value(name).toArray();
        for (int i = 0; i < entries.size(); ++i) {
            QJsonObject entry = entries.at(i).toObject();
            QJsonObject state = entry.value(QLatin1String("callState")).toObject();
            state.insert(QStringLiteral("online"), 0);
            state.insert(QStringLiteral("ringing"), 0);
            entry.insert(QStringLiteral("callState"), state);
            entries[i] = entry;
        }
        m.insert(name, entries);
    }
    setMeeting(index, m);
    return ok(QJsonObject{{QStringLiteral("appointmentId"), m.value(QLatin1String("appointmentId"))}});
}

SimMeetingApi::Answer SimMeetingApi::hangUpMember(const Call &call)
{
    return updateCallState(call, QStringLiteral("online"), 0);
}

SimMeetingApi::Answer SimMeetingApi::roomsStatus(const Call &call)
{
    int index = -1;
    Answer found = meetingByAppointment(call.param("appointmentId"), &index);
    if (!found.ok)
        return found;
    const QJsonObject statuses = m_state.value(QLatin1String("roomStatuses")).toObject();
    QJsonArray result;
    for (const QString &id : call.param("roomIds").split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString roomId = id.trimmed();
        const QString status = statuses.value(roomId).toString();
        result.append(QJsonObject{{QStringLiteral("roomId"), roomId},
                                  {QStringLiteral("status"), status.isEmpty() ? QStringLiteral("idle") : status}});
    }
    return ok(result);
}

SimMeetingApi::Answer SimMeetingApi::summary(const Call &call, bool open, bool stop)
{
    int index = -1;
    Answer found = meetingByAppointment(call.param("appointmentId"), &index);
    if (!found.ok)
        return found;
    QJsonObject m = meeting(index);
    QJsonObject info = m.value(QLatin1String("meetingInfo")).toObject();
    const bool running = !info.value(QLatin1String("summaryLanguage")).toString().isEmpty();
    if (!open && !stop && !running)
        return error(QStringLiteral("11010"), QStringLiteral("the meeting summary is not running"));
    const QString lang = stop ? QString() : call.param("lang");
    if (!stop && lang != QLatin1String("zh") && lang != QLatin1String("en"))
        return error(kErrParam, QStringLiteral("lang must be zh or en, not \"%1\"").arg(lang));
    info.insert(QStringLiteral("summaryLanguage"), lang);
    m.insert(QStringLiteral("meetingInfo"), info);
    setMeeting(index, m);
    return ok(QJsonObject{{QStringLiteral("appointmentId"), m.value(QLatin1String("appointmentId"))},
                          {QStringLiteral("summaryLanguage"), lang}});
}

SimMeetingApi::Answer SimMeetingApi::checkPassword(const Call &call)
{
    const QString password = call.param("password");
    const QJsonArray meetings = m_state.value(QLatin1String("meetings")).toArray();
    for (const QJsonValue &value : meetings) {
        const QJsonObject m = value.toObject();
        const QString expected = str(m.value(QLatin1String("appointmentDetail")).toObject(), "password");
        if (!password.isEmpty() && password == expected) {
            return ok(QJsonObject{
                {QStringLiteral("meetingUUID"), m.value(QLatin1String("meetingUUID"))},
                {QStringLiteral("appointmentId"), m.value(QLatin1String("appointmentId"))},
                {QStringLiteral("meetingToken"), m.value(QLatin1String("meetingToken"))},
                {QStringLiteral("appointmentName"),
                 m.value(QLatin1String("appointmentDetail")).toObject().value(QLatin1String("appointmentName"))}});
        }
    }
    return error(kErrPassword, QStringLiteral("no meeting has this password"));
}

SimMeetingApi::Answer SimMeetingApi::startMultiScreenRoomStatus(const Call &call)
{
    int index = -1;
    Answer found = meetingByAppointment(call.param("appointmentId"), &index);
    if (!found.ok)
        return found;
    return ok(meeting(index).value(QLatin1String("multiScreenRoomStatus")).toArray());
}

SimMeetingApi::Answer SimMeetingApi::acknowledge(const Call &call, const QStringList &echoKeys)
{
    if (call.form.contains(QLatin1String("appointmentId"))) {
        int index = -1;
        Answer found = meetingByAppointment(call.param("appointmentId"), &index);
        if (!found.ok)
            return found;
    }
    QJsonObject content;
    for (const QString &key : echoKeys)
        content.insert(key, call.form.value(key));
    return ok(content);
}

} // namespace kelvosim
