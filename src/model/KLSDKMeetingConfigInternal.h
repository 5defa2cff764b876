#pragma once

// The meeting configuration: the host's meeting dictionary as typed fields, plus the few
// facts the join sequence fills in (member UUID, user id, appointment id, ICE detection).
//
// One instance per meeting, shared by std::shared_ptr between the entry object, the meeting
// window, the conference service, the signal channel and the cloud logger, which read and
// write it from their own threads. Every field is therefore read and written under the
// object's lock; getters return copies.

#include <QJsonObject>
#include <QString>
#include <QVariantMap>

#include <memory>
#include <mutex>
#include <optional>
#include <utility>

class KLSDKMeetingConfigInternal {
public:
    /// Reads the meeting dictionary (keys of <KelvoUISDK/KLUISDKMeetingConfigKeys.h>).
    /// Absent strings are null; absent flags take their defaults (allowNoMic and
    /// speakerEnabled true, the others false); a value of the wrong type reads as a null
    /// string or a false flag. "qlsInfo" must be a string holding a JSON object, else
    /// qlsInfo() is none. webRTCLogEnabled, appointmentId and iceDetection are never read
    /// from the dictionary; sdkVersion is always KLSDKVersion.
    explicit KLSDKMeetingConfigInternal(const QVariantMap &dic = QVariantMap());
    static std::shared_ptr<KLSDKMeetingConfigInternal> create(const QVariantMap &dic)
    {
        return std::make_shared<KLSDKMeetingConfigInternal>(dic);
    }

    KLSDKMeetingConfigInternal(const KLSDKMeetingConfigInternal &) = delete;
    KLSDKMeetingConfigInternal &operator=(const KLSDKMeetingConfigInternal &) = delete;

    bool muteAudio() const { return get(m_muteAudio); }
    void setMuteAudio(bool value) { set(m_muteAudio, value); }
    bool speakerEnabled() const { return get(m_speakerEnabled); }
    void setSpeakerEnabled(bool value) { set(m_speakerEnabled, value); }
    bool muteVideo() const { return get(m_muteVideo); }
    void setMuteVideo(bool value) { set(m_muteVideo, value); }
    /// The meeting may go on without a usable microphone; also keeps the window open after
    /// an error.
    bool allowNoMic() const { return get(m_allowNoMic); }
    void setAllowNoMic(bool value) { set(m_allowNoMic, value); }
    bool audioOnly() const { return get(m_audioOnly); }
    void setAudioOnly(bool value) { set(m_audioOnly, value); }
    /// Internal staff user: selects the HTTP meeting API and leaving by closing the app.
    bool isVanInternal() const { return get(m_isVanInternal); }
    void setIsVanInternal(bool value) { set(m_isVanInternal, value); }
    bool webRTCLogEnabled() const { return get(m_webRTCLogEnabled); }
    void setWebRTCLogEnabled(bool value) { set(m_webRTCLogEnabled, value); }

    QString clientAppId() const { return get(m_clientAppId); }
    void setClientAppId(QString value) { set(m_clientAppId, std::move(value)); }
    /// Cloud-log settings ("project", "logServiceEndpoint", "logstore"); none when the host
    /// gave none or gave text that is not a JSON object.
    std::optional<QJsonObject> qlsInfo() const { return get(m_qlsInfo); }
    void setQlsInfo(std::optional<QJsonObject> value) { set(m_qlsInfo, std::move(value)); }
    QString meetingUUID() const { return get(m_meetingUUID); }
    void setMeetingUUID(QString value) { set(m_meetingUUID, std::move(value)); }
    /// May be empty at first when userId is given; the join sequence fills it in.
    QString memberUUID() const { return get(m_memberUUID); }
    void setMemberUUID(QString value) { set(m_memberUUID, std::move(value)); }
    QString meetingToken() const { return get(m_meetingToken); }
    void setMeetingToken(QString value) { set(m_meetingToken, std::move(value)); }
    QString meetingDomain() const { return get(m_meetingDomain); }
    void setMeetingDomain(QString value) { set(m_meetingDomain, std::move(value)); }
    /// May be empty at first when memberUUID is given; the join sequence fills it in.
    QString userId() const { return get(m_userId); }
    void setUserId(QString value) { set(m_userId, std::move(value)); }
    /// Set from the meeting information during the join.
    QString appointmentId() const { return get(m_appointmentId); }
    void setAppointmentId(QString value) { set(m_appointmentId, std::move(value)); }
    /// The local ICE detection result, set during the join.
    std::optional<QJsonObject> iceDetection() const { return get(m_iceDetection); }
    void setIceDetection(std::optional<QJsonObject> value)
    {
        set(m_iceDetection, std::move(value));
    }
    /// Base of the meeting API's request paths: "apiBaseUrl", else "https://" and the domain;
    /// empty when neither is known.
    QString apiBaseUrl() const { return baseUrlOrDomain(get(m_apiBaseUrl)); }
    void setApiBaseUrl(QString value) { set(m_apiBaseUrl, std::move(value)); }
    /// Base of the IT-monitoring service: "itMonitorBaseUrl", else as apiBaseUrl().
    QString itMonitorBaseUrl() const { return baseUrlOrDomain(get(m_itMonitorBaseUrl)); }
    void setItMonitorBaseUrl(QString value) { set(m_itMonitorBaseUrl, std::move(value)); }
    /// Extra PEM certificate authorities to trust besides the system's; may be empty.
    QString caFile() const { return get(m_caFile); }
    /// The media engine the host asked for ("webrtc", "builtin" or empty).
    QString mediaEngine() const { return get(m_mediaEngine); }
    void setCaFile(QString value) { set(m_caFile, std::move(value)); }
    QString sdkVersion() const { return get(m_sdkVersion); }
    void setSdkVersion(QString value) { set(m_sdkVersion, std::move(value)); }

private:
    QString baseUrlOrDomain(const QString &base) const;

    template <typename T>
    T get(const T &field) const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return field;
    }
    template <typename T>
    void set(T &field, T value)
    {
        // The old value is released outside the lock.
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            std::swap(field, value);
        }
    }

    mutable std::mutex m_mutex;
    bool m_muteAudio = false;
    bool m_speakerEnabled = true;
    bool m_muteVideo = false;
    bool m_allowNoMic = true;
    bool m_audioOnly = false;
    bool m_isVanInternal = false;
    bool m_webRTCLogEnabled = false;
    QString m_clientAppId;
    std::optional<QJsonObject> m_qlsInfo;
    QString m_meetingUUID;
    QString m_memberUUID;
    QString m_meetingToken;
    QString m_meetingDomain;
    QString m_userId;
    QString m_appointmentId;
    std::optional<QJsonObject> m_iceDetection;
    QString m_apiBaseUrl;
    QString m_itMonitorBaseUrl;
    QString m_caFile;
    QString m_mediaEngine;
    QString m_sdkVersion;
};
