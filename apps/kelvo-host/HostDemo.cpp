#include "HostDemo.h"

#include "HostEventSink.h"
#include "MeetingSim.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace kelvohost {

HostDemo::HostDemo(kelvosim::MeetingSim &sim, HostEventSink &sink, std::function<void()> onOver)
    : m_sim(sim), m_sink(sink), m_onOver(std::move(onOver))
{
}

bool HostDemo::start(QString *error)
{
    QFile file(QStringLiteral(":/kelvo-host/timeline.json"));
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("the demo timeline is missing");
        return false;
    }
    m_steps = QJsonDocument::fromJson(file.readAll()).object().value(QLatin1String("steps")).toArray();
    if (m_steps.isEmpty()) {
        *error = QStringLiteral("the demo timeline has no steps");
        return false;
    }
    // The steps are timed from the moment the meeting's media is up, however long joining took:
    // the host is connected to the simulator's media server, or is in the Janus room.
    const QString self = m_sim.scenario().value(QLatin1String("meetings")).toArray().first().toObject()
                             .value(QLatin1String("selfMemberUUID")).toString();
    m_waitForMedia.setInterval(200);
    connect(&m_waitForMedia, &QTimer::timeout, this, [this, self] {
        if (m_sim.janus() ? !m_sim.janusParticipants().contains(self) : m_sim.mediaClients() == 0)
            return;
        m_waitForMedia.stop();
        play();
    });
    m_waitForMedia.start();
    return true;
}

namespace {

// The demo keeps time like the SDK's own timers: KELVO_TIME_SCALE speeds it up for tests.
double timeScale()
{
    bool ok = false;
    const double scale = qEnvironmentVariable("KELVO_TIME_SCALE").toDouble(&ok);
    return ok && scale > 0 ? scale : 1.0;
}

} // namespace

void HostDemo::play()
{
    const double scale = timeScale();
    int last = 0;
    for (const QJsonValue &value : std::as_const(m_steps)) {
        const QJsonObject step = value.toObject();
        const int delay = int(step.value(QLatin1String("at")).toDouble() * 1000 * scale);
        last = std::max(last, delay);
        QTimer::singleShot(delay, this, [this, step] { runStep(step); });
    }
    QTimer::singleShot(last + int(1000 * scale), this, [this] {
        if (m_onOver)
            m_onOver();
    });
}

void HostDemo::runStep(const QJsonObject &step)
{
    m_sink.emitEvent({{"type", "demo"}, {"text", step.value(QLatin1String("say")).toString()}});
    const QString member = step.value(QLatin1String("member")).toString();
    if (step.contains(QLatin1String("event"))) {
        m_sim.pushEvent(step.value(QLatin1String("event")).toInt(), member, step.value(QLatin1String("fields")).toObject());
    } else if (step.contains(QLatin1String("chat"))) {
        const QJsonObject message{{"source", member}, {"text", step.value(QLatin1String("chat")).toString()}};
        m_sim.pushMediaEvent({{"type", "data"}, {"from", member},
                              {"data", QJsonObject{{"type", "chatMsg"}, {"content", message}}}});
    } else if (step.contains(QLatin1String("caption"))) {
        m_sim.pushSummary(member, {{"asrLanguage", "en"},
                                   {"asrText", step.value(QLatin1String("caption")).toString()},
                                   {"asrTranslateText", step.value(QLatin1String("translation")).toString()}});
    } else if (step.value(QLatin1String("screen")).toString() == QLatin1String("start")) {
        m_sim.addRemoteStream(QStringLiteral("screen-") + member, step.value(QLatin1String("display")).toString(), true);
    } else if (step.value(QLatin1String("screen")).toString() == QLatin1String("stop")) {
        m_sim.removeRemoteStream(QStringLiteral("screen-") + member);
    } else if (step.contains(QLatin1String("action")) && m_userAction) {
        m_userAction(step.value(QLatin1String("action")).toString());
    }
    if (m_stepObserver)
        m_stepObserver(step);
}

} // namespace kelvohost
