#include "cloudlog/KLQLSLogger.h"

#include "cloudlog/KLQLSUpload.h"
#include "clientconfig/KLClientConfigManager.h"
#include "host/KLHostUtils.h"
#include "host/KLMessageMode.h"
#include "model/KLSDKMeetingConfigInternal.h"
#include "runtime/KLDictionary.h"
#include "runtime/KLDispatchQueue.h"
#include "runtime/KLFormEncoding.h"
#include "runtime/KLSDKLog.h"

#include <KelvoUISDK/KLSDKDispatch.h>

#include <QDateTime>
#include <QUuid>

namespace {

const QString kTag = QStringLiteral("KLQLSLogger");
const QString kDirectLogStore = QStringLiteral("client-log");

QString text(const QJsonObject &object, const char *key)
{
    return object.value(QLatin1String(key)).toString();
}

const QString &osText()
{
    static const QString os = KLHostUtils::osVersion();
    return os;
}

void defaultHandOver(const QJsonObject &record)
{
    KLMessageMode::sharedInstance().commitQls(record);
}

} // namespace

KLQLSLogger &KLQLSLogger::sharedInstance()
{
    static KLQLSLogger instance;
    return instance;
}

KLQLSLogger::KLQLSLogger()
    : m_traceId(QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper()),
      m_timeZone(KLQLSRecord::timeZoneText(QDateTime::currentDateTime().offsetFromUtc()))
{
    m_state.handOver = &defaultHandOver;
}

void KLQLSLogger::initWithConferenceId(const QString &conferenceId, const QJsonValue &roomId,
                                       const QString &memberUUID, const QString &empId,
                                       const QString &displayName, const QString &meetingType,
                                       const QString &sid)
{
    const QString roomText = KL_integerText(roomId);
    std::lock_guard<std::mutex> lock(m_mutex);
    m_state.conferenceId = conferenceId;
    m_state.roomId = roomText;
    m_state.memberUUID = memberUUID;
    m_state.empId = empId;
    m_state.userName = displayName;
    m_state.meetingType = meetingType;
    m_state.sid = sid;
}

void KLQLSLogger::initWithConferenceId(const QString &conferenceId, qint64 roomId,
                                       const QString &memberUUID, const QString &empId,
                                       const QString &displayName, const QString &meetingType,
                                       const QString &sid)
{
    initWithConferenceId(conferenceId, QJsonValue(QString::number(roomId)), memberUUID, empId,
                         displayName, meetingType, sid);
}

void KLQLSLogger::setSessionId(const QString &sid) { write(&State::sid, sid); }
void KLQLSLogger::setComputerModel(const QString &model) { write(&State::computerModel, model); }
void KLQLSLogger::setLogModule(const QString &logModule) { write(&State::logModule, logModule); }
void KLQLSLogger::setProjectId(const QString &projectId) { write(&State::projectorId, projectId); }

void KLQLSLogger::setLocalIp(const QString &ip)
{
    write(ip.contains(u':') ? &State::ip6 : &State::ip, ip);
}

void KLQLSLogger::setSrflxIp(const QString &ip)
{
    write(ip.contains(u':') ? &State::srflxIp6 : &State::srflxIp, ip);
}

void KLQLSLogger::setMeetingConfig(const std::shared_ptr<KLSDKMeetingConfigInternal> &config)
{
    LogClient client;
    if (config) {
        const QJsonObject info = config->qlsInfo().value_or(QJsonObject());
        client = LogClient(text(info, "logServiceEndpoint"), text(info, "accessKeyId"),
                           text(info, "accessKeySecret"), text(info, "project"));
        client.SetToken(text(info, "securityToken"));
        client.SetConnectTo(text(info, "logServiceAddress"));
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    m_state.meetingConfig = config;
    m_state.logClient = client;
    m_state.directPostOffLogged = false;
}

void KLQLSLogger::setHostHandOver(HostHandOver handOver)
{
    write(&State::handOver, handOver ? std::move(handOver) : HostHandOver(&defaultHandOver));
}

QString KLQLSLogger::conferenceId() const { return read(&State::conferenceId); }
QString KLQLSLogger::roomId() const { return read(&State::roomId); }
QString KLQLSLogger::memberUUID() const { return read(&State::memberUUID); }
QString KLQLSLogger::empId() const { return read(&State::empId); }
QString KLQLSLogger::userName() const { return read(&State::userName); }
QString KLQLSLogger::meetingType() const { return read(&State::meetingType); }
QString KLQLSLogger::sessionId() const { return read(&State::sid); }
QString KLQLSLogger::computerModel() const { return read(&State::computerModel); }
QString KLQLSLogger::logModule() const { return read(&State::logModule); }
QString KLQLSLogger::projectId() const { return read(&State::projectorId); }
QString KLQLSLogger::ip() const { return read(&State::ip); }
QString KLQLSLogger::ip6() const { return read(&State::ip6); }
QString KLQLSLogger::srflxIp() const { return read(&State::srflxIp); }
QString KLQLSLogger::srflxIp6() const { return read(&State::srflxIp6); }
LogClient KLQLSLogger::logClient() const { return read(&State::logClient); }

std::shared_ptr<KLSDKMeetingConfigInternal> KLQLSLogger::meetingConfig() const
{
    return read(&State::meetingConfig).lock();
}

KLQLSRecord::Fields KLQLSLogger::fields(const KLSDKMeetingConfigInternal *config) const
{
    KLQLSRecord::Fields fields;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        fields.conferenceId = m_state.conferenceId;
        fields.roomId = m_state.roomId;
        fields.memberUUID = m_state.memberUUID;
        fields.userName = m_state.userName;
        fields.meetingType = m_state.meetingType;
        fields.sid = m_state.sid;
        fields.computerModel = m_state.computerModel;
        fields.logModule = m_state.logModule;
        fields.projectorId = m_state.projectorId;
    }
    fields.traceId = m_traceId;
    fields.timeZone = m_timeZone;
    fields.os = osText();
    if (config) {
        fields.version = config->sdkVersion();
        fields.userId = config->userId();
    }
    return fields;
}

