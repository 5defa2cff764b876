#pragma once

#include <QJsonArray>
#include <QString>
#include <QVariant>

#include <memory>
#include <mutex>

class QSettings;

/// Keys of the store shared with the host application.
namespace UserPersistentDataKeys {
inline constexpr const char *kWorkId = "KEY_WORK_ID";
inline constexpr const char *kPipeName = "KEY_PIPE_NAME";
inline constexpr const char *kTanduTrackId = "KEY_TANDU_TRACK_ID";
inline constexpr const char *kMeetingNoteUrl = "KEY_MEETING_NOTE_URL";
inline constexpr const char *kAccessToken = "KEY_ACCESS_TOKEN";
inline constexpr const char *kSysUmid = "KEY_SYS_UMID";
inline constexpr const char *kUserEmpType = "KEY_USER_EMPTYPE";
inline constexpr const char *kEnableAecDump = "KEY_ENABLE_AEC_DUMP";
inline constexpr const char *kMissedCall = "KEY_MISSED_CALL";
inline constexpr const char *kUnreadMessage = "KEY_UNREAD_MESSAGE";
inline constexpr const char *kDevVideoInput = "KEY_DEV_VIDEOINPUT";
inline constexpr const char *kDevAudioOutput = "KEY_DEV_AUDIOOUTPUT";
inline constexpr const char *kDevAudioInput = "KEY_DEV_AUDIOINPUT";
inline constexpr const char *kEnableBeautyFlag = "KEY_ENABLE_BEAUTY_FLAG_1";
inline constexpr const char *kEnterAudioEnable = "KEY_ENTER_AUDIO_ENABLE";
inline constexpr const char *kEnterVideoEnable = "KEY_ENTER_VIDEO_ENABLE";
inline constexpr const char *kNewVersionTips = "KEY_NEW_VERSION_TIPS";
inline constexpr const char *kNewMeetingNoteTips = "KEY_NEW_MEETING_NOTE_TIPS";
inline constexpr const char *kSupportVideoBeauty = "KEY_SUPPORT_VIDEO_BEAUTY";
inline constexpr const char *kClientMeetingInfoList = "KEY_CLIENT_MEETING_INO_LIST";
inline constexpr const char *kExternalNickname = "KEY_KELVO_EXTERNAL_NICKNAME";
} // namespace UserPersistentDataKeys

/// Device types of `writeDevice` / `readDeviceWithType`.
enum UserPersistentDeviceType : int {
    UserPersistentDeviceVideoInput = 1,
    UserPersistentDeviceAudioOutput = 2,
    UserPersistentDeviceAudioInput = 3,
};

/// The key/value store shared with the host: the host application's default `QSettings`
/// (its organisation and application names), captured when the instance is created. The host
/// writes the user's identity before a meeting; the SDK reads it and keeps a few preferences
/// of its own there.
///
/// Every operation may be called from any thread. Each write is flushed to disk at once and
/// returns whether the flush succeeded.
///
/// Strings: a key that is absent, or holds an empty string or a value that is not text, reads
/// as a null `QString` (`isNull()`). Secure strings read as an empty (non-null) string when
/// absent or unreadable.
class UserPersistentData {
public:
    /// The process-wide instance, created on first use (thread-safe). Create it after the
    /// host's `QCoreApplication` names are set.
    static UserPersistentData &sharedInstance();

    // Generic access.
    bool writeString(const QString &value, const QString &key);
    QString readStringWithKey(const QString &key) const;
    /// Stores the UTF-8 text AES-256-CBC encrypted as binary data.
    bool writeSecureString(const QString &value, const QString &key);
    /// The decrypted text; "" when the key is absent; "" and an error line when the stored
    /// value does not decrypt.
    QString readSecureStringWithKey(const QString &key) const;
    bool writeBOOL(bool value, const QString &key);
    bool readBOOLWithKey(const QString &key) const;
    bool writeInteger(qint64 value, const QString &key);
    qint64 readIntegerWithKey(const QString &key) const;
    bool writeDouble(double value, const QString &key);
    double readDoubleWithKey(const QString &key) const;
    /// Removes the key; returns whether the flush succeeded.
    bool removeObjectForKey(const QString &key);
    /// Rewrites a key's plain string as a secure string. False when the key holds no plain
    /// string (absent, or already binary data) or the write fails.
    bool convertDefaultsWithKey(const QString &key);

    // Identity written by the host.
    QString readWorkId() const;
    /// The work id; an id made of ASCII digits only (an empty or absent one included) is
    /// returned as the decimal text of its value ("007" → "7", absent → "0"), at any length;
    /// any other id unchanged.
    QString readNormalizeWorkId() const;
    bool writeWorkId(const QString &workId);
    QString readPipeName() const;
    bool writePipeName(const QString &pipeName);
    QString readTanduTrack() const;
    bool writeTanduTrack(const QString &trackId);
    QString readMeetingNoteUrl() const;
    QString readAccessToken() const;
    bool writeAccessToken(const QString &token);
    QString readSysUmid() const;
    bool writeSysUMid(const QString &umid);
    QString readUserEmpType() const;
    bool writeUserEmpType(const QString &empType);
    bool readEnableAecDumpFlag() const;
    qint64 readMissedCallCount() const;
    bool writeMissedCallCount(qint64 count);
    qint64 readUnreadMessageCount() const;
    bool writeUnreadMessageCount(qint64 count);

    // Devices by type (see UserPersistentDeviceType); other types write nothing (false) and
    // read "".
    bool writeDevice(const QString &device, int type);
    QString readDeviceWithType(int type) const;

    // Preferences with a default that is written on first read.
    /// Absent: the staff flag of the client configuration is stored and returned.
    bool readEnableBeautyFlag();
    bool writeBeautyFlag(bool enabled);
    /// Absent: false is stored and returned.
    bool readEnterAudioMuteFlag();
    bool writeEnterAudioMuteFlag(bool muted);
    /// Absent: false is stored and returned.
    bool readEnterVideoMuteFlag();
    bool writeEnterVideoMuteFlag(bool muted);

    // Presence flags: true once the key exists, whatever its value.
    bool isNewVersionAlreadyShow() const;
    bool writeNewVersionAlreadyShowFlag();
    bool isNewMeetingNoteAlreadyShow() const;
    bool writeNewMeetingNoteAlreadyShowFlag();
    bool isAppSupprotVideoBeauty() const;

    /// Recent client meeting records; an empty array when absent.
    QJsonArray readClientMeetingInfo() const;
    bool writeClientMeetingInfo(const QJsonArray &records);
    QString readVanNames() const;
    bool writeVanNames(const QString &nickname);

    ~UserPersistentData();
    UserPersistentData(const UserPersistentData &) = delete;
    UserPersistentData &operator=(const UserPersistentData &) = delete;

private:
    UserPersistentData();

    QVariant value(const QString &key) const;
    bool contains(const QString &key) const;
    /// Stores and flushes; the caller holds m_mutex.
    bool storeLocked(const QString &key, const QVariant &value);
    bool store(const QString &key, const QVariant &value);
    bool readFlagWritingDefault(const QString &key, bool defaultValue);

    // QSettings is not thread-safe: every access holds m_mutex, including the settings
    // object's own deferred flush (see the .cpp).
    mutable std::mutex m_mutex;
    std::unique_ptr<QSettings> m_settings;
};
