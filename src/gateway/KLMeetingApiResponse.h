#pragma once

// Reading the meeting service's replies: the payload handed to a success block and the error
// code and message handed to a failure block.

#include <QJsonObject>
#include <QJsonValue>
#include <QString>

namespace KLMeetingApiResponse {

struct Error {
    QString code;
    QString message;
};

/// "success" read as a boolean (true, a non-zero number or the text "true"/"1").
bool succeeded(const QJsonObject &reply);
/// "content" when present, else "data", else undefined.
QJsonValue payload(const QJsonObject &reply);
/// Code and message from "errorCode"/"errorMsg", or, without "errorCode", from the first
/// element of a non-empty "errorList".
Error errorOf(const QJsonObject &reply);
/// Call-member codes the service uses for expected outcomes (busy, unreachable, ...): they
/// are recorded as warnings rather than errors.
bool isCallMemberWarning(const QString &url, const QString &code);

} // namespace KLMeetingApiResponse
