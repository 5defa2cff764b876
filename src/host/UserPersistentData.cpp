#include "host/UserPersistentData.h"

#include "clientconfig/KLClientConfigManager.h"
#include "host/KLSecureString.h"
#include "runtime/KLSDKLog.h"

#include <QCoreApplication>
#include <QEvent>
#include <QSettings>
#include <QThread>

#include <cmath>
#include <limits>

namespace {

const QString kTag = QStringLiteral("UserPersistentData");

// The key string of every secure value stored by the SDK: empty, so the AES key is 32 zero
// bytes. Changing it would make existing values unreadable.
const QString kSecureKeyString;

/// The host's default settings, with the object's deferred flush (posted to itself after
/// each change) taken under the same lock as every other access.
class LockedSettings : public QSettings {
public:
    explicit LockedSettings(std::mutex &mutex) : m_mutex(mutex) {}

protected:
    bool event(QEvent *event) override
    {
        if (event->type() == QEvent::UpdateRequest) {
            std::lock_guard<std::mutex> lock(m_mutex);
            return QSettings::event(event);
        }
        return QSettings::event(event);
    }

private:
    std::mutex &m_mutex;
};

bool isAsciiDigits(const QString &text)
{
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return true;
}

bool isText(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::QString:
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
        return true;
    default:
        return false;
    }
}

QString deviceKey(int type)
{
    switch (type) {
    case UserPersistentDeviceVideoInput:
        return QString::fromLatin1(UserPersistentDataKeys::kDevVideoInput);
    case UserPersistentDeviceAudioOutput:
        return QString::fromLatin1(UserPersistentDataKeys::kDevAudioOutput);
    case UserPersistentDeviceAudioInput:
        return QString::fromLatin1(UserPersistentDataKeys::kDevAudioInput);
    default:
        return QString();
    }
}

QString keyName(const char *name)
{
    return QString::fromLatin1(name);
}

} // namespace

UserPersistentData &UserPersistentData::sharedInstance()
{
    // Never destroyed: other process-wide objects may still read preferences while the
    // process exits.
    static UserPersistentData *instance = new UserPersistentData;
    return *instance;
}

UserPersistentData::UserPersistentData() : m_settings(std::make_unique<LockedSettings>(m_mutex))
{
    // The deferred flush runs on the settings object's thread: keep it on the application's
    // main thread rather than on whichever (possibly short-lived) thread created us.
    if (QCoreApplication *app = QCoreApplication::instance()) {
        if (m_settings->thread() != app->thread())
            m_settings->moveToThread(app->thread());
    }
}

UserPersistentData::~UserPersistentData() = default;

QVariant UserPersistentData::value(const QString &key) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_settings->value(key);
}

bool UserPersistentData::contains(const QString &key) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_settings->contains(key);
}

bool UserPersistentData::storeLocked(const QString &key, const QVariant &value)
{
    m_settings->setValue(key, value);
    m_settings->sync();
    const bool ok = m_settings->status() == QSettings::NoError;
    if (!ok) {
        KL_LOG_ERROR(kTag, QStringLiteral("flushing %1 to %2 failed (status %3)")
                               .arg(key, m_settings->fileName())
                               .arg(int(m_settings->status())));
    }
    return ok;
}

bool UserPersistentData::store(const QString &key, const QVariant &value)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return storeLocked(key, value);
}

bool UserPersistentData::removeObjectForKey(const QString &key)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_settings->remove(key);
    m_settings->sync();
    return m_settings->status() == QSettings::NoError;
}

bool UserPersistentData::writeString(const QString &value, const QString &key)
{
    return store(key, value);
}

QString UserPersistentData::readStringWithKey(const QString &key) const
{
    const QVariant stored = value(key);
    if (!isText(stored))
        return QString();
    const QString text = stored.toString();
    return text.isEmpty() ? QString() : text;
}

bool UserPersistentData::writeSecureString(const QString &value, const QString &key)
{
    const std::optional<QByteArray> cipher = KLSecureString::encrypt(value, kSecureKeyString);
    if (!cipher) {
        KL_LOG_ERROR(kTag, QStringLiteral("encrypting the value of %1 failed").arg(key));
        return false;
    }
    return store(key, *cipher);
}

QString UserPersistentData::readSecureStringWithKey(const QString &key) const
{
    const QVariant stored = value(key);
    if (!stored.isValid())
        return QStringLiteral("");
    if (stored.typeId() != QMetaType::QByteArray) {
        KL_LOG_ERROR(kTag, QStringLiteral("%1 holds no encrypted data (type %2); read as empty")
                               .arg(key, QString::fromLatin1(stored.typeName())));
        return QStringLiteral("");
    }
    const std::optional<QString> text =
        KLSecureString::decrypt(stored.toByteArray(), kSecureKeyString);
    if (!text) {
        KL_LOG_ERROR(kTag, QStringLiteral("%1 does not decrypt (%2 bytes); read as empty")
                               .arg(key)
                               .arg(stored.toByteArray().size()));
        return QStringLiteral("");
    }
    return text->isNull() ? QStringLiteral("") : *text;
}

