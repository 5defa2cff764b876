#include "gateway/KLMeetingApiParameters.h"

#include "clientconfig/KLClientConfigManager.h"
#include "host/KLHostUtils.h"
#include "host/UserPersistentData.h"
#include "runtime/KLSDKLog.h"

#include <QCryptographicHash>
#include <QJsonDocument>

namespace {

const QString kLogTag = QStringLiteral("KLSDKMeetingHTTPApi");

void addAccessToken(QJsonObject &parameters, const KLApiIdentity &identity)
{
    parameters.insert(QStringLiteral("__appcode"), QString());
    if (!identity.accessToken.isEmpty())
        parameters.insert(QStringLiteral("__accesstoken"), identity.accessToken);
}

QJsonObject addMemberParameters(const QJsonObject &copy, const KLApiIdentity &identity)
{
    QJsonObject parameters;
    const QByteArray json = QJsonDocument(copy).toJson(QJsonDocument::Indented);
    if (json.isEmpty()) {
        KL_LOG_ERROR(kLogTag, QStringLiteral("addMember error: %1").arg(QStringLiteral(
                                  "the member parameters cannot be written as JSON")));
        return parameters;
    }
    parameters.insert(QStringLiteral("data"), QString::fromUtf8(json));
    addAccessToken(parameters, identity);
    return parameters;
}

void addAuthentication(QJsonObject &parameters, const KLApiIdentity &identity,
                       qint64 epochSeconds)
{
    const QString content = KLMeetingApiParameters::authContent(epochSeconds, identity.appVersion);
    parameters.insert(QStringLiteral("authAppCode"), QStringLiteral("tandu_mac"));
    parameters.insert(QStringLiteral("authContent"), content);
    parameters.insert(QStringLiteral("authSign"), KLMeetingApiParameters::authSign(content));
    if (identity.staff) {
        parameters.insert(QStringLiteral("sysUserId"), identity.workId);
        parameters.insert(QStringLiteral("sysUserToken"), identity.accessToken);
        parameters.insert(QStringLiteral("clientIdentifiers"), identity.machineId);
    }
    parameters.insert(QStringLiteral("clientVersion"), identity.appVersion);
}

} // namespace

KLApiIdentity KLApiIdentity::current()
{
    UserPersistentData &data = UserPersistentData::sharedInstance();
    KLApiIdentity identity;
    identity.workId = data.readNormalizeWorkId();
    identity.accessToken = data.readAccessToken();
    identity.machineId = data.readSysUmid();
    if (identity.accessToken.isNull())
        identity.accessToken = QString(QLatin1String(""));
    if (identity.machineId.isNull())
        identity.machineId = QString(QLatin1String(""));
    // Qt keeps one version text per application: it stands for both the short version and
    // the build number.
    const QString version = KLHostUtils::appVersion();
    identity.appVersion = QStringLiteral("v%1 (%2)").arg(version, version);
    identity.staff = KLClientConfigManager::sharedInstance().isStaff();
    return identity;
}

namespace KLMeetingApiParameters {

QString authContent(qint64 epochSeconds, const QString &appVersion)
{
    return QStringLiteral("{\"timeStamp\":\"%1\",\"appVer\":\"%2\"}").arg(epochSeconds).arg(appVersion);
}

QString authSign(const QString &authContent)
{
    const QByteArray salted = authContent.toUtf8() + QByteArray(kAppSalt);
    return QString::fromLatin1(QCryptographicHash::hash(salted, QCryptographicHash::Md5).toHex());
}

QJsonObject finalParameters(const QJsonObject &own, const QString &path,
                            const KLApiIdentity &identity, qint64 epochSeconds)
{
    QJsonObject copy = own;
    copy.insert(QStringLiteral("appcode"), QString());
    copy.insert(QStringLiteral("clientid"), QString());
    if (identity.staff)
        copy.insert(QStringLiteral("ownerId"), identity.workId);
    if (path.contains(QLatin1String("addMember")))
        return addMemberParameters(copy, identity);

    QJsonObject parameters = copy;
    addAuthentication(parameters, identity, epochSeconds);
    addAccessToken(parameters, identity);
    return parameters;
}

} // namespace KLMeetingApiParameters
