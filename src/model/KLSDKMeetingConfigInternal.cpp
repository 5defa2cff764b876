#include "model/KLSDKMeetingConfigInternal.h"

#include "runtime/KLDictionary.h"
#include "runtime/KLSDKLog.h"

#include <KelvoUISDK/KLSDKVersion.h>
#include <KelvoUISDK/KLUISDKMeetingConfigKeys.h>

namespace {

const QString kLogTag = QStringLiteral("KLSDKMeetingConfigInternal");

QString key(const char *name)
{
    return QString::fromLatin1(name);
}

// "qlsInfo" is JSON text. Anything but a JSON object is dropped with a log line, so a host
// that passes a broken value learns why its cloud logging stays silent.
std::optional<QJsonObject> parseQlsInfo(const QVariantMap &dic)
{
    const QString name = key(KLSDKMeetingConfigQlsInfo);
    if (!dic.contains(name))
        return std::nullopt;
    const QString text = KL_stringForKey(dic, name);
    if (text.isNull()) {
        KL_LOG_ERROR(kLogTag, QStringLiteral("qlsInfo is not a text; cloud-log settings ignored"));
        return std::nullopt;
    }
    const QJsonValue parsed = KL_JSONObject(text);
    if (!parsed.isObject()) {
        KL_LOG_ERROR(kLogTag,
                     QStringLiteral("qlsInfo is not a JSON object; cloud-log settings ignored"));
        return std::nullopt;
    }
    return parsed.toObject();
}

} // namespace

KLSDKMeetingConfigInternal::KLSDKMeetingConfigInternal(const QVariantMap &dic)
{
    m_clientAppId = KL_stringForKey(dic, key(KLSDKMeetingConfigClientAppId));
    m_qlsInfo = parseQlsInfo(dic);
    m_meetingUUID = KL_stringForKey(dic, key(KLSDKMeetingConfigMeetingUUID));
    m_memberUUID = KL_stringForKey(dic, key(KLSDKMeetingConfigMemberUUID));
    m_meetingToken = KL_stringForKey(dic, key(KLSDKMeetingConfigMeetingToken));
    m_meetingDomain = KL_stringForKey(dic, key(KLSDKMeetingConfigMeetingDomain));
    m_userId = KL_stringForKey(dic, key(KLSDKMeetingConfigUserId));
    m_isVanInternal = KL_boolForKey(dic, key(KLSDKMeetingConfigVanInternal), false);
    m_muteAudio = KL_boolForKey(dic, key(KLSDKMeetingConfigMuteAudio), false);
    m_muteVideo = KL_boolForKey(dic, key(KLSDKMeetingConfigMuteVideo), false);
    m_allowNoMic = KL_boolForKey(dic, key(KLSDKMeetingConfigAllowNoMic), true);
    m_audioOnly = KL_boolForKey(dic, key(KLSDKMeetingConfigAudioOnly), false);
    m_speakerEnabled = KL_boolForKey(dic, key(KLSDKMeetingConfigSpeakerEnabled), true);
    m_apiBaseUrl = KL_stringForKey(dic, key(KLSDKMeetingConfigApiBaseUrl));
    m_itMonitorBaseUrl = KL_stringForKey(dic, key(KLSDKMeetingConfigItMonitorBaseUrl));
    m_caFile = KL_stringForKey(dic, key(KLSDKMeetingConfigCaFile));
    m_mediaEngine = KL_stringForKey(dic, key(KLSDKMeetingConfigMediaEngine));
    m_sdkVersion = QString::fromLatin1(KLSDKVersion);
}

QString KLSDKMeetingConfigInternal::baseUrlOrDomain(const QString &base) const
{
    if (!base.isEmpty())
        return base;
    const QString domain = meetingDomain();
    return domain.isEmpty() ? QString() : QStringLiteral("https://") + domain;
}