QJsonObject KLQLSLogger::buildRecord(int level, int group, const QJsonObject &params) const
{
    const auto config = meetingConfig();
    return KLQLSRecord::build(fields(config.get()), level, group, params);
}

void KLQLSLogger::commitMonitorLevel(int level, int group, const QJsonObject &params)
{
    if (params.isEmpty())
        KL_LOG_WARN(kTag, QStringLiteral("输入参数为空"));

    const auto config = meetingConfig();
    const QJsonObject record = KLQLSRecord::build(fields(config.get()), level, group, params);
    if (!config)
        return; // No configuration: not internal and no log service settings.
    if (config->isVanInternal()) {
        if (KLClientConfigManager::sharedInstance().isStaff())
            handToHost(record);
        else
            postDirectly(record, KLQLSRecord::groupText(group), *config);
    } else if (config->qlsInfo()) {
        sendLog(record, *config);
    }
}

void KLQLSLogger::handToHost(const QJsonObject &record) const
{
    // The hand-over holds the meeting's end until it has run, like an upload (KLQLSUpload).
    ASYNC_RUN_ON_SERIAL_QUEUE([handOver = read(&State::handOver), record, hold = KLDispatchQueue::holdForMeeting()]() {
        handOver(record);
    });
}

void KLQLSLogger::postDirectly(const QJsonObject &record, const QString &topic,
                               const KLSDKMeetingConfigInternal &config)
{
    LogClient client;
    bool firstRefusal = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        client = m_state.logClient;
        if (!client.canPost()) {
            firstRefusal = !m_state.directPostOffLogged;
            m_state.directPostOffLogged = true;
        }
    }
    if (!client.canPost()) {
        if (firstRefusal)
            KL_LOG_WARN(kTag, QStringLiteral("direct log upload is off: qlsInfo lacks accessKeyId, "
                                             "accessKeySecret, project or logServiceEndpoint"));
        return;
    }
    client.SetCaFile(config.caFile());
    client.PostLog(KLQLSRecord::directPostGroup(record, topic), kDirectLogStore,
                   [](const KLHttpResult &result) {
                       KL_LOG_INFO(kTag, QStringLiteral("client-log upload answered %1 %2")
                                             .arg(result.statusCode)
                                             .arg(QString::fromUtf8(result.body.left(512))));
                   });
}

void KLQLSLogger::sendLog(const QJsonObject &record, const KLSDKMeetingConfigInternal &config) const
{
    const QJsonObject info = config.qlsInfo().value_or(QJsonObject());
    const QString project = text(info, "project");
    const QString endpoint = text(info, "logServiceEndpoint");
    const QString logStore = text(info, "logstore");
    if (project.isEmpty() || endpoint.isEmpty() || logStore.isEmpty())
        return;

    const QString url =
        QStringLiteral("https://%1.%2/logstores/%3/track?APIVersion=0.6.0&%4")
            .arg(project, endpoint, logStore, QString::fromLatin1(KLFormEncoding::encode(record)));
    auto http = KLQLSUpload::manager(QStringLiteral("MeetingSDKURLCache"), config.caFile(),
                                     text(info, "logServiceAddress"));
    auto underway = KLQLSUpload::Underway::begin(kTag, url);
    http->GET(url, [url, underway](const KLHttpResult &result) {
        KLQLSUpload::logOutcome(kTag, url, result);
        underway->answered();
    });
}
