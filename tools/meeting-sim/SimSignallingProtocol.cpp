#include "SimSignallingProtocol.h"

#include "SimLog.h"
#include "SimMeetingApi.h"
#include "SimScenario.h"
#include "SimSignallingEvents.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QUuid>

namespace kelvosim {

using namespace signalling;

namespace {

// Answer codes besides the meeting API's own.
constexpr int kOk = 200;
constexpr int kBadEnvelope = 400;
constexpr int kNotRegistered = 401;
constexpr int kUnknownOperation = 404;
constexpr int kBadParameter = 11001;
constexpr int kBadToken = 91207;

const QStringList kEnvelopeKeys{QStringLiteral("messageId"), QStringLiteral("requestId"), QStringLiteral("bornTime"),
                                QStringLiteral("arriveTime"), QStringLiteral("from"),     QStringLiteral("to"),
                                QStringLiteral("topic"),     QStringLiteral("messageType"), QStringLiteral("body")};

QString str(const QJsonObject &object, const char *key)
{
    return SimScenario::text(object.value(QLatin1String(key)));
}

bool isUuid(const QJsonValue &value)
{
    const QString text = value.toString();
    return value.isString() && text.size() == 36 && !QUuid::fromString(text).isNull();
}

bool isMillis(const QJsonValue &value)
{
    return value.isDouble() && value.toDouble() >= 0 && value.toDouble() == double(value.toInteger());
}

// What is wrong with a request envelope; empty when nothing is.
QString envelopeProblem(const QJsonObject &request)
{
    for (const QString &key : kEnvelopeKeys) {
        if (!request.contains(key))
            return QStringLiteral("missing key \"%1\"").arg(key);
    }
    for (auto it = request.begin(); it != request.end(); ++it) {
        if (!kEnvelopeKeys.contains(it.key()))
            return QStringLiteral("unexpected key \"%1\"").arg(it.key());
    }
    for (const char *key : {"messageId", "requestId"}) {
        if (!isUuid(request.value(QLatin1String(key))))
            return QStringLiteral("%1 is not a UUID").arg(QLatin1String(key));
    }
    for (const char *key : {"bornTime", "arriveTime"}) {
        if (!isMillis(request.value(QLatin1String(key))))
            return QStringLiteral("%1 is not a time in milliseconds").arg(QLatin1String(key));
    }
    const QJsonValue from = request.value(QLatin1String("from"));
    if (!from.isObject() || !from.toObject().value(QLatin1String("sessionId")).isString())
        return QStringLiteral("from is not {\"sessionId\": <text>}");
    const QJsonValue to = request.value(QLatin1String("to"));
    if (!to.isObject() || to.toObject().value(QLatin1String("sessionId")).toString() != QLatin1String("system"))
        return QStringLiteral("to is not {\"sessionId\": \"system\"}");
    for (const char *key : {"topic", "messageType"}) {
        if (!request.value(QLatin1String(key)).isString())
            return QStringLiteral("%1 is not text").arg(QLatin1String(key));
    }
    if (!request.value(QLatin1String("body")).isObject())
        return QStringLiteral("body is not an object");
    return {};
}

// The first of `keys` that `body` lacks or holds as something other than text; empty when none.
QString missingText(const QJsonObject &body, const QStringList &keys)
{
    for (const QString &key : keys) {
        if (!body.value(key).isString())
            return key;
    }
    return {};
}

SimSignallingOutcome answer(const QString &messageType, const QJsonObject &message)
{
    SimSignallingOutcome outcome;
    outcome.messageType = messageType;
    outcome.answer = message;
    return outcome;
}

SimSignallingOutcome failure(const QJsonObject &request, int code, const QString &text)
{
    qCInfo(lcSim) << "signalling" << request.value(QLatin1String("messageType")).toString() << "answers" << code
                  << ":" << text;
    return answer(request.value(QLatin1String("messageType")).toString(), SimSignallingProtocol::reply(request, code, text));
}

} // namespace

SimSignallingProtocol::Kind SimSignallingProtocol::kind(const QJsonObject &message)
{
    if (message.size() == 1 && message.value(QLatin1String("body")).isObject()) {
        const QJsonObject body = message.value(QLatin1String("body")).toObject();
        return body.value(QLatin1String("eventId")).toInt() == MemberListAnswer ? Kind::InternalRegister : Kind::Other;
    }
    if (message.value(QLatin1String("topic")).toString() == QLatin1String("wsmessage")
        && message.value(QLatin1String("messageType")).toString() == QLatin1String("register"))
        return Kind::Register;
    return Kind::Other;
}

QJsonObject SimSignallingProtocol::reply(const QJsonObject &request, int code, const QString &text, const QJsonObject &data)
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    QJsonObject from = request.value(QLatin1String("to")).toObject();
    if (from.isEmpty())
        from = {{QStringLiteral("sessionId"), QStringLiteral("system")}};
    return {{QStringLiteral("messageId"), QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper()},
            {QStringLiteral("requestId"), request.value(QLatin1String("requestId"))},
            {QStringLiteral("bornTime"), now},
            {QStringLiteral("arriveTime"), now},
            {QStringLiteral("from"), from},
            {QStringLiteral("to"), request.value(QLatin1String("from")).toObject()},
            {QStringLiteral("topic"), request.value(QLatin1String("topic"))},
            {QStringLiteral("messageType"), request.value(QLatin1String("messageType"))},
            {QStringLiteral("response"), true},
            {QStringLiteral("responseCode"), code},
            {QStringLiteral("responseMsg"), text},
            {QStringLiteral("data"), data}};
}

