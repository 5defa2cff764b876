#pragma once

// The scenario: one JSON document that describes the meetings the simulator serves and the
// answers of its configuration routes. The schema is in docs/meeting-sim.md.

#include <QJsonArray>
#include <QJsonObject>
#include <QString>

namespace kelvosim {

class SimScenario
{
public:
    /// Resource path of the built-in default scenario.
    static QString defaultResource();

    /// Loads `path`, or the built-in default when `path` is empty. On failure returns false
    /// and says why (unreadable file, JSON error with its offset, not an object, no meetings).
    static bool load(const QString &path, QJsonObject *scenario, QString *error);

    /// Replaces "{{port}}", "{{host}}" and "{{baseUrl}}" in every string of `value`.
    static QJsonValue substitute(const QJsonValue &value, quint16 port);

    /// The meeting whose "meetingUUID" (or, with byAppointment, "appointmentId") is `id`;
    /// an empty object when there is none.
    static QJsonObject findMeeting(const QJsonObject &scenario, const QString &id, bool byAppointment);

    /// Text of a JSON value that holds a string or a number ("" otherwise).
    static QString text(const QJsonValue &value);
};

} // namespace kelvosim
