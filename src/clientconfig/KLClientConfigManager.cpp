#include "clientconfig/KLClientConfigManager.h"

KLClientConfigManager &KLClientConfigManager::sharedInstance()
{
    static KLClientConfigManager instance; // thread-safe initialisation
    return instance;
}