SimSignallingOutcome SimSignallingProtocol::handle(const SimSignallingPeer &peer, const QJsonObject &message)
{
    if (message.size() == 1 && message.contains(QLatin1String("body"))) {
        if (!message.value(QLatin1String("body")).isObject()) {
            qCWarning(lcSim) << "signalling connection" << peer.id << ": internal message whose body is not an object";
            return {};
        }
        return handleInternal(peer, message.value(QLatin1String("body")).toObject());
    }
    return handleRequest(peer, message);
}

SimSignallingOutcome SimSignallingProtocol::refuse(const QJsonObject &message, int code)
{
    if (kind(message) == Kind::InternalRegister) {
        qCInfo(lcSim) << "internal register refused (no answer is sent)";
        SimSignallingOutcome outcome;
        outcome.messageType = QStringLiteral("register");
        return outcome;
    }
    return failure(message, code, QStringLiteral("register refused by the simulator"));
}

SimSignallingOutcome SimSignallingProtocol::handleRequest(const SimSignallingPeer &peer, const QJsonObject &request)
{
    const QString problem = envelopeProblem(request);
    if (!problem.isEmpty()) {
        qCWarning(lcSim) << "signalling connection" << peer.id << ": bad request envelope:" << problem;
        if (!request.value(QLatin1String("requestId")).toString().isEmpty())
            return failure(request, kBadEnvelope, QStringLiteral("bad request envelope: %1").arg(problem));
        return {};
    }
    const QString topic = request.value(QLatin1String("topic")).toString();
    const QString type = request.value(QLatin1String("messageType")).toString();
    if (topic == QLatin1String("wsmessage") && type == QLatin1String("register"))
        return registerConnection(request);
    if (topic == QLatin1String("media") && type == QLatin1String("info")) {
        const QJsonObject body = request.value(QLatin1String("body")).toObject();
        if (str(body, "type") != QLatin1String("keepalive") || str(body, "version") != QLatin1String("1"))
            qCWarning(lcSim) << "signalling connection" << peer.id << ": media info that is not a keep-alive:"
                             << QJsonDocument(body).toJson(QJsonDocument::Compact);
        return {}; // keep-alives get no reply
    }
    if (topic == QLatin1String("meeting_status") && type == QLatin1String("memberlist"))
        return memberList(peer, request);
    if (topic == QLatin1String("meeting_control"))
        return control(peer, request);
    return failure(request, kUnknownOperation, QStringLiteral("unknown operation %1/%2").arg(topic, type));
}

