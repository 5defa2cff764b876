// A meeting service reply as the HTTP client reads it: the body decoded under the content
// type the input's first line names, then the outcome, error and payload the API reads from it.

#include "KLFuzzSupport.h"

#include "gateway/KLMeetingApiResponse.h"
#include "runtime/KLHttpManager.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    klfuzz::initialise();
    const QByteArray input = klfuzz::bytes(data, size);
    const qsizetype newline = input.indexOf('\n');
    KLHttpResult result;
    result.url = QUrl(QStringLiteral("https://127.0.0.1/conference/gbc/callMeetingMember"));
    result.hasResponse = true;
    result.statusCode = 200;
    result.contentType = newline < 0 ? QByteArray("application/json") : input.left(newline);
    result.body = newline < 0 ? input : input.mid(newline + 1);
    KL_decodeJsonBody(result);
    if (!result.ok())
        return 0;
    const QJsonObject reply = result.json.toObject();
    if (KLMeetingApiResponse::succeeded(reply)) {
        KLMeetingApiResponse::payload(reply);
    } else {
        const KLMeetingApiResponse::Error error = KLMeetingApiResponse::errorOf(reply);
        KLMeetingApiResponse::isCallMemberWarning(result.url.toString(), error.code);
    }
    return 0;
}
