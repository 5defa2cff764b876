#pragma once

// The process-wide collector of monitor records. Each record gets the common fields of the
// current meeting and user and is sent at once, one way depending on who the user is:
//   - internal staff (internal configuration, staff flag set): handed to the host application
//     through the host message pipe, on the dispatcher's serial queue;
//   - other internal users: a signed, deflated POST to the log store "client-log";
//   - everyone else: the log service's tracking GET, when the configuration has "qlsInfo".
// Nothing is batched, retried or kept; failures are only logged.

#include "cloudlog/KLQLSRecord.h"
#include "cloudlog/LogClient.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <functional>
#include <memory>
#include <mutex>
#include <utility>

class KLSDKMeetingConfigInternal;

class KLQLSLogger {
public:
    /// Receives a staff user's records; by default KLMessageMode's commitQls().
    using HostHandOver = std::function<void(const QJsonObject &record)>;

    /// The collector, created on first use (exactly once, whichever threads ask first).
    static KLQLSLogger &sharedInstance();

    /// A collector of its own, with a fresh trace id; the process uses sharedInstance().
    KLQLSLogger();
    KLQLSLogger(const KLQLSLogger &) = delete;
    KLQLSLogger &operator=(const KLQLSLogger &) = delete;

    /// Builds the record on the caller's thread and sends it. An empty `params` logs
    /// "输入参数为空" and the record is still sent. Any thread.
    void commitMonitorLevel(int level, int group, const QJsonObject &params);
    /// The record commitMonitorLevel() would send now.
    QJsonObject buildRecord(int level, int group, const QJsonObject &params) const;

    /// The meeting's identities. `roomId` is kept as the %ld text of its integer reading.
    void initWithConferenceId(const QString &conferenceId, const QJsonValue &roomId,
                              const QString &memberUUID, const QString &empId,
                              const QString &displayName, const QString &meetingType,
                              const QString &sid);
    void initWithConferenceId(const QString &conferenceId, qint64 roomId,
                              const QString &memberUUID, const QString &empId,
                              const QString &displayName, const QString &meetingType,
                              const QString &sid);
    void setSessionId(const QString &sid);
    void setComputerModel(const QString &computerModel);
    /// "conference" or "projector".
    void setLogModule(const QString &logModule);
    /// The multi-projector project id.
    void setProjectId(const QString &projectId);
    /// An address containing ":" is kept as the IPv6 one, any other as the IPv4 one. The
    /// addresses are not part of the records.
    void setLocalIp(const QString &ip);
    void setSrflxIp(const QString &ip);
    /// Kept as a weak reference. Its "qlsInfo" also configures the signed upload: endpoint
    /// "logServiceEndpoint", project "project", "accessKeyId", "accessKeySecret",
    /// "securityToken" and "logServiceAddress"; without a key id and secret (or endpoint and
    /// project) internal non-staff records are not uploaded, which is logged once.
    void setMeetingConfig(const std::shared_ptr<KLSDKMeetingConfigInternal> &config);

    /// Replaces where staff records go (tests, or a host with its own channel).
    void setHostHandOver(HostHandOver handOver);

    static QString stringsOfLogLevels(int level) { return KLQLSRecord::levelText(level); }
    static QString stringsOfGroupTypes(int group) { return KLQLSRecord::groupText(group); }

    QString conferenceId() const;
    QString roomId() const;
    QString memberUUID() const;
    QString empId() const;
    QString userName() const;
    QString meetingType() const;
    QString sessionId() const;
    QString traceId() const { return m_traceId; }
    QString timeZone() const { return m_timeZone; }
    QString computerModel() const;
    QString logModule() const;
    QString projectId() const;
    QString ip() const;
    QString ip6() const;
    QString srflxIp() const;
    QString srflxIp6() const;
    std::shared_ptr<KLSDKMeetingConfigInternal> meetingConfig() const;
    /// A copy of the signed-upload client (every value empty until a configuration with keys).
    LogClient logClient() const;

private:
    struct State {
        QString conferenceId;
        QString roomId;
        QString memberUUID;
        QString empId;
        QString userName;
        QString meetingType;
        QString sid;
        QString computerModel;
        QString logModule;
        QString projectorId;
        QString ip, ip6, srflxIp, srflxIp6;
        std::weak_ptr<KLSDKMeetingConfigInternal> meetingConfig;
        LogClient logClient;
        bool directPostOffLogged = false;
        HostHandOver handOver;
    };

    template <typename T>
    T read(T State::*field) const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_state.*field;
    }
    template <typename T>
    void write(T State::*field, T value)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        std::swap(m_state.*field, value);
    }

    KLQLSRecord::Fields fields(const KLSDKMeetingConfigInternal *config) const;
    void handToHost(const QJsonObject &record) const;
    void postDirectly(const QJsonObject &record, const QString &topic,
                      const KLSDKMeetingConfigInternal &config);
    void sendLog(const QJsonObject &record, const KLSDKMeetingConfigInternal &config) const;

    const QString m_traceId;
    const QString m_timeZone;
    mutable std::mutex m_mutex;
    State m_state;
};