SimSignallingOutcome SimSignallingProtocol::handleInternal(const SimSignallingPeer &peer, const QJsonObject &body)
{
    const QJsonValue eventId = body.value(QLatin1String("eventId"));
    const QString appointmentId = str(body, "appointmentId");
    const QString memberUUID = body.value(QLatin1String("memberUUID")).toString();
    if (!eventId.isDouble()) {
        qCWarning(lcSim) << "signalling connection" << peer.id << ": internal message without a numeric eventId";
        return {};
    }
    if (eventId.toInt() == KeepAliveInternal)
        return {};
    if (eventId.toInt() != MemberListAnswer) {
        qCWarning(lcSim) << "signalling connection" << peer.id << ": internal message with unknown eventId" << eventId.toInt();
        return {};
    }
    const QJsonValue outer = body.value(QLatin1String("outerMember"));
    if (!outer.isDouble() || (outer.toInt() != 0 && outer.toInt() != 1))
        qCWarning(lcSim) << "signalling connection" << peer.id << ": internal register with outerMember not 0 or 1";
    QJsonObject meeting = meetingByAppointment(appointmentId);
    if (meeting.isEmpty()) {
        qCWarning(lcSim) << "signalling connection" << peer.id << ": internal register for unknown appointment"
                         << appointmentId << "; nothing is sent";
        return {};
    }
    // The registering member is in the meeting now; the list it gets back says so.
    if (m_api) {
        m_api->markJoined(str(meeting, "meetingUUID"), memberUUID);
        meeting = meetingByAppointment(appointmentId);
    }
    SimSignallingOutcome outcome = answer(QStringLiteral("register"), push(eventKind(MemberListAnswer),
                                                                           eventBody(meeting, MemberListAnswer, memberUUID)));
    outcome.bind = SimSignallingBinding{str(meeting, "meetingUUID"), memberUUID};
    return outcome;
}

SimSignallingOutcome SimSignallingProtocol::registerConnection(const QJsonObject &request)
{
    const QJsonObject body = request.value(QLatin1String("body")).toObject();
    if (!body.value(QLatin1String("token")).isString())
        return failure(request, kBadToken, QStringLiteral("register without a token"));
    const QString token = body.value(QLatin1String("token")).toString();
    const QJsonArray meetings = m_api ? m_api->state().value(QLatin1String("meetings")).toArray() : QJsonArray();
    for (const QJsonValue &value : meetings) {
        const QJsonObject meeting = value.toObject();
        if (token.isEmpty() || str(meeting, "meetingToken") != token)
            continue;
        const QString member = request.value(QLatin1String("from")).toObject().value(QLatin1String("sessionId")).toString();
        m_api->markJoined(str(meeting, "meetingUUID"), member);
        SimSignallingOutcome outcome = answer(
            QStringLiteral("register"),
            reply(request, kOk, QStringLiteral("success"),
                  {{QStringLiteral("meetingUUID"), meeting.value(QLatin1String("meetingUUID"))},
                   {QStringLiteral("appointmentId"), meeting.value(QLatin1String("appointmentId"))},
                   {QStringLiteral("sessionId"), member}}));
        outcome.bind = SimSignallingBinding{str(meeting, "meetingUUID"), member};
        return outcome;
    }
    return failure(request, kBadToken, QStringLiteral("invalid meeting token \"%1\"").arg(token));
}

SimSignallingOutcome SimSignallingProtocol::memberList(const SimSignallingPeer &peer, const QJsonObject &request)
{
    if (!peer.registered)
        return failure(request, kNotRegistered, QStringLiteral("the connection has not registered"));
    const QJsonObject body = request.value(QLatin1String("body")).toObject();
    if (!body.value(QLatin1String("eventId")).isDouble() || body.value(QLatin1String("eventId")).toInt() != MemberListAnswer)
        return failure(request, kBadParameter, QStringLiteral("eventId must be the number 10001"));
    const QJsonValue appointment = body.value(QLatin1String("appointmentId"));
    if (!appointment.isString() && !appointment.isDouble())
        return failure(request, kBadParameter, QStringLiteral("missing parameter appointmentId"));
    const QJsonObject meeting = meetingByAppointment(str(body, "appointmentId"));
    if (meeting.isEmpty() || str(meeting, "meetingUUID") != peer.meetingUUID)
        return failure(request, 11002,
                       QStringLiteral("appointment %1 is not the meeting this connection registered for").arg(str(body, "appointmentId")));
    const QJsonObject data{{QStringLiteral("type"), eventKind(MemberListAnswer)},
                           {QStringLiteral("body"), eventBody(meeting, MemberListAnswer, peer.memberUUID)}};
    return answer(QStringLiteral("memberlist"), reply(request, kOk, QStringLiteral("success"), data));
}

