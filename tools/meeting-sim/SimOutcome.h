#pragma once

// What a service part of the simulator made of one request: the answer, whether the request
// failed a check, and the log entries it delivered.

#include "SimHttpMessage.h"

#include <QJsonObject>
#include <QList>
#include <QString>

namespace kelvosim {

struct SimOutcome {
    SimHttpResponse response;
    bool rejected = false;
    QString rejectReason;
    QList<QJsonObject> logEntries;
};

} // namespace kelvosim
