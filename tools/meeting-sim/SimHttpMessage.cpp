#include "SimHttpMessage.h"

#include <QJsonDocument>
#include <QUrl>

namespace kelvosim {

namespace {

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200: return "OK";
    case 204: return "No Content";
    case 302: return "Found";
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 411: return "Length Required";
    case 413: return "Payload Too Large";
    case 431: return "Request Header Fields Too Large";
    case 500: return "Internal Server Error";
    case 501: return "Not Implemented";
    case 502: return "Bad Gateway";
    case 503: return "Service Unavailable";
    default: return "Status";
    }
}

bool isTokenChar(char c)
{
    // RFC 9110 tchar
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
        return true;
    return QByteArray("!#$%&'*+-.^_`|~").contains(c);
}

bool isToken(const QByteArray &text)
{
    if (text.isEmpty())
        return false;
    for (char c : text) {
        if (!isTokenChar(c))
            return false;
    }
    return true;
}

bool headerListContains(const QByteArray &value, const QByteArray &token)
{
    for (const QByteArray &part : value.split(',')) {
        if (part.trimmed().toLower() == token)
            return true;
    }
    return false;
}

} // namespace

QString SimHttpRequest::host() const
{
    QByteArray value = header("host").trimmed();
    if (value.startsWith('[')) { // IPv6 literal
        const qsizetype end = value.indexOf(']');
        return QString::fromLatin1(end > 0 ? value.mid(1, end - 1) : value);
    }
    const qsizetype colon = value.indexOf(':');
    if (colon >= 0)
        value.truncate(colon);
    return QString::fromLatin1(value).toLower();
}

bool SimHttpRequest::keepAlive() const
{
    const QByteArray connection = header("connection");
    if (version == "HTTP/1.0")
        return headerListContains(connection, "keep-alive");
    return !headerListContains(connection, "close");
}

bool SimHttpRequest::isWebSocketUpgrade() const
{
    return header("upgrade").trimmed().toLower() == "websocket"
        && headerListContains(header("connection"), "upgrade");
}

SimHttpResponse SimHttpResponse::json(const QJsonObject &object, int status)
{
    SimHttpResponse response;
    response.status = status;
    response.contentType = "application/json;charset=UTF-8";
    response.body = QJsonDocument(object).toJson(QJsonDocument::Compact);
    return response;
}

SimHttpResponse SimHttpResponse::empty(int status)
{
    SimHttpResponse response;
    response.status = status;
    return response;
}

QByteArray SimHttpResponse::serialize(bool keepAlive) const
{
    QByteArray out;
    out.reserve(body.size() + 256);
    out += "HTTP/1.1 " + QByteArray::number(status) + ' ' + reasonPhrase(status) + "\r\n";
    out += "Server: kelvo-meeting-sim\r\n";
    if (!contentType.isEmpty())
        out += "Content-Type: " + contentType + "\r\n";
    out += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    for (const auto &header : headers)
        out += header.first + ": " + header.second + "\r\n";
    out += (keepAlive && !close) ? "Connection: keep-alive\r\n" : "Connection: close\r\n";
    out += "\r\n";
    out += body;
    return out;
}

SimHeadParse parseRequestHead(const QByteArray &data, qsizetype *headLength, SimHttpRequest *request,
                              QString *error)
{
    // The head ends at the first empty line; accept CRLF and bare LF line ends.
    qsizetype end = -1;
    qsizetype endLength = 0;
    const qsizetype crlf = data.indexOf("\r\n\r\n");
    const qsizetype lf = data.indexOf("\n\n");
    if (crlf >= 0 && (lf < 0 || crlf <= lf)) {
        end = crlf;
        endLength = 4;
    } else if (lf >= 0) {
        end = lf;
        endLength = 2;
    }
    if (end < 0) {
        if (data.size() > kSimMaxHeadBytes) {
            *error = QStringLiteral("request head larger than %1 bytes").arg(kSimMaxHeadBytes);
            return SimHeadParse::Malformed;
        }
        return SimHeadParse::NeedMore;
    }
    if (end > kSimMaxHeadBytes) {
        *error = QStringLiteral("request head larger than %1 bytes").arg(kSimMaxHeadBytes);
        return SimHeadParse::Malformed;
    }
    *headLength = end + endLength;

    QList<QByteArray> lines = data.left(end).split('\n');
    for (QByteArray &line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
    }
    const QList<QByteArray> requestLine = lines.value(0).split(' ');
    if (requestLine.size() != 3 || !isToken(requestLine[0]) || requestLine[1].isEmpty()
        || !requestLine[1].startsWith('/') || !requestLine[2].startsWith("HTTP/1.")) {
        *error = QStringLiteral("malformed request line \"%1\"")
                     .arg(QString::fromLatin1(lines.value(0).left(120)));
        return SimHeadParse::Malformed;
    }
    SimHttpRequest parsed;
    parsed.method = requestLine[0];
    parsed.target = requestLine[1];
    parsed.version = requestLine[2];
    if (parsed.version != "HTTP/1.1" && parsed.version != "HTTP/1.0") {
        *error = QStringLiteral("unsupported HTTP version %1").arg(QString::fromLatin1(parsed.version));
        return SimHeadParse::Malformed;
    }
    const qsizetype question = parsed.target.indexOf('?');
    const QByteArray rawPath = question >= 0 ? parsed.target.left(question) : parsed.target;
    parsed.rawQuery = question >= 0 ? parsed.target.mid(question + 1) : QByteArray();
    parsed.path = QUrl::fromPercentEncoding(rawPath);

    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray &line = lines[i];
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0 || !isToken(line.left(colon))) {
            *error = QStringLiteral("malformed header line \"%1\"").arg(QString::fromLatin1(line.left(120)));
            return SimHeadParse::Malformed;
        }
        const QByteArray name = line.left(colon).toLower();
        const QByteArray value = line.mid(colon + 1).trimmed();
        if (parsed.headers.contains(name))
            parsed.headers[name] += ", " + value;
        else
            parsed.headers.insert(name, value);
    }
    *request = parsed;
    return SimHeadParse::Complete;
}

} // namespace kelvosim
