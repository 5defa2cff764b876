#include "SimItMonitor.h"

#include "SimLog.h"

#include <QCryptographicHash>
#include <QJsonObject>
#include <QStringList>
#include <QUrl>

namespace kelvosim {

namespace {

SimOutcome refuse(const QString &code, const QString &message)
{
    SimOutcome outcome;
    outcome.rejected = true;
    outcome.rejectReason = message;
    outcome.response = SimHttpResponse::json({{QStringLiteral("success"), false},
                                              {QStringLiteral("errorCode"), code},
                                              {QStringLiteral("errorMsg"), message}});
    qCInfo(lcSim) << "IT monitor refused a request:" << message;
    return outcome;
}

} // namespace

SimOutcome SimItMonitor::handle(const SimHttpRequest &request) const
{
    if (request.method != "GET")
        return refuse(QStringLiteral("405"), QStringLiteral("the IT monitor takes GET"));
    const QByteArray marker = "&_sign=";
    const qsizetype at = request.rawQuery.lastIndexOf(marker);
    if (at < 0)
        return refuse(QStringLiteral("4001"), QStringLiteral("the query does not end with &_sign=<md5>"));
    // The client signs the query text before any percent-encoding its URL may add.
    const QString signedText = QUrl::fromPercentEncoding(request.rawQuery.left(at));
    const QByteArray sign = request.rawQuery.mid(at + marker.size());
    const QByteArray expected =
        QCryptographicHash::hash((signedText + QLatin1String(kSalt)).toUtf8(), QCryptographicHash::Md5).toHex();
    if (sign != expected)
        return refuse(QStringLiteral("4002"), QStringLiteral("_sign does not match the query"));

    static const QStringList order{
        QStringLiteral("agent"),     QStringLiteral("empId"),      QStringLiteral("ip"),
        QStringLiteral("mac"),       QStringLiteral("meetingId"),  QStringLiteral("moreScreen"),
        QStringLiteral("os"),        QStringLiteral("partner_id"), QStringLiteral("projectId"),
        QStringLiteral("success"),   QStringLiteral("ts"),         QStringLiteral("type"),
        QStringLiteral("version")};
    QStringList keys;
    QJsonObject data;
    for (const QString &pair : signedText.split(QLatin1Char('&'))) {
        const qsizetype equals = pair.indexOf(QLatin1Char('='));
        const QString key = equals < 0 ? pair : pair.left(equals);
        keys.append(key);
        data.insert(key, equals < 0 ? QString() : pair.mid(equals + 1));
    }
    if (keys != order)
        return refuse(QStringLiteral("4003"), QStringLiteral("query keys are \"%1\", expected \"%2\"")
                                                  .arg(keys.join(QLatin1Char(',')), order.join(QLatin1Char(','))));
    bool ok = false;
    data.value(QLatin1String("ts")).toString().toLongLong(&ok);
    if (!ok)
        return refuse(QStringLiteral("4004"), QStringLiteral("ts is not a millisecond time"));

    SimOutcome outcome;
    outcome.response = SimHttpResponse::json({{QStringLiteral("success"), true}, {QStringLiteral("data"), data}});
    return outcome;
}

} // namespace kelvosim
