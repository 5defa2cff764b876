#pragma once

// The signalling protocol: what one received JSON message means and what goes back. Requests
// carry the nine-key envelope (messageId, requestId, bornTime, arriveTime, from, to, topic,
// messageType, body); replies echo requestId, topic and messageType and carry response,
// responseCode (200 = success), responseMsg and data. The internal meeting kind sends bare
// {"body": {...}} messages instead. The meeting_control operations run through the meeting
// API routes, so both doors change and read the same live state. Server-thread only.

#include <QJsonObject>
#include <QList>
#include <QString>

#include <optional>

namespace kelvosim {

class SimMeetingApi;

/// The connection a message came in on, as far as the protocol cares.
struct SimSignallingPeer {
    int id = 0;
    bool registered = false;
    QString meetingUUID; ///< the meeting the connection registered for
    QString memberUUID;  ///< the member it registered as
};

/// A registration that takes effect when the answer goes out.
struct SimSignallingBinding {
    QString meetingUUID;
    QString memberUUID;
};

/// A push to the registered connections of one meeting.
struct SimSignallingPush {
    QString meetingUUID;
    QJsonObject message;
    int skipConnection = 0;   ///< the requester, which learns from its reply instead
    QString onlyMember;       ///< when set: only connections registered as this member
    QString exceptMember;     ///< when set: not the connections registered as this member
};

struct SimSignallingOutcome {
    /// What faults key on ("register", "memberlist", "mute", ...); empty when nothing answers.
    QString messageType;
    /// The answer to the sender: a reply, or the member-list push of an internal register.
    std::optional<QJsonObject> answer;
    std::optional<SimSignallingBinding> bind;
    QList<SimSignallingPush> pushes;
};

class SimSignallingProtocol
{
public:
    /// `api` holds the live meeting state; it must outlive the protocol.
    explicit SimSignallingProtocol(SimMeetingApi *api) : m_api(api) {}

    enum class Kind { Register, InternalRegister, Other };
    static Kind kind(const QJsonObject &message);

    /// Handles one message from `peer`. Never throws; bad input gives an error reply (when the
    /// message has a request id to answer) and a log line.
    SimSignallingOutcome handle(const SimSignallingPeer &peer, const QJsonObject &message);
    /// The answer to a register that the test has told the simulator to refuse.
    SimSignallingOutcome refuse(const QJsonObject &message, int code);

    /// The reply envelope for `request`; `data` goes under "data".
    static QJsonObject reply(const QJsonObject &request, int code, const QString &text, const QJsonObject &data = {});

private:
    SimSignallingOutcome handleRequest(const SimSignallingPeer &peer, const QJsonObject &request);
    SimSignallingOutcome handleInternal(const SimSignallingPeer &peer, const QJsonObject &body);
    SimSignallingOutcome registerConnection(const QJsonObject &request);
    SimSignallingOutcome memberList(const SimSignallingPeer &peer, const QJsonObject &request);
    SimSignallingOutcome control(const SimSignallingPeer &peer, const QJsonObject &request);

    struct RouteAnswer {
        bool ok = false;
        QJsonObject content;
        int code = 0;
        QString message;
    };
    /// Runs the meeting API route `path` with `params` and reads its answer.
    RouteAnswer route(const QString &path, const QJsonObject &params);
    QJsonObject meetingByAppointment(const QString &appointmentId) const;

    SimMeetingApi *m_api;
};

} // namespace kelvosim