SimSignallingOutcome SimSignallingProtocol::control(const SimSignallingPeer &peer, const QJsonObject &request)
{
    const QString type = request.value(QLatin1String("messageType")).toString();
    const QJsonObject body = request.value(QLatin1String("body")).toObject();
    if (!peer.registered)
        return failure(request, kNotRegistered, QStringLiteral("the connection has not registered"));

    static const QHash<QString, QStringList> required{
        {QStringLiteral("mute"), {QStringLiteral("appointmentId"), QStringLiteral("memberUuid"), QStringLiteral("status")}},
        {QStringLiteral("vmute"), {QStringLiteral("appointmentId"), QStringLiteral("memberUuid"), QStringLiteral("status")}},
        {QStringLiteral("hangup"), {QStringLiteral("appointmentId"), QStringLiteral("memberUuid"), QStringLiteral("type")}},
        {QStringLiteral("hangupall"), {QStringLiteral("appointmentId"), QStringLiteral("userId"), QStringLiteral("type")}},
        {QStringLiteral("meetinginfo"),
         {QStringLiteral("meetingUuid"), QStringLiteral("userId"), QStringLiteral("clientUuid"),
          QStringLiteral("meetingClientType"), QStringLiteral("clientVersion")}},
        {QStringLiteral("getclientconfig"),
         {QStringLiteral("userId"), QStringLiteral("model"), QStringLiteral("version"), QStringLiteral("scene")}},
        {QStringLiteral("getswitchconfig"), {QStringLiteral("userId")}},
        {QStringLiteral("geticeserverlist"), {QStringLiteral("userId"), QStringLiteral("version"), QStringLiteral("scene")}},
    };
    const auto keys = required.constFind(type);
    if (keys == required.constEnd())
        return failure(request, kUnknownOperation, QStringLiteral("unknown meeting_control operation \"%1\"").arg(type));
    const QString missing = missingText(body, *keys);
    if (!missing.isEmpty())
        return failure(request, kBadParameter, QStringLiteral("missing parameter %1 (text)").arg(missing));
    for (const char *optional : {"iceServers", "memberUuid"}) {
        if (body.contains(QLatin1String(optional)) && !body.value(QLatin1String(optional)).isString())
            return failure(request, kBadParameter, QStringLiteral("%1 is not text").arg(QLatin1String(optional)));
    }

    const QString appointmentId = str(body, "appointmentId");
    const QString target = str(body, "memberUuid");
    QString path;
    QJsonObject params;
    if (type == QLatin1String("mute") || type == QLatin1String("vmute") || type == QLatin1String("hangup")) {
        path = type == QLatin1String("hangup") ? QStringLiteral("/conference/api/hangUpMeetingMember")
            : type == QLatin1String("mute")    ? QStringLiteral("/conference/api/muteMeetingMember")
                                               : QStringLiteral("/conference/api/vmuteMeetingMember");
        params = {{QStringLiteral("appointment_id"), appointmentId},
                  {QStringLiteral("member_uuid"), target},
                  {QStringLiteral("member_id"), QString()},
                  {QStringLiteral("status"), str(body, "status")},
                  {QStringLiteral("type"), str(body, "type")}};
    } else if (type == QLatin1String("hangupall")) {
        if (str(body, "type") != QLatin1String("3"))
            return failure(request, kBadParameter, QStringLiteral("hangupall takes type \"3\", not \"%1\"").arg(str(body, "type")));
        path = QStringLiteral("/conference/api/v2/hangUpAll");
        params = {{QStringLiteral("appointmentId"), appointmentId}};
    } else if (type == QLatin1String("meetinginfo")) {
        path = QStringLiteral("/conference/api/meetingInfo");
        // The member is the one the request names, else the one the connection registered as.
        const QString member = target.isEmpty() ? peer.memberUUID : target;
        params = {{QStringLiteral("meetingId"), str(body, "meetingUuid")},
                  {QStringLiteral("clientUuid"), str(body, "clientUuid")},
                  {QStringLiteral("meetingClientType"), str(body, "meetingClientType")},
                  {QStringLiteral("clientVersion"), str(body, "clientVersion")}};
        if (!member.isEmpty())
            params.insert(QStringLiteral("outerMemberUUID"), member);
        if (body.contains(QLatin1String("iceServers")))
            params.insert(QStringLiteral("iceServers"), str(body, "iceServers"));
    } else if (type == QLatin1String("getclientconfig")) {
        path = QStringLiteral("/conference/api/getClientConfig");
    } else if (type == QLatin1String("getswitchconfig")) {
        path = QStringLiteral("/conference/api/v2/getSwitchConfig");
        params = {{QStringLiteral("empId"), str(body, "userId")}};
    } else {
        path = QStringLiteral("/conference/gbc/getIceServerList");
    }

    const RouteAnswer result = route(path, params);
    if (!result.ok)
        return failure(request, result.code, result.message);
    SimSignallingOutcome outcome = answer(type, reply(request, kOk, QStringLiteral("success"), result.content));

    // What the rest of the meeting learns from it.
    const QJsonObject meeting = meetingByAppointment(appointmentId);
    const QString meetingUUID = str(meeting, "meetingUUID");
    auto toOthers = [&](int eventId, const QString &about) {
        SimSignallingPush push;
        push.meetingUUID = meetingUUID;
        push.message = signalling::push(eventKind(eventId), eventBody(meeting, eventId, about));
        push.skipConnection = peer.id;
        return push;
    };
    const bool on = str(body, "status") == QLatin1String("true") || str(body, "status") == QLatin1String("1");
    if (type == QLatin1String("mute")) {
        outcome.pushes.append(toOthers(on ? AudioMuted : AudioUnmuted, target));
    } else if (type == QLatin1String("vmute")) {
        outcome.pushes.append(toOthers(on ? VideoMuted : VideoUnmuted, target));
    } else if (type == QLatin1String("hangup")) {
        SimSignallingPush kick = toOthers(Kick, target);
        kick.onlyMember = target;
        SimSignallingPush offline = toOthers(Offline, target);
        offline.exceptMember = target;
        outcome.pushes = {kick, offline};
    } else if (type == QLatin1String("hangupall")) {
        outcome.pushes.append(toOthers(MeetingDeleted, peer.memberUUID));
    }
    return outcome;
}

