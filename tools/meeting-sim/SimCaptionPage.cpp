#include "SimCaptionPage.h"

#include "SimLog.h"

#include <QFile>

// Outside any namespace, as Q_INIT_RESOURCE requires; the page is a resource of this static
// library.
static void initCaptionPageResource()
{
    Q_INIT_RESOURCE(meeting_sim);
}

namespace kelvosim {

SimOutcome SimCaptionPage::handle(const SimHttpRequest &request)
{
    SimOutcome outcome;
    if (request.method != "GET") {
        outcome.response = SimHttpResponse::empty(405);
        return outcome;
    }
    initCaptionPageResource();
    QFile page(QStringLiteral(":/kelvosim/pages/kelvo-subtitle.html"));
    if (!page.open(QIODevice::ReadOnly)) {
        qCWarning(lcSim) << "caption page resource missing:" << page.errorString();
        outcome.response = SimHttpResponse::empty(500);
        return outcome;
    }
    outcome.response.status = 200;
    outcome.response.contentType = "text/html; charset=utf-8";
    outcome.response.body = page.readAll();
    return outcome;
}

} // namespace kelvosim
