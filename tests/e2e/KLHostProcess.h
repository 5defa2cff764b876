#pragma once

// One run of the sample host, kelvo-host, as a process of its own: started with JSON event
// lines on stdout and control lines on stdin, in a home folder of its own (the user store is
// the host's settings file there). Events are read as they arrive while the test waits; every
// wait pumps the test's event loop and has a generous deadline, so nothing depends on speed.

#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <optional>
#include <string>

namespace e2e {

/// Picks events out of the host's stream.
using EventMatch = std::function<bool(const QJsonObject &)>;

EventMatch typeIs(const QString &type);
/// A "dialog" event whose title key is `titleKey`.
EventMatch dialogTitled(const QString &titleKey);
EventMatch finishWith(int reason);
EventMatch errorWith(int code);
/// A "userStatus" event `event` about the member `uuid`.
EventMatch userStatus(int event, const QString &uuid);

class HostProcess {
public:
    /// Long enough for a slow, shared machine; a healthy run needs a fraction of it.
    static constexpr int kDeadlineMs = 30000;

    HostProcess();
    ~HostProcess();
    HostProcess(const HostProcess &) = delete;
    HostProcess &operator=(const HostProcess &) = delete;

    /// Starts the host with `arguments`; `environment` is laid over the test's own (minus the
    /// SDK's tuning variables, so the caller's shell cannot change a run).
    bool start(const QStringList &arguments, const QMap<QString, QString> &environment = {});

    /// Every event read so far, in order.
    const QList<QJsonObject> &events() const { return m_events; }
    /// Position of the first event from `from` on that matches, or -1.
    qsizetype indexOf(const EventMatch &match, qsizetype from = 0) const;
    /// How many events read so far match.
    qsizetype count(const EventMatch &match) const;
    /// Waits for the first event from `from` on that matches (one that came already counts);
    /// nothing once the deadline passed or the host ended without it.
    std::optional<QJsonObject> waitFor(const EventMatch &match, qsizetype from = 0, int timeoutMs = kDeadlineMs);

    /// Sends one control line; `command` is written as compact JSON.
    void send(const QJsonObject &command);
    void sendLine(const QByteArray &line);

    /// Waits until the process has ended; false when it is still running at the deadline.
    bool waitForExit(int timeoutMs = kDeadlineMs);
    /// True when the process ended by itself with exit code 0.
    bool exitedCleanly() const;
    /// The exit code of a process that ended by itself; -1 while it runs or after a crash.
    int exitCode() const;

    /// The events and the end of the host's log, for failure messages.
    std::string transcript() const;

private:
    void readEvents();

    QTemporaryDir m_home;
    QProcess m_process;
    QByteArray m_pending;
    QByteArray m_log;
    QList<QJsonObject> m_events;
    QStringList m_strayLines;
};

} // namespace e2e
