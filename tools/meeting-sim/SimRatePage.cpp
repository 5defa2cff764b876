#include "SimRatePage.h"

#include "SimLog.h"

#include <QFile>
#include <QJsonDocument>

static void initRatePageResource()
{
    Q_INIT_RESOURCE(meeting_sim);
}

namespace kelvosim {

SimOutcome SimRatePage::handle(const SimHttpRequest &request) const
{
    SimOutcome outcome;
    if (request.path == QLatin1String(kSubmitPath)) {
        if (request.method != "POST") {
            outcome.response = SimHttpResponse::empty(405);
            return outcome;
        }
        const QJsonDocument rating = QJsonDocument::fromJson(request.body);
        if (!rating.isObject()) {
            outcome.response = SimHttpResponse::empty(400);
            return outcome;
        }
        qCInfo(lcSim) << "rating received" << request.body;
        outcome.response = SimHttpResponse::json({{QStringLiteral("success"), true}});
        return outcome;
    }
    if (request.method != "GET") {
        outcome.response = SimHttpResponse::empty(405);
        return outcome;
    }
    initRatePageResource();
    QFile page(QStringLiteral(":/kelvosim/pages/kelvo-rate.html"));
    if (!page.open(QIODevice::ReadOnly)) {
        qCWarning(lcSim) << "rate page resource missing:" << page.errorString();
        outcome.response = SimHttpResponse::empty(500);
        return outcome;
    }
    // The options go into the page as a JSON literal (a JSON object is valid script).
    QByteArray body = page.readAll();
    body.replace("/*{{ratePageOptions}}*/{}", QJsonDocument(m_options).toJson(QJsonDocument::Compact));
    outcome.response.status = 200;
    outcome.response.contentType = "text/html; charset=utf-8";
    outcome.response.body = body;
    return outcome;
}

} // namespace kelvosim
