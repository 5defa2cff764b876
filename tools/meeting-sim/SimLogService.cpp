#include "SimLogService.h"

#include "SimLog.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMessageAuthenticationCode>
#include <QRegularExpression>
#include <QUrlQuery>
#include <QUuid>

#include <zlib.h>

namespace kelvosim {

namespace {

SimOutcome failure(int status, const QString &code, const QString &message)
{
    SimOutcome outcome;
    outcome.rejected = true;
    outcome.rejectReason = code + QStringLiteral(": ") + message;
    outcome.response = SimHttpResponse::json(
        {{QStringLiteral("errorCode"), code}, {QStringLiteral("errorMessage"), message}}, status);
    qCInfo(lcSim) << "log service refused a request:" << outcome.rejectReason;
    return outcome;
}

SimOutcome accepted()
{
    SimOutcome outcome;
    outcome.response = SimHttpResponse::empty(200);
    outcome.response.headers.append({"x-log-requestid", QUuid::createUuid().toByteArray(QUuid::Id128).toUpper()});
    return outcome;
}

// "<project>.<endpoint>" -> "<project>"; an address without a dot gives "".
QString projectOf(const SimHttpRequest &request)
{
    const QString host = request.host();
    const qsizetype dot = host.indexOf(QLatin1Char('.'));
    return dot > 0 ? host.left(dot) : QString();
}

} // namespace

SimLogService::SimLogService(const QJsonObject &keys)
    : m_keyId(keys.value(QLatin1String("accessKeyId")).toString()),
      m_secret(keys.value(QLatin1String("accessKeySecret")).toString()),
      m_token(keys.value(QLatin1String("securityToken")).toString())
{
}

SimOutcome SimLogService::handle(const SimHttpRequest &request, const QDateTime &now) const
{
    static const QRegularExpression pattern(QStringLiteral("^/logstores/([^/]+)/(track|shards/lb)$"));
    const QRegularExpressionMatch m = pattern.match(request.path);
    if (!m.hasMatch())
        return failure(404, QStringLiteral("NotFound"), QStringLiteral("no log service route %1").arg(request.path));
    const QString logstore = m.captured(1);
    if (m.captured(2) == QLatin1String("track")) {
        if (request.method != "GET")
            return failure(405, QStringLiteral("MethodNotAllowed"), QStringLiteral("tracking takes GET"));
        return track(request, logstore);
    }
    if (request.method != "POST")
        return failure(405, QStringLiteral("MethodNotAllowed"), QStringLiteral("shards/lb takes POST"));
    return post(request, logstore, now);
}

SimOutcome SimLogService::track(const SimHttpRequest &request, const QString &logstore) const
{
    const QUrlQuery query(QString::fromUtf8(request.rawQuery));
    if (query.queryItemValue(QStringLiteral("APIVersion")) != QLatin1String("0.6.0"))
        return failure(400, QStringLiteral("InvalidAPIVersion"), QStringLiteral("APIVersion must be 0.6.0"));
    QJsonObject entry;
    for (const auto &item : query.queryItems(QUrl::FullyDecoded)) {
        if (item.first != QLatin1String("APIVersion"))
            entry.insert(item.first, item.second);
    }
    if (entry.isEmpty())
        return failure(400, QStringLiteral("PostBodyInvalid"), QStringLiteral("the tracking query holds no fields"));
    entry.insert(QStringLiteral("__logstore__"), logstore);
    entry.insert(QStringLiteral("__project__"), projectOf(request));
    entry.insert(QStringLiteral("__route__"), QStringLiteral("track"));
    SimOutcome outcome = accepted();
    outcome.logEntries.append(entry);
    return outcome;
}

bool SimLogService::inflate(const QByteArray &compressed, qint64 rawSize, QByteArray *raw, QString *error)
{
    if (rawSize < 0 || rawSize > kSimMaxBodyBytes * 4) {
        *error = QStringLiteral("x-log-bodyrawsize %1 out of range").arg(rawSize);
        return false;
    }
    // One byte more than announced, so that a longer stream shows up as a size mismatch.
    QByteArray out(static_cast<qsizetype>(rawSize) + 1, Qt::Uninitialized);
    uLongf outLength = static_cast<uLongf>(out.size());
    const int result = ::uncompress(reinterpret_cast<Bytef *>(out.data()), &outLength,
                                    reinterpret_cast<const Bytef *>(compressed.constData()),
                                    static_cast<uLong>(compressed.size()));
    if (result == Z_BUF_ERROR && outLength == static_cast<uLongf>(out.size())) {
        *error = QStringLiteral("the body inflates to more than x-log-bodyrawsize (%1) bytes").arg(rawSize);
        return false;
    }
    if (result != Z_OK) {
        *error = QStringLiteral("the body is not a zlib deflate stream (zlib error %1)").arg(result);
        return false;
    }
    if (static_cast<qint64>(outLength) != rawSize) {
        *error = QStringLiteral("the body inflates to %1 bytes, x-log-bodyrawsize says %2").arg(outLength).arg(rawSize);
        return false;
    }
    out.truncate(static_cast<qsizetype>(outLength));
    *raw = out;
    return true;
}

QDateTime SimLogService::parseDate(const QByteArray &text)
{
    static const QRegularExpression pattern(QStringLiteral(
        "^(Mon|Tue|Wed|Thu|Fri|Sat|Sun), (\\d{2}) (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) (\\d{4}) "
        "(\\d{2}):(\\d{2}):(\\d{2}) GMT$"));
    static const QStringList months{QStringLiteral("Jan"), QStringLiteral("Feb"), QStringLiteral("Mar"),
                                    QStringLiteral("Apr"), QStringLiteral("May"), QStringLiteral("Jun"),
                                    QStringLiteral("Jul"), QStringLiteral("Aug"), QStringLiteral("Sep"),
                                    QStringLiteral("Oct"), QStringLiteral("Nov"), QStringLiteral("Dec")};
    static const QStringList days{QStringLiteral("Mon"), QStringLiteral("Tue"), QStringLiteral("Wed"),
                                  QStringLiteral("Thu"), QStringLiteral("Fri"), QStringLiteral("Sat"),
                                  QStringLiteral("Sun")};
    const QRegularExpressionMatch m = pattern.match(QString::fromLatin1(text));
    if (!m.hasMatch())
        return {};
    const QDate date(m.captured(4).toInt(), static_cast<int>(months.indexOf(m.captured(3))) + 1, m.captured(2).toInt());
    const QTime time(m.captured(5).toInt(), m.captured(6).toInt(), m.captured(7).toInt());
    if (!date.isValid() || !time.isValid() || days.indexOf(m.captured(1)) + 1 != date.dayOfWeek())
        return {};
    return QDateTime(date, time, Qt::UTC);
}

QByteArray SimLogService::stringToSign(const SimHttpRequest &request, const QString &logstore)
{
    QByteArray text = "POST\n" + request.header("content-md5") + '\n' + request.header("content-type") + '\n'
        + request.header("date") + '\n';
    if (request.hasHeader("x-acs-security-token"))
        text += "x-acs-security-token:" + request.header("x-acs-security-token") + '\n';
    text += "x-log-apiversion:" + request.header("x-log-apiversion") + '\n';
    text += "x-log-bodyrawsize:" + request.header("x-log-bodyrawsize") + '\n';
    text += "x-log-compresstype:" + request.header("x-log-compresstype") + '\n';
    text += "x-log-signaturemethod:" + request.header("x-log-signaturemethod") + '\n';
    text += "/logstores/" + logstore.toUtf8() + "/shards/lb";
    return text;
}

SimOutcome SimLogService::post(const SimHttpRequest &request, const QString &logstore, const QDateTime &now) const
{
    if (request.header("content-type") != "application/json")
        return failure(400, QStringLiteral("InvalidContentType"), QStringLiteral("Content-Type must be application/json"));
    bool ok = false;
    const qint64 length = request.header("content-length").toLongLong(&ok);
    if (!ok || length != request.body.size())
        return failure(400, QStringLiteral("InvalidContentLength"), QStringLiteral("Content-Length does not match the body"));
    const QByteArray md5 = QCryptographicHash::hash(request.body, QCryptographicHash::Md5).toHex().toUpper();
    if (request.header("content-md5") != md5)
        return failure(400, QStringLiteral("InvalidContentMD5"), QStringLiteral("Content-MD5 is not the upper-case MD5 of the body"));
    if (request.header("x-log-apiversion") != "0.6.0")
        return failure(400, QStringLiteral("InvalidAPIVersion"), QStringLiteral("x-log-apiversion must be 0.6.0"));
    if (request.header("x-log-signaturemethod") != "hmac-sha1")
        return failure(400, QStringLiteral("InvalidSignatureMethod"), QStringLiteral("x-log-signaturemethod must be hmac-sha1"));
    if (request.header("x-log-compresstype") != "deflate")
        return failure(400, QStringLiteral("InvalidCompressType"), QStringLiteral("x-log-compresstype must be deflate"));
    const QDateTime date = parseDate(request.header("date"));
    if (!date.isValid())
        return failure(400, QStringLiteral("InvalidDate"), QStringLiteral("Date must read \"EEE, dd MMM yyyy HH:mm:ss GMT\""));
    if (qAbs(date.msecsTo(now)) > kMaxSkewMs)
        return failure(400, QStringLiteral("RequestTimeTooSkewed"), QStringLiteral("Date is more than 15 minutes off"));
    if (!m_token.isEmpty() && request.header("x-acs-security-token") != m_token.toUtf8())
        return failure(401, QStringLiteral("InvalidSecurityToken"), QStringLiteral("x-acs-security-token is wrong or missing"));

    const QByteArray authorization = request.header("authorization");
    const QByteArray prefix = "LOG " + m_keyId.toUtf8() + ':';
    if (!authorization.startsWith("LOG ") || !authorization.contains(':'))
        return failure(401, QStringLiteral("Unauthorized"), QStringLiteral("Authorization must read LOG <key id>:<signature>"));
    if (!authorization.startsWith(prefix))
        return failure(401, QStringLiteral("InvalidAccessKeyId"), QStringLiteral("unknown access key id"));
    const QByteArray signature = QMessageAuthenticationCode::hash(stringToSign(request, logstore), m_secret.toUtf8(),
                                                                  QCryptographicHash::Sha1)
                                     .toBase64();
    if (authorization.mid(prefix.size()) != signature)
        return failure(401, QStringLiteral("SignatureNotMatch"), QStringLiteral("the signature does not match the request"));

    const qint64 rawSize = request.header("x-log-bodyrawsize").toLongLong(&ok);
    if (!ok)
        return failure(400, QStringLiteral("InvalidBodyRawSize"), QStringLiteral("x-log-bodyrawsize is not a number"));
    QByteArray raw;
    QString error;
    if (!inflate(request.body, rawSize, &raw, &error))
        return failure(400, QStringLiteral("InvalidBodyRawSize"), error);
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(raw, &parseError);
    const QJsonObject group = document.object();
    if (!document.isObject() || !group.value(QLatin1String("__logs__")).isArray()
        || !group.value(QLatin1String("__topic__")).isString() || !group.value(QLatin1String("__source__")).isString())
        return failure(400, QStringLiteral("PostBodyInvalid"),
                       QStringLiteral("the body is not {\"__topic__\",\"__source__\",\"__logs__\":[...]}"));

    SimOutcome outcome = accepted();
    for (const QJsonValue &log : group.value(QLatin1String("__logs__")).toArray()) {
        if (!log.isObject())
            return failure(400, QStringLiteral("PostBodyInvalid"), QStringLiteral("a log in __logs__ is not an object"));
        QJsonObject entry = log.toObject();
        entry.insert(QStringLiteral("__topic__"), group.value(QLatin1String("__topic__")));
        entry.insert(QStringLiteral("__source__"), group.value(QLatin1String("__source__")));
        entry.insert(QStringLiteral("__logstore__"), logstore);
        entry.insert(QStringLiteral("__project__"), projectOf(request));
        entry.insert(QStringLiteral("__route__"), QStringLiteral("post"));
        outcome.logEntries.append(entry);
    }
    return outcome;
}

} // namespace kelvosim
