#include <KelvoUISDK/KLUISDKUserStore.h>

#include "host/UserPersistentData.h"

bool KLUISDKWriteUserValue(const QString &key, const QString &value)
{
    UserPersistentData &store = UserPersistentData::sharedInstance();
    if (key == QLatin1String(UserPersistentDataKeys::kWorkId))
        return store.writeWorkId(value);
    return store.writeString(value, key);
}