SimSignallingProtocol::RouteAnswer SimSignallingProtocol::route(const QString &path, const QJsonObject &params)
{
    RouteAnswer result;
    if (!m_api) {
        result.code = 503;
        result.message = QStringLiteral("the simulator is starting");
        return result;
    }
    SimHttpRequest request;
    request.method = "POST";
    request.path = path;
    request.target = path.toUtf8();
    const QJsonObject reply = QJsonDocument::fromJson(m_api->handle(request, params).response.body).object();
    if (!reply.value(QLatin1String("success")).toBool()) {
        bool numeric = false;
        result.code = str(reply, "errorCode").toInt(&numeric);
        if (!numeric)
            result.code = 500;
        result.message = str(reply, "errorMsg");
        return result;
    }
    const QJsonValue content = reply.value(QLatin1String("content"));
    result.ok = true;
    if (path.endsWith(QLatin1String("getIceServerList")))
        result.content = {{QStringLiteral("iceServerList"), content}};
    else
        result.content = content.toObject();
    return result;
}

QJsonObject SimSignallingProtocol::meetingByAppointment(const QString &appointmentId) const
{
    return m_api && !appointmentId.isEmpty() ? SimScenario::findMeeting(m_api->state(), appointmentId, true) : QJsonObject();
}

} // namespace kelvosim
