#pragma once

// The IT-monitor endpoint for multi-projector use: GET "/openapi/ProjectorUsedApi.json?<query>"
// whose query ends with "&_sign=<md5>".

#include "SimOutcome.h"

namespace kelvosim {

class SimItMonitor
{
public:
    static constexpr const char *kPath = "/openapi/ProjectorUsedApi.json";
    static constexpr const char *kSalt = "$#!%4Qzm";

    static bool isMonitorPath(const QString &path) { return path == QLatin1String(kPath); }

    /// Checks the key order and the signature; answers {"success":true,"data":{...}} or
    /// {"success":false,"errorCode","errorMsg"} (recorded as rejected).
    SimOutcome handle(const SimHttpRequest &request) const;
};

} // namespace kelvosim
