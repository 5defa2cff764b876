#include "conference/join/KLIceDetection.h"

#include "cloudlog/KLQLSLogger.h"

namespace {

QJsonArray firstEntries(const QJsonArray &list, int count)
{
    QJsonArray cut;
    for (int i = 0; i < list.size() && i < count; ++i)
        cut.append(list.at(i));
    return cut;
}

} // namespace

QJsonObject KL_iceDetectionDictionary(const QJsonArray &ips, const QJsonArray &iceRtts)
{
    QJsonObject detection;
    if (!ips.isEmpty())
        detection.insert(QStringLiteral("publicIp"), firstEntries(ips, KLIceDetectionMaxEntries));
    if (!iceRtts.isEmpty())
        detection.insert(QStringLiteral("iceRtt"), firstEntries(iceRtts, KLIceDetectionMaxEntries));
    return QJsonObject{{QStringLiteral("iceDetection"), detection}};
}

QString KL_serverReflexiveIp(const QJsonArray &ips)
{
    if (ips.isEmpty())
        return QString();
    const QJsonValue ip = ips.first().toObject().value(QLatin1String("ip"));
    return ip.isString() ? ip.toString() : QString();
}

void KL_reportIceDetection(KLQLSLogger &logger, const QJsonArray &ips, const QString &localIp)
{
    const QString srflx = KL_serverReflexiveIp(ips);
    if (!srflx.isEmpty())
        logger.setSrflxIp(srflx);
    logger.setLocalIp(localIp);
}
