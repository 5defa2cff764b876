#pragma once

// The rating page the client configuration's "rateUrl" points at: a small page of the
// simulator's own that asks for a score and a comment, posts them back to the simulator and
// reports through window.native.ocMethod(status) what the user did. The scenario's "ratePage"
// object may make the page act by itself once loaded, as a user would:
//   {"autoClick": "submit" | "later", "afterMs": 300}

#include "SimOutcome.h"

#include <QJsonObject>

namespace kelvosim {

class SimRatePage
{
public:
    static constexpr const char *kPath = "/kelvo/web/rate/index.html";
    static constexpr const char *kSubmitPath = "/kelvo/web/rate/submit";

    explicit SimRatePage(const QJsonObject &options = {}) : m_options(options) {}

    static bool isRatePagePath(const QString &path)
    {
        return path == QLatin1String(kPath) || path == QLatin1String(kSubmitPath);
    }

    /// GET of the page answers it (text/html, UTF-8); POST of a JSON object to the submit path
    /// answers {"success": true}; anything else 405 (400 for a body that is not an object).
    SimOutcome handle(const SimHttpRequest &request) const;

private:
    QJsonObject m_options;
};

} // namespace kelvosim
