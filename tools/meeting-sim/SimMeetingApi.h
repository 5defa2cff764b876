#pragma once

// The meeting API routes ("/conference/api/...", "/conference/gbc/...", "/webvc/..."): each
// checks its own parameters and answers from the live meeting state, which starts as the
// scenario and changes with mute, call, hang-up, summary and add-member requests.
// Server-thread only. Requests reach handle() after SimRequestChecks passed them.

#include "SimOutcome.h"

#include <QHash>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QStringList>

#include <functional>

namespace kelvosim {

class SimMeetingApi
{
public:
    /// `scenario` with its placeholders already substituted.
    explicit SimMeetingApi(QJsonObject scenario);

    /// Whether `path` lies under one of the meeting API prefixes.
    static bool isApiPath(const QString &path);
    /// Whether `path` is one of the routes.
    bool hasRoute(const QString &path) const { return m_routes.contains(path); }
    /// The route list, sorted.
    QStringList routes() const;

    /// Answers one checked request; `form` is the structured form (SimForm.h).
    SimOutcome handle(const SimHttpRequest &request, const QJsonObject &form);

    /// The live state: the scenario as changed by requests so far.
    QJsonObject state() const { return m_state; }
    /// A member whose client has registered for the meeting is in it: its call state turns
    /// online (and no longer ringing) in every list answered from now on. Unknown meetings or
    /// members are left alone.
    void markJoined(const QString &meetingUUID, const QString &memberUUID) { setOnline(meetingUUID, memberUUID, true); }
    /// Sets a member's (or room's) call state online (not ringing) or offline; false when the
    /// meeting or member is unknown.
    bool setOnline(const QString &meetingUUID, const QString &memberUUID, bool online);

private:
    struct Call {
        const SimHttpRequest &request;
        const QJsonObject &form; ///< the route's parameters (from "data" on addMember paths)
        QString param(const char *key) const;
    };
    struct Answer {
        bool ok = true;
        QJsonValue content;
        QString errorCode;
        QString errorMsg;
    };
    using Handler = std::function<Answer(SimMeetingApi *, const Call &)>;
    struct Route {
        QStringList required;
        Handler handler;
        bool replyAsData = false; // "data" instead of "content"
    };

    static Answer ok(const QJsonValue &content) { return {true, content, {}, {}}; }
    static Answer error(const QString &code, const QString &message) { return {false, {}, code, message}; }

    // Live state helpers. Indexes are into m_state["meetings"].
    int meetingIndex(const QString &id, bool byAppointment) const;
    QJsonObject meeting(int index) const;
    void setMeeting(int index, const QJsonObject &meeting);
    Answer meetingByAppointment(const QString &id, int *index) const;
    /// Finds a member or room of meeting `index` by member UUID, else by member id.
    bool findParticipant(int index, const QString &uuid, const QString &memberId, QString *list, int *position) const;
    Answer updateCallState(const Call &call, const QString &field, int value);
    QJsonObject selfMember(int index, const Call &call);
    QJsonArray search(const QString &listName, const QString &keyword) const;

    // Routes
    Answer addMember(const Call &call);
    Answer detailAppointment(const Call &call);
    Answer muteMember(const Call &call, const QString &field);
    Answer findMember(const Call &call);
    Answer meetingInfo(const Call &call);
    Answer callMember(const Call &call);
    Answer hangUpAll(const Call &call);
    Answer hangUpMember(const Call &call);
    Answer roomsStatus(const Call &call);
    Answer summary(const Call &call, bool open, bool stop);
    Answer checkPassword(const Call &call);
    Answer startMultiScreenRoomStatus(const Call &call);
    Answer acknowledge(const Call &call, const QStringList &echoKeys);

    QJsonObject m_state;
    QHash<QString, Route> m_routes;
    int m_nextMemberId = 900000;
};

} // namespace kelvosim
