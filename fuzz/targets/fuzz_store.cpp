// The persistent store as the SDK reads it back: the host (or an older SDK, or a damaged
// file) may have left any type under any key. Each input line stores one value, its first
// character naming the type; then every reader runs.

#include "KLFuzzSupport.h"

#include "host/UserPersistentData.h"

#include <QSettings>

namespace {

const char *const kKeys[] = {
    UserPersistentDataKeys::kWorkId, UserPersistentDataKeys::kPipeName, UserPersistentDataKeys::kTanduTrackId,
    UserPersistentDataKeys::kMeetingNoteUrl, UserPersistentDataKeys::kAccessToken, UserPersistentDataKeys::kSysUmid,
    UserPersistentDataKeys::kUserEmpType, UserPersistentDataKeys::kEnableAecDump, UserPersistentDataKeys::kMissedCall,
    UserPersistentDataKeys::kUnreadMessage, UserPersistentDataKeys::kDevVideoInput,
    UserPersistentDataKeys::kDevAudioOutput, UserPersistentDataKeys::kDevAudioInput,
    UserPersistentDataKeys::kEnableBeautyFlag, UserPersistentDataKeys::kEnterAudioEnable,
    UserPersistentDataKeys::kEnterVideoEnable, UserPersistentDataKeys::kNewVersionTips,
    UserPersistentDataKeys::kNewMeetingNoteTips, UserPersistentDataKeys::kSupportVideoBeauty,
    UserPersistentDataKeys::kClientMeetingInfoList, UserPersistentDataKeys::kExternalNickname};

QVariant valueOf(char type, const QByteArray &text)
{
    switch (type) {
    case 'b': return text;
    case 'i': return text.toLongLong();
    case 'd': return text.toDouble();
    case 't': return !text.isEmpty();
    case 'l': return QString::fromUtf8(text).split(QLatin1Char(','));
    case 'j': return klfuzz::valueOf(text).toVariant();
    case 'x': return QByteArray::fromHex(text);
    default: return QString::fromUtf8(text);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    klfuzz::initialise();
    UserPersistentData &store = UserPersistentData::sharedInstance();
    {
        // The same file as the store's, written the way the host writes it.
        QSettings host;
        host.clear();
        const QList<QByteArray> lines = klfuzz::bytes(data, size).split('\n');
        for (qsizetype i = 0; i < lines.size() && i < qsizetype(std::size(kKeys)); ++i) {
            if (!lines[i].isEmpty())
                host.setValue(QString::fromLatin1(kKeys[i]), valueOf(lines[i].at(0), lines[i].mid(1)));
        }
    }
    for (const char *key : kKeys) {
        store.readStringWithKey(QString::fromLatin1(key));
        store.readSecureStringWithKey(QString::fromLatin1(key));
        store.readIntegerWithKey(QString::fromLatin1(key));
        store.readDoubleWithKey(QString::fromLatin1(key));
        store.readBOOLWithKey(QString::fromLatin1(key));
    }
    store.readNormalizeWorkId();
    store.readPipeName();
    store.readAccessToken();
    store.readMissedCallCount();
    store.readUnreadMessageCount();
    for (int type = 0; type <= 4; ++type)
        store.readDeviceWithType(type);
    store.readEnableBeautyFlag();
    store.readEnterAudioMuteFlag();
    store.readEnterVideoMuteFlag();
    store.readClientMeetingInfo();
    store.readVanNames();
    store.convertDefaultsWithKey(QString::fromLatin1(UserPersistentDataKeys::kSysUmid));
    return 0;
}
