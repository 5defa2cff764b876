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

    /// `scenarioPath`: a scenario JSON file, or empty for the built-in one.
    bool start(const QString &scenarioPath, QString *error);
    /// Adds what joining the simulator's first meeting needs and the user did not give.
    void completeOptions(HostOptions &options) const;

    kelvosim::MeetingSim &sim() { return *m_sim; }

private:
    std::unique_ptr<kelvosim::MeetingSim> m_sim;
};

} // namespace kelvohost
