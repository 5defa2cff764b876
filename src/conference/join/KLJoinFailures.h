#pragma once

// What the user and the host are told when a join step fails: the dialog titles (localisation
// keys) for the meeting-information and appointment-detail failures, the message pairs a
// projector sender hands to the host pipe, and whether a client-configuration failure ends the
// join. Pure tables; the conference service shows the dialogs and sends the reports.

#include <QJsonObject>
#include <QString>

/// An English and a Chinese error message for the host of a projector run.
struct KLProjectorErrorMessage {
    QString errorMsgEn;
    QString errorMsgZh;

    /// {"errorMsgEn": …, "errorMsgZh": …}, as the host pipe sends it.
    QJsonObject toJson() const;
    friend bool operator==(const KLProjectorErrorMessage &, const KLProjectorErrorMessage &) = default;
};

namespace KLJoinFailures {

/// The host pipe status of a projection that could not start.
inline constexpr int kProjectorStartFailedStatus = -41;

/// The key of the button that acknowledges every join failure dialog.
QString acknowledgeButtonKey();

/// True for the codes of a request that never reached the server ("-1001" timed out,
/// "-1009" offline).
bool isNetworkFailure(const QString &code);

/// The dialog title key for a failed meeting-information request: "ERROR_MEETING_NOT_FOUND"
/// ("11002", "91214"), "ERROR_MEETING_ENDED" ("10000"), "ERROR_MEETING_PARAM_INVALID"
/// ("11001"), "ERROR_MEETING_RTC_TOKEN" ("11003"), "NO_NETWEAK_TIPS" (network failures),
/// "SERVER_UNAVLIABLE" for anything else.
QString meetingInfoFailureKey(const QString &code);

/// The dialog title key for a failed appointment-detail request: "NO_NETWEAK_TIPS" for network
/// failures, else "SERVER_UNAVLIABLE".
QString appointmentDetailFailureKey(const QString &code);

/// The message pair of a projector sender whose meeting information or appointment detail
/// could not be fetched: a network hint for network failures, else a server failure.
KLProjectorErrorMessage projectorFetchFailureMessage(const QString &code);

/// The message pair of a projector sender whose media connection did not come up in time.
KLProjectorErrorMessage projectorConnectTimeoutMessage();

/// The error text an external projector sender's host receives when the meeting information
/// could not be fetched.
QString externalProjectorFetchFailureText();

/// Whether a failed client configuration fetch ends the join (external users, "91212").
bool clientConfigFailureStopsJoin(bool isInternal, const QString &code);

} // namespace KLJoinFailures
