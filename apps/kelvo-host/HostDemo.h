#pragma once

// The demo meeting: once the host's media connection is up in the simulator, the steps of a
// timeline (members joining and leaving, speaking, muting, a screen share, chat and caption
// lines) are played against it, each narrated as a "demo" event. After the last step the
// demo is over and `onOver` runs.

#include <QJsonArray>
#include <QObject>
#include <QTimer>

#include <functional>

namespace kelvosim {
class MeetingSim;
}

namespace kelvohost {

class HostEventSink;

class HostDemo : public QObject {
public:
    HostDemo(kelvosim::MeetingSim &sim, HostEventSink &sink, std::function<void()> onOver);

    /// Loads the built-in timeline and waits for the host to connect; false when the timeline
    /// cannot be read.
    bool start(QString *error);
    /// Carries out a step's "action" in the meeting window, by its name ("meetingNote").
    void setUserAction(std::function<void(const QString &action)> act) { m_userAction = std::move(act); }
    /// Runs after each step of the timeline was played, with the step.
    void setStepObserver(std::function<void(const QJsonObject &step)> observer) { m_stepObserver = std::move(observer); }

private:
    void play();
    void runStep(const QJsonObject &step);

    kelvosim::MeetingSim &m_sim;
    HostEventSink &m_sink;
    std::function<void()> m_onOver;
    std::function<void(const QJsonObject &)> m_stepObserver;
    std::function<void(const QString &)> m_userAction;
    QJsonArray m_steps;
    QTimer m_waitForMedia;
};

} // namespace kelvohost
