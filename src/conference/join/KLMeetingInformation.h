#pragma once

// The meeting-information reply that admits the client to a meeting: the room, the ICE servers,
// the media signalling server, the own member record and the summary options. Reading it is
// pure; the conference service copies the fields it keeps and decides with
// KL_meetingSummaryState() whether the meeting-summary module is offered.
//
// Reading rules: texts accept only texts (anything else reads as a null text), integers accept
// numbers, booleans and texts holding a number ("123" reads 123), lists only lists. A reply or a
// "memberInfo" that is not an object reads as an empty one.

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QtGlobal>

#include <optional>

struct KLMeetingInformation {
    /// "roomid" as text; a number is printed as an integer ("%ld"). Null when absent.
    QString appointmentId;
    /// "roomid" as the server sent it, for the records that forward it unchanged.
    QJsonValue roomId;
    /// "iceServers"; empty when absent or not a list.
    QJsonArray iceServers;
    /// "rtcserverWsUrl": the media signalling server.
    QString rtcServerWsUrl;

    // From "memberInfo".
    QString empId;
    /// "memberUUID": the own member UUID.
    QString uuid;
    QString masterEmpId;
    QString displayName;
    /// "extensionPhone" as sent; an MCU meeting dials it when its integer value is not 0.
    QJsonValue extensionPhone;

    /// "mcuAppointmentId": 0 for meetings on the conference media servers.
    qint64 mcuAppointmentId = 0;
    /// "passWord" as sent (MCU meetings); undefined when absent.
    QJsonValue password;
    /// "token": the media token an internal user registers with.
    QString token;
    /// "rtcZone" as sent.
    QJsonValue rtcZone;
    /// "showSummaryModule" when present with a boolean or number.
    std::optional<bool> showSummaryModule;
    /// "summaryLanguage": non-empty when a summary is already running.
    QString summaryLanguage;

    /// The whole reply, kept by the service for a later refresh.
    QJsonObject reply;

    /// True for meetings on the conference media servers ("mcuAppointmentId" 0).
    bool isPallasMeeting() const { return mcuAppointmentId == 0; }

    /// Reads a meeting-information reply. Never fails: a broken reply gives empty fields and a
    /// warning line.
    static KLMeetingInformation fromReply(const QJsonValue &reply);
};

/// The meeting-summary fields of the conference service.
struct KLMeetingSummaryState {
    bool isShowMeetingSummaryModule = false;
    bool isOpenSummary = false;
    QString summaryLanguage;

    friend bool operator==(const KLMeetingSummaryState &, const KLMeetingSummaryState &) = default;
};

/// The text the stored user type of a regular employee holds.
inline constexpr const char *KLRegularEmployeeType = "正式";

/// The summary fields after the meeting information arrived. Only meetings (`conferenceMode` 0)
/// change them: an MCU meeting never offers the module; otherwise an offered module stays
/// offered when "showSummaryModule" says so, or, without it, when `storedUserType` is the
/// regular-employee type (a null type counts as none). A module still offered is open when the
/// reply names a summary language, which is taken over. External users (`isVanInternal` false)
/// are never offered the module. Projector runs get `current` back unchanged.
KLMeetingSummaryState KL_meetingSummaryState(qint64 conferenceMode,
                                             const KLMeetingSummaryState &current,
                                             const KLMeetingInformation &info,
                                             const QString &storedUserType, bool isVanInternal);
