#pragma once

// What the signalling endpoint pushes: the event bodies of the catalogue (ring, online,
// offline, mute, ..., projection events), the member list and the caption ("summary") lines,
// built from the live meeting state, and the push envelope {"data": {"type", "body"}}.

#include <QJsonArray>
#include <QJsonObject>
#include <QString>

namespace kelvosim::signalling {

/// Event numbers the service pushes (and 10001, the member-list answer).
enum Event : int {
    Ring = 0,
    Online = 1,
    Offline = 2,
    AudioMuted = 3,
    AudioUnmuted = 4,
    Speaking = 5,
    StoppedTalking = 6,
    FloorChange = 7,
    VideoMuted = 8,
    VideoUnmuted = 9,
    Kick = 10,
    SummaryLine = 11,
    MembersAdded = 20,
    MembersDeleted = 21,
    MemberList = 22,
    MeetingDeleted = 25,
    SummaryStarted = 26,
    SummaryStopped = 27,
    ProjectionAccepted = 28,
    ProjectionRejected = 29,
    ProjectionReceiveStarted = 30,
    ProjectionReceiveEnded = 31,
    ProjectionSendStarted = 32,
    ProjectionSendEnded = 33,
    ProjectionEnded = 34,
    ProjectionAudioOpened = 35,
    KeepAliveInternal = 10000,
    MemberListAnswer = 10001,
};

/// The "type" a push of `eventId` carries ("ring", "online", ..., "event" for numbers
/// outside the catalogue).
QString eventKind(int eventId);

/// A participant record of the meeting (members, then rooms) by member UUID, without the
/// simulator's own keys (callErrorCode, callErrorMsg); empty when there is none.
QJsonObject participant(const QJsonObject &meeting, const QString &memberUUID);

/// The meeting's members and rooms as clients read them: {"memberList": [...], "roomList": [...]}
/// merged into `body`.
QJsonObject withMemberLists(QJsonObject body, const QJsonObject &meeting);

/// The body of event `eventId` about `memberUUID` in `meeting` (live state): "eventId",
/// "memberUUID", "appointmentId" and the event's own fields with values taken from the
/// meeting (see docs/meeting-sim.md), then `fields` laid over it key by key.
QJsonObject eventBody(const QJsonObject &meeting, int eventId, const QString &memberUUID,
                      const QJsonObject &fields = {});

/// The body of a caption line: "sessionId" plus asrLanguage, asrText, asrTranslateText,
/// asrTimeStamp and asrSentenceId (`sentence`), then `fields` laid over it.
QJsonObject summaryBody(const QJsonObject &meeting, const QString &sessionId, int sentence,
                        const QJsonObject &fields = {});

/// The session id a caption line of `memberUUID` carries: "<memberUUID>vantorameeting<appointmentId>".
QString summarySessionId(const QJsonObject &meeting, const QString &memberUUID);

/// {"data": {"type": kind, "body": body}}.
QJsonObject push(const QString &kind, const QJsonObject &body);

} // namespace kelvosim::signalling
