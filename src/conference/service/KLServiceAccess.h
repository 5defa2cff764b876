#pragma once

// How the conference service's adapters reach the service they hold weakly: a read answers a
// neutral value and an action does nothing once the service is gone, so a late callback from
// an engine or a queue never touches a destroyed meeting.

#include <memory>

class KLConferenceService;

/// Runs `read` on the service when it still exists, else answers `fallback`.
template <typename Result, typename Read>
Result KL_askService(const std::weak_ptr<KLConferenceService> &weak, Result fallback, Read read)
{
    if (auto service = weak.lock())
        return read(*service);
    return fallback;
}

/// Runs `act` on the service when it still exists.
template <typename Act>
void KL_tellService(const std::weak_ptr<KLConferenceService> &weak, Act act)
{
    if (auto service = weak.lock())
        act(*service);
}
