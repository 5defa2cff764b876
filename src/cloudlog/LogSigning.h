#pragma once

// The pieces of a signed upload to the log service, free of any network: body compression,
// the content digest, the date text, the string the signature covers and the signature.

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace KLLogSigning {

inline constexpr char kApiVersion[] = "0.6.0";
inline constexpr char kSignatureMethod[] = "hmac-sha1";
inline constexpr char kCompressType[] = "deflate";
inline constexpr char kContentType[] = "application/json";

/// `raw` deflated in the zlib container (window bits 15, memory level 8, default strategy and
/// level). An empty body, or one that already starts with the gzip magic bytes 1F 8B, is
/// returned unchanged; so is a body zlib fails on (logged).
QByteArray compressedBody(const QByteArray &raw);

/// MD5 of `body` as 32 upper-case hexadecimal digits.
QString contentMd5(const QByteArray &body);

/// "EEE, dd MMM yyyy HH:mm:ss GMT" of `date` in GMT with English names,
/// e.g. "Tue, 05 Mar 2024 09:07:03 GMT".
QString gmtDateText(const QDateTime &date);

/// What the "Authorization" header signs:
///     POST\n<md5>\n<content type>\n<date>\n
///     [x-acs-security-token:<token>\n]            (only with a token)
///     x-log-apiversion:0.6.0\n
///     x-log-bodyrawsize:<rawSize>\n
///     x-log-compresstype:deflate\n
///     x-log-signaturemethod:hmac-sha1\n
///     /logstores/<logStore>/shards/lb              (no line end)
QString stringToSign(const QString &md5, const QString &date, const QString &token,
                     qint64 rawSize, const QString &logStore);

/// Base64 of HMAC-SHA1 over the UTF-8 `text`, keyed with the UTF-8 `secret` (28 characters).
QString SHA1WithSecret(const QString &text, const QString &secret);
/// The same over bytes, for keys that are not UTF-8 text.
QString SHA1WithSecret(const QByteArray &text, const QByteArray &secret);

/// The endpoint without a leading "http://" or "https://" (in any letter case).
QString cleanedEndpoint(const QString &endpoint);

} // namespace KLLogSigning
