#include "SimRequestChecks.h"

#include "SimForm.h"

#include <QCryptographicHash>
#include <QJsonDocument>
#include <QMessageAuthenticationCode>
#include <QRegularExpression>

namespace kelvosim {

namespace {

bool isDecimal(const QString &text)
{
    if (text.isEmpty())
        return false;
    for (QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return true;
}

} // namespace

QDateTime SimRequestChecks::parseTimestamp(const QString &text, const QDateTime &now)
{
    static const QRegularExpression pattern(QStringLiteral(
        "^(\\d{4})-(\\d{2})-(\\d{2})T(\\d{2}):(\\d{2}):(\\d{2})\\.(\\d{3})(?:(Z)|([+-])(\\d{2}):(\\d{2}))$"));
    const QRegularExpressionMatch m = pattern.match(text);
    if (!m.hasMatch())
        return {};
    const int year = m.captured(1).toInt();
    const int month = m.captured(2).toInt();
    const int day = m.captured(3).toInt();
    const QTime time(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt(), m.captured(7).toInt());
    int offset = 0;
    if (m.captured(8).isEmpty()) {
        offset = (m.captured(10).toInt() * 60 + m.captured(11).toInt()) * 60;
        if (m.captured(9) == QLatin1String("-"))
            offset = -offset;
        if (qAbs(offset) > 18 * 3600)
            return {};
    }
    if (!time.isValid())
        return {};
    QList<int> years{year};
    if (month == 12)
        years.append(year - 1); // written with the next year's week numbering
    if (month == 1)
        years.append(year + 1); // written with the previous year's week numbering
    QDateTime best;
    for (int candidate : years) {
        const QDate date(candidate, month, day);
        if (!date.isValid())
            continue;
        const QDateTime at(date, time, Qt::OffsetFromUTC, offset);
        if (!best.isValid() || qAbs(at.msecsTo(now)) < qAbs(best.msecsTo(now)))
            best = at;
    }
    return best;
}

QString SimRequestChecks::stringToSign(const QString &method, const QString &timestamp, const QString &nonce,
                                       const QString &path, const QJsonObject &form)
{
    return method + QLatin1Char('\n') + timestamp + QLatin1Char('\n') + nonce + QLatin1Char('\n') + path
        + QLatin1Char('\n') + parameterText(form);
}

void SimRequestChecks::forgetOldNonces(qint64 nowMs)
{
    if (m_nonces.size() < 4096)
        return;
    // A nonce older than the allowed skew is refused by its time anyway.
    for (auto it = m_nonces.begin(); it != m_nonces.end();) {
        if (nowMs - it.value() > 2 * kMaxSkewMs)
            it = m_nonces.erase(it);
        else
            ++it;
    }
}

SimCheckResult SimRequestChecks::checkHeaders(const SimHttpRequest &request, const QDateTime &now)
{
    static const QByteArray required[] = {"x-hmac-auth-timestamp", "x-hmac-auth-version", "x-hmac-auth-nonce",
                                          "apikey", "empid", "x-hmac-auth-signature", "x-hmac-auth-mac",
                                          "x-hmac-auth-ip"};
    for (const QByteArray &name : required) {
        if (!request.hasHeader(name))
            return SimCheckResult::failure(QStringLiteral("missing header %1").arg(QString::fromLatin1(name)));
    }
    const QString timestamp = QString::fromUtf8(request.header("x-hmac-auth-timestamp"));
    const QDateTime at = parseTimestamp(timestamp, now);
    if (!at.isValid())
        return SimCheckResult::failure(QStringLiteral("bad X-Hmac-Auth-Timestamp \"%1\"").arg(timestamp));
    if (qAbs(at.msecsTo(now)) > kMaxSkewMs)
        return SimCheckResult::failure(QStringLiteral("X-Hmac-Auth-Timestamp \"%1\" is more than 15 minutes off").arg(timestamp));
    if (request.header("x-hmac-auth-version") != "1.0")
        return SimCheckResult::failure(QStringLiteral("X-Hmac-Auth-Version is not 1.0"));
    if (request.header("x-hmac-auth-mac").isEmpty())
        return SimCheckResult::failure(QStringLiteral("empty X-Hmac-Auth-MAC"));
    if (request.header("x-hmac-auth-signature").isEmpty())
        return SimCheckResult::failure(QStringLiteral("empty X-Hmac-Auth-Signature"));

    const QByteArray nonce = request.header("x-hmac-auth-nonce");
    const QString nonceText = QString::fromLatin1(nonce);
    if (!isDecimal(nonceText) || nonceText.size() < 5)
        return SimCheckResult::failure(QStringLiteral("bad X-Hmac-Auth-Nonce \"%1\"").arg(nonceText));
    const qint64 nonceMs = nonceText.left(nonceText.size() - 4).toLongLong();
    const qint64 nowMs = now.toMSecsSinceEpoch();
    if (qAbs(nowMs - nonceMs) > kMaxSkewMs)
        return SimCheckResult::failure(
            QStringLiteral("X-Hmac-Auth-Nonce \"%1\" is not the millisecond time followed by four digits").arg(nonceText));
    forgetOldNonces(nowMs);
    if (m_nonces.contains(nonce))
        return SimCheckResult::failure(QStringLiteral("replayed X-Hmac-Auth-Nonce %1").arg(nonceText));
    m_nonces.insert(nonce, nonceMs);
    return SimCheckResult::pass();
}

SimCheckResult SimRequestChecks::checkAuthParameters(const QString &path, const QJsonObject &form) const
{
    if (path.contains(QLatin1String("addMember"))) {
        for (auto it = form.begin(); it != form.end(); ++it) {
            if (it.key() != QLatin1String("data") && it.key() != QLatin1String("__appcode")
                && it.key() != QLatin1String("__accesstoken"))
                return SimCheckResult::failure(QStringLiteral("addMember request carries the extra key \"%1\"").arg(it.key()));
        }
        if (!form.contains(QLatin1String("__appcode")))
            return SimCheckResult::failure(QStringLiteral("missing parameter __appcode"));
        if (!form.value(QLatin1String("data")).isString())
            return SimCheckResult::failure(QStringLiteral("missing parameter data"));
        const QJsonDocument data = QJsonDocument::fromJson(form.value(QLatin1String("data")).toString().toUtf8());
        if (!data.isObject())
            return SimCheckResult::failure(QStringLiteral("parameter data is not the JSON text of an object"));
        return SimCheckResult::pass();
    }

    if (form.value(QLatin1String("authAppCode")).toString() != QLatin1String(kAuthAppCode))
        return SimCheckResult::failure(QStringLiteral("authAppCode is not %1").arg(QLatin1String(kAuthAppCode)));
    const QString authContent = form.value(QLatin1String("authContent")).toString();
    const QJsonDocument content = QJsonDocument::fromJson(authContent.toUtf8());
    const QJsonObject contentObject = content.object();
    if (!content.isObject() || contentObject.size() != 2 || !contentObject.value(QLatin1String("appVer")).isString()
        || !isDecimal(contentObject.value(QLatin1String("timeStamp")).toString()))
        return SimCheckResult::failure(
            QStringLiteral("authContent is not {\"timeStamp\":\"<seconds>\",\"appVer\":\"<text>\"}"));
    const QByteArray expectedSign =
        QCryptographicHash::hash((authContent + QLatin1String(kAuthSalt)).toUtf8(), QCryptographicHash::Md5).toHex();
    if (form.value(QLatin1String("authSign")).toString().toLatin1() != expectedSign)
        return SimCheckResult::failure(QStringLiteral("authSign does not match authContent"));
    if (!form.value(QLatin1String("clientVersion")).isString())
        return SimCheckResult::failure(QStringLiteral("missing parameter clientVersion"));
    for (const char *key : {"appcode", "clientid"}) {
        const QJsonValue value = form.value(QLatin1String(key));
        if (!value.isString())
            return SimCheckResult::failure(QStringLiteral("missing parameter %1").arg(QLatin1String(key)));
        if (!value.toString().isEmpty())
            return SimCheckResult::failure(QStringLiteral("parameter %1 is not empty").arg(QLatin1String(key)));
    }
    return SimCheckResult::pass();
}

SimCheckResult SimRequestChecks::check(const SimHttpRequest &request, const QJsonObject &form, const QDateTime &now)
{
    SimCheckResult result = checkHeaders(request, now);
    if (!result.ok)
        return result;

    const QString toSign = stringToSign(QString::fromLatin1(request.method),
                                        QString::fromUtf8(request.header("x-hmac-auth-timestamp")),
                                        QString::fromLatin1(request.header("x-hmac-auth-nonce")), request.path, form);
    const QByteArray expected =
        QMessageAuthenticationCode::hash(toSign.toUtf8(), QByteArray(), QCryptographicHash::Sha256).toBase64();
    if (request.header("x-hmac-auth-signature") != expected)
        return SimCheckResult::failure(QStringLiteral("X-Hmac-Auth-Signature does not match the request"));

    result = checkAuthParameters(request.path, form);
    if (!result.ok)
        return result;

    if (!m_accessToken.isEmpty() && form.value(QLatin1String("__accesstoken")).toString() != m_accessToken)
        return SimCheckResult::failure(QStringLiteral("invalid access token"));
    return SimCheckResult::pass();
}

} // namespace kelvosim
