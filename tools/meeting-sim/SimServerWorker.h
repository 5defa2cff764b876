#pragma once

// The simulator's server side, living on the simulator thread: the HTTPS server and the
// services behind it. It routes each request to its service, records it, then applies the
// fault set for its path. WebSocket upgrades go to the signalling endpoint or the
// media server, by path.

#include "SimControl.h"
#include "SimHttpServer.h"
#include "SimItMonitor.h"
#include "SimLogService.h"
#include "SimMediaServer.h"
#include "SimMeetingApi.h"
#include "SimRatePage.h"
#include "SimRequestChecks.h"
#include "SimSignallingServer.h"

#include <QObject>
#include <QSet>

#include <memory>

namespace kelvosim {


class SimServerWorker : public QObject
{
public:
    explicit SimServerWorker(SimControl *control, SimMediaRecord *mediaRecord = nullptr)
        : m_control(control), m_mediaRecord(mediaRecord) {}

    /// Builds the services from `scenario` (placeholders already filled) and listens.
    bool listen(const QSslConfiguration &tls, const QHostAddress &address, quint16 port, QString *error);
    /// Gives the services their scenario once the port is known.
    void setScenario(const QJsonObject &scenario);
    quint16 port() const { return m_server ? m_server->port() : 0; }
    void releaseHeld(const QString &path);
    void shutdown();
    /// The signalling endpoint (null before listen() and after shutdown()).
    SimSignallingServer *signalling() const { return m_signalling; }
    /// The media server endpoint (null before listen(), after shutdown() and without a record).
    SimMediaServer *media() const { return m_media; }

private:
    SimDispatch handle(const SimHttpRequest &request);
    SimOutcome meetingApi(const SimHttpRequest &request, RecordedRequest *record);
    static SimDispatch applyFault(const Fault &fault, const SimHttpResponse &response);

    SimControl *m_control;
    SimHttpServer *m_server = nullptr;
    SimSignallingServer *m_signalling = nullptr;
    QSet<QString> m_castWatchers; ///< members that reported watching a cast and have not ended
    SimMediaRecord *m_mediaRecord = nullptr;
    SimMediaServer *m_media = nullptr;
    std::unique_ptr<SimMeetingApi> m_api;
    std::unique_ptr<SimRequestChecks> m_checks;
    std::unique_ptr<SimLogService> m_logService;
    std::unique_ptr<SimRatePage> m_ratePage;
    SimItMonitor m_itMonitor;
};

} // namespace kelvosim
