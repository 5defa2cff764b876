#pragma once

// HTTP/1.1 messages as the simulator sees them: the parsed request head and body, the answer,
// and the parser for one request head.

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QPair>
#include <QString>

namespace kelvosim {

struct SimHttpRequest {
    QByteArray method;             ///< as sent ("POST", "GET", ...)
    QByteArray target;             ///< request target as sent, e.g. "/a/b?x=1"
    QString path;                  ///< percent-decoded path part of the target
    QByteArray rawQuery;           ///< query part as sent (after "?"), not decoded
    QByteArray version;            ///< "HTTP/1.1" or "HTTP/1.0"
    QMap<QByteArray, QByteArray> headers; ///< lower-case names; repeated headers joined with ", "
    QByteArray body;

    QByteArray header(const QByteArray &lowerName) const { return headers.value(lowerName); }
    bool hasHeader(const QByteArray &lowerName) const { return headers.contains(lowerName); }
    /// Host header without the port.
    QString host() const;
    /// Whether the connection stays open after the answer (HTTP/1.1 default, "Connection").
    bool keepAlive() const;
    /// "Upgrade: websocket" together with a "Connection" header naming "upgrade".
    bool isWebSocketUpgrade() const;
};

struct SimHttpResponse {
    int status = 200;
    QByteArray contentType;
    QByteArray body;
    QList<QPair<QByteArray, QByteArray>> headers; ///< extra headers
    bool close = false;                           ///< close the connection after this answer

    static SimHttpResponse json(const QJsonObject &object, int status = 200);
    static SimHttpResponse empty(int status = 200);
    /// Status line, headers (Content-Length, Connection, ...) and body.
    QByteArray serialize(bool keepAlive) const;
};

/// Outcome of parsing the head of one request.
enum class SimHeadParse { NeedMore, Complete, Malformed };

/// Largest accepted request head and body.
constexpr qsizetype kSimMaxHeadBytes = 64 * 1024;
constexpr qsizetype kSimMaxBodyBytes = 16 * 1024 * 1024;

/// Looks for a complete request head at the start of `data` (CRLF or bare LF line ends).
/// On Complete, `headLength` is the byte count of the head including the blank line, and
/// `request` holds method, target, path, query, version and headers. On Malformed, `error`
/// says what is wrong.
SimHeadParse parseRequestHead(const QByteArray &data, qsizetype *headLength, SimHttpRequest *request,
                              QString *error);

} // namespace kelvosim