bool UserPersistentData::writeBOOL(bool value, const QString &key)
{
    return store(key, value);
}

bool UserPersistentData::readBOOLWithKey(const QString &key) const
{
    const QVariant stored = value(key);
    if (stored.typeId() != QMetaType::QString)
        return stored.toBool();
    // The INI store keeps every scalar as text.
    const QString text = stored.toString().trimmed().toLower();
    if (text == QLatin1String("true") || text == QLatin1String("yes"))
        return true;
    bool ok = false;
    const double number = text.toDouble(&ok);
    return ok && number != 0.0;
}

bool UserPersistentData::writeInteger(qint64 value, const QString &key)
{
    return store(key, value);
}

qint64 UserPersistentData::readIntegerWithKey(const QString &key) const
{
    const QVariant stored = value(key);
    bool ok = false;
    const bool floating =
        stored.typeId() == QMetaType::Double || stored.typeId() == QMetaType::Float;
    if (!floating) {
        const qint64 integer = stored.toLongLong(&ok);
        if (ok)
            return integer;
    }
    // QVariant rounds a double to the nearest integer; a stored fraction is cut instead.
    const double number = stored.toDouble(&ok);
    if (!ok || !std::isfinite(number))
        return 0;
    // A fractional value is cut toward zero; out-of-range values saturate.
    if (number >= 9.2e18)
        return std::numeric_limits<qint64>::max();
    if (number <= -9.2e18)
        return std::numeric_limits<qint64>::min();
    return static_cast<qint64>(number);
}

bool UserPersistentData::writeDouble(double value, const QString &key)
{
    return store(key, value);
}

double UserPersistentData::readDoubleWithKey(const QString &key) const
{
    bool ok = false;
    const double number = value(key).toDouble(&ok);
    return ok ? number : 0.0;
}

bool UserPersistentData::convertDefaultsWithKey(const QString &key)
{
    const QVariant stored = value(key);
    if (!stored.isValid() || !isText(stored))
        return false;
    return writeSecureString(stored.toString(), key);
}

QString UserPersistentData::readWorkId() const
{
    return readSecureStringWithKey(keyName(UserPersistentDataKeys::kWorkId));
}

QString UserPersistentData::readNormalizeWorkId() const
{
    const QString workId = readWorkId();
    if (!isAsciiDigits(workId))
        return workId;
    // The decimal text of the id's value, done on the text so that ids beyond 64 bits keep
    // every digit instead of saturating.
    qsizetype first = 0;
    while (first < workId.size() && workId.at(first) == QLatin1Char('0'))
        ++first;
    return first == workId.size() ? QStringLiteral("0") : workId.mid(first);
}

bool UserPersistentData::writeWorkId(const QString &workId)
{
    return writeSecureString(workId, keyName(UserPersistentDataKeys::kWorkId));
}

QString UserPersistentData::readPipeName() const
{
    return readStringWithKey(keyName(UserPersistentDataKeys::kPipeName));
}

bool UserPersistentData::writePipeName(const QString &pipeName)
{
    return writeString(pipeName, keyName(UserPersistentDataKeys::kPipeName));
}

QString UserPersistentData::readTanduTrack() const
{
    return readStringWithKey(keyName(UserPersistentDataKeys::kTanduTrackId));
}

bool UserPersistentData::writeTanduTrack(const QString &trackId)
{
    return writeString(trackId, keyName(UserPersistentDataKeys::kTanduTrackId));
}

QString UserPersistentData::readMeetingNoteUrl() const
{
    return readStringWithKey(keyName(UserPersistentDataKeys::kMeetingNoteUrl));
}

QString UserPersistentData::readAccessToken() const
{
    return readStringWithKey(keyName(UserPersistentDataKeys::kAccessToken));
}

bool UserPersistentData::writeAccessToken(const QString &token)
{
    return writeString(token, keyName(UserPersistentDataKeys::kAccessToken));
}

QString UserPersistentData::readSysUmid() const
{
    return readStringWithKey(keyName(UserPersistentDataKeys::kSysUmid));
}

bool UserPersistentData::writeSysUMid(const QString &umid)
{
    return writeString(umid, keyName(UserPersistentDataKeys::kSysUmid));
}

QString UserPersistentData::readUserEmpType() const
{
    return readStringWithKey(keyName(UserPersistentDataKeys::kUserEmpType));
}

