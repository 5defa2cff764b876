#pragma once

// --sim: the local meeting service started inside kelvo-host, and the meeting dictionary and
// user store pointed at its first meeting (whatever the user gave on the command line wins).

#include "HostOptions.h"

#include <QString>

#include <memory>

namespace kelvosim {
class MeetingSim;
}

namespace kelvohost {

class HostSimulator {
public:
    HostSimulator();
    ~HostSimulator();

    /// `scenarioPath`: a scenario JSON file, or empty for the built-in one. `janus`: the
    /// meetings' media go through a Janus media server of the simulator's, where Janus is
    /// installed (the meeting then runs on the WebRTC engine and the members send real media);
    /// the simulator's own media server otherwise, with a line on stderr saying why.
    bool start(const QString &scenarioPath, QString *error, bool janus = false);
    /// Adds what joining the simulator's first meeting needs and the user did not give.
    void completeOptions(HostOptions &options) const;

    kelvosim::MeetingSim &sim() { return *m_sim; }

private:
    std::unique_ptr<kelvosim::MeetingSim> m_sim;
};

} // namespace kelvohost
