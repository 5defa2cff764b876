#pragma once

// The caption page the meeting's client configuration points at: a small page of the
// simulator's own that shows every caption line and notice the SDK hands it through
// window.msgInvoke(data).

#include "SimOutcome.h"

namespace kelvosim {

class SimCaptionPage
{
public:
    static constexpr const char *kPath = "/it-service/kelvo-subtitle/0.0.5/index.html";

    static bool isCaptionPagePath(const QString &path) { return path == QLatin1String(kPath); }

    /// GET answers the page (text/html, UTF-8); any other method 405.
    static SimOutcome handle(const SimHttpRequest &request);
};

} // namespace kelvosim