bool UserPersistentData::writeUserEmpType(const QString &empType)
{
    return writeString(empType, keyName(UserPersistentDataKeys::kUserEmpType));
}

bool UserPersistentData::readEnableAecDumpFlag() const
{
    return readBOOLWithKey(keyName(UserPersistentDataKeys::kEnableAecDump));
}

qint64 UserPersistentData::readMissedCallCount() const
{
    return readIntegerWithKey(keyName(UserPersistentDataKeys::kMissedCall));
}

bool UserPersistentData::writeMissedCallCount(qint64 count)
{
    return writeInteger(count, keyName(UserPersistentDataKeys::kMissedCall));
}

qint64 UserPersistentData::readUnreadMessageCount() const
{
    return readIntegerWithKey(keyName(UserPersistentDataKeys::kUnreadMessage));
}

bool UserPersistentData::writeUnreadMessageCount(qint64 count)
{
    return writeInteger(count, keyName(UserPersistentDataKeys::kUnreadMessage));
}

bool UserPersistentData::writeDevice(const QString &device, int type)
{
    const QString deviceKeyName = deviceKey(type);
    if (deviceKeyName.isEmpty())
        return false;
    return writeString(device, deviceKeyName);
}

QString UserPersistentData::readDeviceWithType(int type) const
{
    const QString deviceKeyName = deviceKey(type);
    if (deviceKeyName.isEmpty())
        return QStringLiteral("");
    return readStringWithKey(deviceKeyName);
}

bool UserPersistentData::readFlagWritingDefault(const QString &key, bool defaultValue)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_settings->contains(key)) {
            // Check and write under one lock so that two first readers agree.
            storeLocked(key, defaultValue);
            return defaultValue;
        }
    }
    return readBOOLWithKey(key);
}

bool UserPersistentData::readEnableBeautyFlag()
{
    return readFlagWritingDefault(keyName(UserPersistentDataKeys::kEnableBeautyFlag),
                                  KLClientConfigManager::sharedInstance().isStaff());
}

bool UserPersistentData::writeBeautyFlag(bool enabled)
{
    return writeBOOL(enabled, keyName(UserPersistentDataKeys::kEnableBeautyFlag));
}

bool UserPersistentData::readEnterAudioMuteFlag()
{
    return readFlagWritingDefault(keyName(UserPersistentDataKeys::kEnterAudioEnable), false);
}

bool UserPersistentData::writeEnterAudioMuteFlag(bool muted)
{
    return writeBOOL(muted, keyName(UserPersistentDataKeys::kEnterAudioEnable));
}

bool UserPersistentData::readEnterVideoMuteFlag()
{
    return readFlagWritingDefault(keyName(UserPersistentDataKeys::kEnterVideoEnable), false);
}

bool UserPersistentData::writeEnterVideoMuteFlag(bool muted)
{
    return writeBOOL(muted, keyName(UserPersistentDataKeys::kEnterVideoEnable));
}

bool UserPersistentData::isNewVersionAlreadyShow() const
{
    return contains(keyName(UserPersistentDataKeys::kNewVersionTips));
}

bool UserPersistentData::writeNewVersionAlreadyShowFlag()
{
    return writeBOOL(true, keyName(UserPersistentDataKeys::kNewVersionTips));
}

bool UserPersistentData::isNewMeetingNoteAlreadyShow() const
{
    return contains(keyName(UserPersistentDataKeys::kNewMeetingNoteTips));
}

bool UserPersistentData::writeNewMeetingNoteAlreadyShowFlag()
{
    return writeBOOL(true, keyName(UserPersistentDataKeys::kNewMeetingNoteTips));
}

bool UserPersistentData::isAppSupprotVideoBeauty() const
{
    return contains(keyName(UserPersistentDataKeys::kSupportVideoBeauty));
}

QJsonArray UserPersistentData::readClientMeetingInfo() const
{
    const QVariant stored = value(keyName(UserPersistentDataKeys::kClientMeetingInfoList));
    if (stored.typeId() != QMetaType::QVariantList)
        return QJsonArray();
    return QJsonArray::fromVariantList(stored.toList());
}

bool UserPersistentData::writeClientMeetingInfo(const QJsonArray &records)
{
    return store(keyName(UserPersistentDataKeys::kClientMeetingInfoList), records.toVariantList());
}

QString UserPersistentData::readVanNames() const
{
    return readStringWithKey(keyName(UserPersistentDataKeys::kExternalNickname));
}

bool UserPersistentData::writeVanNames(const QString &nickname)
{
    return writeString(nickname, keyName(UserPersistentDataKeys::kExternalNickname));
}
