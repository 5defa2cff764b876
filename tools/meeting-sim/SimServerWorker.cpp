#include "SimServerWorker.h"

#include "SimCaptionPage.h"
#include "SimRatePage.h"
#include "SimControl.h"
#include "SimForm.h"
#include "SimLog.h"
#include "SimScenario.h"
#include "SimSignallingServer.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>

namespace kelvosim {

namespace {

SimHttpResponse apiError(int status, const QString &code, const QString &message)
{
    return SimHttpResponse::json({{QStringLiteral("success"), false},
                                  {QStringLiteral("errorCode"), code},
                                  {QStringLiteral("errorMsg"), message}},
                                 status);
}

// Projector casts: what the meeting service announces to the meeting's members once it has
// accepted a cast operation. Receiving starts (30) and sending starts (32) follow the client's
// own status report, receiving ends (31) and the projection's end for them (34) follow ending
// the cast for members, and opening the accompanying audio meeting is announced as 35.
void pushProjectorEvents(SimSignallingServer *signalling, const QJsonObject &state, const QString &path,
                         const QJsonObject &form, const SimHttpResponse &response, QSet<QString> &watchers)
{
    const QJsonObject reply = QJsonDocument::fromJson(response.body).object();
    if (!signalling || response.status != 200 || !reply.value(QLatin1String("success")).toBool(true)
        || (!reply.contains(QLatin1String("content")) && !reply.contains(QLatin1String("data"))))
        return;
    const QString appointmentId = SimScenario::text(form.value(QLatin1String("appointmentId")));
    const QString meetingUUID = appointmentId.isEmpty()
        ? QString()
        : SimScenario::findMeeting(state, appointmentId, true).value(QLatin1String("meetingUUID")).toString();
    if (path == QLatin1String("/conference/api/v2/notifyMultiScreen")) {
        const QString status = SimScenario::text(form.value(QLatin1String("status")));
        const QString member = SimScenario::text(form.value(QLatin1String("memberUUID")));
        if (status == QLatin1String("3")) {
            watchers.insert(member);
            signalling->pushEvent(30, member, {}, meetingUUID);
        } else if (status == QLatin1String("4")) {
            watchers.remove(member);
        }
        else if (status == QLatin1String("5"))
            signalling->pushEvent(32, member, {}, meetingUUID);
    } else if (path == QLatin1String("/conference/api/v2/shareMultiScreenMember")) {
        if (SimScenario::text(form.value(QLatin1String("type"))) != QLatin1String("2"))
            return;
        QStringList targets = SimScenario::text(form.value(QLatin1String("targetMemberUUID")))
                                  .split(QLatin1Char(','), Qt::SkipEmptyParts);
        // Everyone watching the cast loses it, whether the sender knew them or not.
        for (const QString &watcher : std::as_const(watchers))
            if (!targets.contains(watcher))
                targets << watcher;
        watchers.clear();
        // The cast ends for them: they stop receiving, and their watching ends (34 about
        // themselves ends a receiver's session).
        for (const QString &target : targets) {
            signalling->pushEvent(31, target, {}, QString());
            signalling->pushEvent(34, target, {}, QString());
        }
    } else if (path == QLatin1String("/conference/api/v2/openAudioForMultiScreen")) {
        signalling->pushEvent(35, QString(), {}, meetingUUID);
    }
}

// Everyone an add request invited arrives in the meeting, ringing: one "addmember" push each.
void pushAddedMembers(SimSignallingServer *signalling, const QJsonObject &state, const QString &path,
                      const SimHttpResponse &response)
{
    if (!signalling || response.status != 200 || path != QLatin1String("/conference/api/addMember"))
        return;
    const QJsonObject reply = QJsonDocument::fromJson(response.body).object();
    if (!reply.value(QLatin1String("success")).toBool(true))
        return;
    const QJsonObject content = reply.value(QLatin1String("content")).toObject();
    const QString appointmentId = SimScenario::text(content.value(QLatin1String("appointmentId")));
    const QString meetingUUID =
        SimScenario::findMeeting(state, appointmentId, true).value(QLatin1String("meetingUUID")).toString();
    if (meetingUUID.isEmpty())
        return;
    for (const QJsonValue &uuid : content.value(QLatin1String("added")).toArray())
        signalling->pushEvent(20, uuid.toString(), {}, meetingUUID);
}

} // namespace

bool SimServerWorker::listen(const QSslConfiguration &tls, const QHostAddress &address, quint16 port,
                             QString *error)
{
    m_server = new SimHttpServer(this);
    m_server->setRequestHandler([this](const SimHttpRequest &request) { return handle(request); });
    // WebSocket upgrades ("Upgrade: websocket") go to the media server or the signalling
    // endpoint by path; each takes only its own.
    m_signalling = new SimSignallingServer(m_control, this);
    if (m_mediaRecord)
        m_media = new SimMediaServer(m_mediaRecord, this);
    m_server->setUpgradeHandler([this](QSslSocket *socket, const SimHttpRequest &head) {
        if (m_media && head.path == SimMediaServer::path())
            return m_media->accept(socket, head);
        return m_signalling && m_signalling->accept(socket, head);
    });
    if (!m_server->listen(tls, address, port, error)) {
        delete m_signalling;
        m_signalling = nullptr;
        delete m_media;
        m_media = nullptr;
        delete m_server;
        m_server = nullptr;
        return false;
    }
    return true;
}

void SimServerWorker::setScenario(const QJsonObject &scenario)
{
    m_api = std::make_unique<SimMeetingApi>(scenario);
    m_checks = std::make_unique<SimRequestChecks>(scenario.value(QLatin1String("accessToken")).toString());
    m_logService = std::make_unique<SimLogService>(scenario.value(QLatin1String("logService")).toObject());
    m_ratePage = std::make_unique<SimRatePage>(scenario.value(QLatin1String("ratePage")).toObject());
    if (m_signalling)
        m_signalling->setApi(m_api.get());
    if (m_media)
        m_media->setScenario(scenario);
}

void SimServerWorker::releaseHeld(const QString &path)
{
    if (m_server)
        m_server->releaseHeld(path);
}

void SimServerWorker::shutdown()
{
    if (m_media) {
        m_media->shutdown();
        delete m_media;
        m_media = nullptr;
    }
    if (m_signalling) {
        m_signalling->shutdown();
        delete m_signalling;
        m_signalling = nullptr;
    }
    if (m_server) {
        m_server->shutdown();
        delete m_server;
        m_server = nullptr;
    }
}

SimOutcome SimServerWorker::meetingApi(const SimHttpRequest &request, RecordedRequest *record)
{
    SimOutcome outcome;
    if (request.method != "POST") {
        outcome.response = apiError(405, QStringLiteral("405"),
                                    QStringLiteral("%1 takes POST, not %2").arg(request.path, QString::fromLatin1(request.method)));
        return outcome;
    }
    const QByteArray contentType = request.header("content-type");
    if (!contentType.isEmpty() && !contentType.startsWith("application/x-www-form-urlencoded")) {
        outcome.rejected = true;
        outcome.rejectReason = QStringLiteral("Content-Type %1 is not application/x-www-form-urlencoded")
                                   .arg(QString::fromLatin1(contentType));
        outcome.response = apiError(400, QStringLiteral("400"), outcome.rejectReason);
        return outcome;
    }
    record->formPairs = decodeForm(request.body);
    for (const auto &pair : record->formPairs) {
        if (record->form.contains(pair.first))
            record->form[pair.first] += QLatin1Char(',') + pair.second;
        else
            record->form.insert(pair.first, pair.second);
    }
    record->params = structureForm(record->formPairs);
    if (!m_api->hasRoute(request.path)) {
        outcome.response = apiError(404, QStringLiteral("404"), QStringLiteral("no route %1").arg(request.path));
        return outcome;
    }
    const SimCheckResult check = m_checks->check(request, record->params, QDateTime::currentDateTimeUtc());
    if (!check.ok) {
        qCInfo(lcSim) << "rejected" << request.path << ":" << check.reason;
        outcome.rejected = true;
        outcome.rejectReason = check.reason;
        outcome.response = apiError(200, QStringLiteral("401"), check.reason);
        return outcome;
    }
    SimOutcome answered = m_api->handle(request, record->params);
    pushProjectorEvents(m_signalling, m_api->state(), request.path, record->params, answered.response, m_castWatchers);
    pushAddedMembers(m_signalling, m_api->state(), request.path, answered.response);
    return answered;
}

SimDispatch SimServerWorker::handle(const SimHttpRequest &request)
{
    RecordedRequest record;
    record.method = QString::fromLatin1(request.method);
    record.path = request.path;
    record.host = request.host();
    record.query = QUrlQuery(QString::fromUtf8(request.rawQuery));
    record.headers = request.headers;
    record.body = request.body;

    SimOutcome outcome;
    if (!m_api) {
        outcome.response = apiError(503, QStringLiteral("503"), QStringLiteral("the simulator is starting"));
    } else if (SimMeetingApi::isApiPath(request.path)) {
        outcome = meetingApi(request, &record);
    } else if (SimLogService::isLogPath(request.path)) {
        outcome = m_logService->handle(request, QDateTime::currentDateTimeUtc());
    } else if (SimItMonitor::isMonitorPath(request.path)) {
        outcome = m_itMonitor.handle(request);
    } else if (SimCaptionPage::isCaptionPagePath(request.path)) {
        outcome = SimCaptionPage::handle(request);
    } else if (SimRatePage::isRatePagePath(request.path)) {
        outcome = m_ratePage->handle(request);
    } else {
        qCInfo(lcSim) << "no route for" << request.method << request.path;
        outcome.response = apiError(404, QStringLiteral("404"), QStringLiteral("no route %1").arg(request.path));
    }
    record.rejected = outcome.rejected;
    record.rejectReason = outcome.rejectReason;
    m_control->record(record, outcome.logEntries);

    if (const std::optional<Fault> fault = m_control->takeFault(request.path))
        return applyFault(*fault, outcome.response);
    SimDispatch dispatch;
    dispatch.response = outcome.response;
    return dispatch;
}

SimDispatch SimServerWorker::applyFault(const Fault &fault, const SimHttpResponse &response)
{
    SimDispatch dispatch;
    dispatch.response = response;
    switch (fault.kind) {
    case Fault::Kind::ErrorCode:
        dispatch.response = apiError(200, fault.errorCode, fault.errorMsg);
        break;
    case Fault::Kind::ErrorList:
        dispatch.response = SimHttpResponse::json(
            {{QStringLiteral("success"), false},
             {QStringLiteral("errorList"),
              QJsonArray{QJsonObject{{QStringLiteral("code"), fault.errorCode}, {QStringLiteral("message"), fault.errorMsg}}}}});
        break;
    case Fault::Kind::HttpStatus:
        dispatch.response = apiError(fault.httpStatus, QString::number(fault.httpStatus),
                                     fault.errorMsg.isEmpty() ? QStringLiteral("injected HTTP status") : fault.errorMsg);
        break;
    case Fault::Kind::NotJson:
        dispatch.response = SimHttpResponse::empty(200);
        dispatch.response.contentType = "text/html";
        dispatch.response.body = "<html>not json</html>";
        break;
    case Fault::Kind::Hold:
        dispatch.action = SimDispatch::Action::Hold;
        break;
    case Fault::Kind::Delay:
        dispatch.action = SimDispatch::Action::Delay;
        dispatch.delayMs = fault.delayMs;
        break;
    case Fault::Kind::Close:
        dispatch.action = SimDispatch::Action::Close;
        break;
    case Fault::Kind::Body:
        dispatch.response = SimHttpResponse::empty(200);
        dispatch.response.contentType = "application/json";
        dispatch.response.body = fault.payload;
        break;
    case Fault::Kind::Redirect:
        dispatch.response = SimHttpResponse::empty(302);
        dispatch.response.headers.append({"Location", fault.payload});
        break;
    }
    return dispatch;
}

} // namespace kelvosim
