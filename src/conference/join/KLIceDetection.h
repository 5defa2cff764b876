#pragma once

// The local ICE detection's result as the join uses it: the detection dictionary sent with the
// meeting-information request, so that the meeting service can place the client on a media
// server it reaches well, and the addresses the cloud log notes.

#include <QJsonArray>
#include <QJsonObject>
#include <QString>

class KLQLSLogger;

/// How many entries of each list the meeting service is sent; the lists arrive best first.
inline constexpr int KLIceDetectionMaxEntries = 3;

/// {"iceDetection": {"publicIp": first 3 of `ips`, "iceRtt": first 3 of `iceRtts`}}. An empty
/// list is left out, so two empty lists give {"iceDetection": {}}.
QJsonObject KL_iceDetectionDictionary(const QJsonArray &ips, const QJsonArray &iceRtts);

/// The "ip" text of the first public entry; a null text when there is none (no entry, or a
/// first entry that is not an object with a text "ip").
QString KL_serverReflexiveIp(const QJsonArray &ips);

/// Gives `logger` the server-reflexive address (when there is one) and the local address.
void KL_reportIceDetection(KLQLSLogger &logger, const QJsonArray &ips, const QString &localIp);
