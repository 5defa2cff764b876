#include "SimScenario.h"

#include <QFile>
#include <QJsonDocument>

// Outside any namespace, as Q_INIT_RESOURCE requires; the resource is in a static library.
static void initSimResources()
{
    Q_INIT_RESOURCE(meeting_sim);
}

namespace kelvosim {

QString SimScenario::defaultResource()
{
    return QStringLiteral(":/kelvosim/scenarios/default.json");
}

bool SimScenario::load(const QString &path, QJsonObject *scenario, QString *error)
{
    initSimResources();
    const QString source = path.isEmpty() ? defaultResource() : path;
    QFile file(source);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("cannot read scenario %1: %2").arg(source, file.errorString());
        return false;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        if (error)
            *error = QStringLiteral("scenario %1 is not valid JSON at offset %2: %3")
                         .arg(source)
                         .arg(parseError.offset)
                         .arg(parseError.errorString());
        return false;
    }
    if (!document.isObject()) {
        if (error)
            *error = QStringLiteral("scenario %1 is not a JSON object").arg(source);
        return false;
    }
    const QJsonObject loaded = document.object();
    const QJsonArray meetings = loaded.value(QLatin1String("meetings")).toArray();
    if (meetings.isEmpty()) {
        if (error)
            *error = QStringLiteral("scenario %1 describes no meetings (\"meetings\" is empty)").arg(source);
        return false;
    }
    for (const QJsonValue &meeting : meetings) {
        if (!meeting.isObject() || text(meeting.toObject().value(QLatin1String("meetingUUID"))).isEmpty()
            || text(meeting.toObject().value(QLatin1String("appointmentId"))).isEmpty()) {
            if (error)
                *error = QStringLiteral("scenario %1: every meeting needs \"meetingUUID\" and \"appointmentId\"").arg(source);
            return false;
        }
    }
    *scenario = loaded;
    return true;
}

QJsonValue SimScenario::substitute(const QJsonValue &value, quint16 port)
{
    switch (value.type()) {
    case QJsonValue::String: {
        QString s = value.toString();
        if (!s.contains(QLatin1String("{{")))
            return s;
        s.replace(QLatin1String("{{baseUrl}}"), QStringLiteral("https://127.0.0.1:%1").arg(port));
        s.replace(QLatin1String("{{port}}"), QString::number(port));
        s.replace(QLatin1String("{{host}}"), QStringLiteral("127.0.0.1"));
        return s;
    }
    case QJsonValue::Array: {
        QJsonArray out;
        for (const QJsonValue &element : value.toArray())
            out.append(substitute(element, port));
        return out;
    }
    case QJsonValue::Object: {
        QJsonObject out;
        const QJsonObject in = value.toObject();
        for (auto it = in.begin(); it != in.end(); ++it)
            out.insert(it.key(), substitute(it.value(), port));
        return out;
    }
    default:
        return value;
    }
}

QString SimScenario::text(const QJsonValue &value)
{
    if (value.isString())
        return value.toString();
    if (value.isDouble())
        return QString::number(value.toInteger());
    return {};
}

QJsonObject SimScenario::findMeeting(const QJsonObject &scenario, const QString &id, bool byAppointment)
{
    if (id.isEmpty())
        return {};
    const QLatin1String key = byAppointment ? QLatin1String("appointmentId") : QLatin1String("meetingUUID");
    for (const QJsonValue &meeting : scenario.value(QLatin1String("meetings")).toArray()) {
        const QJsonObject object = meeting.toObject();
        if (text(object.value(key)) == id)
            return object;
    }
    return {};
}

} // namespace kelvosim
